#include "platform/seconds_fraction.h"

#include "platform/locale_settings.h"

namespace velmora {

namespace {

bool IsDigit(char character) {
  return character >= '0' && character <= '9';
}

}  // namespace

TFractionDateTimeFormat::TFractionDateTimeFormat(std::string_view pattern) : format_(pattern) {}

TFractionDateTimeFormat::TFractionDateTimeFormat(std::string_view pattern, const TFormatSettings& settings)
    : format_(pattern, settings) {}

void TFractionDateTimeFormat::Format(TDateTime value, std::string_view fraction_digits,
                                     std::string& out) const {
  format_.Format(value, fraction_digits, out);
}

std::string_view SecondsFraction(std::string_view text) {
  const TFormatSettings& settings = FormatSettings();
  const std::string& separator = settings.DecimalSeparator;
  const std::string& time_separator = settings.TimeSeparator;
  if (separator.empty()) return {};
  std::size_t position = text.rfind(separator);
  while (position != std::string_view::npos) {
    const std::size_t digits_start = position + separator.size();
    std::size_t end = digits_start;
    while (end < text.size() && IsDigit(text[end])) ++end;
    const bool after_seconds =
        position >= 2 + time_separator.size() && IsDigit(text[position - 1]) && IsDigit(text[position - 2]) &&
        text.substr(position - 2 - time_separator.size(), time_separator.size()) == time_separator;
    if (end > digits_start && after_seconds) return text.substr(digits_start, end - digits_start);
    if (position == 0) break;
    position = text.rfind(separator, position - 1);
  }
  return {};
}

int FractionMilliseconds(std::string_view digits) {
  int milliseconds = 0;
  for (std::size_t index = 0; index < 3; ++index) {
    milliseconds = milliseconds * 10 + (index < digits.size() ? digits[index] - '0' : 0);
  }
  return milliseconds;
}

}  // namespace velmora
