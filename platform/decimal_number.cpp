#include "platform/decimal_number.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>

namespace velmora {

namespace {

// Exponents beyond this would print a number of unreasonable length.
constexpr std::int64_t kLargestExponent = 100000;

bool IsDigit(char character) {
  return character >= '0' && character <= '9';
}

std::string_view ReadDigits(std::string_view text, std::size_t& position) {
  const std::size_t start = position;
  while (position < text.size() && IsDigit(text[position])) ++position;
  return text.substr(start, position - start);
}

}  // namespace

std::size_t ScanDecimal(std::string_view text, std::string_view point, TDecimalParts& parts) {
  parts = TDecimalParts();
  std::size_t position = 0;
  if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
    parts.Sign = text[position++];
  }
  parts.IntegerDigits = ReadDigits(text, position);
  if (!point.empty() && text.substr(position, point.size()) == point) {
    parts.HasPoint = true;
    position += point.size();
    parts.FractionDigits = ReadDigits(text, position);
  }
  if (parts.IntegerDigits.empty() && parts.FractionDigits.empty()) {
    parts = TDecimalParts();
    return 0;
  }
  if (position < text.size() && (text[position] == 'e' || text[position] == 'E')) {
    std::size_t exponent_position = position + 1;
    bool exponent_negative = false;
    if (exponent_position < text.size() &&
        (text[exponent_position] == '+' || text[exponent_position] == '-')) {
      exponent_negative = text[exponent_position++] == '-';
    }
    const std::string_view exponent_digits = ReadDigits(text, exponent_position);
    if (!exponent_digits.empty()) {
      parts.HasExponent = true;
      parts.ExponentNegative = exponent_negative;
      parts.ExponentDigits = exponent_digits;
      position = exponent_position;
    }
  }
  return position;
}

bool IsIntegerText(std::string_view text) {
  const std::size_t start = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (start == text.size()) return false;
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), IsDigit);
}

bool AppendPlainInteger(std::string_view text, std::string& out) {
  if (!IsIntegerText(text)) return false;
  const bool negative = text[0] == '-';
  if (text[0] == '-' || text[0] == '+') text.remove_prefix(1);
  while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
  if (negative && text != "0") out.push_back('-');
  out.append(text);
  return true;
}

bool TDecimalNumber::operator==(const TDecimalNumber& other) const {
  return negative_ == other.negative_ && exponent_ == other.exponent_ &&
         std::string_view(digits_, count_) == std::string_view(other.digits_, other.count_);
}

char* TDecimalNumber::Reserve(std::size_t size) {
  if (size <= kInlineDigits) {
    digits_ = inline_digits_;
  } else {
    long_digits_.resize(size);
    digits_ = long_digits_.data();
  }
  return digits_;
}

bool TDecimalNumber::Parse(std::string_view text) {
  TDecimalParts parts;
  const std::size_t read = ScanDecimal(text, ".", parts);
  if (read == 0 || read != text.size()) return false;
  const bool negative = parts.Negative();
  const std::string_view integer_digits = parts.IntegerDigits;
  const std::string_view fraction_digits = parts.FractionDigits;
  std::int64_t exponent = 0;
  for (const char digit : parts.ExponentDigits) {
    if (exponent <= kLargestExponent * 10) exponent = exponent * 10 + (digit - '0');
  }
  if (parts.ExponentNegative) exponent = -exponent;

  // The significant digits start at the first that is not zero.
  std::int64_t leading_zeros = 0;
  std::string_view integer_rest = integer_digits;
  while (!integer_rest.empty() && integer_rest[0] == '0') integer_rest.remove_prefix(1);
  leading_zeros += static_cast<std::int64_t>(integer_digits.size() - integer_rest.size());
  std::string_view fraction_rest = fraction_digits;
  if (integer_rest.empty()) {
    while (!fraction_rest.empty() && fraction_rest[0] == '0') fraction_rest.remove_prefix(1);
    leading_zeros += static_cast<std::int64_t>(fraction_digits.size() - fraction_rest.size());
  }
  char* digits = Reserve(integer_rest.size() + fraction_rest.size());
  std::copy(integer_rest.begin(), integer_rest.end(), digits);
  std::copy(fraction_rest.begin(), fraction_rest.end(), digits + integer_rest.size());
  int count = static_cast<int>(integer_rest.size() + fraction_rest.size());
  while (count > 0 && digits[count - 1] == '0') --count;
  exponent += static_cast<std::int64_t>(integer_digits.size()) - leading_zeros;
  if (count > 0 && exponent > kLargestExponent) return false;
  if (exponent < -kLargestExponent) count = 0;

  count_ = count;
  exponent_ = count > 0 ? static_cast<int>(exponent) : 0;
  negative_ = count > 0 && negative;
  return true;
}

