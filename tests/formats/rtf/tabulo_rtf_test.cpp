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
                                 "Orders",
                                 "\\par",
                                 "\\par",
                                 "\\trowd\\trql\\trgaph0\\trleft36",
                                 kBorders,
                                 "\\cellx1246",
                                 kBorders,
                                 "\\cellx1856",
                                 "\\f0\\fs20",
                                 "\\pard\\intbl\\li30\\ri30{\\b ID}\\cell\\pard\\intbl\\li30\\ri30{\\b NAME}"
                                 "\\cell\\row",
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
       {"\\cellx1856", "\\f0\\fs20",
        "\\pard\\intbl\\li30\\ri30\\qr{1}\\cell\\pard\\intbl\\li30\\ri30\\ql{Smith}"
        "\\cell\\row"},
       {"\\pard\\intbl\\li30\\ri30{\\b ID}\\cell\\pard\\intbl\\li30\\ri30{\\b NAME}\\cell\\row"}},
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
        "\\cellx1246"},
       {kBorders}},
      // Without border lines a cell names no border at all.
      {"no borders",
       [](TTabuloRTF& rtf) { rtf.Options.BorderWidth = 0; },
       {"\\trowd\\trql\\trgaph0\\trleft36\r\n\\cellx1246\r\n\\cellx1856"},
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
  EXPECT_NE(document.find("\r\n\\cellx4171\r\n"), std::string::npos);
  EXPECT_NE(document.find("\r\n\\cellx8306\r\n"), std::string::npos);
  exporter_.Options.PageOrientation = poLandscape;
  document = Export();
  EXPECT_NE(document.find("\r\n\\cellx13238\r\n"), std::string::npos);
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
