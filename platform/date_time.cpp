#include "platform/date_time.h"

#include <cmath>

#include "platform/error.h"

namespace velmora {

namespace {

constexpr std::int64_t kMillisecondsInDay = 86400000;

// Days from 1 March of year 0 of the proleptic Gregorian calendar, shifted so
// that eras of 400 years line up; the usual civil-calendar arithmetic.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
  day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

// Values are clamped to a little beyond years 1..9999 so that no conversion overflows.
constexpr double kLowestValue = -700000.0;
constexpr double kHighestValue = 3000000.0;

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999) {
    return false;
  }
  result = ((hour * 60 + minute) * 60 + second) * 1000.0 + millisecond;
  result /= kMillisecondsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result)) throw EVelmoraError("Invalid argument to date encode");
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime result = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, result))
    throw EVelmoraError("Invalid argument to time encode");
  return result;
}

TDayAndTime SplitDateTime(TDateTime value) {
  if (!std::isfinite(value)) value = 0;
  value = std::fmin(std::fmax(value, kLowestValue), kHighestValue);
  const double whole = std::trunc(value);
  TDayAndTime parts;
  parts.Day = static_cast<std::int64_t>(whole);
  parts.Millisecond = std::llround(std::fabs(value - whole) * kMillisecondsPerDay);
  if (parts.Millisecond >= kMillisecondsInDay) {
    // Rounded up to the next midnight, which is the next day whatever the sign.
    parts.Millisecond -= kMillisecondsInDay;
    parts.Day += 1;
  }
  return parts;
}

TDateTime JoinDateTime(TDayAndTime parts) {
  parts.Day += parts.Millisecond / kMillisecondsInDay;
  parts.Millisecond %= kMillisecondsInDay;
  const double time = static_cast<double>(parts.Millisecond) / kMillisecondsPerDay;
  const double day = static_cast<double>(parts.Day);
  return parts.Day >= 0 ? day + time : day - time;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond) {
  const TDayAndTime parts = SplitDateTime(value);
  CivilFromDays(parts.Day + kEpochDays, year, month, day);
  std::int64_t rest = parts.Millisecond;
  millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  second = static_cast<int>(rest % 60);
  rest /= 60;
  minute = static_cast<int>(rest % 60);
  hour = static_cast<int>(rest / 60);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int hour, minute, second, millisecond;
  DecodeDateTime(value, year, month, day, hour, minute, second, millisecond);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
  int year, month, day;
  DecodeDateTime(value, year, month, day, hour, minute, second, millisecond);
}

int DayOfWeek(TDateTime value) {
  // Day 0, 30 December 1899, was a Saturday.
  const std::int64_t day = SplitDateTime(value).Day;
  return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

}  // namespace velmora
