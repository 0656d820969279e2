#include "formats/workbook/moment_serial.h"

#include <cmath>
#include <cstdlib>

#include "platform/seconds_fraction.h"

namespace velmora {

namespace {

constexpr std::int64_t kMicrosecondsPerDay = 86400000000;
// Day numbers: 1 March 1900 is the first day the spreadsheet counts as we do.
constexpr std::int64_t kFirstMarch1900 = 61;
constexpr std::int64_t kLastDecember1899 = 1;

int FractionMicroseconds(std::string_view digits) {
  int microseconds = 0;
  for (std::size_t index = 0; index < 6; ++index) {
    microseconds = microseconds * 10 + (index < digits.size() ? digits[index] - '0' : 0);
  }
  return microseconds;
}

// |candidate * kMicrosecondsPerDay - total|, scaled by a power of two that is
// the same for every candidate of one binade, compared exactly: candidate is
// m * 2^e with a 53-bit m, so the difference times 2^-e is an integer.
using TWide = __int128;
TWide ScaledError(double candidate, std::int64_t total, int shift) {
  const TWide mantissa = static_cast<TWide>(std::ldexp(candidate, shift));
  const TWide difference = mantissa * kMicrosecondsPerDay - (static_cast<TWide>(total) << shift);
  return difference < 0 ? -difference : difference;
}

// total / kMicrosecondsPerDay rounded once, to the nearest double: the long
// double quotient is within one step of it, so the nearest of its neighbours
// is chosen by exact arithmetic.
double MicrosecondsInDays(std::int64_t total) {
  if (total == 0) return 0;
  const double estimate = static_cast<double>(static_cast<long double>(total) / kMicrosecondsPerDay);
  int exponent = 0;
  std::frexp(estimate, &exponent);
  // Every candidate below 2^exponent times 2^shift is a whole number.
  const int shift = 53 - exponent + 1;
  double best = estimate;
  TWide best_error = ScaledError(estimate, total, shift);
  for (const double neighbour : {std::nextafter(estimate, 0.0), std::nextafter(estimate, 2 * estimate)}) {
    const TWide error = ScaledError(neighbour, total, shift);
    if (error < best_error) {
      best = neighbour;
      best_error = error;
    }
  }
  return best;
}

}  // namespace

TMicroMoment MicroMomentOf(TDateTime value, std::string_view fraction_digits) {
  const TDayAndTime parts = SplitDateTime(value);
  const std::int64_t whole_seconds_ms = parts.Millisecond - FractionMilliseconds(fraction_digits);
  return TMicroMoment{parts.Day, whole_seconds_ms * 1000 + FractionMicroseconds(fraction_digits)};
}

bool SpreadsheetSerial(TMicroMoment moment, double& serial) {
  if (moment.Day < kLastDecember1899 || (moment.Day == kLastDecember1899 && moment.Microsecond == 0)) {
    return false;
  }
  const std::int64_t day = moment.Day >= kFirstMarch1900 ? moment.Day : moment.Day - 1;
  serial = MicrosecondsInDays(day * kMicrosecondsPerDay + moment.Microsecond);
  // Far from 1900 a double has no room for every microsecond, and the last
  // ones of a day would round up to the next midnight: the cell keeps its day.
  const double next_day = static_cast<double>(day + 1);
  if (serial >= next_day) serial = std::nextafter(next_day, 0.0);
  return true;
}

int DeclaredSecondsDigits(std::string_view declaration) {
  const std::size_t open = declaration.find('(');
  if (open == std::string_view::npos || open + 2 >= declaration.size() || declaration[open + 2] != ')') return 0;
  const char digit = declaration[open + 1];
  return digit >= '1' && digit <= '6' ? digit - '0' : 0;
}

}  // namespace velmora
