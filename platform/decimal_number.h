#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// A decimal number as its significant digits and the place of the decimal
// point: value = 0.D1D2...Dn * 10^Exponent, with D1 and Dn not zero. Zero has no
// digits. Rounding works on these digits, so a number given as decimal text is
// rounded exactly as written. Short numbers live in an inline buffer, so
// parsing and rounding the numbers of a table allocate nothing.
class TDecimalNumber {
 public:
  TDecimalNumber() = default;
  TDecimalNumber(const TDecimalNumber&) = delete;
  TDecimalNumber& operator=(const TDecimalNumber&) = delete;

  // Reads C-form text: optional sign, digits with an optional ".", optional
  // exponent. False when the text is not such a number.
  bool Parse(std::string_view text);
  // The shortest decimal text that reads back as the same double. The value must be finite.
  void SetDouble(double value);

  bool IsZero() const { return count_ == 0; }
  bool Negative() const { return negative_; }
  int Exponent() const { return exponent_; }
  int DigitCount() const { return count_; }
  // The digit at index (0 = first significant digit), '0' beyond the last one.
  char Digit(int index) const { return index >= 0 && index < count_ ? digits_[index] : '0'; }

  // Rounds half away from zero so that at most decimals digits follow the point
  // (negative: to tens, hundreds ...).
  void RoundToDecimals(int decimals) { RoundKeeping(exponent_ + decimals); }
  // Rounds half away from zero to at most significant digits.
  void RoundToSignificant(int significant) { RoundKeeping(significant); }

  // Rounds to 15 significant digits and appends the general form with the given
  // decimal separator and no grouping; the exponent form ("1.5E20", "1E-5") when
  // the value has more than 15 integer digits or lies below 0.0001.
  void AppendGeneral(std::string_view decimal_separator, std::string& out);

 private:
  void RoundKeeping(int keep);
  char* Reserve(std::size_t size);

  static constexpr std::size_t kInlineDigits = 96;
  char inline_digits_[kInlineDigits];
  std::string long_digits_;
  char* digits_ = inline_digits_;
  int count_ = 0;
  int exponent_ = 0;
  bool negative_ = false;
};

// Appends C-form decimal text (as TDecimalNumber::Parse reads it) as a plain
// number, exactly as written: every digit, no rounding and no grouping; a plus
// sign and leading zeros of the integer part dropped ("0" before a bare point);
// "-" only before a value that is not zero; the point as decimal_separator, left
// out when no digit follows it; an exponent as "E", its sign when negative and
// its digits without leading zeros ("1.5E300", "1E-7"), left out when it or the
// value is zero. False (nothing appended) when the text is not such a number.
bool AppendPlainDecimal(std::string_view decimal_text, std::string_view decimal_separator, std::string& out);

}  // namespace velmora
