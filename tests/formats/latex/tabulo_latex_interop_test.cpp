// The TeX compiler typesets the LaTeX exporter's documents: an awkward fixture
// long enough for several pages compiles in both preamble versions, and the
// PDF's text holds every value of every row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/latex/tabulo_latex.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

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

// What the typeset document shows of the awkward texts that it changes: line
// breaks and tabs as blanks, controls as nothing, invalid bytes as boxed
// question marks, "--" as the en dash of the fonts' ligature, and the euro
// sign as the extractor reads the companion font's glyph.
const testsupport::TReadForms kTypeset = {
    {"tab", "tab inside"},
    {"crlf", "line1 line2"},
    {"lf and cr", "a b c d"},
    {"nul", "nulhere"},
    {"controls", "ctrlend"},
    {"invalid utf-8", "bad ? mid ? lead ? end"},
    {"markup", "<b>&amp;</b> a<b & c>d ]]> <!\xE2\x80\x93 x \xE2\x80\x93>"},
    {"latin", "Zo\xC3\xAB \xC3\x85gren \xC2\xBF 5"},
};

TEST(LaTeXInteropTest, EveryRowOfAManyPageTableIsTypeset) {
  const std::string pdflatex = FindExecutable("pdflatex");
  const std::string pdftotext = FindExecutable("pdftotext");
  if (pdflatex.empty() || pdftotext.empty()) GTEST_SKIP() << "pdflatex or pdftotext is not installed";
  testsupport::TFormatSettingsScope locale;

  // The preamble's input encoding has no glyphs for other scripts, emoji or
  // combining marks: the compiler stops at them. A text of 100,000 letters
  // runs off the page.
  const std::vector<std::string> left_out = {"cjk",           "emoji",           "combining marks",
                                             "right to left", "line separators", "huge"};
  std::vector<std::string> texts;
  for (const auto& awkward : testsupport::AwkwardTexts()) {
    if (std::find(left_out.begin(), left_out.end(), awkward.Name) == left_out.end())
      texts.push_back(awkward.Bytes);
  }
  // Each text tagged with its row, so that every row is looked for.
  const auto tagged = [&](int row, const std::string& text) {
    const std::string tag = "r" + std::to_string(row);
    return text.empty() ? tag : text + " " + tag;
  };
  const auto text_of = [&](int row) -> const std::string& {
    return texts[static_cast<std::size_t>(row) % texts.size()];
  };
  TMemoryDataSet data;
  data.AddField("ID", ftLargeint);
  data.AddField("TEXT", ftString, 40);
  for (int row = 0; row < 150; ++row) {
    data.AppendRecord({std::to_string(row == 149 ? 9223372036854775807LL : row + 1000),
                       row % 10 == 9 ? std::optional<std::string>() : tagged(row, text_of(row))});
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
      const std::string value =
          row % 10 == 9 ? "(none)" : tagged(row, testsupport::AsRead(text_of(row), kTypeset));
      // The old preamble declares no input encoding: only ASCII is sure to typeset.
      const std::string& source = text_of(row);
      const bool ascii = std::all_of(source.begin(), source.end(), [](char c) { return c >= 0; });
      if (version == LaTeX2e || ascii) {
        EXPECT_NE(text.find(Plain(value)), std::string::npos) << value;
      }
      EXPECT_NE(text.find(row == 149 ? "9223372036854775807" : std::to_string(row + 1000)), std::string::npos);
    }
  }
}

