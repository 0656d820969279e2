// Reading numbers, dates and times in the locale's forms, and reading back
// what the locale's own formats print.
#include <cmath>

#include "platform/date_time.h"
#include "platform/pinned_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

class ValueParseTest : public PinnedSettingsTest {};

TDateTime Moment(int year, int month, int day, int hour, int minute, int second, int millisecond = 0) {
  return JoinDateTime({static_cast<std::int64_t>(EncodeDate(year, month, day)),
                       ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + millisecond});
}

TEST_F(ValueParseTest, ReadsIntegersExactly) {
  std::int64_t value = 0;
  for (auto [text, expected] : {std::pair<const char*, std::int64_t>{"123", 123},
                                {" -45 ", -45},
                                {"+7", 7},
                                {"007", 7},
                                {"9223372036854775807", INT64_MAX},
                                {"-9223372036854775808", INT64_MIN}}) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(TryStrToInt64(text, value));
    EXPECT_EQ(value, expected);
  }
  for (const char* text : {"", " ", "-", "+", "12a", "1 2", "+-1", "--1", "0x10", "1.0",
                           "9223372036854775808", "-9223372036854775809"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(TryStrToInt64(text, value));
  }
  std::uint64_t unsigned_value = 0;
  ASSERT_TRUE(TryStrToUInt64("18446744073709551615", unsigned_value));
  EXPECT_EQ(unsigned_value, UINT64_MAX);
  EXPECT_FALSE(TryStrToUInt64("18446744073709551616", unsigned_value));
  EXPECT_FALSE(TryStrToUInt64("-1", unsigned_value));
  EXPECT_FALSE(TryStrToUInt64("+-1", unsigned_value));
}

struct TFloatCase {
  const char* Text;
  bool Valid;
  double Value;
};

TEST_F(ValueParseTest, ReadsFloatsWithTheLocaleDecimalSeparatorOnly) {
  const TFloatCase c_cases[] = {
      {"1.5", true, 1.5},    {" -2.5e3 ", true, -2500}, {".5", true, 0.5},  {"5.", true, 5},
      {"+1E-2", true, 0.01}, {"1,5", false, 0},         {"1e", false, 0},   {"e5", false, 0},
      {"", false, 0},        {"abc", false, 0},         {"1.5.", false, 0}, {"1e400", false, 0},
      {"-1e-400", true, 0},  {"1 000", false, 0},       {".", false, 0},
  };
  for (const TFloatCase& test_case : c_cases) {
    SCOPED_TRACE(test_case.Text);
    double value = 0;
    EXPECT_EQ(TryStrToFloat(test_case.Text, value), test_case.Valid);
    if (test_case.Valid) {
      EXPECT_EQ(value, test_case.Value);
    }
  }
  PinGerman();
  const TFloatCase german_cases[] = {
      {"1,5", true, 1.5}, {"-1234,25", true, -1234.25}, {",5", true, 0.5},
      {"1.5", false, 0},  {"1.234,5", false, 0},
  };
  for (const TFloatCase& test_case : german_cases) {
    SCOPED_TRACE(test_case.Text);
    double value = 0;
    EXPECT_EQ(TryStrToFloat(test_case.Text, value), test_case.Valid);
    if (test_case.Valid) {
      EXPECT_EQ(value, test_case.Value);
    }
  }
}

TEST_F(ValueParseTest, LocaleNumbersBecomeCFormTextWithEveryDigit) {
  PinGerman();
  const std::pair<const char*, const char*> cases[] = {
      {"-1234,5678", "-1234.5678"},
      {",5", "0.5"},
      {"+12", "12"},
      {" 1,5E-7 ", "1.5e-7"},
      {"2e+3", "2e3"},
      {"12345678901234567890123456789012345678901234567890123456789012345,123456789012345678901234567890",
       "12345678901234567890123456789012345678901234567890123456789012345.123456789012345678901234567890"},
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(text);
    std::string decimal_text = "old";
    ASSERT_TRUE(TryLocaleNumberToDecimalText(text, decimal_text));
    EXPECT_EQ(decimal_text, expected);
  }
  std::string decimal_text;
  EXPECT_FALSE(TryLocaleNumberToDecimalText("1.5", decimal_text));
  EXPECT_FALSE(TryLocaleNumberToDecimalText("-", decimal_text));
}

struct TDateTimeTextCase {
  const char* Text;
  TDateTime Value;
};

