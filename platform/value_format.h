#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace velmora {

// Number format language, compiled once and applied to many values:
// "0" digit always shown, "#" digit shown when significant, "." decimal separator
// (printed as the locale's), "," in the integer part turns on grouping with the
// locale's thousands separator, "E+"/"E-" (and "e+"/"e-") scientific notation,
// ";" separates the sections for positive, negative and zero values, text in
// single or double quotes is copied, other characters are copied. Values are
// rounded half away from zero to the digits shown. An empty pattern prints the
// general form (up to 15 significant digits). Rounding works on decimal digits,
// so a value given as exact decimal text keeps every integer digit.
struct TFormatSettings;

class TNumberFormat {
 public:
  // Prints with the separators of the settings in force for the run.
  explicit TNumberFormat(std::string_view pattern);
  // Prints with the separators of settings, which must outlive the format.
  TNumberFormat(std::string_view pattern, const TFormatSettings& settings);
  ~TNumberFormat();
  TNumberFormat(TNumberFormat&&) noexcept;
  TNumberFormat& operator=(TNumberFormat&&) noexcept;

  // Appends the formatted value to out.
  void FormatDouble(double value, std::string& out) const;
  // decimal_text is a plain number in C form: optional "-" or "+", digits, optional
  // "." and digits, optional exponent ("-1234.5678", "1e-7"). Returns false (and
  // appends nothing) when it is not such a number.
  bool FormatDecimalText(std::string_view decimal_text, std::string& out) const;
  // The most characters a number written with at most integer_digits digits
  // before its point and decimal_digits after it (a sign when negative)
  // prints as; false when the pattern prints more than digits, separators and
  // a sign (text, an exponent, the general form).
  bool MaxLength(std::size_t integer_digits, std::size_t decimal_digits, bool negative,
                 std::size_t& length) const;

 private:
  struct TCompiled;
  std::unique_ptr<TCompiled> compiled_;
};

std::string FormatFloat(std::string_view pattern, double value);

// Date-time format language: "d", "dd" day, "ddd", "dddd" day name short/long,
// "m", "mm" month (minutes right after an hour), "mmm", "mmmm" month name, "yy",
// "yyyy" year, "h", "hh" hour, "n", "nn" minutes, "s", "ss" seconds, "z", "zzz"
// milliseconds, "am/pm" and "a/p" twelve-hour clock, "/" the locale's date
// separator, ":" the locale's time separator, "c" the locale's short date and
// long time (the time left out at midnight), quoted text copied. An empty
// pattern prints as "c".
class TDateTimeFormat {
 public:
  // Prints with the names and separators of the settings in force for the run.
  explicit TDateTimeFormat(std::string_view pattern);
  // Prints with those of settings, which must outlive the format.
  TDateTimeFormat(std::string_view pattern, const TFormatSettings& settings);
  ~TDateTimeFormat();
  TDateTimeFormat(TDateTimeFormat&&) noexcept;
  TDateTimeFormat& operator=(TDateTimeFormat&&) noexcept;

  void Format(TDateTime value, std::string& out) const;
  // As Format, with fraction_digits ("123456") behind the locale's decimal
  // separator right after the pattern's first seconds (not those of a nested
  // pattern such as "c"); nothing more when they are empty or there are none.
  void Format(TDateTime value, std::string_view fraction_digits, std::string& out) const;
  // The most characters a moment of the years 1 to 9999 prints as, with a
  // fraction of that many digits.
  std::size_t MaxLength(std::size_t fraction_digits = 0) const;

 private:
  struct TCompiled;
  std::unique_ptr<TCompiled> compiled_;
};

std::string FormatDateTime(std::string_view pattern, TDateTime value);

// General text forms with the locale's separators (no grouping).
std::string FloatToStr(double value);  // up to 15 significant digits
std::string DateToStr(TDateTime value);      // short date format
std::string TimeToStr(TDateTime value);      // long time format
std::string DateTimeToStr(TDateTime value);  // short date, blank, long time; time left out at midnight

// Parsing in the locale's forms. Leading and trailing blanks are allowed.
bool TryStrToInt64(std::string_view text, std::int64_t& value);
bool TryStrToUInt64(std::string_view text, std::uint64_t& value);
// A decimal number with the locale's decimal separator (no grouping), optional
// sign and exponent.
bool TryStrToFloat(std::string_view text, double& value);
// As TryStrToFloat, but gives the number as C-form decimal text without losing digits.
bool TryLocaleNumberToDecimalText(std::string_view text, std::string& decimal_text);
// As TryLocaleNumberToDecimalText, with decimal_separator as the decimal point.
bool TryNumberToDecimalText(std::string_view text, std::string_view decimal_separator,
                            std::string& decimal_text);
// A date, a time, or a date followed by a time, in the order of the locale's short
// date format with its date separator and the time separator; seconds and a fraction
// of seconds are optional, an AM/PM suffix is accepted. Text that reads both as a
// date with a two-digit year and as a time (same date and time separator) is a time.
// A fraction of seconds is cut to milliseconds, not rounded.
bool TryStrToDateTime(std::string_view text, TDateTime& value);
// A time of day only, with the locale's time separator: hours and minutes,
// optional seconds and fraction of seconds (cut to milliseconds), an optional
// AM/PM marker before or after. The value is the fraction of a day (0 <= value < 1).
bool TryStrToTime(std::string_view text, TDateTime& value);


}  // namespace velmora
