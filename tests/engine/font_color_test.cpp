// Colour values and their text forms, and the font record read from a settings section.
#include "engine/font_color.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"
#include "support/expect_error.h"

namespace velmora {
namespace {

TEST(ColorTextTest, NamedValuesUseTheirFirstNameAndOthersEightUpperCaseDigits) {
  const struct {
    TColor color;
    const char* text;
  } cases[] = {
      {255, "clRed"},
      {0x123456, "$00123456"},
      {0xABCDEF, "$00ABCDEF"},
      {-15, "$FFFFFFF1"},
      {INT_MIN, "$80000000"},
      {INT_MAX, "$7FFFFFFF"},
      {clNone, "clNone"},
      // Values with several names: the first in table order.
      {-14, "clHighlightText"},
      {-110, "clActiveHighlightedText"},
      {-6, "clMid"},
  };
  for (const auto& example : cases) {
    EXPECT_EQ(ColorToString(example.color), example.text) << example.color;
  }
}

TEST(ColorTextTest, NamesInAnyCaseAndDecimalOrHexadecimalIntegers) {
  const struct {
    const char* text;
    TColor color;
  } cases[] = {
      {"CLRED", 255},         {"$FF", 255},          {"16711680", 0xFF0000}, {"$FFFFFFF1", -15},
      {"-15", -15},           {"clActiveCaption", -110}, {"cl3ddkshadow", -6}, {"0x10", 16},
      {"-2147483648", INT_MIN}, {"$ffffffff", -1},
  };
  for (const auto& example : cases) {
    EXPECT_EQ(StringToColor(example.text), example.color) << example.text;
  }
  for (const char* invalid : {"", "red", "$", "$123456789", "4294967296", "12abc"}) {
    EXPECT_VELMORA_ERROR(StringToColor(invalid), "'" + std::string(invalid) + "' is not a valid integer value");
    TColor untouched = 7;
    EXPECT_FALSE(TryStringToColor(invalid, untouched));
    EXPECT_EQ(untouched, 7);
  }
}

TEST(ColorTextTest, EveryValueReadsBackFromItsText) {
  std::set<std::string> seen_names;
  for (const TColorName& entry : ColorNames()) {
    EXPECT_TRUE(seen_names.insert(UpperCase(entry.Name)).second) << "name twice: " << entry.Name;
    EXPECT_EQ(StringToColor(ColorToString(entry.Value)), entry.Value) << entry.Name;
    EXPECT_EQ(StringToColor(entry.Name), entry.Value) << entry.Name;
  }
  EXPECT_EQ(seen_names.size(), 96u);
  // A sweep over the whole 32-bit range plus the neighbourhood of zero, where the
  // system colours lie.
  for (std::int64_t value = INT_MIN; value <= INT_MAX; value += 99991) {
    const TColor color = static_cast<TColor>(value);
    ASSERT_EQ(StringToColor(ColorToString(color)), color) << ColorToString(color);
  }
  for (TColor color = -300; color <= 300; ++color) {
    ASSERT_EQ(StringToColor(ColorToString(color)), color) << ColorToString(color);
  }
}

TEST(ColorValueTest, ComponentsAndHtmlForm) {
  EXPECT_EQ(RGB(51, 51, 153), 10040115);
  EXPECT_EQ(RGB(256 + 1, -1, 2), 0x02FF01);
  const TColor color = RGB(0x12, 0xAB, 0xF0);
  EXPECT_EQ(RedOf(color), 0x12);
  EXPECT_EQ(GreenOf(color), 0xAB);
  EXPECT_EQ(BlueOf(color), 0xF0);

  EXPECT_EQ(ColorToHtml(10040115), "#333399");
  EXPECT_EQ(ColorToHtml(clRed), "#ff0000");
  EXPECT_EQ(ColorToHtml(color), "#12abf0");
  // Only the low 24 bits count: system colours and clNone give a colour, never
  // more than six digits.
  EXPECT_EQ(ColorToHtml(-15), "#f1ffff");
  EXPECT_EQ(ColorToHtml(clNone), "#ffffff");
}

TEST(FontStylesTest, BitsInTheOrderBoldItalicUnderlineStrikeOut) {
  EXPECT_EQ((TFontStyles{fsBold, fsStrikeOut}.Bits()), 0x9u);
  EXPECT_EQ((TFontStyles{fsItalic, fsUnderline}.Bits()), 0x6u);
  TFontStyles styles = TFontStyles::FromBits(0xF2);
  EXPECT_EQ(styles, TFontStyles{fsItalic});
  styles.Set(fsItalic, false);
  EXPECT_TRUE(styles.Empty());
}

class ReadFontTest : public ::testing::Test {
 protected:
  ReadFontTest() {
    defaults_.Name = "Courier New";
    defaults_.Size = 12;
    defaults_.Color = clNavy;
    defaults_.Charset = 238;
    defaults_.Style = {fsItalic};
  }