void TDecimalNumber::SetDouble(double value) {
  char buffer[64];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  if (!Parse(std::string_view(buffer, result.ptr - buffer))) count_ = 0;
}

void TDecimalNumber::RoundKeeping(int keep) {
  if (keep >= count_) return;
  if (keep < 0) {
    count_ = 0;
  } else {
    const bool round_up = digits_[keep] >= '5';
    count_ = keep;
    if (round_up) {
      int index = keep - 1;
      while (index >= 0 && digits_[index] == '9') --index;
      if (index < 0) {
        digits_[0] = '1';
        count_ = 1;
        ++exponent_;
      } else {
        ++digits_[index];
        count_ = index + 1;
      }
    }
    while (count_ > 0 && digits_[count_ - 1] == '0') --count_;
  }
  if (count_ == 0) {
    exponent_ = 0;
    negative_ = false;
  }
}

void TDecimalNumber::AppendGeneral(std::string_view decimal_separator, std::string& out) {
  RoundToSignificant(15);
  if (IsZero()) {
    out.push_back('0');
    return;
  }
  if (negative_) out.push_back('-');
  if (exponent_ > 15 || exponent_ < -3) {
    out.push_back(digits_[0]);
    if (count_ > 1) {
      out.append(decimal_separator);
      out.append(digits_ + 1, count_ - 1);
    }
    out.push_back('E');
    const int shown_exponent = exponent_ - 1;
    if (shown_exponent < 0) out.push_back('-');
    char buffer[16];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, std::abs(shown_exponent));
    out.append(buffer, result.ptr);
  } else if (exponent_ <= 0) {
    out.push_back('0');
    out.append(decimal_separator);
    out.append(static_cast<std::size_t>(-exponent_), '0');
    out.append(digits_, count_);
  } else {
    for (int index = 0; index < exponent_; ++index) out.push_back(Digit(index));
    if (count_ > exponent_) {
      out.append(decimal_separator);
      out.append(digits_ + exponent_, count_ - exponent_);
    }
  }
}

namespace {

// AppendPlainDecimal for text without an exponent and of a length whose digits
// cannot overflow the exponent, in one scan. False, nothing appended, for other
// text, which may still be a number.
bool AppendShortPlainDecimal(std::string_view text, std::string_view decimal_separator, std::string& out) {
  constexpr std::size_t kLongestShortText = 1000;
  if (text.size() > kLongestShortText) return false;
  TDecimalParts parts;
  const std::size_t read = ScanDecimal(text, ".", parts);
  if (read == 0 || read != text.size() || parts.HasExponent) return false;
  const bool negative = parts.Negative();
  std::string_view integer_digits = parts.IntegerDigits;
  const std::string_view fraction_digits = parts.FractionDigits;
  const bool zero = integer_digits.find_first_not_of('0') == std::string_view::npos &&
                    fraction_digits.find_first_not_of('0') == std::string_view::npos;
  while (integer_digits.size() > 1 && integer_digits[0] == '0') integer_digits.remove_prefix(1);
  if (negative && !zero) out.push_back('-');
  out.append(integer_digits.empty() ? std::string_view("0") : integer_digits);
  if (!fraction_digits.empty()) {
    out.append(decimal_separator);
    out.append(fraction_digits);
  }
  return true;
}

}  // namespace

bool AppendPlainDecimal(std::string_view decimal_text, std::string_view decimal_separator, std::string& out) {
  if (AppendShortPlainDecimal(decimal_text, decimal_separator, out)) return true;
  TDecimalNumber number;
  if (!number.Parse(decimal_text)) return false;
  std::string_view text = decimal_text;
  if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
  const std::size_t exponent_at = std::min(text.find_first_of("eE"), text.size());
  const std::string_view mantissa = text.substr(0, exponent_at);
  const std::size_t point = mantissa.find('.');
  std::string_view integer_digits = mantissa.substr(0, point);
  const std::string_view fraction_digits =
      point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
  while (integer_digits.size() > 1 && integer_digits[0] == '0') integer_digits.remove_prefix(1);

  if (number.Negative()) out.push_back('-');
  out.append(integer_digits.empty() ? std::string_view("0") : integer_digits);
  if (!fraction_digits.empty()) {
    out.append(decimal_separator);
    out.append(fraction_digits);
  }
  if (exponent_at == text.size() || number.IsZero()) return true;
  std::string_view exponent = text.substr(exponent_at + 1);
  const bool exponent_negative = exponent[0] == '-';
  if (exponent[0] == '+' || exponent[0] == '-') exponent.remove_prefix(1);
  while (!exponent.empty() && exponent[0] == '0') exponent.remove_prefix(1);
  if (exponent.empty()) return true;
  out.push_back(text[exponent_at]);  // the exponent's letter as written
  if (exponent_negative) out.push_back('-');
  out.append(exponent);
  return true;
}

