#pragma once

#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/value_format.h"

namespace velmora {

// A date-time format that shows a fraction of seconds the value carries right
// after the seconds, behind the locale's decimal separator: the date-time
// values hold milliseconds only, so the digits come with each value.
class TFractionDateTimeFormat {
 public:
  explicit TFractionDateTimeFormat(std::string_view pattern);
  // With the names and separators of settings, which must outlive the format.
  TFractionDateTimeFormat(std::string_view pattern, const TFormatSettings& settings);

  // Appends value in the pattern's form, fraction_digits ("123456") after the
  // seconds; no fraction when they are empty or the pattern shows no seconds.
  void Format(TDateTime value, std::string_view fraction_digits, std::string& out) const;
  std::size_t MaxLength(std::size_t fraction_digits) const { return format_.MaxLength(fraction_digits); }

 private:
  TDateTimeFormat format_;
};

// The digits of the fraction of seconds in a time text in the locale's form
// ("13:04:05.5" gives "5"): the digits after a decimal separator that follows
// the time separator and two digits of seconds. Empty when the text has none.
std::string_view SecondsFraction(std::string_view text);

// The milliseconds of a fraction of a second given as its digits ("5" gives
// 500, "123456" gives 123). Further digits are cut off, not rounded: rounding
// could carry "23:59:59.9996" into the next day, month and year.
int FractionMilliseconds(std::string_view digits);

}  // namespace velmora
