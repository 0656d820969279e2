// The PDF table export read back by independent readers: the structure
// checker, document info and fonts, and two text extractors that must find
// every awkward value, in row order, over several pages.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/pdf/tabulo_pdf.h"
#include "platform/locale_settings.h"
#include "support/awkward_data.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::RunCommand;

// What a text extractor finds of each awkward text that the fonts' code page
// cannot show whole: characters outside it and controls as "?", line breaks
// and tabs as blanks, a text longer than its column as its first characters.
const std::map<std::string, std::string> kShownOtherwise = {
    {"tab", "tab inside"},
    {"crlf", "line1 line2"},
    {"lf and cr", "a b c d"},
    {"nul", "nul?here"},
    {"controls", "ctrl???end"},
    {"invalid utf-8", "bad ? mid ? lead ? end"},
    {"cjk", "??? ?? ???"},
    {"emoji", "emoji ?? ? end"},
    {"combining marks", "Zoe? Ge?rard n?"},
    {"right to left", "???? ???? 123"},
    {"line separators", "line?next?end"},
    {"braces", "{braces} }unbalanced{ [x] %50 #1 $5"},
    {"huge", "wwwwwwwwwwww"},
};

// What a reader must find of each awkward record, in order; NULL as "(NULL)".
std::vector<std::string> Shown() {
  std::vector<std::string> shown;
  for (const auto& text : testsupport::AwkwardTexts()) {
    const auto otherwise = kShownOtherwise.find(text.Name);
    shown.push_back(otherwise != kShownOtherwise.end() ? otherwise->second : text.Bytes);
  }
  shown.push_back("(NULL)");
  return shown;
}

class PDFExportInteropTest : public testsupport::TFileExportTest<TTabuloPDF> {
 protected:
  PDFExportInteropTest() : TFileExportTest("pdf-export-interop", "hostile.pdf") {}
  void SetUp() override {
    for (const char* tool : {"qpdf", "pdfinfo", "pdffonts", "pdftotext", "mutool"}) {
      if (FindExecutable(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    }
    // The awkward records first, then plain ones until the table runs over three pages.
    Awkward();
    for (int row = testsupport::AwkwardRecordCount() + 1; row <= 80; ++row) {
      data_.AppendRecord({std::to_string(row), "plain " + std::to_string(row), "-42"});
    }
    exporter_.ExportedFields = {"ID", "TEXT", "BIG"};
    exporter_.Formats.SetNullString("(NULL)");
    // Digits in Courier are wider than the average character.
    exporter_.ColumnsWidth = {"ID=4", "TEXT=50", "BIG=30"};
    exporter_.Header.Add("Header (with \\ and ( unbalanced");
    exporter_.Footer.Add("Footer) end");
    exporter_.Options.CaptionFont.BaseFont = poTimesBold;
    exporter_.Options.DataFont.BaseFont = poCourier;
    exporter_.Options.FooterFont.FontEncoding = poMacRomanEncoding;
    Export();
    file_ = exporter_.FileName;
  }

  testsupport::TCommandResult Read(std::vector<std::string> command) {
    command[0] = FindExecutable(command[0]);
    return RunCommand(command);
  }

  // Every value, in row order, between the header and the footer.
  void ExpectRowsInOrder(std::string extracted, const char* reader) {
    // A line break is drawn as a blank; the extractors may widen blanks.
    for (std::size_t at = extracted.find("  "); at != std::string::npos; at = extracted.find("  ", at)) {
      extracted.erase(at, 1);
    }
    std::size_t position = extracted.find("Header (with \\ and ( unbalanced");
    ASSERT_NE(position, std::string::npos) << reader << "\n" << extracted;
    for (const std::string& shown : Shown()) {
      const std::size_t found = extracted.find(shown, position);
      ASSERT_NE(found, std::string::npos) << reader << " lost: " << shown << "\n" << extracted;
      position = found + shown.size();
    }
    for (int row = testsupport::AwkwardRecordCount() + 1; row <= 80; ++row) {
      const std::string text = "plain " + std::to_string(row);
      const std::size_t found = extracted.find(text, position);
      ASSERT_NE(found, std::string::npos) << reader << " lost: " << text;
      position = found + text.size();
    }
    EXPECT_NE(extracted.find("Footer) end", position), std::string::npos) << reader;
    EXPECT_NE(extracted.find("9,007,199,254,740,993"), std::string::npos) << reader;
  }

  std::string file_;
};

TEST_F(PDFExportInteropTest, StructureInfoAndFontsAreRead) {
  const auto check = Read({"qpdf", "--check", file_});
  EXPECT_EQ(check.exit_status, 0) << check.output;  // 2 is an error, 3 a warning

  const auto info = Read({"pdfinfo", file_});
  ASSERT_EQ(info.exit_status, 0) << info.output;
  EXPECT_NE(info.output.find("Pages:           3\n"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("PDF version:     1.3\n"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Page size:       594 x 841 pts"), std::string::npos) << info.output;

  const auto fonts = Read({"pdffonts", file_});
  ASSERT_EQ(fonts.exit_status, 0) << fonts.output;
  for (const char* name : {"\nCourier ", "\nTimes-Bold ", "\nHelvetica "}) {
    EXPECT_NE(fonts.output.find(name), std::string::npos) << name << "\n" << fonts.output;
  }
  EXPECT_NE(fonts.output.find(" MacRoman "), std::string::npos) << fonts.output;
  EXPECT_EQ(exporter_.ReplacedCharacters(), 31u);  // every "?" of the texts shown otherwise
}

TEST_F(PDFExportInteropTest, BothTextExtractorsFindEveryValueInRowOrder) {
  const auto poppler = Read({"pdftotext", "-layout", file_, "-"});
  ASSERT_EQ(poppler.exit_status, 0) << poppler.output;
  EXPECT_EQ(poppler.output.find("Syntax"), std::string::npos) << poppler.output;
  ExpectRowsInOrder(poppler.output, "pdftotext");

  const auto mupdf = Read({"mutool", "draw", "-F", "txt", "-o", "-", file_});
  ASSERT_EQ(mupdf.exit_status, 0) << mupdf.output;
  EXPECT_EQ(mupdf.output.find("error"), std::string::npos) << mupdf.output;
  ExpectRowsInOrder(mupdf.output, "mutool");
}

}  // namespace
}  // namespace velmora
