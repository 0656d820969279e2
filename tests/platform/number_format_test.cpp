// The number format language and the general form of numbers, under the C
// settings and under German-style separators.
#include <cmath>
#include <limits>

#include "platform/pinned_settings.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

class NumberFormatTest : public PinnedSettingsTest {};

struct TDoubleCase {
  const char* Pattern;
  double Value;
  const char* C;
  const char* German;
};

TEST_F(NumberFormatTest, FormatsDoublesInBothLocales) {
  const TDoubleCase cases[] = {
      // Grouping and the default formats.
      {"#,###,##0", 1234567, "1,234,567", "1.234.567"},
      {"#,###,##0.00", 1234567.891, "1,234,567.89", "1.234.567,89"},
      {"#,###,##0.00", -1234.5, "-1,234.50", "-1.234,50"},
      {"#,##0", 999, "999", "999"},
      {"#,##0", 1000, "1,000", "1.000"},
      {"#,##0", 1e20, "100,000,000,000,000,000,000", "100.000.000.000.000.000.000"},
      // Rounding half away from zero on the decimal digits, not the binary value.
      {"0.00", 1.005, "1.01", "1,01"},
      {"0.00", 0.125, "0.13", "0,13"},
      {"0.00", -0.125, "-0.13", "-0,13"},
      {"0", 2.5, "3", "3"},
      {"0", -2.5, "-3", "-3"},
      {"0.00", 99.995, "100.00", "100,00"},
      {"#,##0.00", 999999.999, "1,000,000.00", "1.000.000,00"},
      // "0" is always shown, "#" only when significant.
      {"#.##", 0.5, ".5", ",5"},
      {"#,###", 0, "", ""},
      {"#,##0.00", 0, "0.00", "0,00"},
      {"0.0#", 1.5, "1.5", "1,5"},
      {"0.0#", 1.256, "1.26", "1,26"},
      {"0.##", 1, "1", "1"},
      {"00000", 5, "00005", "00005"},
      {".00", 12.5, "12.50", "12,50"},
      // Literal characters between digits keep their places.
      {"000-00-0000", 123456789, "123-45-6789", "123-45-6789"},
      {"0 kg", 5, "5 kg", "5 kg"},
      // Quoted text is copied, even format characters.
      {"'$'0.00", 5, "$5.00", "$5,00"},
      {"\"Total: \"#,##0", 1234, "Total: 1,234", "Total: 1.234"},
      {"0' E+0 #.;'", 5, "5 E+0 #.;", "5 E+0 #.;"},
      {"'unterminated 0", 5, "unterminated 0", "unterminated 0"},
      // Sections: the negative section prints the absolute value, the zero
      // section is used when the rounded value is zero.
      {"0;(0)", -5, "(5)", "(5)"},
      {"0;(0)", 5, "5", "5"},
      {"0;(0);'zero'", 0, "zero", "zero"},
      {"0.00;(0.00);'nil'", -0.001, "nil", "nil"},
      {"0.00;(0.00)", -0.004, "0.00", "0,00"},
      {"0.00", -0.001, "0.00", "0,00"},
      {"0;;'zero'", -7, "-7", "-7"},
      {"0;'neg';'zero';'ignored'", -1, "neg", "neg"},
      {"'x;y'0;(0)", -3, "(3)", "(3)"},
      // Scientific notation.
      {"0.00E+00", 12345, "1.23E+04", "1,23E+04"},
      {"0.00E+00", 0.00012345, "1.23E-04", "1,23E-04"},
      {"0.00E-00", 12345, "1.23E04", "1,23E04"},
      {"0.00e-0", 0.00012345, "1.23e-4", "1,23e-4"},
      {"0.0E+0", 99999, "1.0E+5", "1,0E+5"},
      {"0.00E+00", 0, "0.00E+00", "0,00E+00"},
      {"00.0E+0", 12345, "12.3E+3", "12,3E+3"},
      {"0.###E+000", -1.5e300, "-1.5E+300", "-1,5E+300"},
      {"0E", 5, "5E", "5E"},
      // The empty pattern prints the general form.
      {"", 1.5, "1.5", "1,5"},
      {"", 1234567.25, "1234567.25", "1234567,25"},
      {";(0)", 2.5, "2.5", "2,5"},
      // Values a double cannot hold as a number.
      {"0.00", std::numeric_limits<double>::quiet_NaN(), "NAN", "NAN"},
      {"0.00", -std::numeric_limits<double>::infinity(), "-INF", "-INF"},
  };
  for (const TDoubleCase& test_case : cases) {
    SCOPED_TRACE(std::string("pattern \"") + test_case.Pattern + "\", value " +
                 std::to_string(test_case.Value));
    PinC();
    EXPECT_EQ(FormatFloat(test_case.Pattern, test_case.Value), test_case.C);
    PinGerman();
    EXPECT_EQ(FormatFloat(test_case.Pattern, test_case.Value), test_case.German);
  }
}