// ---------------------------------------------------------------------------
// Numbers in a server's text form

namespace {

// Parses a number in which "," may stand for the decimal point.
bool ParseDecimal(std::string_view text, TDecimalNumber& number) {
  if (text.find(',') == std::string_view::npos) return number.Parse(text);
  std::string dotted(text);
  std::replace(dotted.begin(), dotted.end(), ',', '.');
  return number.Parse(dotted);
}

}  // namespace

bool AppendExactDecimalText(std::string_view text, std::string_view decimal_separator, std::string& out) {
  TDecimalNumber number;
  if (!ParseDecimal(text, number) || text.find_first_of("eE") != std::string_view::npos) return false;
  // The digits as the server sent them, the scale's trailing zeros included
  // ("89.90" stays "89.90"); only leading zeros of a ZEROFILL column go.
  if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
  const std::size_t point = text.find_first_of(".,");
  std::string_view integer_digits = text.substr(0, point);
  while (integer_digits.size() > 1 && integer_digits[0] == '0') integer_digits.remove_prefix(1);
  if (number.Negative() && !number.IsZero()) out += '-';
  out.append(integer_digits.empty() ? std::string_view("0") : integer_digits);
  if (point != std::string_view::npos && point + 1 < text.size()) {
    out.append(decimal_separator);
    out.append(text.substr(point + 1));
  }
  return true;
}

void AppendFloatText(std::string_view text, std::string_view decimal_separator, std::string& out) {
  TDecimalNumber number;
  if (!ParseDecimal(text, number)) {
    out += '0';
    return;
  }
  // The server writes the shortest text that reads back as its value: every
  // digit of it counts.
  const std::size_t point = text.find_first_of(".,");
  if (point == std::string_view::npos) {
    out.append(text);
    return;
  }
  out.append(text.substr(0, point));
  out.append(decimal_separator);
  out.append(text.substr(point + 1));
}

bool AppendServerDecimalText(std::string_view text, bool exact_decimal, std::string_view decimal_separator,
                             std::string& out) {
  // A separator that could be taken for a sign, a digit, an exponent or a
  // trimmed blank reads back otherwise; so does a number of unreasonable length.
  constexpr std::size_t kLongestPlainNumber = 1000;
  if (decimal_separator.empty() || text.size() > kLongestPlainNumber) return false;
  const char first = decimal_separator.front();
  const char last = decimal_separator.back();
  if ((first >= '0' && first <= '9') || first == '+' || first == '-' || first == 'e' || first == 'E' ||
      first == ' ' || first == '\t' || last == ' ' || last == '\t') {
    return false;
  }
  TDecimalParts parts;
  if (ScanDecimal(text, ".", parts) != text.size() || parts.Sign == '+' || parts.IntegerDigits.empty() ||
      (parts.HasPoint && parts.FractionDigits.empty())) {
    return false;
  }
  // Longer exponents may lie beyond what the text form reads.
  if (parts.HasExponent && (exact_decimal || parts.ExponentDigits.size() > 4)) return false;
  const bool negative = parts.Negative();
  std::string_view integer_digits = parts.IntegerDigits;
  const std::string_view fraction_digits = parts.FractionDigits;
  const std::string_view exponent_digits = parts.ExponentDigits;
  const bool exponent_negative = parts.ExponentNegative;

  if (exact_decimal) {
    // As AppendExactDecimalText: no leading zeros, no "-" before zero.
    while (integer_digits.size() > 1 && integer_digits[0] == '0') integer_digits.remove_prefix(1);
    const bool zero =
        integer_digits == "0" && fraction_digits.find_first_not_of('0') == std::string_view::npos;
    if (negative && !zero) out += '-';
  } else if (negative) {
    out += '-';
  }
  out.append(integer_digits);
  if (!fraction_digits.empty()) out.append(".").append(fraction_digits);
  if (!exponent_digits.empty()) out.append(exponent_negative ? "e-" : "e").append(exponent_digits);
  return true;
}

}  // namespace velmora
