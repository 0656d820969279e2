// The same bytes that are not UTF-8 come out of every format that repairs
// text with the same replacements: one U+FFFD per maximal invalid subpart, or
// one "?" where the file cannot hold U+FFFD. (CSV and the other line formats
// and HTML write text bytes as they are; the SQL script writes such text in
// hexadecimal.)
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/memory_dataset.h"
#include "formats/json/tabulo_json.h"
#include "formats/latex/tabulo_latex.h"
#include "formats/pdf/tabulo_pdf.h"
#include "formats/rtf/tabulo_rtf.h"
#include "formats/xls/tabulo_xls.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "formats/xml/tabulo_xml.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

// The parts of the package that hold cell texts, unpacked.
std::string XlsxSheetTexts(const std::string& path) {
  const testsupport::TCommandResult result = testsupport::RunCommand(
      {"/usr/bin/python3", "-c",
       "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
       "sys.stdout.buffer.write(b''.join(z.read(n) for n in z.namelist() if n.startswith('xl/')))\n",
       path});
  EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 500);
  return result.output;
}

struct TFormatCase {
  const char* FileName;
  std::function<std::unique_ptr<TTabuloText>()> Make;
  const char* Replacement;  // U+FFFD as the file writes it
  bool Utf16 = false;       // texts as UTF-16LE units
  std::function<std::string(const std::string& path)> Contents = testsupport::ReadFile;
};

template <class TExporter>
std::unique_ptr<TTabuloText> Make() {
  return std::make_unique<TExporter>();
}

TEST(InvalidUtf8Agreement, EveryFormatReplacesEachMaximalSubpartOnce) {
  // Each text as stored and as the Unicode practice repairs it ("#" marks
  // one replacement).
  const std::pair<std::string, std::string> texts[] = {
      {"a\xE2\x82\x41z", "a#Az"},
      {"a\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", "a###b#c##d"},
      {"e\xC0\xAF\xE0\x80\xBF\x66\xED\xA0\x80g", "e#####f###g"},
  };
  const TFormatCase formats[] = {
      {"out.xls", Make<TTabuloXLS>, "\xFD\xFF", true},
      {"out.xlsx", Make<TTabuloXLSX>, "\xEF\xBF\xBD", false, XlsxSheetTexts},
      // In the standard fonts, as without embedded ones.
      {"out.pdf",
       [] {
         auto pdf = std::make_unique<TTabuloPDF>();
         pdf->Options.EmbedFonts = false;
         return std::unique_ptr<TTabuloText>(std::move(pdf));
       },
       "?"},
      {"out.json", Make<TTabuloJSON>, "\xEF\xBF\xBD"},
      {"out.xml", Make<TTabuloXML>, "\xEF\xBF\xBD"},
      // Without the break points LaTeX lets long words wrap at.
      {"out.tex", Make<TTabuloLaTeX>, "\xEF\xBF\xBD", false,
       [](const std::string& path) {
         std::string text = testsupport::ReadFile(path);
         for (std::size_t at; (at = text.find("\\penalty1000\\relax ")) != std::string::npos;) text.erase(at, 19);
         return text;
       }},
      {"out.rtf", Make<TTabuloRTF>, "\\u-3?"},
  };
  testsupport::TFormatSettingsScope locale;
  testsupport::TTempDir directory("utf8");
  for (const TFormatCase& format : formats) {
    SCOPED_TRACE(format.FileName);
    TMemoryDataSet data;
    data.AddField("TEXT", ftString, 40);  // wide enough that PDF cuts no text
    for (const auto& text : texts) data.AppendRecord({text.first});
    data.Open();
    const std::unique_ptr<TTabuloText> exporter = format.Make();
    exporter->DataSet = &data;
    exporter->FileName = directory.File(format.FileName);
    exporter->Execute();
    const std::string contents = format.Contents(exporter->FileName);
    for (const auto& [bytes, marked] : texts) {
      SCOPED_TRACE(testsupport::HexBytes(bytes));
      std::string expected;
      for (const char character : marked) {
        expected += character == '#' ? std::string(format.Replacement) : std::string(1, character);
        if (format.Utf16 && character != '#') expected += '\0';
      }
      EXPECT_NE(contents.find(expected), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace velmora