struct TDecimalCase {
  const char* Pattern;
  const char* Text;
  const char* C;
  const char* German;
};

TEST_F(NumberFormatTest, FormatsDecimalTextWithoutLosingDigits) {
  const TDecimalCase cases[] = {
      {"#,##0.00", "-123456789012345678901234567890.125", "-123,456,789,012,345,678,901,234,567,890.13",
       "-123.456.789.012.345.678.901.234.567.890,13"},
      {"#,##0", "12345678901234567890123456789012345678901234567890123456789012345",
       "12,345,678,901,234,567,890,123,456,789,012,345,678,901,234,567,890,123,456,789,012,345",
       "12.345.678.901.234.567.890.123.456.789.012.345.678.901.234.567.890.123.456.789.012.345"},
      {"0.000000000000000000000000000000", "0.123456789012345678901234567891",
       "0.123456789012345678901234567891", "0,123456789012345678901234567891"},
      {"0.00", "99999999999999999999.995", "100000000000000000000.00", "100000000000000000000,00"},
      {"0", "0.5", "1", "1"},
      {"0", "-0.5", "-1", "-1"},
      {"0", "0.49999999999999999999999", "0", "0"},
      {"0.0000000", "1e-7", "0.0000001", "0,0000001"},
      {"0", "1.5E3", "1500", "1500"},
      {"0.000", "+000123.4500", "123.450", "123,450"},
      {"#,##0", "-0", "0", "0"},
      {"0.00", ".5", "0.50", "0,50"},
      {"0.00", "5.", "5.00", "5,00"},
      {"", "12345678901234567890", "12345678901234567890", "12345678901234567890"},
      {"", "-0012.50", "-12.50", "-12,50"},
      {"", "-0.000", "0.000", "0,000"},
      {"", "1.5E3", "1500", "1500"},
      {"#,##0;(#,##0)", "-9223372036854775809", "(9,223,372,036,854,775,809)", "(9.223.372.036.854.775.809)"},
  };
  for (const TDecimalCase& test_case : cases) {
    SCOPED_TRACE(std::string("pattern \"") + test_case.Pattern + "\", text " + test_case.Text);
    const TNumberFormat format(test_case.Pattern);
    std::string out;
    PinC();
    ASSERT_TRUE(format.FormatDecimalText(test_case.Text, out));
    EXPECT_EQ(out, test_case.C);
    out.clear();
    PinGerman();
    ASSERT_TRUE(format.FormatDecimalText(test_case.Text, out));
    EXPECT_EQ(out, test_case.German);
  }
}

TEST_F(NumberFormatTest, RejectsDecimalTextThatIsNoNumber) {
  const TNumberFormat format("0.00");
  for (const char* text :
       {"", "-", ".", "abc", "1.2.3", "1e", "1e+", "--1", "1,5", " 1", "1 ", "0x10", "1e999999"}) {
    SCOPED_TRACE(text);
    std::string out = "kept";
    EXPECT_FALSE(format.FormatDecimalText(text, out));
    EXPECT_EQ(out, "kept");
  }
}

