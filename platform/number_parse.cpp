#include <charconv>
#include <cstdint>
#include <system_error>
#include <type_traits>

#include "platform/decimal_number.h"
#include "platform/locale_settings.h"
#include "platform/text_scan.h"
#include "platform/value_format.h"

namespace velmora {

using namespace scan;

namespace {

// ---------------------------------------------------------------------------
// Numbers

// Splits a number with the decimal separator, blanks around it allowed, into its parts.
bool SplitNumber(std::string_view text, std::string_view decimal_separator, TDecimalParts& parts) {
  text = TrimBlanks(text);
  const std::size_t read = ScanDecimal(text, decimal_separator, parts);
  return read != 0 && read == text.size();
}

template <typename TInteger>
bool ParseInteger(std::string_view text, TInteger& value) {
  text = TrimBlanks(text);
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  const bool minus_allowed = std::is_signed_v<TInteger> && !plus;
  if (text.empty() || !(IsDigit(text.front()) || (text.front() == '-' && minus_allowed))) return false;
  TInteger result = 0;
  const std::from_chars_result parsed = std::from_chars(text.data(), text.data() + text.size(), result);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return false;
  value = result;
  return true;
}

}  // namespace

bool TryStrToInt64(std::string_view text, std::int64_t& value) {
  return ParseInteger(text, value);
}

bool TryStrToUInt64(std::string_view text, std::uint64_t& value) {
  return ParseInteger(text, value);
}

bool TryLocaleNumberToDecimalText(std::string_view text, std::string& decimal_text) {
  return TryNumberToDecimalText(text, FormatSettings().DecimalSeparator, decimal_text);
}

bool TryNumberToDecimalText(std::string_view text, std::string_view decimal_separator,
                            std::string& decimal_text) {
  TDecimalParts parts;
  if (!SplitNumber(text, decimal_separator, parts)) return false;
  decimal_text.clear();
  if (parts.Negative()) decimal_text.push_back('-');
  if (parts.IntegerDigits.empty()) {
    decimal_text.push_back('0');
  } else {
    decimal_text.append(parts.IntegerDigits);
  }
  if (!parts.FractionDigits.empty()) decimal_text.append(".").append(parts.FractionDigits);
  if (parts.HasExponent) {
    decimal_text.append(parts.ExponentNegative ? "e-" : "e").append(parts.ExponentDigits);
  }
  return true;
}

bool TryStrToFloat(std::string_view text, double& value) {
  std::string decimal_text;
  if (!TryLocaleNumberToDecimalText(text, decimal_text)) return false;
  double result = 0;
  const std::from_chars_result parsed =
      std::from_chars(decimal_text.data(), decimal_text.data() + decimal_text.size(), result);
  if (parsed.ec == std::errc::result_out_of_range) {
    // Too small for a double reads as zero; too large is an error.
    TDecimalNumber number;
    if (!number.Parse(decimal_text) || number.Exponent() > 0) return false;
    value = number.Negative() ? -0.0 : 0.0;
    return true;
  }
  if (parsed.ec != std::errc() || parsed.ptr != decimal_text.data() + decimal_text.size()) return false;
  value = result;
  return true;
}

}  // namespace velmora
