// Cell formats as the workbook stores them: where borders, diagonals, fill and
// alignment land in an XF record, and what a template section that names
// values outside their ranges leaves in a style.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "formats/xls/xls_pools.h"
#include "formats/xls/xls_styles.h"
#include "formats/xls/tabulo_xls.h"
#include "platform/ini_file.h"
#include "engine/memory_dataset.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::HexBytes;

struct TXFCase {
  const char* name;
  std::function<void(TxlsXFormat&)> set;
  // Bytes 6-7 (alignment), 8-9 (attributes used), 10-11 (border styles),
  // 12-13 (left and right colours, diagonal flags), 14-17 (top, bottom and
  // diagonal colours, diagonal style, pattern), 18-19 (fill colours).
  const char* expected_tail;
  const char* expected_head = "0100" "0000";  // font 1, General
};

class XFRecordBitsTest : public ::testing::TestWithParam<TXFCase> {};

TEST_P(XFRecordBitsTest, PartsLandInTheirBits) {
  TxlsXFormat xf;
  GetParam().set(xf);
  EXPECT_EQ(HexBytes(XFRecordBody(xf)),
            std::string(GetParam().expected_head) + "0100" + GetParam().expected_tail);
}

// Palette indexes used below: black 8, white 9, red 10, blue 12, yellow 13,
// green 17, violet 20, lavender 46, orange 53.
INSTANTIATE_TEST_SUITE_P(
    Parts, XFRecordBitsTest,
    ::testing::Values(
        TXFCase{"Plain", [](TxlsXFormat&) {}, "2000" "0050" "0000" "0000" "00000000" "0904"},
        TXFCase{"FontAndNumberFormat",
                [](TxlsXFormat& xf) {
                  static const TxlsFont font;
                  static const TxlsTextFormat format{50, "0.00"};
                  xf.Font = &font;
                  xf.FontIndex = 7;
                  xf.TextFormat = &format;
                },
                "2000" "0058" "0000" "0000" "00000000" "0904", "0700" "3200"},
        // A colour without a style is not written.
        TXFCase{"LeftAndRight",
                [](TxlsXFormat& xf) {
                  xf.Borders.Left = {bstThin, clrRed};
                  xf.Borders.Right = {bstMedium, clrBlue};
                  xf.Borders.Top.Color = clrRed;
                },
                "2000" "0070" "2100" "0a06" "00000000" "0904"},
        TXFCase{"TopAndBottom",
                [](TxlsXFormat& xf) {
                  xf.Borders.Top = {bstDashed, clrGreen};
                  xf.Borders.Bottom = {bstDouble, clrViolet};
                },
                "2000" "0070" "0063" "0000" "110a0000" "0904"},
        // Both diagonals: the line drawn is the downward one's.
        TXFCase{"BothDiagonals",
                [](TxlsXFormat& xf) {
                  xf.Borders.DiagDown = {bstHair, clrOrange};
                  xf.Borders.DiagUp = {bstThick, clrBlue};
                },
                "2000" "0070" "0000" "00c0" "0040ed00" "0904"},
        TXFCase{"UpwardDiagonal",
                [](TxlsXFormat& xf) { xf.Borders.DiagUp = {bstSlantedDashDot, clrWhite}; },
                "2000" "0070" "0000" "0080" "0040a201" "0904"},
        // The pattern shares its 32 bits with the top and bottom colours.
        TXFCase{"PatternBesideTopAndBottomColours",
                [](TxlsXFormat& xf) {
                  xf.Fill.Pattern = ptThinThinSpots;
                  xf.Borders.Top = {bstThin, clrBlack};
                  xf.Borders.Bottom = {bstMediumDashDotDot, clrLavender};
                },
                "2000" "0070" "00c1" "0000" "08170048" "0904"},
        TXFCase{"SolidFillColours",
                [](TxlsXFormat& xf) {
                  xf.Fill = {clrYellow, ptSolid, clrRed};
                },
                "2000" "0050" "0000" "0000" "00000004" "0d05"},
        TXFCase{"AlignmentAndWrap",
                [](TxlsXFormat& xf) {
                  xf.Alignment = {halRight, valTop};
                  xf.Wrap = true;
                },
                "0b00" "0050" "0000" "0000" "00000000" "0904"},
        TXFCase{"FillAndJustify",
                [](TxlsXFormat& xf) { xf.Alignment = {halFill, valJustify}; },
                "3400" "0050" "0000" "0000" "00000000" "0904"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Template keys out of range

// A style whose every part differs from the defaults of a template section.
TxlsFieldFormat StyledFormat() {
  TxlsFieldFormat format;
  format.Font.Size = 30;
  format.Font.Underline = fulDouble;
  format.Alignment = {halCenter, valTop};
  format.Borders.Top.Style = bstThick;
  format.Borders.Bottom.Style = bstThick;
  format.Borders.Left.Style = bstThick;
  format.Borders.Right.Style = bstThick;
  format.Fill.Pattern = ptSolid;
  format.Aggregate = aggAvg;
  return format;
}

struct TKeyCase {
  const char* key;
  const char* value;
  std::function<int(const TxlsFieldFormat&)> read;
  int expected;
};

class StyleKeyRangeTest : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(StyleKeyRangeTest, ValueOutsideItsRangeTakesTheDefault) {
  const TKeyCase& item = GetParam();
  TxlsFieldFormat format = StyledFormat();
  format.LoadFromIni(TIniFile::FromText(std::string("[S]\n") + item.key + "=" + item.value + "\n"), "S");
  EXPECT_EQ(item.read(format), item.expected) << item.key << "=" << item.value;
}

int HorizontalOf(const TxlsFieldFormat& format) { return format.Alignment.Horizontal; }
int VerticalOf(const TxlsFieldFormat& format) { return format.Alignment.Vertical; }
int TopOf(const TxlsFieldFormat& format) { return format.Borders.Top.Style; }
int BottomOf(const TxlsFieldFormat& format) { return format.Borders.Bottom.Style; }
int LeftOf(const TxlsFieldFormat& format) { return format.Borders.Left.Style; }
int RightOf(const TxlsFieldFormat& format) { return format.Borders.Right.Style; }
int PatternOf(const TxlsFieldFormat& format) { return format.Fill.Pattern; }
int UnderlineOf(const TxlsFieldFormat& format) { return format.Font.Underline; }
int AggregateOf(const TxlsFieldFormat& format) { return format.Aggregate; }
int SizeOf(const TxlsFieldFormat& format) { return format.Font.Size; }

// The last value of each range is kept; one past it, negatives and huge
// numbers give the default.
INSTANTIATE_TEST_SUITE_P(
    Keys, StyleKeyRangeTest,
    ::testing::Values(TKeyCase{"HorAlignment", "4", HorizontalOf, halFill},
                      TKeyCase{"HorAlignment", "5", HorizontalOf, halGeneral},
                      TKeyCase{"HorAlignment", "-1", HorizontalOf, halGeneral},
                      TKeyCase{"VertAlignment", "3", VerticalOf, valJustify},
                      TKeyCase{"VertAlignment", "4", VerticalOf, valBottom},
                      TKeyCase{"VertAlignment", "-2147483648", VerticalOf, valBottom},
                      TKeyCase{"BorderTop", "13", TopOf, bstSlantedDashDot},
                      TKeyCase{"BorderTop", "14", TopOf, bstNone},
                      TKeyCase{"BorderBottom", "16", BottomOf, bstNone},
                      TKeyCase{"BorderLeft", "-1", LeftOf, bstNone},
                      TKeyCase{"BorderRight", "$7FFFFFFF", RightOf, bstNone},
                      TKeyCase{"FillPattern", "18", PatternOf, ptThinThinSpots},
                      TKeyCase{"FillPattern", "19", PatternOf, ptNone},
                      TKeyCase{"FillPattern", "64", PatternOf, ptNone},
                      TKeyCase{"FontUnderline", "4", UnderlineOf, fulDoubleAccounting},
                      TKeyCase{"FontUnderline", "5", UnderlineOf, fulNone},
                      TKeyCase{"FontUnderline", "33", UnderlineOf, fulNone},
                      TKeyCase{"Aggregate", "4", AggregateOf, aggMax},
                      TKeyCase{"Aggregate", "5", AggregateOf, aggNone},
                      TKeyCase{"Aggregate", "-1", AggregateOf, aggNone},
                      TKeyCase{"Aggregate", "two", AggregateOf, aggNone},
                      TKeyCase{"FontSize", "1", SizeOf, 1},
                      TKeyCase{"FontSize", "1638", SizeOf, 1638},
                      TKeyCase{"FontSize", "1639", SizeOf, 10},
                      TKeyCase{"FontSize", "0", SizeOf, 10},
                      TKeyCase{"FontSize", "-12", SizeOf, 10}));

// ---------------------------------------------------------------------------
// The XLS section's strip type

struct TStripCase {
  const char* value;
  TxlsStripType expected;
  int styles;  // XLS_STYLE_ sections taken
};

class StripTypeKeyTest : public ::testing::TestWithParam<TStripCase> {};

TEST_P(StripTypeKeyTest, UnknownStripTypeTakesNoneAndNoStyles) {
  TMemoryDataSet data;
  data.AddField("A", ftInteger);
  data.Open();
  TTabuloXLS exporter;
  exporter.StripType = ssRow;
  exporter.ReadFormatSections(TIniFile::FromText(std::string("[XLS]\nStripType=") + GetParam().value +
                                                 "\n[XLS_STYLE_one]\nFillPattern=1\n[xls_style_two]\n"),
                              data);
  EXPECT_EQ(exporter.StripType, GetParam().expected);
  EXPECT_EQ(exporter.StripStyles.Count(), GetParam().styles);
}

INSTANTIATE_TEST_SUITE_P(Values, StripTypeKeyTest,
                         ::testing::Values(TStripCase{"1", ssCol, 2}, TStripCase{"2", ssRow, 2},
                                           TStripCase{"0", ssNone, 0}, TStripCase{"3", ssNone, 0},
                                           TStripCase{"-1", ssNone, 0}));

}  // namespace
}  // namespace velmora