TEST_F(NumberFormatTest, AppendsToTheOutputAndCanBeReused) {
  const TNumberFormat format("#,##0.00");
  std::string out = "[";
  format.FormatDouble(1234.5, out);
  out += "|";
  ASSERT_TRUE(format.FormatDecimalText("-7", out));
  EXPECT_EQ(out, "[1,234.50|-7.00");
}

TEST_F(NumberFormatTest, FollowsADecimalSeparatorSwitchedAfterCompiling) {
  PinGerman();
  const TNumberFormat format("#,##0.00");
  std::string out;
  {
    TDecimalSeparatorScope scope(".");
    format.FormatDouble(1234.5, out);
  }
  out += " ";
  format.FormatDouble(1234.5, out);
  EXPECT_EQ(out, "1.234.50 1.234,50");
}

struct TGeneralCase {
  double Value;
  const char* C;
  const char* German;
};

// MaxLength bounds what a pattern of digits prints for numbers of that many
// digits, rounding carries included; patterns printing more than digits give none.
TEST_F(NumberFormatTest, MaxLengthBoundsPatternsOfDigitsOnly) {
  const char* const numbers[] = {"0",           "7",       "-1",     "999.995", "9.5",
                                 "-123456.789", "1000000", "0.0001", "-0.00"};
  for (bool german : {false, true}) {
    if (german) PinGerman();
    for (const char* pattern : {"#,###,##0", "#,###,##0.00", "0.000", "#", "00000", ".00", "0;0.0;#"}) {
      const TNumberFormat format(pattern);
      for (const std::string number : numbers) {
        SCOPED_TRACE(std::string(pattern) + " " + number);
        const bool negative = number[0] == '-';
        const std::size_t point = std::min(number.find('.'), number.size());
        const std::size_t decimals = point < number.size() ? number.size() - point - 1 : 0;
        std::size_t length = 0;
        ASSERT_TRUE(format.MaxLength(point - (negative ? 1 : 0), decimals, negative, length));
        std::string out;
        ASSERT_TRUE(format.FormatDecimalText(number, out));
        EXPECT_LE(Utf8Length(out), length) << out;
      }
    }
  }
  std::size_t length = 0;
  for (const char* pattern : {"", "0.00E+00", "#,##0 \"kg\"", "$#,##0.00", "0;(0)"}) {
    EXPECT_FALSE(TNumberFormat(pattern).MaxLength(3, 2, true, length)) << pattern;
  }
}

TEST_F(NumberFormatTest, FloatToStrPrintsTheGeneralForm) {
  const TGeneralCase cases[] = {
      {0, "0", "0"},
      {-0.0, "0", "0"},
      {-1.5, "-1.5", "-1,5"},
      {0.1 + 0.2, "0.3", "0,3"},
      {1.0 / 3, "0.333333333333333", "0,333333333333333"},
      {2.0 / 3, "0.666666666666667", "0,666666666666667"},
      {123456.789, "123456.789", "123456,789"},
      {999999999999999, "999999999999999", "999999999999999"},
      {1e15, "1E15", "1E15"},
      {1.5e20, "1.5E20", "1,5E20"},
      {0.0001, "0.0001", "0,0001"},
      {0.00001, "1E-5", "1E-5"},
      {-2.5e-10, "-2.5E-10", "-2,5E-10"},
      {999999999999999.5, "1E15", "1E15"},
      {std::numeric_limits<double>::max(), "1.79769313486232E308", "1,79769313486232E308"},
      {std::numeric_limits<double>::infinity(), "INF", "INF"},
  };
  for (const TGeneralCase& test_case : cases) {
    SCOPED_TRACE(test_case.C);
    PinC();
    EXPECT_EQ(FloatToStr(test_case.Value), test_case.C);
    PinGerman();
    EXPECT_EQ(FloatToStr(test_case.Value), test_case.German);
  }
}

}  // namespace
}  // namespace velmora
