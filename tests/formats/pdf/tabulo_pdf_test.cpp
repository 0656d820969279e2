// The PDF table export: the bytes of a whole table, row stepping and page
// breaks, the cell hook, columns as wide as their values, long texts wrapped
// inside their column, captions and page numbers on every page, and the
// template keys with their refused values.
#include "formats/pdf/tabulo_pdf.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The data of every stream whose dictionary ends with ending, in file order.
std::vector<std::string> Streams(const std::string& file, const std::string& ending) {
  std::vector<std::string> streams;
  const std::string keyword = ending + "stream\r\n";
  for (std::size_t start = file.find(keyword); start != std::string::npos; start = file.find(keyword, start)) {
    start += keyword.size();
    const std::size_t end = file.find("endstream\r", start);
    streams.push_back(file.substr(start, end - start));
    start = end + 10;
  }
  return streams;
}

// The data of every page's content stream (its length an object of its own), in page order.
std::vector<std::string> Contents(const std::string& file) {
  return Streams(file, " 0 R >>\r");
}

// The page-number forms, in page order.
std::vector<std::string> Forms(const std::string& file) {
  return Streams(file, "\r>>\r");
}

struct TTextOut {
  int x;
  int y;
  std::string text;
  std::string font;
};

// Every text drawn on a page, in drawing order.
std::vector<TTextOut> TextsOf(const std::string& content) {
  static const std::regex kText(R"(/(\w+) \d+ Tf\r(-?\d+) (-?\d+) Td \(((?:[^\\)]|\\.)*)\) Tj)");
  std::vector<TTextOut> texts;
  for (auto match = std::sregex_iterator(content.begin(), content.end(), kText); match != std::sregex_iterator();
       ++match) {
    texts.push_back({std::stoi((*match)[2]), std::stoi((*match)[3]), (*match)[4], (*match)[1]});
  }
  return texts;
}

class PDFExportTest : public testsupport::TFileExportTest<TTabuloPDF> {
 protected:
  PDFExportTest() : TFileExportTest("pdf-export", "out.pdf") {}

  // ID and NAME 10 characters wide each, by the template's WIDTH.
  void IdAndName(const std::vector<TMemoryDataSet::TRecord>& records) {
    TFileExportTest::IdAndName(records, 10, 10);
    exporter_.ColumnsWidth = {"ID=10", "NAME=10"};
  }

  // The data font's texts of each column in drawing order, over every page:
  // the lines of a cell follow each other, then those of the next row.
  std::vector<std::vector<std::string>> ColumnTexts(const std::string& file) {
    const std::vector<int>& positions = exporter_.ColumnPositions();
    std::vector<std::vector<std::string>> columns(positions.size() - 1);
    for (const std::string& page : Contents(file)) {
      for (const TTextOut& text : TextsOf(page)) {
        if (text.font != "DataFont") continue;
        for (std::size_t column = 0; column + 1 < positions.size(); ++column) {
          if (text.x >= positions[column] && text.x < positions[column + 1]) columns[column].push_back(text.text);
        }
      }
    }
    return columns;
  }

  // Every text of the font lies between its column's borders.
  void ExpectInsideColumns(const std::string& file, const TPDFFont& font) {
    const std::vector<int>& positions = exporter_.ColumnPositions();
    for (const std::string& page : Contents(file)) {
      for (const TTextOut& text : TextsOf(page)) {
        if (text.font != font.Name) continue;
        const auto column = std::upper_bound(positions.begin(), positions.end(), text.x) - positions.begin() - 1;
        ASSERT_GE(column, 0) << text.text;
        ASSERT_LT(column + 1, static_cast<long>(positions.size())) << text.text;
        EXPECT_LE(text.x + TPDFDocument::TextWidth(Unescaped(text.text), font), positions[column + 1])
            << text.text;
      }
    }
  }

  static std::string Unescaped(const std::string& text) {
    std::string plain;
    for (std::size_t at = 0; at < text.size(); ++at) plain += text[at] == '\\' ? text[++at] : text[at];
    return plain;
  }
};

// The lines of a wrapped text joined again: the blanks at a break are gone.
std::string Joined(const std::vector<std::string>& lines, std::size_t first, std::size_t count) {
  std::string joined;
  for (std::size_t line = first; line < first + count && line < lines.size(); ++line) {
    if (!joined.empty()) joined += ' ';
    joined += lines[line];
  }
  return joined;
}

