#include "formats/workbook/moment_serial.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

using TWide = __int128;

// A positive finite double as mantissa * 2^exponent, the mantissa a whole number.
struct TBinary {
  std::int64_t Mantissa;
  int Exponent;
};
TBinary BinaryOf(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  const auto fraction = static_cast<std::int64_t>(bits & ((std::uint64_t{1} << 52) - 1));
  if (biased == 0) return {fraction, -1074};
  return {fraction | std::int64_t{1} << 52, biased - 1075};
}

// total / kMicrosecondsPerDay rounded once, to the nearest double. The long
// double quotient rounded to a double is within one step of it, so the
// nearest of that double and its neighbours is chosen by exact arithmetic:
// at the scale 2^scale of half its step, each candidate is a whole number c,
// off by |c * kMicrosecondsPerDay - total * 2^-scale|.
double MicrosecondsInDays(std::int64_t total) {
  // Whole days (every date) need no rounding.
  if (total % kMicrosecondsPerDay == 0) return static_cast<double>(total / kMicrosecondsPerDay);
  const double estimate = static_cast<double>(static_cast<long double>(total) / kMicrosecondsPerDay);
  const TBinary binary = BinaryOf(estimate);
  const std::int64_t middle = 2 * binary.Mantissa;
  const int scale = binary.Exponent - 1;
  // Below a power of two the next double down is half a step away.
  const std::int64_t below = binary.Mantissa == std::int64_t{1} << 52 ? middle - 1 : middle - 2;
  const TWide target = static_cast<TWide>(total) << -scale;
  std::int64_t best = middle;
  TWide best_error = -1;
  for (const std::int64_t candidate : {middle, below, middle + 2}) {
    TWide error = static_cast<TWide>(candidate) * kMicrosecondsPerDay - target;
    if (error < 0) error = -error;
    if (best_error < 0 || error < best_error) {
      best = candidate;
      best_error = error;
    }
  }
  return best == middle ? estimate : std::ldexp(static_cast<double>(best), scale);
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
  if (open == std::string_view::npos || open + 2 >= declaration.size() || declaration[open + 2] != ')')
    return 0;
  const char digit = declaration[open + 1];
  return digit >= '1' && digit <= '6' ? digit - '0' : 0;
}

}  // namespace velmora
