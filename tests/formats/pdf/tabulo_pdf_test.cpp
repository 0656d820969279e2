// The PDF table export: the bytes of a whole table, row stepping and page
// breaks, the cell hook, columns narrowed to the page, texts cut to their
// column, and the template keys with their refused values.
#include "formats/pdf/tabulo_pdf.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "platform/pinned_settings.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::ReadFile;
using testsupport::TTempDir;

// The data of every content stream, in page order.
std::vector<std::string> Contents(const std::string& file) {
  std::vector<std::string> pages;
  for (std::size_t start = file.find("stream\r\n"); start != std::string::npos;
       start = file.find("stream\r\n", start)) {
    start += 8;
    const std::size_t end = file.find("endstream\r", start);
    pages.push_back(file.substr(start, end - start));
    start = end + 10;
  }
  return pages;
}

struct TTextOut {
  int x;
  int y;
  std::string text;
};

// Every text drawn on a page, in drawing order.
std::vector<TTextOut> TextsOf(const std::string& content) {
  static const std::regex kText(R"((-?\d+) (-?\d+) Td \(((?:[^\\)]|\\.)*)\) Tj)");
  std::vector<TTextOut> texts;
  for (auto match = std::sregex_iterator(content.begin(), content.end(), kText); match != std::sregex_iterator();
       ++match) {
    texts.push_back({std::stoi((*match)[1]), std::stoi((*match)[2]), (*match)[3]});
  }
  return texts;
}

class PDFExportTest : public testsupport::TFileExportTest<TTabuloPDF> {
 protected:
  PDFExportTest() : TFileExportTest("pdf-export", "out.pdf") {}

  // ID and NAME 10 characters wide each.
  void IdAndName(const std::vector<TMemoryDataSet::TRecord>& records) {
    TFileExportTest::IdAndName(records, 10, 10);
  }
};

TEST_F(PDFExportTest, OneRecordBetweenHeaderAndFooterByteForByte) {
  IdAndName({{"7", "Ann"}});
  exporter_.ColumnsAlign.Add("NAME=right");
  exporter_.Header.Add("C:\\new\\table");
  exporter_.Footer.Add("end)");
  const std::string file = Export();

  EXPECT_NE(file.find("/MediaBox [0 0 594 841]\r/TrimBox [85 57 552 784]\r"), std::string::npos);
  EXPECT_EQ(exporter_.ColumnPositions(), (std::vector<int>{85, 148, 211}));
  const std::string rule = "1.0 w \rS\r";
  // Header at 784 - 15, table top 5 lower; captions 7 points (1.5 average
  // characters) into their columns; "7" (6 points) and "Ann" (18 points) end
  // 7 before their right borders.
  const std::string expected =
      "0.00 0.00 0.00 RG\r"
      "BT\r/HeaderFont 10 Tf\r85 769 Td (C:\\\\new\\\\table) Tj\rET\r"
      "85.0 764.0 m \r211.0 764.0 l \r" + rule +
      "BT\r/CaptionFont 10 Tf\r92 749 Td (ID) Tj\rET\r"
      "BT\r/CaptionFont 10 Tf\r155 749 Td (NAME) Tj\rET\r"
      "85.0 744.0 m \r211.0 744.0 l \r" + rule +
      "BT\r/DataFont 10 Tf\r135 729 Td (7) Tj\rET\r"
      "BT\r/DataFont 10 Tf\r186 729 Td (Ann) Tj\rET\r"
      "85.0 724.0 m \r211.0 724.0 l \r" + rule +
      "85.0 764.5 m \r85.0 723.5 l \r" + rule +
      "148.0 764.5 m \r148.0 723.5 l \r" + rule +
      "211.0 764.5 m \r211.0 723.5 l \r" + rule +
      "BT\r/FooterFont 10 Tf\r85 709 Td (end\\)) Tj\rET\r";
  EXPECT_EQ(Contents(file), std::vector<std::string>{expected});
  // Content, its length, outlines, four fonts, resources, page tree, page, catalog.
  EXPECT_NE(file.find("trailer\r<< /Size 12\r/Root 11 0 R\r"), std::string::npos);
}

