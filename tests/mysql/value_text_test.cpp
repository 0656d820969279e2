#include "mysql/value_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/date_time.h"
#include "platform/decimal_number.h"
#include "platform/locale_settings.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

std::string IntegerText(std::string_view text) {
  std::string out;
  return AppendPlainInteger(text, out) ? out : "<none>";
}

std::string DecimalText(std::string_view text, std::string_view separator = ".") {
  std::string out;
  return AppendExactDecimalText(text, separator, out) ? out : "<none>";
}

std::string FloatText(std::string_view text, std::string_view separator = ".") {
  std::string out;
  AppendFloatText(text, separator, out);
  return out;
}

TEST(ValueText, IntegersKeepEveryDigit) {
  EXPECT_EQ(IntegerText("18446744073709551615"), "18446744073709551615");
  EXPECT_EQ(IntegerText("-9223372036854775808"), "-9223372036854775808");
  EXPECT_EQ(IntegerText("0000042"), "42");  // ZEROFILL
  EXPECT_EQ(IntegerText("-0"), "0");
  EXPECT_EQ(IntegerText("12.5"), "<none>");
  EXPECT_EQ(IntegerText(""), "<none>");
}

TEST(ValueText, DecimalsKeepEveryDigit) {
  EXPECT_EQ(DecimalText("12345678901234567890123456789012345.123456789012345678901234567890"),
            "12345678901234567890123456789012345.123456789012345678901234567890");
  EXPECT_EQ(DecimalText("-0.000000000000000000000000000001"), "-0.000000000000000000000000000001");
  EXPECT_EQ(DecimalText("1.50", ","), "1,50");     // the scale's zeros are digits of the value too
  EXPECT_EQ(DecimalText("0000100.00"), "100.00");  // ZEROFILL
  EXPECT_EQ(DecimalText("-0.00"), "0.00");
  EXPECT_EQ(DecimalText("abc"), "<none>");
}

TEST(ValueText, FloatsKeepEveryDigitTheServerSent) {
  EXPECT_EQ(FloatText("1234567890.1234567"), "1234567890.1234567");
  EXPECT_EQ(FloatText("0.30000000000000004"), "0.30000000000000004");
  EXPECT_EQ(FloatText("9007199254740992"), "9007199254740992");
  EXPECT_EQ(FloatText("3,25"), "3.25");  // "," is a decimal point too
  EXPECT_EQ(FloatText("-1.5e-7", ","), "-1,5e-7");
  EXPECT_EQ(FloatText("-1.7976931348623157e308"), "-1.7976931348623157e308");
  EXPECT_EQ(FloatText(""), "0");
  EXPECT_EQ(FloatText("not a number"), "0");
}

// The C-form text of a server's number is the text its text form reads back
// as, for every decimal separator it accepts; the plain forms the server sends
// are accepted with the usual separators.
TEST(ValueText, ServerDecimalTextIsWhatTheTextFormReadsBackAs) {
  const char* const texts[] = {"0",
                               "-0",
                               "12.50",
                               "-0.00",
                               "007.10",
                               "1e20",
                               "-1.5E-07",
                               "1.5e+300",
                               ".5",
                               "1.",
                               "+1",
                               "abc",
                               "1e99999",
                               "",
                               "-",
                               "1,5",
                               "123456789012345678901234567890.123456789"};
  for (const char* separator : {".", ",", "::", "e", "1", "+", " .", ". "}) {
    const TDecimalSeparatorScope scope(separator);
    for (const bool exact : {true, false}) {
      for (const std::string_view text : texts) {
        SCOPED_TRACE(std::string(text) + (exact ? " exact, '" : " float, '") + separator + "'");
        std::string direct;
        if (!AppendServerDecimalText(text, exact, separator, direct)) {
          EXPECT_TRUE(direct.empty());
          const bool plain_form = text == "12.50" || text == "-0" || (!exact && text == "-1.5E-07");
          EXPECT_FALSE(plain_form &&
                       (separator == std::string_view(".") || separator == std::string_view(",")));
          continue;
        }
        std::string text_form;
        if (!exact || !AppendExactDecimalText(text, separator, text_form)) {
          text_form.clear();
          AppendFloatText(text, separator, text_form);
        }
        std::string read_back;
        ASSERT_TRUE(TryLocaleNumberToDecimalText(text_form, read_back)) << text_form;
        EXPECT_EQ(direct, read_back);
      }
    }
  }
}

std::string BitText(std::string_view bytes) {
  std::string out;
  AppendBitText(bytes, out);
  return out;
}

