// The RTF exporter byte for byte: the document around the table, the table
// definition, caption and data cells, the escaping of every text, the column
// edges, the tables that grow after they were written, and its template sections.
#include "formats/rtf/tabulo_rtf.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/rtf/rtf_writer.h"
#include "platform/ini_file.h"
#include "platform/locale_settings.h"
#include "platform/output_stream.h"
#include "support/expect_error.h"
#include "support/test_files.h"
#include "tests/formats/file_export_test.h"

namespace velmora {
namespace {

using testsupport::Lines;
using testsupport::ReadFile;
using testsupport::TTempDir;

// A thin single line on every side of a cell.
constexpr const char* kBorders =
    "\\clbrdrl\\brdrs\\brdrw10 \\clbrdrr\\brdrs\\brdrw10 \\clbrdrt\\brdrs\\brdrw10 \\clbrdrb\\brdrs\\brdrw10";

class RtfExportTest : public testsupport::TFileExportTest<TTabuloRTF> {
 protected:
  RtfExportTest() : TFileExportTest("rtf", "out.rtf") {}

  // ID 10 characters wide, NAME 5.
  void IdAndName(const std::vector<TMemoryDataSet::TRecord>& records) {
    TFileExportTest::IdAndName(records, 10, 5);
  }
  // The text between the last "{" of a cell start and its "}\cell", for
  // every data cell of the file.
  static std::vector<std::string> DataCells(const std::string& document) {
    std::vector<std::string> cells;
    const std::string start = "\\pard\\intbl\\li30\\ri30\\q";
    for (std::size_t at = document.find(start); at != std::string::npos; at = document.find(start, at)) {
      const std::size_t open = document.find('{', at) + 1;
      const std::size_t close = document.find("}\\cell", open);
      cells.push_back(document.substr(open, close - open));
      at = close;
    }
    return cells;
  }
};

// ---------------------------------------------------------------------------
// The document

TEST_F(RtfExportTest, DefaultDocumentFromPrologueToTheClosingBrace) {
  IdAndName({{"1", "Smith"}, {"22", std::nullopt}});
  exporter_.ColumnsWidth = {"ID=10", "NAME=5"};
  exporter_.ColumnsAlign = {"ID=Left"};
  exporter_.Formats.SetNullString("-");
  exporter_.Header = {"Orders"};
  exporter_.Footer = {"End"};
  EXPECT_EQ(Export(), "{" +
                          Lines({"\\rtf1\\ansi\\deff0\\deftab720",
                                 "{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil Arial;}}",
                                 "{\\colortbl\\red0\\green0\\blue0;}",
                                 "\\f0\\fs20",
                                 "\\paperw11906",
                                 "\\paperh16838",
                                 "\\margl1134\\margr1134\\margt1134\\margb1134",
                                 "Orders",
                                 "\\par",
                                 "\\par",
                                 // The caption row repeats at the top of every page.
                                 "\\trowd\\trql\\trgaph0\\trleft36\\trhdr",
                                 kBorders,
                                 "\\cellx1246",
                                 kBorders,
                                 "\\cellx1856",
                                 "\\f0\\fs20",
                                 "\\pard\\intbl\\li30\\ri30{\\b ID}\\cell\\pard\\intbl\\li30\\ri30{\\b NAME}"
                                 "\\cell\\row",
                                 "\\trowd\\trql\\trgaph0\\trleft36",
                                 kBorders,
                                 "\\cellx1246",
                                 kBorders,
                                 "\\cellx1856",
                                 "\\f0\\fs20",
                                 "\\pard\\intbl\\li30\\ri30\\ql{1}\\cell\\pard\\intbl\\li30\\ri30\\ql{Smith}"
                                 "\\cell\\row",
                                 "\\pard\\intbl\\li30\\ri30\\ql{22}\\cell\\pard\\intbl\\li30\\ri30\\ql{-}"
                                 "\\cell\\row",
                                 "\\pard",
                                 "\\par",
                                 "\\par",
                                 "End"}) +
                          "}");
}

// Each case changes the options and names lines the document must hold, in
// this order, and lines it must not hold.
struct TOptionCase {
  const char* name;
  std::function<void(TTabuloRTF&)> setup;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

TEST_F(RtfExportTest, OptionsShowInTheirLines) {
  const std::vector<TOptionCase> cases = {
      {"landscape",
       [](TTabuloRTF& rtf) { rtf.Options.PageOrientation = poLandscape; },
       {"\\f0\\fs20", "\\landscape", "\\paperw16838", "\\paperh11906", "\\par"},
       {"\\paperw11906"}},
      {"no captions",
       [](TTabuloRTF& rtf) { rtf.AllowCaptions = false; },
       {"\\trowd\\trql\\trgaph0\\trleft36", "\\f0\\fs20",
        "\\pard\\intbl\\li30\\ri30\\qr{1}\\cell\\pard\\intbl\\li30\\ri30\\ql{Smith}"
        "\\cell\\row"},
       {"\\pard\\intbl\\li30\\ri30{\\b ID}\\cell\\pard\\intbl\\li30\\ri30{\\b NAME}\\cell\\row",
        "\\trowd\\trql\\trgaph0\\trleft36\\trhdr"}},
      {"fonts of their own",
       [](TTabuloRTF& rtf) {
         rtf.Options.HeaderFont = TFont{{fsItalic, fsUnderline, fsStrikeOut}, 14, clBlack, 1, "Courier New"};
         rtf.Options.DefaultFont = TFont{{fsBold, fsItalic}, 9, clBlack, 1, "Times"};
       },
       {"{\\fonttbl{\\f0\\fnil Courier New;}{\\f1\\fnil Times;}}", "\\f1\\fs18", "\\f0\\fs28",
        "\\pard\\intbl\\li30\\ri30{\\i\\ul\\strike ID}\\cell\\pard\\intbl\\li30\\ri30{\\i\\ul\\strike "
        "NAME}\\cell"
        "\\row",
        "\\f1\\fs18",
        "\\pard\\intbl\\li30\\ri30\\qr{\\b\\i 1}\\cell\\pard\\intbl\\li30\\ri30\\ql{\\b\\i "
        "Smith}\\cell\\row"},
       {}},
      // A plain caption font adds no blank before the caption: it would be text.
      {"plain header font",
       [](TTabuloRTF& rtf) { rtf.Options.HeaderFont.Style = {}; },
       {"\\pard\\intbl\\li30\\ri30{ID}\\cell\\pard\\intbl\\li30\\ri30{NAME}\\cell\\row"},
       {}},
      {"wide borders",
       [](TTabuloRTF& rtf) { rtf.Options.BorderWidth = 75; },
       {"\\clbrdrl\\brdrs\\brdrw75 \\clbrdrr\\brdrs\\brdrw75 \\clbrdrt\\brdrs\\brdrw75 "
        "\\clbrdrb\\brdrs\\brdrw75",
       },
       {kBorders}},
      // Without border lines a cell names no border at all.
      {"no borders",
       [](TTabuloRTF& rtf) {
         rtf.Options.BorderWidth = 0;
         rtf.ColumnsWidth = {"ID=10", "NAME=5"};
       },
       {"\\trowd\\trql\\trgaph0\\trleft36\\trhdr\r\n\\cellx1246\r\n\\cellx1856"},
       {kBorders}},
      {"centred and right",
       [](TTabuloRTF& rtf) {
         rtf.ColumnsAlign = {"ID=Center", "NAME=Right"};
       },
       {"\\pard\\intbl\\li30\\ri30\\qc{1}\\cell\\pard\\intbl\\li30\\ri30\\qr{Smith}\\cell\\row"},
       {}},
  };
  for (const TOptionCase& option_case : cases) {
    SCOPED_TRACE(option_case.name);
    TTempDir directory("rtf-option");
    TMemoryDataSet data;
    data.AddField("ID", ftInteger, 10);
    data.AddField("NAME", ftString, 5);
    data.AppendRecord({"1", "Smith"});
    data.Open();
    TTabuloRTF rtf;
    rtf.DataSet = &data;
    rtf.FileName = directory.File("o.rtf");
    option_case.setup(rtf);
    rtf.Execute();
    const std::string document = ReadFile(rtf.FileName);
    std::size_t from = 0;
    for (const std::string& line : option_case.present) {
      const std::size_t at = document.find("\r\n" + line + "\r\n", from);
      EXPECT_NE(at, std::string::npos) << line << "\n" << document;
      if (at != std::string::npos) from = at + 2;
    }
    for (const std::string& line : option_case.absent) {
      EXPECT_EQ(document.find("\r\n" + line + "\r\n"), std::string::npos) << line;
    }
    EXPECT_EQ(document.back(), '}');
  }
}

// ---------------------------------------------------------------------------
// Escaping

TEST(RtfTextTest, SpecialCharactersLineBreaksAndUnicodeAreEscaped) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"plain text 123", "plain text 123"},
      {"a\\b", "a\\\\b"},
      {"a}b{c", "a\\}b\\{c"},
      {"l1\r\nl2", "l1 \\par l2"},
      {"l1\nl2\rl3\r\n\r\nl4", "l1 \\par l2 \\par l3 \\par  \\par l4"},
      {"\n\r", " \\par  \\par "},
      {"a\tb", "a\\tab b"},
      {"Zo\xC3\xAB", "Zo\\u235?"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", "\\u26085?\\u26412?"},
      {"\xEE\x80\x80", "\\u-8192?"},                  // U+E000, above 32767
      {"\xF0\x9F\x98\x80!", "\\u-10179?\\u-8704?!"},  // U+1F600 as a surrogate pair
      {"\xFF"
       "a\xC3",
       "\\u-3?a\\u-3?"},                       // bytes that are no UTF-8
      {"\xED\xA0\x80", "\\u-3?\\u-3?\\u-3?"},  // an encoded surrogate
      // Controls show as U+FFFD; TAB and the line breaks above keep their meaning.
      {std::string("nul\0x", 5), "nul\\u-3?x"},
      {"\x01\x0C\x1F\x7F~", "\\u-3?\\u-3?\\u-3?\\u-3?~"},
      {"\xC2\x80\xC2\x9F\xC2\xA0", "\\u-3?\\u-3?\\u160?"},  // C1 controls, then a no-break space
  };
  for (const auto& test_case : cases) {
    std::string out = "<";
    AppendRtfText(out, test_case.text);
    EXPECT_EQ(out, "<" + test_case.expected) << testsupport::HexBytes(test_case.text);
  }
}

TEST_F(RtfExportTest, EveryTextOfTheDocumentIsEscapedOnce) {
  data_.AddField("ID", ftInteger, 10);
  data_.AddField("NAME", ftString, 20);
  data_.AddField("FLAG", ftBoolean, 5);
  data_.AppendRecord({"1", "a}b{c\\d", "{T}"});
  data_.AppendRecord({"2", "two\nlines", std::nullopt});
  data_.Open();
  exporter_.Captions = {"NAME=Na{me}"};
  exporter_.Formats.SetNullString("{null}");
  exporter_.Header = {"Head \\ {1}"};
  exporter_.Footer = {"Foot }"};
  exporter_.Options.DefaultFont.Name = "Odd;{Font}";
  const std::string document = Export();
  EXPECT_EQ(DataCells(document), (std::vector<std::string>{"1", "a\\}b\\{c\\\\d", "\\{T\\}", "2",
                                                           "two \\par lines", "\\{null\\}"}));
  EXPECT_NE(document.find("{\\b Na\\{me\\}}\\cell"), std::string::npos);
  EXPECT_NE(document.find("\r\nHead \\\\ \\{1\\}\r\n\\par\r\n"), std::string::npos);
  EXPECT_NE(document.find("\r\nFoot \\}\r\n}"), std::string::npos);
  EXPECT_NE(document.find("{\\f1\\fnil Odd\\'3b\\{Font\\};}}"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Column edges

TEST(RtfCellEdgesTest, NarrowTablesKeepTheirWidthsWideOnesEndAtThePrintableWidth) {
  EXPECT_EQ(TTabuloRTF::CellEdges({10, 5}, 8306), (std::vector<long long>{1246, 1856}));
  EXPECT_EQ(TTabuloRTF::CellEdges({0, -3}, 8306), (std::vector<long long>{46, 56}));
  // 8270 twips exactly fit: unchanged.
  EXPECT_EQ(TTabuloRTF::CellEdges({68}, 8306), (std::vector<long long>{8206}));
  EXPECT_EQ(TTabuloRTF::CellEdges({69}, 8306), (std::vector<long long>{8306}));

  const std::vector<int> widths = {65535, 40, 1, 200, 65535};
  const std::vector<long long> edges = TTabuloRTF::CellEdges(widths, 13238);
  ASSERT_EQ(edges.size(), widths.size());
  EXPECT_EQ(edges.back(), 13238);
  long long previous = 36;
  for (std::size_t index = 0; index < edges.size(); ++index) {
    EXPECT_GE(edges[index], previous) << index;
    previous = edges[index];
  }
  // Proportions are kept: the two widest columns are equally wide.
  EXPECT_NEAR(edges[0] - 36, edges[4] - edges[3], 1);
}

TEST_F(RtfExportTest, TooWideTableIsScaledToThePaperOfItsOrientation) {
  IdAndName({{"1", "x"}});
  exporter_.ColumnsWidth = {"ID=100", "NAME=100"};
  std::string document = Export();
  EXPECT_NE(document.find("\r\n\\cellx4837\r\n"), std::string::npos);
  EXPECT_NE(document.find("\r\n\\cellx9638\r\n"), std::string::npos);
  exporter_.Options.PageOrientation = poLandscape;
  document = Export();
  EXPECT_NE(document.find("\r\n\\cellx14570\r\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Widths from the content

TEST(RtfColumnSpansTest, ColumnsShareThePageByContentKeepingNumbersAndGivenWidthsWhole) {
  // Fixed, desired, minimum, value minimum, padding, floor.
  const auto text = [](long long desired, long long word) {
    return TRtfColumnNeed{false, desired, word, word, 100, 300};
  };
  const auto number = [](long long width) { return TRtfColumnNeed{false, width, width, width, 100, width}; };
  const TRtfColumnNeed given{true, 1210, 0, 0, 0, 0};
  const struct {
    const char* name;
    std::vector<TRtfColumnNeed> needs;
    long long available;
    std::vector<long long> expected;  // empty: checked by the rules below
  } cases[] = {
      {"everything fits", {number(600), text(2000, 500), given}, 9000, {600, 2000, 1210}},
      {"long text wraps, number whole", {number(900), text(20100, 800), text(1100, 600)}, 6000, {}},
      {"two long texts in proportion", {text(10100, 500), text(5100, 500), number(700)}, 6000, {}},
      {"given width kept", {given, text(30000, 400)}, 5000, {1210, 3790}},
      // Not even the floors fit: the spans stay wider than the page.
      {"floors too wide", {number(4000), number(4000), text(9000, 2000)}, 7000, {4000, 4000, 300}},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.name);
    const std::vector<long long> spans = RtfColumnSpans(test_case.needs, test_case.available);
    ASSERT_EQ(spans.size(), test_case.needs.size());
    if (!test_case.expected.empty()) {
      EXPECT_EQ(spans, test_case.expected);
      continue;
    }
    long long total = 0;
    for (std::size_t index = 0; index < spans.size(); ++index) {
      const TRtfColumnNeed& need = test_case.needs[index];
      EXPECT_GE(spans[index], std::min(need.Minimum, need.Desired)) << index;
      EXPECT_LE(spans[index], need.Desired) << index;
      total += spans[index];
    }
    EXPECT_EQ(total, test_case.available);
  }
  // Texts wrap onto about as many lines each: widths follow the content.
  const std::vector<long long> spans =
      RtfColumnSpans({text(10100, 500), text(5100, 500), number(700)}, 6000);
  EXPECT_NEAR(static_cast<double>(spans[0] - 100) / (spans[1] - 100), 2.0, 0.05);
}

TEST(RtfTextExtentTest, WidestLineAndLongestWordInTheEstimate) {
  const TRtfMeasureFont plain{};
  EXPECT_EQ(MeasureRtfText("2006-02-15", plain).WidestLine, 8 * 636 + 2 * 420);
  const TRtfTextExtent two_lines = MeasureRtfText("ab cd\r\nlonger", plain);
  EXPECT_EQ(two_lines.WidestLine, 340 + 4 * 620 + 420);  // "longer"
  EXPECT_EQ(two_lines.LongestWord, two_lines.WidestLine);
  EXPECT_EQ(MeasureRtfText("\xE6\x97\xA5\xE6\x9C\xAC", plain).WidestLine, 2000);
  EXPECT_EQ(MeasureRtfText("mmmm", TRtfMeasureFont::Of(TFont{{}, 10, clBlack, 1, "Courier New"})).WidestLine,
            4 * 602);
  EXPECT_EQ(MeasureRtfText("0000000000", TRtfMeasureFont{true, false}).LongestWord, 6360 + 636);
}

// The edges of a document's table as written.
std::vector<long long> EdgesOf(const std::string& document) {
  std::vector<long long> edges;
  const std::size_t end = document.find("\\row");
  for (std::size_t at = document.find("\\cellx"); at < end; at = document.find("\\cellx", at + 1)) {
    edges.push_back(std::stoll(document.substr(at + 6)));
  }
  return edges;
}

TEST_F(RtfExportTest, ColumnsFollowTheirContentAndShrinkTheFontWhenCrowded) {
  data_.AddField("ID", ftInteger, 10);
  data_.AddField("WHEN", ftDateTime, 19);
  data_.AddField("TEXT", ftMemo, 65535);
  const std::string long_text =
      "a text long enough to wrap onto several lines of its cell whatever the width of the page may be, "
      "and then some more words to be sure of it";
  data_.AppendRecord({"1", "2006-02-15 05:03:42", long_text + long_text});
  data_.AppendRecord({"22", "2006-02-15 05:03:42", "short"});
  data_.Open();
  std::string document = Export();
  std::vector<long long> edges = EdgesOf(document);
  ASSERT_EQ(edges.size(), 3u);
  // The page is filled, the date column holds its value on one line, the
  // text takes the rest.
  EXPECT_EQ(edges[2], kRtfPaperWidth - 2 * kRtfPageMargin);
  EXPECT_GE(edges[1] - edges[0], RtfTwips(MeasureRtfText("2006-02-15 05:03:42", {}).WidestLine, 10));
  EXPECT_GT(edges[2] - edges[1], 3 * (edges[1] - edges[0]));
  EXPECT_NE(document.find("\r\n\\f0\\fs20\r\n\\pard\\intbl"), std::string::npos);
}

TEST_F(RtfExportTest, CrowdedTableShrinksItsFontsDownToTheSmallestAllowed) {
  // Forty number columns crowd the page: the table's fonts shrink, down to
  // MinFontSize; the prologue keeps the font for the header lines.
  TMemoryDataSet::TRecord record;
  for (int column = 0; column < 40; ++column) {
    data_.AddField("N" + std::to_string(column), ftInteger, 10);
    record.push_back("1234567");
  }
  data_.AppendRecord(record);
  data_.Open();
  const struct {
    int min_font_size;
    const char* data_font;
    const char* caption_font;
  } sizes[] = {{7, "\\f0\\fs14", "\\f0\\fs14"}, {9, "\\f0\\fs18", "\\f0\\fs18"}, {10, "\\f0\\fs20", "\\f0\\fs20"}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size.min_font_size);
    exporter_.Options.MinFontSize = size.min_font_size;
    const std::string document = Export();
    EXPECT_NE(document.find("{\\colortbl\\red0\\green0\\blue0;}\r\n\\f0\\fs20\r\n"), std::string::npos);
    const std::size_t caption = document.find("\r\n\\pard\\intbl\\li30\\ri30{\\b N0}");
    ASSERT_NE(caption, std::string::npos);
    EXPECT_EQ(document.rfind(size.caption_font, caption), document.rfind("\\f0\\fs", caption));
    const std::size_t data_row = document.find("\\ql{1234567}");
    EXPECT_NE(document.rfind(std::string("\r\n") + size.data_font + "\r\n", data_row), std::string::npos);
    EXPECT_LE(EdgesOf(document).back(), kRtfPaperWidth - 2 * kRtfPageMargin);
  }
}

TEST_F(RtfExportTest, PageNumberFooterOnlyWhenAskedFor) {
  IdAndName({{"1", "x"}});
  const std::string footer =
      "\r\n{\\footer\\pard\\qc\\f0\\fs20 Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}} of "
      "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 1}}\\par}\r\n";
  EXPECT_EQ(Export().find("\\footer"), std::string::npos);
  exporter_.ReadFormatSections(TIniFile::FromText("[RTF]\nPageNumbers=1\n"), data_);
  const std::string document = Export();
  // Before the header lines and the table, after the page's margins.
  EXPECT_NE(document.find("\\margb1134" + footer + "\\par\r\n"), std::string::npos) << document;
}

// ---------------------------------------------------------------------------
// Tables that grow after they were written

TEST(RtfWriterTest, FontsAndColoursAskedForLaterAreInsertedIntoTheWrittenTables) {
  TTempDir directory("rtf-writer");
  const std::string path = directory.File("w.rtf");
  TOutputStream stream(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), path);
  TTabuloRTF owner;
  TTabuloRTFWriter writer(owner, stream);
  writer.FontTable.Add("Arial");
  writer.ColorTable.Add(clBlack);
  EXPECT_EQ(writer.ColorTag(clRed, false), "\\cf1");  // before the tables: listed only
  writer.WriteTables();
  writer.WriteLine("body");
  EXPECT_EQ(writer.FontTag(TFont{{}, 12, clBlack, 1, "ARIAL"}), "\\f0\\fs24");
  EXPECT_EQ(writer.FontTag(TFont{{}, 8, clBlack, 1, "Courier"}), "\\f1\\fs16");
  EXPECT_EQ(writer.ColorTag(0x563412, true), "\\cbpat2");
  EXPECT_EQ(writer.FontTag(TFont{{}, 9, clBlack, 1, "Times"}), "\\f2\\fs18");
  EXPECT_EQ(writer.ColorTag(clRed, false), "\\cf1");
  writer.Write("}");
  stream.Close();
  EXPECT_EQ(ReadFile(path),
            "{" +
                Lines({"\\rtf1\\ansi\\deff0\\deftab720",
                       "{\\fonttbl{\\f0\\fnil Arial;}{\\f1\\fnil Courier;}{\\f2\\fnil Times;}}",
                       "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red18\\green52\\blue86;}",
                       "body"}) +
                "}");
}

// ---------------------------------------------------------------------------
// Template sections

TEST_F(RtfExportTest, TemplateSectionsSetFontsOrientationWidthsAndAlignments) {
  IdAndName({{"1", "x"}});
  const TIniFile template_file = TIniFile::FromText(
      "[WIDTH]\nNAME=7\nOTHER=3\n[ALIGN]\nID=Center\n"
      "[RTF_DefaultFont]\nFontName=Times\nFontSize=12\nFontItalic=1\n"
      "[RTF_HeaderFont]\nFontSize=16\nFontUnderline=1\nFontColor=clRed\n"
      "[RTF]\nPageOrientation=1\n");
  exporter_.ReadFormatSections(template_file, data_);
  EXPECT_EQ(exporter_.ColumnsWidth.Lines(), std::vector<std::string>{"NAME=7"});
  EXPECT_EQ(exporter_.ColumnsAlign.Lines(), std::vector<std::string>{"ID=Center"});
  EXPECT_EQ(exporter_.Options.DefaultFont, (TFont{{fsItalic}, 12, clBlack, 1, "Times"}));
  // The header font keeps what its section does not name, bold included.
  EXPECT_EQ(exporter_.Options.HeaderFont, (TFont{{fsBold, fsUnderline}, 16, clRed, 1, "Arial"}));
  EXPECT_EQ(exporter_.Options.PageOrientation, poLandscape);

  // A number that names no orientation keeps the current one.
  for (const char* value : {"2", "-1", "x"}) {
    exporter_.ReadFormatSections(TIniFile::FromText(std::string("[RTF]\nPageOrientation=") + value), data_);
    EXPECT_EQ(exporter_.Options.PageOrientation, poLandscape) << value;
  }
  exporter_.ReadFormatSections(TIniFile::FromText("[RTF]\nPageOrientation=0"), data_);
  EXPECT_EQ(exporter_.Options.PageOrientation, poPortrait);

  // The template's own font size is kept unless it names the smallest too.
  EXPECT_EQ(exporter_.Options.MinFontSize, 12);
  exporter_.ReadFormatSections(TIniFile::FromText("[RTF]\nMinFontSize=6"), data_);
  EXPECT_EQ(exporter_.Options.MinFontSize, 6);
  EXPECT_FALSE(exporter_.Options.PageNumbers);

  EXPECT_EQ(exporter_.Options.BorderWidth, 10);
  exporter_.ReadFormatSections(TIniFile::FromText("[RTF]\nBorderWidth=0"), data_);
  EXPECT_EQ(exporter_.Options.BorderWidth, 0);
  // A width no reader draws refuses the whole template: nothing it names takes effect.
  for (const char* value : {"-1", "76"}) {
    EXPECT_VELMORA_ERROR(
        exporter_.ReadFormatSections(
            TIniFile::FromText(
                std::string("[WIDTH]\nID=3\n[ALIGN]\nNAME=Right\n[RTF_DefaultFont]\nFontSize=20\n"
                            "[RTF]\nPageOrientation=1\nBorderWidth=") +
                value),
            data_),
        std::string("Invalid value \"") + value + "\" for BorderWidth in [RTF]: give a number from 0 to 75");
    EXPECT_EQ(exporter_.ColumnsWidth.Count(), 0);
    EXPECT_EQ(exporter_.ColumnsAlign.Count(), 0);
    EXPECT_EQ(exporter_.Options.DefaultFont.Size, 12);
    EXPECT_EQ(exporter_.Options.PageOrientation, poPortrait);
    EXPECT_EQ(exporter_.Options.BorderWidth, 0);
  }
}

}  // namespace
}  // namespace velmora