TEST_F(PDFExportTest, RowsStepTwentyPointsAndBreakBeforeTheBottomMargin) {
  data_.AddField("NO", ftInteger, 4);
  for (int number = 1; number <= 37; ++number) data_.AppendRecord({std::to_string(number)});
  data_.Open();
  exporter_.AllowCaptions = false;
  const std::vector<std::string> pages = Contents(Export());
  ASSERT_EQ(pages.size(), 2u);
  const std::vector<TTextOut> first = TextsOf(pages[0]);
  ASSERT_EQ(first.size(), 36u);  // the 37th row would end at 64 - 20 < 57
  for (std::size_t row = 0; row < first.size(); ++row) {
    EXPECT_EQ(first[row].y, 769 - 20 * static_cast<int>(row)) << row;
  }
  // The first page's rules end at the last row's; the next page starts with a
  // rule at the top of the printable box, in the data font's colour.
  EXPECT_NE(pages[0].find("85.0 784.5 m \r85.0 63.5 l \r"), std::string::npos);
  EXPECT_EQ(pages[1].rfind("0.00 0.00 0.00 rg\r0.00 0.00 0.00 RG\r85.0 784.0 m \r", 0), 0u);
  const std::vector<TTextOut> second = TextsOf(pages[1]);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].text, "37");
  EXPECT_EQ(second[0].y, 769);
}

TEST_F(PDFExportTest, CellHookSetsColourBackgroundAndAlignment) {
  IdAndName({{"1", "left"}, {"2", std::nullopt}});
  exporter_.Formats.SetNullString("(null)");
  exporter_.AllowCaptions = false;
  std::vector<std::string> seen;
  exporter_.OnGetCellParams = [&seen](TTabulo&, int rec_no, int col_no, const std::string& value,
                                      TTabuloColAlign& align, TFont& font, TColor& background) {
    seen.push_back(std::to_string(rec_no) + ":" + std::to_string(col_no) + ":" + value);
    if (col_no == 1 && rec_no == 0) {
      font.Color = clRed;
      background = clNone;
      align = ecaCenter;
    }
  };
  const std::string content = Contents(Export()).at(0);
  EXPECT_EQ(seen, (std::vector<std::string>{"0:0:1", "0:1:left", "1:0:2", "1:1:(null)"}));
  // clNone is a background like any other; only white draws none. "left" (13
  // points) is centred in the 48 points of 10 average characters.
  EXPECT_NE(content.find("1.00 1.00 1.00 rg\r148.0 764.0 63.0 19.5 re f\r0.00 0.00 0.00 rg\r"
                         "1.00 0.00 0.00 rg\rBT\r/DataFont 10 Tf\r172 769 Td (left) Tj\rET\r0.00 0.00 0.00 rg\r"),
            std::string::npos);
  EXPECT_EQ(content.find(" re f\r", content.find("left") + 1), std::string::npos);
  EXPECT_NE(content.find("155 749 Td (\\(null\\)) Tj"), std::string::npos);
}

TEST_F(PDFExportTest, ColumnsTooWideForThePageAreNarrowedAndTextsCutToThem) {
  data_.AddField("CODE", ftString, 6);
  data_.AddField("TEXT", ftString, 128);
  data_.AddField("PRICE", ftString, 8);
  const std::string long_text(300, 'W');
  data_.AppendRecord({"A1", long_text, "12.50"});
  data_.Open();
  exporter_.ColumnsAlign.Add("PRICE=2");
  exporter_.Header.Add(long_text);
  const std::string content = Contents(Export()).at(0);
  const std::vector<int>& positions = exporter_.ColumnPositions();
  ASSERT_EQ(positions.size(), 4u);
  EXPECT_EQ(positions.front(), 85);
  EXPECT_EQ(positions.back(), 552);  // the right edge of the printable box
  EXPECT_LT(positions[1], positions[2]);
  EXPECT_LT(positions[2], positions[3]);

  const TPDFFont& font = exporter_.Options.DataFont;
  const std::vector<TTextOut> texts = TextsOf(content);
  ASSERT_EQ(texts.size(), 1u + 3u + 3u);  // header, captions, one row
  EXPECT_LE(TPDFDocument::TextWidth(texts[0].text, exporter_.Options.HeaderFont), 552 - 85);
  for (std::size_t column = 0; column < 3; ++column) {
    const TTextOut& cell = texts[4 + column];
    EXPECT_GE(cell.x, positions[column]) << column;
    EXPECT_LE(cell.x + TPDFDocument::TextWidth(cell.text, font), positions[column + 1]) << column;
  }
  EXPECT_EQ(texts[4].text, "A1");
  EXPECT_EQ(texts[6].text, "12.50");
  EXPECT_GT(texts[5].text.size(), 10u);
  EXPECT_EQ(texts[5].text, long_text.substr(0, texts[5].text.size()));
}