TEST(ValueText, BitFieldsAreUnsignedIntegers) {
  EXPECT_EQ(BitText(std::string_view("\x05", 1)), "5");
  EXPECT_EQ(BitText(std::string_view("\x00", 1)), "0");
  EXPECT_EQ(BitText(std::string_view("\x01\x00", 2)), "256");
  EXPECT_EQ(BitText(std::string(8, '\xFF')), "18446744073709551615");
}

std::string DateTimeParts(TDateTime value) {
  int year, month, day, hour, minute, second, millisecond;
  DecodeDateTime(value, year, month, day, hour, minute, second, millisecond);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

// The moment of a server's date text, "<no moment>" when it names none.
std::string ReadDateTime(std::string_view text, bool compact = false) {
  std::string_view fraction;
  TDateTime value = 0;
  if (!TryMySqlTextToDateTime(text, compact, value, fraction)) return "<no moment>";
  return DateTimeParts(value);
}

// Regression: zero dates read as 30 December 1899 and impossible dates were
// clamped to a real one, so '2004-02-30' exported as 2004-02-29.
TEST(DateText, ZeroAndImpossibleDatesNameNoMoment) {
  const char* const no_moments[] = {"0000-00-00",
                                    "0000-00-00 00:00:00",
                                    "0000-00-00 00:00:00.000000",
                                    "2004-02-30",
                                    "2003-02-29",
                                    "2024-00-00",
                                    "2024-00-00 10:00:00",
                                    "2024-05-00",
                                    "0000-05-10",
                                    "2024-13-01",
                                    "2024-01-01 24:00:00",
                                    "2024-01-01 23:60:00",
                                    "2024-01-01 23:59:60",
                                    "2024-01-01 12:34.5",
                                    "2024-01-01 12:34:56.",
                                    "2024-01-01x",
                                    "garbage",
                                    ""};
  for (const char* text : no_moments) EXPECT_EQ(ReadDateTime(text), "<no moment>") << text;
  EXPECT_EQ(ReadDateTime("2004-02-29"), "2004-02-29 00:00:00");
  EXPECT_EQ(ReadDateTime("0001-01-01 00:00:00"), "0001-01-01 00:00:00");
  EXPECT_EQ(ReadDateTime("9999-12-31 23:59:59"), "9999-12-31 23:59:59");
}

TEST(DateText, CompactTimestampsReadAsTheDashedForm) {
  EXPECT_EQ(ReadDateTime("20040115123456", true), "2004-01-15 12:34:56");
  EXPECT_EQ(ReadDateTime("2004-01-15 12:34:56", true), "2004-01-15 12:34:56");
  EXPECT_EQ(ReadDateTime("20040115", true), "2004-01-15 00:00:00");
  EXPECT_EQ(ReadDateTime("040115123456", true), "2004-01-15 12:34:56");
  EXPECT_EQ(ReadDateTime("990115", true), "1999-01-15 00:00:00");
}

TEST(DateText, FractionalSecondsAreHandedBackAsDigits) {
  std::string_view fraction;
  TDateTime value = 0;
  ASSERT_TRUE(TryMySqlTextToDateTime("2024-01-02 03:04:05.123456", false, value, fraction));
  EXPECT_EQ(DateTimeParts(value), "2024-01-02 03:04:05");
  EXPECT_EQ(fraction, "123456");
  // Dates before the start of the scale keep their time of day.
  EXPECT_EQ(ReadDateTime("1000-01-01 06:00:00"), "1000-01-01 06:00:00");
}

std::string ReadTime(std::string_view text, std::string_view* fraction_out = nullptr) {
  std::string_view fraction;
  const TDateTime value = MySqlTextToTime(text, fraction);
  if (fraction_out != nullptr) *fraction_out = fraction;
  return DateTimeParts(value).substr(11);
}

// Regression: a TIME(3) text is longer than ten characters and was read as a
// date followed by a time, which gave midnight.
TEST(TimeText, KeepsTheTimeOfDayOnly) {
  std::string_view fraction;
  EXPECT_EQ(ReadTime("12:34:56"), "12:34:56");
  EXPECT_EQ(ReadTime("12:34:56.789", &fraction), "12:34:56");
  EXPECT_EQ(fraction, "789");
  EXPECT_EQ(ReadTime("2004-01-15 12:34:56"), "12:34:56");
  EXPECT_EQ(ReadTime("838:59:59"), "23:59:59");
  EXPECT_EQ(ReadTime("-01:00:00"), "00:00:00");
  EXPECT_EQ(ReadTime(""), "00:00:00");
}

}  // namespace
}  // namespace velmora