TEST_F(ValueParseTest, ReadsDatesAndTimesInTheCLocale) {
  const TDateTimeTextCase cases[] = {
      {"2024-01-15", EncodeDate(2024, 1, 15)},
      {"2024/1/5", EncodeDate(2024, 1, 5)},
      {"  2024-01-15  ", EncodeDate(2024, 1, 15)},
      {"24-01-15", EncodeDate(2024, 1, 15)},
      {"75-01-15", EncodeDate(1975, 1, 15)},
      {"0075-01-15", EncodeDate(75, 1, 15)},
      {"12:30", Moment(1899, 12, 30, 12, 30, 0)},
      {"12:30:45.5", Moment(1899, 12, 30, 12, 30, 45, 500)},
      {"12:30:45,1236", Moment(1899, 12, 30, 12, 30, 45, 123)},
      {"2024-01-15 1:02:03 PM", Moment(2024, 1, 15, 13, 2, 3)},
      {"2024-01-15 12:02 am", Moment(2024, 1, 15, 0, 2, 0)},
      {"PM 1:02:03", Moment(1899, 12, 30, 13, 2, 3)},
      {"2024-01-15   23:59:59.9996", Moment(2024, 1, 15, 23, 59, 59, 999)},
      {"9999-12-31 23:59:59.999999", Moment(9999, 12, 31, 23, 59, 59, 999)},
      {"1850-07-14 18:30:15", Moment(1850, 7, 14, 18, 30, 15)},
  };
  for (const TDateTimeTextCase& test_case : cases) {
    SCOPED_TRACE(test_case.Text);
    TDateTime value = -1;
    ASSERT_TRUE(TryStrToDateTime(test_case.Text, value));
    EXPECT_EQ(value, test_case.Value);
  }
}

TEST_F(ValueParseTest, ReadsDatesAndTimesInTheGermanLocale) {
  PinGerman();
  const TDateTimeTextCase cases[] = {
      {"15.01.2024", EncodeDate(2024, 1, 15)},
      {"15.1.24", EncodeDate(2024, 1, 15)},
      {"15/01/2024", EncodeDate(2024, 1, 15)},
      {"15.01.2024 12:30:45", Moment(2024, 1, 15, 12, 30, 45)},
      {"15.01.2024 12:30:45,25", Moment(2024, 1, 15, 12, 30, 45, 250)},
      {"08:15", Moment(1899, 12, 30, 8, 15, 0)},
      {"1:05 nachm.", Moment(1899, 12, 30, 13, 5, 0)},
  };
  for (const TDateTimeTextCase& test_case : cases) {
    SCOPED_TRACE(test_case.Text);
    TDateTime value = -1;
    ASSERT_TRUE(TryStrToDateTime(test_case.Text, value));
    EXPECT_EQ(value, test_case.Value);
  }
}

TEST_F(ValueParseTest, RejectsTextThatIsNoDateOrTime) {
  const char* c_texts[] = {"",
                           "abc",
                           "2024-13-01",
                           "2024-02-30",
                           "2023-02-29",
                           "24:00",
                           "12:60",
                           "12:30:60",
                           "2024-01-15T12:00",
                           "2024-01-15 12",
                           "13:00 PM",
                           "12:30 XM",
                           "2024-01-1512:30",
                           "15.01.2024",
                           "2024-01-15 12:30:45 extra",
                           "20240-01-15",
                           "12:30:45.",
                           "-12:30"};
  for (const char* text : c_texts) {
    SCOPED_TRACE(text);
    TDateTime value = 0;
    EXPECT_FALSE(TryStrToDateTime(text, value));
  }
  PinGerman();
  for (const char* text : {"2024-01-15", "31.04.2024", "15.01.2024 12.30"}) {
    SCOPED_TRACE(text);
    TDateTime value = 0;
    EXPECT_FALSE(TryStrToDateTime(text, value));
  }
}

// What the locale's short forms print must read back as the same value: the
// text form of dates in the data set and the default display formats rely on it.
TEST_F(ValueParseTest, LocaleFormsReadBackAsTheSameValue) {
  const TDateTime moments[] = {
      Moment(1850, 7, 14, 18, 30, 15), Moment(2024, 2, 29, 0, 0, 0),   Moment(9999, 12, 31, 23, 59, 59),
      Moment(1, 1, 1, 0, 0, 1),        Moment(1899, 12, 30, 12, 0, 0), Moment(2024, 6, 1, 12, 0, 0),
      Moment(2024, 6, 1, 0, 59, 0),
  };
  const std::pair<const char*, TFormatSettings> locales[] = {{"C", TFormatSettings::CLocale()},
                                                             {"German", GermanStyleSettings()},
                                                             {"twelve-hour", TwelveHourSettings()}};
  for (const auto& [name, settings] : locales) {
    SetFormatSettings(settings);
    for (TDateTime moment : moments) {
      const TDayAndTime parts = SplitDateTime(moment);
      const std::string date_time =
          FormatDateTime(settings.ShortDateFormat + " " + settings.ShortTimeFormat, moment);
      SCOPED_TRACE(std::string(name) + ": " + date_time);
      TDateTime value = -1;
      ASSERT_TRUE(TryStrToDateTime(date_time, value));
      EXPECT_EQ(value, moment);
      ASSERT_TRUE(TryStrToDateTime(DateTimeToStr(moment), value));
      EXPECT_EQ(value, moment);
      ASSERT_TRUE(TryStrToDateTime(DateToStr(moment), value));
      EXPECT_EQ(value, static_cast<double>(parts.Day));
      ASSERT_TRUE(TryStrToDateTime(TimeToStr(moment), value));
      EXPECT_EQ(value, JoinDateTime({0, parts.Millisecond}));
    }
  }
}