TEST_F(PDFExportTest, OneRecordBetweenHeaderAndFooterByteForByte) {
  IdAndName({{"7", "Ann"}});
  exporter_.ColumnsAlign.Add("NAME=right");
  exporter_.Header.Add("C:\\new\\table");
  exporter_.Footer.Add("end)");
  exporter_.Options.PageNumbers = false;
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

// A film table as a sample database has it: titles and descriptions declared
// 255 characters wide, a rating, money, a year and a timestamp.
class PDFFilmTest : public PDFExportTest {
 protected:
  static constexpr int kFilms = 40;
  static std::string Description(int film) {
    std::string text = "A Thoughtful Display of a Woman And a Forensic Psychologist who must Find a Robot in";
    for (int word = 0; word < film % 5; ++word) text += " The Sahara Desert";
    return text;
  }
  void SetUp() override {
    data_.AddField("film_id", ftInteger, 5);
    data_.AddField("title", ftString, 255);
    data_.AddField("description", ftString, 255);
    data_.AddField("release_year", ftInteger, 4);
    data_.AddField("rating", ftString, 5);
    data_.AddField("replacement_cost", ftFloat, 5);
    data_.AddField("special_features", ftString, 54);
    data_.AddField("last_update", ftDateTime, 19);
    for (int film = 1; film <= kFilms; ++film) {
      data_.AppendRecord({std::to_string(film), "ACADEMY DINOSAUR " + std::to_string(film), Description(film),
                          "2006", film % 2 ? "PG-13" : "NC-17", "20.99", "Deleted Scenes,Behind the Scenes",
                          "2006-02-15 05:03:42"});
    }
    data_.Open();
    // The template's portrait page, spacing and font sizes, kept as given.
    exporter_.Options.PageGiven = true;
    exporter_.Options.ColSpacingGiven = true;
    exporter_.Options.MinFontSize = exporter_.Options.DataFont.FontSize;
  }
};

// Left to choose, the table turns the page and tightens its spacing: the
// numbers, dates and ratings still show whole, one text per row.
TEST_F(PDFFilmTest, ATableTooWideForThePageTurnsItWhenTheTemplateSetsNone) {
  exporter_.Options.PageGiven = false;
  exporter_.Options.ColSpacingGiven = false;
  exporter_.Options.MinFontSize = 6;
  const std::string file = Export();
  EXPECT_NE(file.find("/MediaBox [0 0 841 594]"), std::string::npos);
  EXPECT_EQ(exporter_.ColumnPositions().back(), 784);
  const std::vector<std::vector<std::string>> columns = ColumnTexts(file);
  for (const std::size_t column : {0u, 3u, 4u, 5u, 7u}) {
    ASSERT_EQ(columns[column].size(), static_cast<std::size_t>(kFilms)) << column;
  }
  EXPECT_EQ(columns[7][0], "2006-02-15 05:03:42");
  EXPECT_EQ(exporter_.Options.PageOptions.Orientation(), poPortrait);  // the options stay the template's
}

TEST_F(PDFFilmTest, ColumnsShareThePageAndLongTextsWrapWithoutLosingACharacter) {
  const std::string file = Export();
  const std::vector<int>& positions = exporter_.ColumnPositions();
  ASSERT_EQ(positions.size(), 9u);
  EXPECT_EQ(positions.back(), 552);  // the columns fill the printable width
  ExpectInsideColumns(file, exporter_.Options.DataFont);
  ExpectInsideColumns(file, exporter_.Options.CaptionFont);

  const std::vector<std::vector<std::string>> columns = ColumnTexts(file);
  // Numbers, dates and the short rating are never wrapped: one text per row.
  for (const std::size_t column : {0u, 3u, 4u, 5u, 7u}) {
    ASSERT_EQ(columns[column].size(), static_cast<std::size_t>(kFilms)) << column;
  }
  EXPECT_EQ(columns[5][0], "20.99");
  EXPECT_EQ(columns[7][0].size(), 19u);  // the whole timestamp
  EXPECT_EQ(columns[4][0], "PG-13");
  // The description wraps: its lines, joined, give every row's text in order.
  const std::vector<std::string>& lines = columns[2];
  EXPECT_GT(lines.size(), static_cast<std::size_t>(2 * kFilms));
  std::string expected;
  for (int film = 1; film <= kFilms; ++film) expected += (film > 1 ? " " : "") + Description(film);
  EXPECT_EQ(Joined(lines, 0, lines.size()), expected);
  // A word wider than its column breaks between characters: nothing is lost.
  std::string features = Joined(columns[6], 0, columns[6].size());
  std::erase(features, ' ');
  std::string expected_features;
  for (int film = 1; film <= kFilms; ++film) expected_features += "DeletedScenes,BehindtheScenes";
  EXPECT_EQ(features, expected_features);
}

TEST_F(PDFFilmTest, CaptionsRepeatOnEveryPageAndRowsMoveWholeToTheNext) {
  const std::string file = Export();
  const std::vector<std::string> pages = Contents(file);
  ASSERT_GE(pages.size(), 3u);
  for (std::size_t page = 0; page < pages.size(); ++page) {
    std::string captions;
    int lowest = 784;
    std::vector<TTextOut> ids;
    for (const TTextOut& text : TextsOf(pages[page])) {
      if (text.font == "CaptionFont") captions += text.text + " ";
      if (text.font == "DataFont") lowest = std::min(lowest, text.y);
      if (text.font == "DataFont" && text.x < exporter_.ColumnPositions()[1]) ids.push_back(text);
    }
    // Long captions wrap inside their column too.
    for (const char* caption : {"film_id", "title", "description", "rating", "last_update"}) {
      EXPECT_NE(captions.find(caption), std::string::npos) << page << ": " << caption;
    }
    EXPECT_GE(lowest, 57 + 3) << page;  // above the bottom margin
    ASSERT_FALSE(ids.empty()) << page;
    // The page's last row ends on it: its description's lines are all here.
    if (page + 1 < pages.size()) {
      const std::string& next = pages[page + 1];
      const std::vector<TTextOut> next_texts = TextsOf(next);
      const auto first_data = std::find_if(next_texts.begin(), next_texts.end(),
                                           [](const TTextOut& text) { return text.font == "DataFont"; });
      ASSERT_NE(first_data, next_texts.end());
      EXPECT_EQ(first_data->text, std::to_string(std::stoi(ids.back().text) + 1)) << page;
    }
  }
  // Page numbers: one form per page, "Page N of M".
  const std::vector<std::string> forms = Forms(file);
  ASSERT_EQ(forms.size(), pages.size());
  for (std::size_t page = 0; page < forms.size(); ++page) {
    const std::vector<TTextOut> texts = TextsOf(forms[page]);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Page " + std::to_string(page + 1) + " of " + std::to_string(pages.size()));
    EXPECT_EQ(texts[0].font, "FooterFont");
    EXPECT_EQ(texts[0].y, 57 - 15);
    EXPECT_NE(pages[page].find("/PageNumber Do\r"), std::string::npos);
  }
}

// No value of a number or date column is ever shown as "#" marks or cut; one
// that a WIDTH entry or the page makes too wide for its column wraps.
struct TWholeValueCase {
  const char* name;
  TFieldType type;
  std::vector<std::string> widths;  // WIDTH entries
  std::string value;
  std::vector<std::string> lines;  // what the cell shows
  std::string second;             // a narrow value in the next row
};

TEST_F(PDFExportTest, NumbersAndDatesAreNeverMarkedOrCut) {
  const std::vector<TWholeValueCase> cases = {
      {"measured number", ftInteger, {}, "123456789", {"123,456,789"}, "7"},
      {"measured date", ftDateTime, {}, "2005-05-24 22:53:30", {"2005-05-24 22:53:30"}, "2006-02-15 00:00:00"},
      {"number in a given width", ftInteger, {"N=5"}, "123456789", {"123,", "456,", "789"}, "7"},
      {"date in a given width", ftDateTime, {"N=12"}, "2005-05-24 22:53:30", {"2005-05-24", "22:53:30"},
       "2006-02-15 00:00:00"},
  };
  for (const TWholeValueCase& test : cases) {
    TMemoryDataSet data;
    data.AddField("N", test.type, 3);
    data.AddField("S", ftString, 3);
    data.AppendRecord({test.value, "abcdefghij"});
    data.AppendRecord({test.second, "ab"});
    data.Open();
    TTabuloPDF exporter;
    exporter.DataSet = &data;
    exporter.FileName = directory_.File(std::string(test.name) + ".pdf");
    exporter.AllowCaptions = false;
    for (const std::string& width : test.widths) exporter.ColumnsWidth.Add(width);
    exporter.Execute();
    std::vector<std::string> shown;
    for (const TTextOut& text : TextsOf(Contents(ReadFile(exporter.FileName)).at(0))) {
      if (text.x < exporter.ColumnPositions()[1]) shown.push_back(text.text);
    }
    std::vector<std::string> expected = test.lines;
    for (std::size_t at = 0; at != std::string::npos;) {
      const std::size_t blank = test.lines.size() > 1 ? test.second.find(' ', at) : std::string::npos;
      expected.push_back(test.second.substr(at, blank - at));
      at = blank == std::string::npos ? blank : blank + 1;
    }
    EXPECT_EQ(shown, expected) << test.name;
  }
}

TEST_F(PDFExportTest, ARowTallerThanAPageContinuesOnTheNext) {
  data_.AddField("ID", ftInteger, 3);
  data_.AddField("TEXT", ftString, 255);
  std::string long_text;
  for (int word = 1; word <= 120; ++word) long_text += "word" + std::to_string(word) + " ";
  long_text.pop_back();
  data_.AppendRecord({"1", "short"});
  data_.AppendRecord({"2", long_text});
  data_.AppendRecord({"3", "after"});
  data_.Open();
  exporter_.ReadFormatSections(TIniFile::FromText("[PDF]\nPageHeight=240\nPageWidth=300\n"), data_);
  const std::string file = Export();
  const std::vector<std::string> pages = Contents(file);
  ASSERT_GE(pages.size(), 3u);
  const std::vector<std::vector<std::string>> columns = ColumnTexts(file);
  EXPECT_EQ(columns[0], (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_GE(columns[1].size(), 3u);
  EXPECT_EQ(columns[1].front(), "short");
  EXPECT_EQ(columns[1].back(), "after");
  EXPECT_EQ(Joined(columns[1], 1, columns[1].size() - 2), long_text);
  // Row 2 starts right below row 1, on the first page, and every page carries captions.
  EXPECT_NE(pages[0].find("(2) Tj"), std::string::npos);
  for (const std::string& page : pages) EXPECT_NE(page.find("(TEXT) Tj"), std::string::npos);
  ExpectInsideColumns(file, exporter_.Options.DataFont);
}

TEST_F(PDFExportTest, PageNumbersCanBeTurnedOff) {
  Numbers(80);
  exporter_.ReadFormatSections(TIniFile::FromText("[PDF]\nPageNumbers=0\n"), data_);
  const std::string file = Export();
  EXPECT_EQ(Contents(file).size(), 3u);
  EXPECT_TRUE(Forms(file).empty());
  EXPECT_EQ(file.find("/XObject"), std::string::npos);
  EXPECT_EQ(file.find("PageNumber"), std::string::npos);
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

// With EmbedFonts off, what the standard fonts lack prints as "?" and counts.
TEST_F(PDFExportTest, CountsReplacedCharactersAndRestoresTheSeparators) {
  SetFormatSettings(GermanStyleSettings());
  exporter_.Options.EmbedFonts = false;
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
      // The fonts to embed: files that exist, ";" between the fallbacks.
      {"[PDF]\nEmbedFonts=0\nFontFile= /dev/null \nFallbackFontFiles=/dev/null ; ;/dev/zero\n",
       [](const TPDFOptions& o) {
         return !o.EmbedFonts && o.FontFile == "/dev/null" && o.BoldFontFile.empty() &&
                o.FallbackFontFiles == std::vector<std::string>{"/dev/null", "/dev/zero"};
       }},
      {"[PDF]\nPageNumbers=0\n", [](const TPDFOptions& o) { return !o.PageNumbers; }},
      {"[PDF]\nPageNumbers=yes\n", [](const TPDFOptions& o) { return o.PageNumbers; }},
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
      {"[PDF]\nFontFile=/no/such/font.ttf\n",
       "Invalid value \"/no/such/font.ttf\" for FontFile in [PDF]: no such font file"},
      {"[PDF]\nFallbackFontFiles=/dev/null;/no/such.ttf\n",
       "Invalid value \"/dev/null;/no/such.ttf\" for FallbackFontFiles in [PDF]: no such font file: /no/such.ttf"},
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