TEST_F(PDFExportTest, NumberTooWideForItsColumnShowsMarksNotACutValue) {
  data_.AddField("N", ftInteger, 3);
  data_.AddField("S", ftString, 3);
  data_.AppendRecord({"123456789", "abcdefghij"});
  data_.AppendRecord({"7", "ab"});
  data_.Open();
  exporter_.AllowCaptions = false;
  const std::vector<TTextOut> texts = TextsOf(Contents(Export()).at(0));
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_FALSE(texts[0].text.empty());
  EXPECT_EQ(texts[0].text, std::string(texts[0].text.size(), '#'));
  EXPECT_LT(texts[1].text.size(), 10u);
  EXPECT_EQ(texts[1].text, std::string("abcdefghij").substr(0, texts[1].text.size()));
  EXPECT_EQ(texts[2].text, "7");
  EXPECT_EQ(texts[3].text, "ab");
}

TEST_F(PDFExportTest, EmptyExportDrawsCaptionsRulesAndFooter) {
  IdAndName({});
  exporter_.Footer.Add("no rows");
  const std::string content = Contents(Export()).at(0);
  const std::vector<TTextOut> texts = TextsOf(content);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[2].text, "no rows");
  EXPECT_EQ(texts[2].y, 784 - 20 - 15);
  EXPECT_NE(content.find("85.0 784.5 m \r85.0 763.5 l \r"), std::string::npos);
}

TEST_F(PDFExportTest, CountsReplacedCharactersAndRestoresTheSeparators) {
  SetFormatSettings(GermanStyleSettings());
  data_.AddField("AMOUNT", ftFloat, 12);
  data_.AddField("NAME", ftString, 10);
  data_.AppendRecord({"1234567.89", "日本 Zoë"});
  data_.Open();
  const std::string content = Contents(Export()).at(0);
  EXPECT_NE(content.find("(1,234,567.89)"), std::string::npos);
  EXPECT_NE(content.find("(?? Zo\xEB)"), std::string::npos);
  EXPECT_EQ(exporter_.ReplacedCharacters(), 2u);
  EXPECT_EQ(FormatSettings().DecimalSeparator, ",");
  EXPECT_EQ(FormatSettings().ThousandSeparator, ".");
}

// ---------------------------------------------------------------------------
// Template sections

struct TSectionCase {
  const char* lines;
  std::function<bool(const TPDFOptions&)> holds;
};

TEST(PDFSectionsTest, KeysSetTheirOptionsAndUnknownNumbersTakeTheDefault) {
  const TPDFOptions defaults;
  const auto unchanged = [&defaults](const TPDFOptions& options) {
    return options.HeaderFont.BaseFont == defaults.HeaderFont.BaseFont &&
           options.HeaderFont.FontEncoding == defaults.HeaderFont.FontEncoding &&
           options.HeaderFont.FontSize == defaults.HeaderFont.FontSize &&
           options.RowSpacing == defaults.RowSpacing && options.ColSpacing == defaults.ColSpacing &&
           options.GridLineWidth == defaults.GridLineWidth &&
           options.PageOptions.PrintableBox() == TPDFBox{85, 57, 552, 784} &&
           options.PageOptions.PageBox() == TPDFBox{0, 0, 594, 841};
  };
  const std::vector<TSectionCase> cases = {
      {"[PDF_OPTION_HEADER]\nFontName=13\nFontEncoding=2\nFontSize=14\nFontColor=$0000FF\n",
       [](const TPDFOptions& o) {
         return o.HeaderFont.BaseFont == poZapfDingbats && o.HeaderFont.FontEncoding == poMacRomanEncoding &&
                o.HeaderFont.FontSize == 14 && o.HeaderFont.FontColor == clRed && o.DataFont.FontSize == 10;
       }},
      // Numbers that name no font or encoding take the default.
      {"[PDF_OPTION_HEADER]\nFontName=14\nFontEncoding=4\n", unchanged},
      {"[PDF_OPTION_HEADER]\nFontName=-1\nFontEncoding=-1\nFontSize=abc\n", unchanged},
      // A colour past 24 bits or a system colour printed its low bytes: white
      // text on the white page. A system colour shows as a light theme's.
      {"[PDF_OPTION_HEADER]\nFontColor=$FFFFFFFF\n[PDF_OPTION_CAPTION]\nFontColor=$1000000\n"
       "[PDF_OPTION_DATA]\nFontColor=clBtnFace\n[PDF_OPTION_FOOTER]\nFontColor=-16777216\n",
       [](const TPDFOptions& o) {
         return o.HeaderFont.FontColor == clBlack && o.CaptionFont.FontColor == clBlack &&
                o.DataFont.FontColor == clSilver && o.FooterFont.FontColor == clBlack;
       }},
      {"[PDF_OPTION_DATA]\nFontColor=clNavy\n[PDF_OPTION_FOOTER]\nFontColor=$FFFFFF\n",
       [](const TPDFOptions& o) {
         return o.DataFont.FontColor == clNavy && o.FooterFont.FontColor == clWhite;
       }},
      {"[PDF]\nRowSpacing=nan\n", unchanged},
      {"[PDF]\nRowSpacing=0.5\nColSpacing=1\nGridLineWidth=0\n",
       [](const TPDFOptions& o) { return o.RowSpacing == 0.5 && o.ColSpacing == 1 && o.GridLineWidth == 0; }},
      {"[PDF]\nPageWidth=595\nPageHeight=842\n",
       [](const TPDFOptions& o) {
         return o.PageOptions.PageBox() == TPDFBox{0, 0, 594, 841};
       }},
      {"[PDF]\nPageWidth=842\nPageHeight=595\nPageMarginLeft=20\nPageMarginRight=30\nPageMarginTop=40\n"
       "PageMarginBottom=50\n",
       [](const TPDFOptions& o) {
         return o.PageOptions.PrintableBox() == TPDFBox{20, 50, 811, 554};
       }},
      {"[PDF]\nPageWidth=100\nPageMarginLeft=10\nPageMarginRight=10\n",
       [](const TPDFOptions& o) {
         return o.PageOptions.PrintableBox() == TPDFBox{10, 57, 89, 784};
       }},
  };
  TMemoryDataSet data;
  for (const TSectionCase& test : cases) {
    TTabuloPDF exporter;
    exporter.ReadFormatSections(TIniFile::FromText(test.lines), data);
    EXPECT_TRUE(test.holds(exporter.Options)) << test.lines;
  }
}

