#include "mysql/field_mapping.h"

#include <gtest/gtest.h>

#include "platform/date_time.h"
#include "platform/decimal_number.h"
#include "platform/locale_settings.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

struct TTypeTextCase {
  const char* type_text;
  TFieldType data_type;
  int size;
};

TEST(MapTypeText, FollowsTheTypeTextRules) {
  const TTypeTextCase cases[] = {
      {"int(11)", ftLargeint, 0},
      {"int(10) unsigned", ftLargeint, 0},
      {"bigint(20) unsigned", ftLargeint, 0},
      {"int(9)", ftInteger, 0},
      {"tinyint(4)", ftInteger, 0},
      {"smallint(5) unsigned", ftInteger, 0},
      {"mediumint(9)", ftInteger, 0},
      {"int", ftInteger, 0},
      {"year(4)", ftInteger, 0},
      {"double", ftFloat, 0},
      {"float(7,3)", ftFloat, 0},
      {"decimal(65,30)", ftFloat, 0},
      {"char(10)", ftString, 10},
      {"varchar(20)", ftString, 20},
      {"char", ftString, 50},
      {"date", ftDate, 0},
      {"datetime", ftDateTime, 0},
      {"time", ftTime, 0},
      {"timestamp", ftDateTime, 0},
      {"longblob", ftBlob, 0},
      {"mediumtext", ftMemo, 0},
      {"geometry", ftBlob, 0},
      {"set('a','b')", ftString, 8},
      {"enum('a','bb','it''s')", ftString, 4},
      {"enum('ä','日本語')", ftString, 3},
      {"binary(16)", ftUnknown, 0},
      {"bit(8)", ftUnknown, 0},
  };
  for (const TTypeTextCase& item : cases) {
    const TTypeTextMapping mapping = MapTypeText(item.type_text, false);
    EXPECT_EQ(mapping.DataType, item.data_type) << item.type_text;
    EXPECT_EQ(mapping.Size, item.size) << item.type_text;
  }
  EXPECT_EQ(MapTypeText("decimal(10,2)", false).Decimals, 2);
  EXPECT_EQ(MapTypeText("double", false).Decimals, 4);
  EXPECT_TRUE(MapTypeText("decimal(10,2)", false).ExactDecimal);
  EXPECT_FALSE(MapTypeText("double(10,2)", false).ExactDecimal);
}

