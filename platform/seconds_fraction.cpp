#include "platform/seconds_fraction.h"

#include "platform/locale_settings.h"

namespace velmora {

namespace {

// A character no date or time text holds, quoted into a pattern to mark a place.
constexpr char kFractionMark = '\x01';

bool IsDigit(char character) {
  return character >= '0' && character <= '9';
}

// The pattern with the quoted mark right after its first run of "s" (seconds)
// outside quoted text; the pattern unchanged when it shows no seconds.
std::string MarkedPattern(std::string_view pattern) {
  std::string result;
  char quote = 0;
  bool marked = false;
  for (std::size_t index = 0; index < pattern.size(); ++index) {
    const char character = pattern[index];
    result += character;
    if (quote != 0) {
      if (character == quote) quote = 0;
    } else if (character == '"' || character == '\'') {
      quote = character;
    } else if (!marked && (character == 's' || character == 'S')) {
      while (index + 1 < pattern.size() && (pattern[index + 1] == 's' || pattern[index + 1] == 'S')) {
        result += pattern[++index];
      }
      result += '"';
      result += kFractionMark;
      result += '"';
      marked = true;
    }
  }
  return result;
}

}  // namespace

TFractionDateTimeFormat::TFractionDateTimeFormat(std::string_view pattern)
    : format_(MarkedPattern(pattern)) {}

void TFractionDateTimeFormat::Format(TDateTime value, std::string_view fraction_digits,
                                     std::string& out) const {
  const std::size_t start = out.size();
  format_.Format(value, out);
  const std::size_t mark = out.find(kFractionMark, start);
  if (mark == std::string::npos) return;
  if (fraction_digits.empty()) {
    out.erase(mark, 1);
    return;
  }
  const std::string& separator = FormatSettings().DecimalSeparator;
  out.replace(mark, 1, separator);
  out.insert(mark + separator.size(), fraction_digits);
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
