// The TeX compiler typesets the LaTeX exporter's documents: an awkward fixture
// long enough for several pages compiles in both preamble versions, and the
// PDF's text holds every value of every row.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/latex/tabulo_latex.h"
#include "platform/locale_settings.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TTempDir;

// The compiler's fonts typeset some ASCII characters as their typographic
// forms, an underscore as a rule (extracted as a blank) and accented letters
// as letter and accent; the text extraction gives those back.
std::string Plain(std::string text) {
  const std::vector<std::pair<std::string, std::string>> forms = {
      {"\xE2\x80\x9D", "\""}, {"\xE2\x80\x9C", "\""}, {"\xE2\x80\x99", "'"},
      {"\xCB\x86", "^"},      {"\xCB\x9C", "~"},      {"\xEF\xAC\x81", "fi"},
      {"_", " "},             {"e\xCC\x88", "\xC3\xAB"}, {"e\xCC\x81", "\xC3\xA9"},
      {"A\xCC\x8A", "\xC3\x85"}};
  for (const auto& [form, plain] : forms) {
    for (std::size_t at = text.find(form); at != std::string::npos; at = text.find(form, at)) {
      text.replace(at, form.size(), plain);
    }
  }
  return text;
}

TEST(LaTeXInteropTest, EveryRowOfAManyPageTableIsTypeset) {
  const std::string pdflatex = FindExecutable("pdflatex");
  const std::string pdftotext = FindExecutable("pdftotext");
  if (pdflatex.empty() || pdftotext.empty()) GTEST_SKIP() << "pdflatex or pdftotext is not installed";
  const TFormatSettings saved = FormatSettings();
  SetFormatSettings(TFormatSettings::CLocale());

  const std::vector<std::string> texts = {
      "say \"hi\", 'there'; a|b",
      "<b>&amp;</b> {braces}",
      "C:\\temp\\ back\\slash",
      "50% of #1 costs $5 a_b",
      "ends in ^",
      "~home x^2",
      "crlf\r\nline\tlf",
      "bell\x07here",
      "Zo\xC3\xAB G\xC3\xA9rard \xC3\x85gren",
  };
  TMemoryDataSet data;
  data.AddField("ID", ftLargeint);
  data.AddField("TEXT", ftString, 40);
  for (int row = 0; row < 150; ++row) {
    const std::string& text = texts[static_cast<std::size_t>(row) % texts.size()];
    data.AppendRecord({std::to_string(row == 149 ? 9223372036854775807LL : row + 1000),
                       row % 10 == 9 ? std::optional<std::string>() : text + " r" + std::to_string(row)});
  }
  data.Open();

  for (const TLaTeXVersion version : {LaTeX2e, LaTeX209}) {
    SCOPED_TRACE(version == LaTeX2e ? "LaTeX2e" : "LaTeX209");
    TTempDir directory("latex-interop");
    TTabuloLaTeX exporter;
    exporter.DataSet = &data;
    exporter.Options.LaTeXVersion = version;
    // The old preamble loads each option as a style file: a4paper is none.
    if (version == LaTeX209) exporter.Options.DocumentParams = "";
    exporter.Formats.SetNullString("(none)");
    exporter.UserFormats = {"ID="};
    exporter.FileName = directory.File("awkward.tex");
    exporter.Execute();

    const auto compiled = RunCommand({"timeout", "120", pdflatex, "-interaction=nonstopmode", "-halt-on-error",
                                      "-output-directory", directory.Path(), exporter.FileName},
                                     150);
    ASSERT_EQ(compiled.exit_status, 0) << compiled.output;
    EXPECT_EQ(ReadFile(directory.File("awkward.log")).find("Overfull \\vbox"), std::string::npos);
    const auto extracted = RunCommand({pdftotext, directory.File("awkward.pdf"), "-"});
    ASSERT_EQ(extracted.exit_status, 0) << extracted.output;
    const std::string text = Plain(extracted.output);
    for (int row = 0; row < 150; ++row) {
      std::string value =
          row % 10 == 9 ? "(none)" : texts[static_cast<std::size_t>(row) % texts.size()] + " r" + std::to_string(row);
      for (const std::string control : {"\r\n", "\t"}) {
        for (std::size_t at = value.find(control); at != std::string::npos; at = value.find(control)) {
          value.replace(at, control.size(), " ");
        }
      }
      if (const std::size_t bell = value.find('\x07'); bell != std::string::npos) value.erase(bell, 1);
      // The old preamble declares no input encoding: only ASCII is sure to typeset.
      const bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0; });
      if (version == LaTeX2e || ascii) {
        EXPECT_NE(text.find(Plain(value)), std::string::npos) << value;
      }
      EXPECT_NE(text.find(row == 149 ? "9223372036854775807" : std::to_string(row + 1000)), std::string::npos);
    }
  }
  SetFormatSettings(saved);
}

// The compiler stopped with "Invalid UTF-8 byte" on binary data and cut
// sequences; their replacement characters typeset as boxed question marks.
TEST(LaTeXInteropTest, BytesThatAreNotUtf8Compile) {
  const std::string pdflatex = FindExecutable("pdflatex");
  const std::string pdftotext = FindExecutable("pdftotext");
  if (pdflatex.empty() || pdftotext.empty()) GTEST_SKIP() << "pdflatex or pdftotext is not installed";
  const TFormatSettings saved = FormatSettings();
  SetFormatSettings(TFormatSettings::CLocale());
  TMemoryDataSet data;
  data.AddField("BYTES", ftString, 40);
  data.AppendRecord({std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)});
  data.AppendRecord({"cut \xE2\x82 here \xFF\xFE end"});
  data.Open();
  TTempDir directory("latex-bytes");
  TTabuloLaTeX exporter;
  exporter.DataSet = &data;
  exporter.FileName = directory.File("bytes.tex");
  exporter.Execute();
  SetFormatSettings(saved);
  EXPECT_EQ(exporter.ReplacedCharacters(), 4u);

  const auto compiled = RunCommand({"timeout", "120", pdflatex, "-interaction=nonstopmode", "-halt-on-error",
                                    "-output-directory", directory.Path(), exporter.FileName},
                                   150);
  ASSERT_EQ(compiled.exit_status, 0) << compiled.output;
  const auto extracted = RunCommand({pdftotext, directory.File("bytes.pdf"), "-"});
  ASSERT_EQ(extracted.exit_status, 0) << extracted.output;
  // The boxes stand apart from their neighbours in the extracted text.
  std::string text = extracted.output;
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\n'; }),
             text.end());
  EXPECT_NE(text.find("?PNG"), std::string::npos) << extracted.output;
  EXPECT_NE(text.find("cut?here??end"), std::string::npos) << extracted.output;
}

}  // namespace
}  // namespace velmora
