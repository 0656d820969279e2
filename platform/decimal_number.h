#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// The parts of a number written in decimal, as views into its text.
struct TDecimalParts {
  char Sign = '\0';  // '+', '-' or '\0' when none is written
  std::string_view IntegerDigits;
  bool HasPoint = false;
  std::string_view FractionDigits;
  bool HasExponent = false;
  bool ExponentNegative = false;
  std::string_view ExponentDigits;  // at least one digit when HasExponent

  bool Negative() const { return Sign == '-'; }
};

// Reads the number at the start of text: an optional sign, digits, the point
// (when point is not empty) and more digits, then "e" or "E", an optional sign
// and at least one digit (an exponent without digits is left unread). Returns
// the bytes read; 0 when no digit stands before or after the point. Every
// reader of decimal text shares this one grammar and adds its own limits.
std::size_t ScanDecimal(std::string_view text, std::string_view point, TDecimalParts& parts);

// True for an optional sign followed by at least one digit and nothing else.
bool IsIntegerText(std::string_view text);

// Appends integer text (as IsIntegerText accepts it) as a plain integer: every
// digit, no plus sign, no leading zeros, "-" only before a value that is not
// zero. False, nothing appended, for any other text.
bool AppendPlainInteger(std::string_view text, std::string& out);

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

  // True when both hold the same value: sign, digits and exponent alike.
  bool operator==(const TDecimalNumber& other) const;

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

// The text forms of numbers as a server writes them ("-12.50", "1.5e-07").

// Appends a decimal number exactly as written, the trailing zeros of its scale
// included, without the leading zeros of a ZEROFILL column; "." or "," in text
// is the decimal point, decimal_separator takes its place. False when no plain
// decimal number.
bool AppendExactDecimalText(std::string_view text, std::string_view decimal_separator, std::string& out);

// Appends a floating-point number as the server wrote it, every digit and an
// exponent kept, with decimal_separator for its decimal point ("." or ",");
// anything that is no number counts as 0.
void AppendFloatText(std::string_view text, std::string_view decimal_separator, std::string& out);

// Appends the C-form decimal text that TryLocaleNumberToDecimalText reads from
// the text form (AppendExactDecimalText for a DECIMAL, else AppendFloatText)
// of a number in the server's plain form ("-12.50", "1.5e-07"), whatever the
// decimal separator, as long as it starts with none of "+-eE", a digit or a
// blank and ends with no blank. False (nothing appended) for any other text
// or separator.
bool AppendServerDecimalText(std::string_view text, bool exact_decimal, std::string_view decimal_separator,
                             std::string& out);

}  // namespace velmora
