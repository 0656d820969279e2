// Date-time values: days since 30 December 1899, the fraction being the time of day.
#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "platform/error.h"

namespace velmora {
namespace {

struct TDateCase {
  int Year, Month, Day;
  double Serial;
};

TEST(DateTimeTest, EncodesAndDecodesDates) {
  const TDateCase cases[] = {
      {1899, 12, 30, 0},    {1899, 12, 31, 1},       {1900, 1, 1, 2},    {1900, 3, 1, 61},
      {2000, 2, 29, 36585}, {2024, 2, 29, 45351},    {1899, 12, 29, -1}, {1850, 6, 15, -18095},
      {1, 1, 1, -693593},   {9999, 12, 31, 2958465},
  };
  for (const TDateCase& test_case : cases) {
    SCOPED_TRACE(test_case.Serial);
    EXPECT_EQ(EncodeDate(test_case.Year, test_case.Month, test_case.Day), test_case.Serial);
    int year = 0, month = 0, day = 0;
    DecodeDate(test_case.Serial, year, month, day);
    EXPECT_EQ(year, test_case.Year);
    EXPECT_EQ(month, test_case.Month);
    EXPECT_EQ(day, test_case.Day);
  }
}

TEST(DateTimeTest, EveryDayOfTheRangeRoundTrips) {
  TDateTime previous = EncodeDate(1, 1, 1) - 1;
  for (int year = 1; year <= 9999; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        TDateTime value = 0;
        ASSERT_TRUE(TryEncodeDate(year, month, day, value));
        ASSERT_EQ(value, previous + 1) << year << "-" << month << "-" << day;
        previous = value;
        if (day == 1 || day == 28) {
          int decoded_year = 0, decoded_month = 0, decoded_day = 0;
          DecodeDate(value, decoded_year, decoded_month, decoded_day);
          ASSERT_EQ(decoded_year * 10000 + decoded_month * 100 + decoded_day,
                    year * 10000 + month * 100 + day);
        }
      }
    }
  }
}

TEST(DateTimeTest, LeapYearsFollowTheGregorianRule) {
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2024, 4), 30);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST(DateTimeTest, RejectsInvalidDatesAndTimesWithTheirMessages) {
  TDateTime value = 0;
  for (auto [year, month, day] : {std::tuple{2023, 2, 29},
                                  {0, 1, 1},
                                  {10000, 1, 1},
                                  {2024, 13, 1},
                                  {2024, 0, 1},
                                  {2024, 4, 31},
                                  {2024, 1, 0}}) {
    SCOPED_TRACE(testing::Message() << year << "-" << month << "-" << day);
    EXPECT_FALSE(TryEncodeDate(year, month, day, value));
    try {
      EncodeDate(year, month, day);
      ADD_FAILURE() << "no error raised";
    } catch (const EVelmoraError& error) {
      EXPECT_STREQ(error.what(), "Invalid argument to date encode");
    }
  }
  for (auto [hour, minute, second, millisecond] :
       {std::tuple{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << hour << ":" << minute << ":" << second << "." << millisecond);
    EXPECT_FALSE(TryEncodeTime(hour, minute, second, millisecond, value));
    try {
      EncodeTime(hour, minute, second, millisecond);
      ADD_FAILURE() << "no error raised";
    } catch (const EVelmoraError& error) {
      EXPECT_STREQ(error.what(), "Invalid argument to time encode");
    }
  }
}

struct TMomentCase {
  double Value;
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

TEST(DateTimeTest, DecodesTimesOnBothSidesOfTheEpoch) {
  const TMomentCase cases[] = {
      {0.5, 1899, 12, 30, 12, 0, 0, 0},
      {-1.25, 1899, 12, 29, 6, 0, 0, 0},
      {-0.75, 1899, 12, 30, 18, 0, 0, 0},
      {EncodeDate(1850, 7, 14) - EncodeTime(18, 30, 15, 250), 1850, 7, 14, 18, 30, 15, 250},
      {EncodeDate(2024, 1, 5) + EncodeTime(23, 59, 59, 999), 2024, 1, 5, 23, 59, 59, 999},
      // A moment a fraction of a millisecond before midnight rounds to the next day.
      {EncodeDate(2024, 1, 5) + 0.9999999999, 2024, 1, 6, 0, 0, 0, 0},
      {EncodeDate(1850, 7, 14) - 0.9999999999, 1850, 7, 15, 0, 0, 0, 0},
  };
  for (const TMomentCase& test_case : cases) {
    SCOPED_TRACE(test_case.Value);
    int year, month, day, hour, minute, second, millisecond;
    DecodeDateTime(test_case.Value, year, month, day, hour, minute, second, millisecond);
    EXPECT_EQ((std::tuple{year, month, day, hour, minute, second, millisecond}),
              (std::tuple{test_case.Year, test_case.Month, test_case.Day, test_case.Hour, test_case.Minute,
                          test_case.Second, test_case.Millisecond}));
  }
}

TEST(DateTimeTest, JoinAndSplitAreInverse) {
  for (TDayAndTime parts : {TDayAndTime{0, 0}, TDayAndTime{45351, 45015250}, TDayAndTime{-18095, 66615250},
                            TDayAndTime{-1, 1}, TDayAndTime{2958465, 86399999}}) {
    const TDayAndTime split = SplitDateTime(JoinDateTime(parts));
    EXPECT_EQ(split.Day, parts.Day);
    EXPECT_EQ(split.Millisecond, parts.Millisecond);
  }
  // A whole day of milliseconds carries into the next day, also before the epoch.
  EXPECT_EQ(JoinDateTime({5, 86400000}), 6.0);
  EXPECT_EQ(JoinDateTime({-3, 86400000}), -2.0);
}

TEST(DateTimeTest, DayOfWeekCountsFromSunday) {
  EXPECT_EQ(DayOfWeek(0), 7);  // Saturday
  EXPECT_EQ(DayOfWeek(1.75), 1);
  EXPECT_EQ(DayOfWeek(-1.5), 6);
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 15)), 2);
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);
}

TEST(DateTimeTest, ValuesOutsideTheCalendarDoNotBreakDecoding) {
  int year, month, day, hour, minute, second, millisecond;
  for (double value : {1e300, -1e300, std::numeric_limits<double>::quiet_NaN()}) {
    DecodeDateTime(value, year, month, day, hour, minute, second, millisecond);
    EXPECT_GE(month, 1);
    EXPECT_LE(month, 12);
    EXPECT_GE(DayOfWeek(value), 1);
  }
}

}  // namespace
}  // namespace velmora
