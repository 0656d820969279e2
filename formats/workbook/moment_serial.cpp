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

// total / kMicrosecondsPerDay rounded once, to the nearest double: the long
// double quotient is within one step of it, so the nearest of its neighbours
// is chosen by exact arithmetic: each candidate m * 2^e is off by
// |m * kMicrosecondsPerDay * 2^e - total|, compared at the scale of the
// smallest exponent, where every term is a whole number.
double MicrosecondsInDays(std::int64_t total) {
  if (total == 0) return 0;
  const double estimate = static_cast<double>(static_cast<long double>(total) / kMicrosecondsPerDay);
  const double candidates[3] = {estimate, std::nextafter(estimate, 0.0),
                                std::nextafter(estimate, 2 * estimate)};
  TBinary binaries[3];
  int lowest = 0;
  for (int index = 0; index < 3; ++index) {
    binaries[index] = BinaryOf(candidates[index]);
    lowest = index == 0 ? binaries[0].Exponent : std::min(lowest, binaries[index].Exponent);
  }
  const TWide target = static_cast<TWide>(total) << -lowest;
  double best = estimate;
  TWide best_error = -1;
  for (int index = 0; index < 3; ++index) {
    const TBinary& binary = binaries[index];
    TWide error =
        (static_cast<TWide>(binary.Mantissa) * kMicrosecondsPerDay << (binary.Exponent - lowest)) - target;
    if (error < 0) error = -error;
    if (best_error < 0 || error < best_error) {
      best = candidates[index];
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
  if (open == std::string_view::npos || open + 2 >= declaration.size() || declaration[open + 2] != ')')
    return 0;
  const char digit = declaration[open + 1];
  return digit >= '1' && digit <= '6' ? digit - '0' : 0;
}

}  // namespace velmora