  TFont Read(const std::string& section_text) const {
    const TIniFile ini = TIniFile::FromText("[Font]\r\n" + section_text);
    TFont font;
    ReadFont(font, defaults_, ini, "Font");
    return font;
  }

  TFont defaults_;
};

TEST_F(ReadFontTest, OnlyBoldSetKeepsEveryOtherFieldOfTheDefaults) {
  TFont expected = defaults_;
  expected.Style.Include(fsBold);
  EXPECT_EQ(Read("FontBold=1\r\n"), expected);
  EXPECT_EQ(Read(""), defaults_);
}

TEST_F(ReadFontTest, EveryKeySetsItsField) {
  const TFont font = Read(
      "FontName=Times New Roman\r\nFontBold=1\r\nFontItalic=0\r\nFontUnderline=1\r\n"
      "FontStrikeOut=1\r\nFontSize=1638\r\nFontColor=$000000FF\r\nFontCharset=0\r\n");
  EXPECT_EQ(font.Name, "Times New Roman");
  EXPECT_EQ(font.Style, (TFontStyles{fsBold, fsUnderline, fsStrikeOut}));
  EXPECT_EQ(font.Size, 1638);
  EXPECT_EQ(font.Color, clRed);
  EXPECT_EQ(font.Charset, 0);
  EXPECT_EQ(Read("FontColor=clwhite\r\n").Color, clWhite);
  EXPECT_EQ(Read("FontSize=1\r\n").Size, 1);
}

TEST_F(ReadFontTest, OutOfRangeOrInvalidValuesTakeTheDefault) {
  for (const char* size : {"0", "-5", "1639", "100000", "abc", ""}) {
    EXPECT_EQ(Read(std::string("FontSize=") + size + "\r\n").Size, 12) << size;
  }
  for (const char* charset : {"256", "-1", "x"}) {
    EXPECT_EQ(Read(std::string("FontCharset=") + charset + "\r\n").Charset, 238) << charset;
  }
  // "true" is not an integer: the Boolean keeps its default.
  EXPECT_TRUE(Read("FontItalic=true\r\n").Style.Contains(fsItalic));
  EXPECT_THROW(Read("FontColor=reddish\r\n"), EVelmoraError);
  EXPECT_EQ(Read("FontColor=\r\n").Color, clNavy);
}

// A misspelt colour name passed for the default colour in most formats; it
// fails now, and the message lists every name there is.
TEST(ReadColorKeyTest, NamesAndNumbersReadAndAnythingElseFailsListingTheNames) {
  const TIniFile ini = TIniFile::FromText(
      "[S]\nName=  CLRED \nHex=$FF0000\nDecimal=65280\nSystem=clBtnFace\nEmpty=\n"
      "Misspelt=clRedd\nWord=red\nHash=#ff0000\nText=clWindowText\nGrey=clDisabledText\n"
      "Select=clActiveHighlight\nNumber=-15\n");
  // System colours show as a light theme's: formats write RGB only.
  const struct {
    const char* key;
    TColor expected;
  } cases[] = {{"Name", clRed},      {"Hex", clBlue},      {"Decimal", clLime},   {"System", clSilver},
               {"Text", clBlack},    {"Grey", clGray},     {"Select", clNavy},    {"Number", clBlack},
               {"Empty", clTeal},    {"Absent", clTeal}};
  for (const auto& [key, expected] : cases) EXPECT_EQ(ReadColorKey(ini, "S", key, clTeal), expected) << key;

  std::string names;
  for (const TColorName& entry : ColorNames()) names += (names.empty() ? "" : ", ") + std::string(entry.Name);
  for (const auto& [key, text] : {std::pair{"Misspelt", "clRedd"}, {"Word", "red"}, {"Hash", "#ff0000"}}) {
    EXPECT_VELMORA_ERROR(
        ReadColorKey(ini, "S", key, clTeal),
        std::string("Invalid colour \"") + text + "\" for " + key +
            " in [S]: give a number (decimal, or $BBGGRR in hexadecimal) or one of the names " + names);
  }
  EXPECT_NE(names.find("clBlack, clMaroon"), std::string::npos);
  EXPECT_NE(names.find("clHighlightedText"), std::string::npos);
}

TEST_F(ReadFontTest, TargetMayBeTheDefaultsItself) {
  const TIniFile ini = TIniFile::FromText("[Font]\r\nFontSize=20\r\n");
  TFont font = defaults_;
  ReadFont(font, font, ini, "Font");
  TFont expected = defaults_;
  expected.Size = 20;
  EXPECT_EQ(font, expected);
}

TEST_F(ReadFontTest, UnnamedSystemColourOfTheDefaultsSurvivesAnAbsentKey) {
  defaults_.Color = -15;
  EXPECT_EQ(Read("FontBold=1\r\n").Color, -15);
}

}  // namespace
}  // namespace velmora