// A size that cannot give a sound page used to be replaced silently (a
// PageWidth of 0 by A4); it is refused, naming key and value, before the
// first byte, and the options stay as they were.
TEST(PDFSectionsTest, ValuesThatCannotGiveASoundPageAreRefused) {
  const struct {
    const char* Lines;
    const char* Message;
  } cases[] = {
      {"[PDF]\nPageWidth=0\n", "Invalid value \"0\" for PageWidth in [PDF]: give a number from 1 to 14400"},
      {"[PDF]\nPageHeight=-842\n",
       "Invalid value \"-842\" for PageHeight in [PDF]: give a number from 1 to 14400"},
      {"[PDF]\nPageMarginBottom=$FFFF\n",
       "Invalid value \"$FFFF\" for PageMarginBottom in [PDF]: give a number from 0 to 14400"},
      {"[PDF]\nPageMarginLeft=600\n",
       "Invalid value \"600\" for PageMarginLeft in [PDF]: a page of 595 points with margins of 600 and 42 "
       "leaves "
       "no room to print"},
      {"[PDF]\nPageWidth=100\n",
       "Invalid value \"100\" for PageWidth in [PDF]: a page of 100 points with margins of 85 and 42 leaves "
       "no room "
       "to print"},
      {"[PDF]\nPageHeight=400\nPageMarginBottom=400\n",
       "Invalid value \"400\" for PageMarginBottom in [PDF]: a page of 400 points with margins of 57 and 400 "
       "leaves "
       "no room to print"},
      {"[PDF]\nRowSpacing=-0.5\n",
       "Invalid value \"-0.5\" for RowSpacing in [PDF]: give a number from 0 to 100"},
      {"[PDF]\nColSpacing=1e308\n",
       "Invalid value \"1e308\" for ColSpacing in [PDF]: give a number from 0 to 100"},
      {"[PDF]\nGridLineWidth=-1\n",
       "Invalid value \"-1\" for GridLineWidth in [PDF]: give a number from 0 to 100"},
      {"[PDF_OPTION_HEADER]\nFontSize=0\n",
       "Invalid value \"0\" for FontSize in [PDF_OPTION_HEADER]: give a number from 1 to 1638"},
      {"[PDF_OPTION_FOOTER]\nFontSize=1639\n",
       "Invalid value \"1639\" for FontSize in [PDF_OPTION_FOOTER]: give a number from 1 to 1638"},
  };
  const TMemoryDataSet data;
  for (const auto& test : cases) {
    TTabuloPDF exporter;
    exporter.Options.RowSpacing = 2;
    EXPECT_VELMORA_ERROR(exporter.ReadFormatSections(TIniFile::FromText(test.Lines), data), test.Message);
    EXPECT_EQ(exporter.Options.RowSpacing, 2);
    EXPECT_EQ(exporter.Options.PageOptions.PageBox(), (TPDFBox{0, 0, 594, 841})) << test.Lines;
  }
}

}  // namespace
}  // namespace velmora