// The compiler stopped with "Invalid UTF-8 byte" on binary data and cut
// sequences; their replacement characters typeset as boxed question marks.
TEST(LaTeXInteropTest, BytesThatAreNotUtf8Compile) {
  const std::string pdflatex = FindExecutable("pdflatex");
  const std::string pdftotext = FindExecutable("pdftotext");
  if (pdflatex.empty() || pdftotext.empty()) GTEST_SKIP() << "pdflatex or pdftotext is not installed";
  testsupport::TFormatSettingsScope locale;
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

// Each script compiles with the command the README gives for it (pdflatex
// for Latin text, xelatex for the documents the export writes for other
// scripts), no character is left out, numbers and dates are whole, and the
// captions are on every page.
TEST(LaTeXInteropTest, EveryScriptCompilesWithItsCommand) {
  const std::string pdftotext = FindExecutable("pdftotext");
  if (pdftotext.empty() || FindExecutable("pdflatex").empty() || FindExecutable("xelatex").empty()) {
    GTEST_SKIP() << "pdflatex, xelatex or pdftotext is not installed";
  }
  testsupport::TFormatSettingsScope locale;
  struct TScript {
    const char* name;
    std::string text;
    TLaTeXEngine engine;
  };
  const std::vector<TScript> scripts = {
      {"latin", "Zo\xC3\xAB \xC3\x85gren \xC5\x81\xC3\xB3" "d\xC5\xBA", lePdfLaTeX},
      {"greek", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 \xCE\xBA\xCF\x8C\xCF\x83\xCE\xBC\xCE\xB5",
       leXeLaTeX},
      {"cyrillic", "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
       leXeLaTeX},
      {"cjk", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE4\xB8\xAD\xE6\x96\x87 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4", leXeLaTeX},
  };
  for (const TScript& script : scripts) {
    SCOPED_TRACE(script.name);
    // Nine columns: numbers, a date, short codes and long texts.
    TMemoryDataSet data;
    data.AddField("film_id", ftInteger);
    data.AddField("title", ftString, 255);
    data.AddField("description", ftString, 255);
    data.AddField("release_year", ftInteger);
    data.AddField("rating", ftString, 5);
    data.AddField("rental_rate", ftFloat);
    data.AddField("last_update", ftDateTime);
    for (int extra = 0; extra < 2; ++extra) data.AddField("note_" + std::to_string(extra), ftString, 255);
    const int rows = 60;
    for (int row = 0; row < rows; ++row) {
      std::vector<std::optional<std::string>> record = {
          std::to_string(row + 1), script.text + " t" + std::to_string(row) + "x",
          "A Thoughtful Drama of a Mad Scientist And a Student who must Fight a Monkey " + script.text, "2006",
          "PG-13", "4.99", "2006-02-15 05:03:42"};
      for (int extra = 0; extra < 2; ++extra) record.push_back("mary.smith@example.org");
      data.AppendRecord(record);
    }
    data.Open();
    TTempDir directory("latex-script");
    TTabuloLaTeX exporter;
    exporter.DataSet = &data;
    exporter.FileName = directory.File("film.tex");
    exporter.Execute();
    ASSERT_EQ(exporter.EngineUsed(), script.engine);
    const std::string compiler = FindExecutable(script.engine == leXeLaTeX ? "xelatex" : "pdflatex");
    const auto compiled = RunCommand({"timeout", "120", compiler, "-interaction=nonstopmode", "-halt-on-error",
                                      "-output-directory", directory.Path(), exporter.FileName},
                                     150);
    ASSERT_EQ(compiled.exit_status, 0) << compiled.output;
    const std::string log = ReadFile(directory.File("film.log"));
    EXPECT_EQ(log.find("Missing character"), std::string::npos);
    EXPECT_EQ(log.find("Overfull \\hbox"), std::string::npos) << log;
    const auto extracted = RunCommand({pdftotext, directory.File("film.pdf"), "-"});
    ASSERT_EQ(extracted.exit_status, 0) << extracted.output;
    std::string text = Plain(extracted.output);
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\n'; }), text.end());
    // Cells wrap, and the extraction reads across the row's lines: every
    // row's tag is there, and numbers and dates whole.
    for (int row = 0; row < rows; ++row) {
      const std::string tag = "t" + std::to_string(row) + "x";
      EXPECT_NE(text.find(tag), std::string::npos) << tag;
    }
    for (const char* whole : {"PG-13", "4.99", "2006-02-1505:03:42"}) {
      EXPECT_NE(text.find(whole), std::string::npos) << whole;
    }
    // The caption row on top of every page.
    const auto pages = RunCommand({pdftotext, "-f", "2", "-l", "2", directory.File("film.pdf"), "-"});
    EXPECT_NE(pages.output.find("film"), std::string::npos) << pages.output;
  }
}

}  // namespace
}  // namespace velmora
