// The PDF table export read back by independent readers: the structure
// checker, document info and fonts, and two text extractors that must find
// every awkward value, in row order, over several pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
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
// cannot show whole: characters outside it and controls as "?", tabs as
// blanks, a line break as the end of a line of the cell ("|" between the
// lines), a text longer than its column wrapped over many lines (its start).
const std::map<std::string, std::string> kShownOtherwise = {
    {"tab", "tab inside"},
    {"crlf", "line1|line2"},
    {"lf and cr", "a|b|c|d"},
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
    // The standard fonts' encodings: what they cannot show prints as "?".
    exporter_.Options.EmbedFonts = false;
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
      for (std::size_t start = 0; start != std::string::npos;) {
        const std::size_t bar = shown.find('|', start);
        const std::string piece = shown.substr(start, bar - start);
        const std::size_t found = extracted.find(piece, position);
        ASSERT_NE(found, std::string::npos) << reader << " lost: " << piece << "\n" << extracted;
        position = found + piece.size();
        start = bar == std::string::npos ? bar : bar + 1;
      }
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
  // The huge text wraps over dozens of pages; every page is numbered.
  const std::size_t pages_at = info.output.find("Pages:");
  ASSERT_NE(pages_at, std::string::npos) << info.output;
  const int pages = std::stoi(info.output.substr(pages_at + 6));
  EXPECT_GT(pages, 20);
  const auto text = Read({"pdftotext", file_, "-"});
  for (int page = 1; page <= pages; ++page) {
    const std::string number = "Page " + std::to_string(page) + " of " + std::to_string(pages);
    EXPECT_NE(text.output.find(number), std::string::npos) << number;
  }
  EXPECT_NE(info.output.find("PDF version:     1.3\n"), std::string::npos) << info.output;
  // Its columns do not fit an upright A4 page even in small print: the page turns.
  EXPECT_NE(info.output.find("Page size:       841 x 594 pts"), std::string::npos) << info.output;

  const auto fonts = Read({"pdffonts", file_});
  ASSERT_EQ(fonts.exit_status, 0) << fonts.output;
  for (const char* name : {"\nCourier ", "\nTimes-Bold ", "\nHelvetica "}) {
    EXPECT_NE(fonts.output.find(name), std::string::npos) << name << "\n" << fonts.output;
  }
  EXPECT_NE(fonts.output.find(" MacRoman "), std::string::npos) << fonts.output;
  // Every "?" of the texts shown otherwise, the end of the huge one included.
  EXPECT_EQ(exporter_.ReplacedCharacters(), 33u);
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

// Without WIDTH entries: every column as wide as its values, numbers and
// dates whole, the captions and a number on every page.
class PDFContentWidthInteropTest : public testsupport::TFileExportTest<TTabuloPDF> {
 protected:
  PDFContentWidthInteropTest() : TFileExportTest("pdf-content-width", "awkward.pdf") {
    exporter_.Options.EmbedFonts = false;
  }
};

TEST_F(PDFContentWidthInteropTest, NumbersAndDatesComeBackWholeUnderTheCaptionsOfEveryPage) {
  for (const char* tool : {"qpdf", "pdftotext"}) {
    if (FindExecutable(tool).empty()) GTEST_SKIP() << tool << " is not installed";
  }
  // The huge text is left out: the other test reads its dozens of pages.
  testsupport::FillAwkwardData(data_, {"huge"});
  const int first_plain = testsupport::AwkwardRecordCount();
  for (int row = first_plain; row <= 120; ++row) {
    data_.AppendRecord({std::to_string(row), "plain", "9007199254740993", "-1234567.891", "2.5", "2024-02-29",
                        "2024-02-29 23:59:58", "True"});
  }
  // The awkward texts wrap; the numbers and dates beside them stay whole.
  exporter_.ExportedFields = {"ID", "TEXT", "BIG", "DAY", "MOMENT", "FLAG"};
  Export();
  const auto check = RunCommand({FindExecutable("qpdf"), "--check", exporter_.FileName});
  EXPECT_EQ(check.exit_status, 0) << check.output;
  const auto text = RunCommand({FindExecutable("pdftotext"), "-layout", exporter_.FileName, "-"});
  ASSERT_EQ(text.exit_status, 0) << text.output;
  EXPECT_EQ(text.output.find("##"), std::string::npos) << text.output;
  std::vector<std::string> pages;
  for (std::size_t start = 0; start < text.output.size();) {
    const std::size_t end = std::min(text.output.find('\f', start), text.output.size());
    if (end > start) pages.push_back(text.output.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_GE(pages.size(), 2u);
  for (std::size_t page = 0; page < pages.size(); ++page) {
    for (const char* caption : {"ID", "TEXT", "BIG", "DAY", "MOMENT", "FLAG"}) {
      EXPECT_NE(pages[page].find(caption), std::string::npos) << page << ": " << caption;
    }
    const std::string number = "Page " + std::to_string(page + 1) + " of " + std::to_string(pages.size());
    EXPECT_NE(pages[page].find(number), std::string::npos) << number;
  }
  // One line per plain row, every value whole on it.
  for (int row = first_plain; row <= 120; ++row) {
    const std::regex line("\n *" + std::to_string(row) +
                          " +plain +9,007,199,254,740,993 +2024-02-29 +2024-02-29 23:59:58 +True *\n");
    EXPECT_TRUE(std::regex_search(text.output, line)) << row;
  }
}

}  // namespace
}  // namespace velmora
