#pragma once

#include <cstdint>

namespace velmora {

// A moment as days since 30 December 1899, midnight; the fraction is the time of day.
using TDateTime = double;

constexpr double kMillisecondsPerDay = 86400000.0;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Years 1..9999. The Try forms return false for an invalid date or time.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);
// As the Try forms, raising "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);

// Splits a value into its parts, rounded to the nearest millisecond.
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);

// A moment as a day number (0 = 30 December 1899) and the milliseconds since
// that day's midnight. Before 1899 a value's whole part still counts the day and
// its fraction, taken without sign, is the time.
struct TDayAndTime {
  std::int64_t Day = 0;
  std::int64_t Millisecond = 0;
};
// Rounds to the nearest millisecond; values beyond years 1..9999 are clamped.
TDayAndTime SplitDateTime(TDateTime value);
// The inverse; a Millisecond of a whole day or more carries into Day.
TDateTime JoinDateTime(TDayAndTime parts);

}  // namespace velmora