// The server cuts a fraction of seconds; rounding it carried the last moment of
// a year into the next day, month and year.
TEST_F(ValueParseTest, FractionAtTheEndOfADayIsCutNotCarriedIntoTheNextYear) {
  TDateTime value = 0;
  ASSERT_TRUE(TryStrToDateTime("2004-12-31 23:59:59.999600", value));
  EXPECT_EQ(value, Moment(2004, 12, 31, 23, 59, 59, 999));
  ASSERT_TRUE(TryStrToTime("23:59:59.9999", value));
  EXPECT_EQ(value, JoinDateTime({0, static_cast<std::int64_t>(kMillisecondsPerDay) - 1}));
  EXPECT_LT(value, 1.0);
}

// A locale writing dates and times with the same separator, "15.01.2024" and
// "13.04.05,5": a time read as a date with a two-digit year became 13 April 2005.
TEST_F(ValueParseTest, TimeWithTheDateSeparatorIsNotReadAsADate) {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DecimalSeparator = ",";
  settings.ThousandSeparator = " ";
  settings.DateSeparator = ".";
  settings.TimeSeparator = ".";
  settings.ShortDateFormat = "d/m/yyyy";
  settings.ShortTimeFormat = "hh:nn:ss";
  settings.LongTimeFormat = "hh:nn:ss";
  SetFormatSettings(settings);
  const TDateTimeTextCase cases[] = {
      {"13.04.05", Moment(1899, 12, 30, 13, 4, 5)},
      {"13.04.05,5", Moment(1899, 12, 30, 13, 4, 5, 500)},
      {"13.04", Moment(1899, 12, 30, 13, 4, 0)},
      {"13.04.2005", EncodeDate(2005, 4, 13)},
      {"13.4.2005 13.04.05,5", Moment(2005, 4, 13, 13, 4, 5, 500)},
      {"31.12.99", EncodeDate(1999, 12, 31)},
  };
  for (const TDateTimeTextCase& test_case : cases) {
    SCOPED_TRACE(test_case.Text);
    TDateTime value = -1;
    ASSERT_TRUE(TryStrToDateTime(test_case.Text, value));
    EXPECT_EQ(value, test_case.Value);
  }
  TDateTime value = -1;
  ASSERT_TRUE(TryStrToTime("13.04.05,5", value));
  EXPECT_EQ(value, Moment(1899, 12, 30, 13, 4, 5, 500));
  EXPECT_FALSE(TryStrToTime("13.04.2005", value));
  EXPECT_FALSE(TryStrToTime("13.4.2005 13.04.05", value));
  const TDateTime moment = Moment(2005, 4, 13, 13, 4, 5, 500);
  ASSERT_TRUE(TryStrToTime(FormatDateTime("hh:nn:ss,zzz", moment), value));
  EXPECT_EQ(value, Moment(1899, 12, 30, 13, 4, 5, 500));
  ASSERT_TRUE(TryStrToDateTime(DateToStr(moment), value));
  EXPECT_EQ(value, EncodeDate(2005, 4, 13));
}

TEST_F(ValueParseTest, GeneralFloatFormReadsBackInBothLocales) {
  for (double number : {0.1, -1234.5678, 1.0 / 3, 1.5e20, 2.5e-10, 123456789012345.0}) {
    for (bool german : {false, true}) {
      if (german)
        PinGerman();
      else
        PinC();
      const std::string text = FloatToStr(number);
      SCOPED_TRACE(text);
      double value = 0;
      ASSERT_TRUE(TryStrToFloat(text, value));
      EXPECT_NEAR(value, number, std::fabs(number) * 1e-14);
    }
  }
}

}  // namespace
}  // namespace velmora
