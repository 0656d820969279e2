// The same bytes that are not UTF-8 come out of every format that repairs
// text with the same replacements: one U+FFFD per maximal invalid subpart, or
// one "?" where the file cannot hold U+FFFD. (CSV and the other line formats
// and HTML write text bytes as they are; the SQL script writes such text in
// hexadecimal.)
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

using testsupport::HexBytes;

// Each text as stored, and as a reader that follows the Unicode practice
// repairs it ("#" marks a replacement).
struct TRepairedText {
  std::string Bytes;
  std::string Repaired;
};

const std::vector<TRepairedText>& Texts() {
  static const std::vector<TRepairedText> texts = {
      // A three-byte sequence cut short before an ASCII letter.
      {"a\xE2\x82\x41z", "a#Az"},
      // Truncated four- and three-byte sequences, a lead before ASCII, stray
      // continuation bytes.
      {"a\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", "a###b#c##d"},
      // Overlong forms and a surrogate take one replacement per byte.
      {"e\xC0\xAF\xE0\x80\xBF\x66\xED\xA0\x80g", "e#####f###g"},
  };
  return texts;
}

// The text with every "#" in the form a file writes U+FFFD in.
std::string WithReplacement(const std::string& repaired, const std::string& replacement) {
  std::string out;
  for (const char character : repaired) {
    if (character == '#') {
      out += replacement;
    } else {
      out += character;
    }
  }
  return out;
}

std::string Utf16LE(const std::string& ascii_with_marks) {
  std::string out;
  for (const char character : ascii_with_marks) {
    if (character == '#') {
      out += "\xFD\xFF";
    } else {
      out += character;
      out += '\0';
    }
  }
  return out;
}

// The bytes of the one XML part of the package that holds cell texts.
std::string XlsxSheetText(const std::string& path) {
  const testsupport::TCommandResult result =
      testsupport::RunCommand({"/usr/bin/python3", "-c",
                               "import sys, zipfile\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "sys.stdout.buffer.write(b''.join(z.read(n) for n in z.namelist()\n"
                               "    if n.startswith('xl/worksheets/') or n == 'xl/sharedStrings.xml'))\n",
                               path});
  EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 500);
  return result.output;
}

struct TFormatCase {
  const char* Name;
  const char* FileName;
  std::function<std::unique_ptr<TTabuloText>()> Make;
  // The form of a repaired text in the file ("#" marks U+FFFD).
  std::function<std::string(const std::string&)> Form;
  // The file's bytes as searched; the file itself unless told.
  std::function<std::string(const std::string& path)> Contents;
};

template <class TExporter>
std::function<std::unique_ptr<TTabuloText>()> Maker() {
  return [] { return std::make_unique<TExporter>(); };
}

std::string Utf8Form(const std::string& repaired) {
  return WithReplacement(repaired, "\xEF\xBF\xBD");
}

TEST(InvalidUtf8Agreement, EveryFormatReplacesEachMaximalSubpartOnce) {
  testsupport::TFormatSettingsScope locale;
  testsupport::TTempDir directory("utf8");
  const std::vector<TFormatCase> formats = {
      {"XLS", "out.xls", Maker<TTabuloXLS>(), Utf16LE, nullptr},
      {"XLSX", "out.xlsx", Maker<TTabuloXLSX>(), Utf8Form, XlsxSheetText},
      {"PDF", "out.pdf", Maker<TTabuloPDF>(),
       [](const std::string& text) { return WithReplacement(text, "?"); }, nullptr},
      {"JSON", "out.json", Maker<TTabuloJSON>(), Utf8Form, nullptr},
      {"XML", "out.xml", Maker<TTabuloXML>(), Utf8Form, nullptr},
      {"LaTeX", "out.tex", Maker<TTabuloLaTeX>(), Utf8Form, nullptr},
      {"RTF", "out.rtf", Maker<TTabuloRTF>(),
       [](const std::string& text) { return WithReplacement(text, "\\u-3?"); }, nullptr},
  };
  for (const TFormatCase& format : formats) {
    SCOPED_TRACE(format.Name);
    TMemoryDataSet data;
    // Wide enough that PDF cuts no text at the column's edge.
    data.AddField("TEXT", ftString, 40);
    for (const TRepairedText& text : Texts()) data.AppendRecord({text.Bytes});
    data.Open();
    const std::unique_ptr<TTabuloText> exporter = format.Make();
    exporter->DataSet = &data;
    exporter->FileName = directory.File(format.FileName);
    exporter->Execute();
    const std::string contents =
        format.Contents ? format.Contents(exporter->FileName) : testsupport::ReadFile(exporter->FileName);
    for (const TRepairedText& text : Texts()) {
      SCOPED_TRACE(HexBytes(text.Bytes));
      EXPECT_NE(contents.find(format.Form(text.Repaired)), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace velmora