// A result column without a table column of its own (an expression, a
// union) is declared from its description: the figures are the server's for
// the expressions in the comments, read over a utf8mb4 connection.
TEST(ResultColumnTypeText, DeclaresATypeThatHoldsEveryValueOfTheDescription) {
  constexpr unsigned kNumber = 63;
  constexpr unsigned kText = 45;
  const struct {
    TResultColumnMetadata metadata;
    const char* expected;
  } cases[] = {
      {{mtNewDecimal, 4, 1, 0, kNumber, 4}, "decimal(2,1)"},  // 1.5
      {{mtNewDecimal, 5, 2, 0, kNumber, 4}, "decimal(3,2)"},  // -1.25
      {{mtNewDecimal, 20, 0, kMySqlUnsignedFlag, kNumber, 4}, "decimal(20,0) unsigned"},
      {{mtDouble, 22, 31, 0, kNumber, 4}, "double"},       // 1e3
      {{mtDouble, 24, 2, 0, kNumber, 4}, "double(24,2)"},  // round(double, 2)
      {{mtLong, 10, 0, kMySqlUnsignedFlag, kNumber, 4}, "int(10) unsigned"},
      {{mtTiny, 3, 0, kMySqlUnsignedFlag | kMySqlZerofillFlag, kNumber, 4}, "tinyint(3) unsigned zerofill"},
      {{mtTimestamp, 23, 3, 0, kNumber, 4}, "timestamp(3)"},
      {{mtDateTime, 26, 6, 0, kNumber, 4}, "datetime(6)"},  // now(6)
      {{mtBit, 5, 0, kMySqlUnsignedFlag, kNumber, 4}, "bit(5)"},
      {{mtVarString, 44, 39, 0, kText, 4}, "varchar(11)"},  // concat(varchar(10), 'x')
      {{mtString, 12, 0, 0, kText, 4}, "char(3)"},
      {{mtVarString, 5, 0, kMySqlBinaryFlag, kNumber, 4}, "varbinary(5)"},
      {{mtBlob, 65535, 0, kMySqlBinaryFlag, kNumber, 4}, "blob"},
      {{mtBlob, 262140, 0, 0, kText, 4}, "mediumtext"},       // a TEXT column, 4 bytes a character
      {{mtVarString, 262140, 0, 0, kText, 4}, "mediumtext"},  // group_concat beyond a VARCHAR
      {{mtGeometry, 4294967295, 0, kMySqlBinaryFlag, kNumber, 4}, "geometry"},
      {{mtNull, 0, 0, 0, kNumber, 4}, "binary(0)"},  // select null
      {{200, 0, 0, 0, kNumber, 4}, "longblob"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(ResultColumnTypeText(test.metadata), test.expected) << test.expected;
  }
  EXPECT_EQ(CollationCharacterSet("latin1_swedish_ci"), "latin1");
  EXPECT_EQ(CollationCharacterSet("binary"), "binary");
}

TEST(MapTypeText, AlternativeViewMakesYesNoEnumerationsBoolean) {
  EXPECT_EQ(MapTypeText("enum('Y','N')", true).DataType, ftBoolean);
  EXPECT_EQ(MapTypeText("enum('f','t')", true).DataType, ftBoolean);
  EXPECT_EQ(MapTypeText("enum('y','n')", false).DataType, ftString);
  EXPECT_EQ(MapTypeText("enum('y','n','x')", true).DataType, ftString);
}

// Regressions: a bare "int unsigned" was a 32-bit field; "point" and a SET
// whose values contain "int" or "text" matched the integer and memo rules;
// DATETIME(6) and TIME(3) had no type at all.
TEST(MapTypeText, TypeNamesDecideNotTheirArguments) {
  EXPECT_EQ(MapTypeText("int unsigned", false).DataType, ftLargeint);
  EXPECT_EQ(MapTypeText("point", false).DataType, ftBlob);
  EXPECT_EQ(MapTypeText("multipolygon", false).DataType, ftBlob);
  EXPECT_EQ(MapTypeText("set('print','text')", false).DataType, ftString);
  EXPECT_EQ(MapTypeText("datetime(6)", false).DataType, ftDateTime);
  EXPECT_EQ(MapTypeText("time(3)", false).DataType, ftTime);
}

TEST(MapResultColumnType, FollowsTheTypeCodes) {
  constexpr unsigned int kText = 45;  // utf8mb4_general_ci
  EXPECT_EQ(MapResultColumnType(mtTiny, 0, kMySqlBinaryCharset), ftInteger);
  EXPECT_EQ(MapResultColumnType(mtYear, 0, kMySqlBinaryCharset), ftInteger);
  EXPECT_EQ(MapResultColumnType(mtShort, kMySqlAutoIncrementFlag, kMySqlBinaryCharset), ftAutoInc);
  EXPECT_EQ(MapResultColumnType(mtLongLong, 0, kMySqlBinaryCharset), ftLargeint);
  EXPECT_EQ(MapResultColumnType(mtLong, kMySqlAutoIncrementFlag, kMySqlBinaryCharset), ftAutoInc);
  EXPECT_EQ(MapResultColumnType(mtBit, 0, kMySqlBinaryCharset), ftLargeint);
  EXPECT_EQ(MapResultColumnType(mtDouble, 0, kMySqlBinaryCharset), ftFloat);
  // DECIMAL of current servers
  EXPECT_EQ(MapResultColumnType(mtNewDecimal, 0, kMySqlBinaryCharset), ftFloat);
  EXPECT_EQ(MapResultColumnType(mtNewDate, 0, kMySqlBinaryCharset), ftDate);
  EXPECT_EQ(MapResultColumnType(mtTime, 0, kMySqlBinaryCharset), ftTime);
  EXPECT_EQ(MapResultColumnType(mtDateTime, 0, kMySqlBinaryCharset), ftDateTime);
  EXPECT_EQ(MapResultColumnType(mtTimestamp, 0, kMySqlBinaryCharset), ftString);
  EXPECT_EQ(MapResultColumnType(mtVarString, 0, kText), ftString);
  // Large objects: the character set tells binary data from text, whatever
  // the binary flag (set for text in a binary collation too) says.
  EXPECT_EQ(MapResultColumnType(mtBlob, 128, kMySqlBinaryCharset), ftBlob);
  EXPECT_EQ(MapResultColumnType(mtBlob, 128, 46), ftMemo);
  EXPECT_EQ(MapResultColumnType(mtMediumBlob, 0, kText), ftMemo);
}

TEST(DefaultDisplayWidth, DependsOnTheType) {
  EXPECT_EQ(DefaultDisplayWidth(ftString, 37), 37);
  EXPECT_EQ(DefaultDisplayWidth(ftLargeint, 0), 15);
  EXPECT_EQ(DefaultDisplayWidth(ftAutoInc, 0), 15);
  EXPECT_EQ(DefaultDisplayWidth(ftDateTime, 0), 18);
  EXPECT_EQ(DefaultDisplayWidth(ftBoolean, 0), 5);
  EXPECT_EQ(DefaultDisplayWidth(ftMemo, 0), 10);
}

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
