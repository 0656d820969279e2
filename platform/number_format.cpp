#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/decimal_number.h"
#include "platform/locale_settings.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {

namespace {

enum TNumberElementKind : std::uint8_t {
  nekLiteral,
  nekIntegerDigit,
  nekPoint,
  nekDecimalDigit,
  nekExponent
};

struct TNumberElement {
  TNumberElementKind Kind = nekLiteral;
  // Integer digit: placeholder number from the left; decimal digit: place after
  // the point; exponent: the least number of exponent digits.
  int Index = 0;
  char ExponentLetter = 'E';
  bool ExponentSignAlways = false;
  std::string Text;
};

struct TNumberSection {
  std::vector<TNumberElement> Elements;
  bool Empty = true;
  int IntegerPlaceholders = 0;
  // Integer digits always shown: the placeholders from the first "0" on.
  int MinimumIntegerDigits = 0;
  int DecimalPlaceholders = 0;
  // Decimal digits always shown: up to the last "0" after the point.
  int MinimumDecimalDigits = 0;
  bool Grouping = false;
  bool Scientific = false;
  bool HasPoint = false;
  // Digit placeholders and the point only: no literal text, no exponent.
  bool DigitsOnly = true;
};

void AppendLiteral(TNumberSection& section, std::string_view text) {
  if (section.Elements.empty() || section.Elements.back().Kind != nekLiteral) section.Elements.emplace_back();
  section.Elements.back().Text.append(text);
}

TNumberSection CompileSection(std::string_view text) {
  TNumberSection section;
  section.Empty = text.empty();
  bool in_decimals = false;
  bool after_exponent = false;
  int first_zero = -1;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    switch (character) {
      case '"':
      case '\'': {
        const std::size_t close = text.find(character, index + 1);
        const std::size_t end = close == std::string_view::npos ? text.size() : close;
        AppendLiteral(section, text.substr(index + 1, end - index - 1));
        index = end;
        break;
      }
      case '0':
      case '#':
        if (after_exponent) break;
        if (!in_decimals) {
          if (character == '0' && first_zero < 0) first_zero = section.IntegerPlaceholders;
          section.Elements.push_back({nekIntegerDigit, section.IntegerPlaceholders++, 'E', false, {}});
        } else {
          section.Elements.push_back({nekDecimalDigit, section.DecimalPlaceholders++, 'E', false, {}});
          if (character == '0') section.MinimumDecimalDigits = section.DecimalPlaceholders;
        }
        break;
      case '.':
        // Only the first point counts; a point after it or in the exponent prints nothing.
        if (!in_decimals && !after_exponent) {
          section.Elements.push_back({nekPoint, 0, 'E', false, {}});
          in_decimals = true;
        }
        break;
      case ',':
        if (!in_decimals && !after_exponent) section.Grouping = true;
        break;
      case 'E':
      case 'e':
        if (!after_exponent && index + 1 < text.size() &&
            (text[index + 1] == '+' || text[index + 1] == '-')) {
          const bool sign_always = text[index + 1] == '+';
          int zeros = 0;
          index += 2;
          while (index < text.size() && text[index] == '0') {
            ++zeros;
            ++index;
          }
          --index;
          section.Elements.push_back({nekExponent, zeros, character, sign_always, {}});
          section.Scientific = true;
          after_exponent = true;
        } else {
          AppendLiteral(section, text.substr(index, 1));
        }
        break;
      default:
        AppendLiteral(section, text.substr(index, 1));
        break;
    }
  }
  section.MinimumIntegerDigits = first_zero < 0 ? 0 : section.IntegerPlaceholders - first_zero;
  if (section.Scientific) section.Grouping = false;
  for (const TNumberElement& element : section.Elements) {
    if (element.Kind == nekPoint) section.HasPoint = true;
    if (element.Kind == nekLiteral || element.Kind == nekExponent) section.DigitsOnly = false;
  }
  return section;
}

// Splits at the ";" outside quotes; a fourth section and beyond are ignored.
std::vector<std::string_view> SplitSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t index = 0; index < pattern.size(); ++index) {
    const char character = pattern[index];
    if (quote != 0) {
      if (character == quote) quote = 0;
    } else if (character == '"' || character == '\'') {
      quote = character;
    } else if (character == ';') {
      sections.push_back(pattern.substr(start, index - start));
      start = index + 1;
    }
  }
  sections.push_back(pattern.substr(start));
  if (sections.size() > 3) sections.resize(3);
  return sections;
}

void AppendNumber(std::int64_t value, int minimum_digits, std::string& out) {
  char buffer[24];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  const int length = static_cast<int>(result.ptr - buffer);
  if (length < minimum_digits) out.append(static_cast<std::size_t>(minimum_digits - length), '0');
  out.append(buffer, result.ptr);
}

// Prints a number that is already rounded for the section.
void AppendSection(const TNumberSection& section, const TDecimalNumber& number, bool minus,
                   const TFormatSettings& settings, std::string& out) {
  // point: where the decimal point stands relative to the first significant digit.
  int point = number.Exponent();
  int shown_exponent = 0;
  if (number.IsZero()) {
    point = 0;
  } else if (section.Scientific) {
    point = section.IntegerPlaceholders;
    shown_exponent = number.Exponent() - section.IntegerPlaceholders;
  }
  const int shown_integers = std::max(std::max(point, 0), section.MinimumIntegerDigits);
  const int shown_decimals = std::max(number.DigitCount() - point, section.MinimumDecimalDigits);

  auto append_integer_digit = [&](int place) {
    out.push_back(number.Digit(point - 1 - place));
    if (section.Grouping && place > 0 && place % 3 == 0) out.append(settings.ThousandSeparator);
  };
  // Integer digits beyond the placeholders go where the first placeholder is,
  // or at the point when the integer part has none.
  bool leading_digits_done = false;
  auto append_leading_digits = [&]() {
    if (leading_digits_done) return;
    leading_digits_done = true;
    for (int place = shown_integers - 1; place >= section.IntegerPlaceholders; --place)
      append_integer_digit(place);
  };

  if (minus) out.push_back('-');
  for (const TNumberElement& element : section.Elements) {
    switch (element.Kind) {
      case nekLiteral:
        out.append(element.Text);
        break;
      case nekIntegerDigit: {
        append_leading_digits();
        const int place = section.IntegerPlaceholders - 1 - element.Index;
        if (place < shown_integers) append_integer_digit(place);
        break;
      }
      case nekPoint:
        append_leading_digits();
        if (shown_decimals > 0) out.append(settings.DecimalSeparator);
        break;
      case nekDecimalDigit:
        if (element.Index < shown_decimals) out.push_back(number.Digit(point + element.Index));
        break;
      case nekExponent:
        append_leading_digits();
        out.push_back(element.ExponentLetter);
        if (shown_exponent < 0) {
          out.push_back('-');
        } else if (element.ExponentSignAlways) {
          out.push_back('+');
        }
        AppendNumber(std::abs(shown_exponent), std::max(element.Index, 1), out);
        break;
    }
  }
}

// AppendSection for a section of digit placeholders and the point only: the
// integer digits (the leading ones included) come first, then the point and
// the decimals. A number rounded for the section has no more decimals than
// the section's placeholders.
void AppendDigitsOnlySection(const TNumberSection& section, const TDecimalNumber& number, bool minus,
                             const TFormatSettings& settings, std::string& out) {
  if (minus) out.push_back('-');
  // With neither an integer placeholder nor the point no digit has a place.
  if (section.IntegerPlaceholders == 0 && !section.HasPoint) return;
  const std::string& thousands = settings.ThousandSeparator;
  const std::string& decimal = settings.DecimalSeparator;
  const int point = number.IsZero() ? 0 : number.Exponent();
  const std::size_t shown_integers =
      static_cast<std::size_t>(std::max(std::max(point, 0), section.MinimumIntegerDigits));
  const std::size_t shown_decimals =
      static_cast<std::size_t>(std::max({number.DigitCount() - point, section.MinimumDecimalDigits, 0}));
  const std::size_t groups = section.Grouping && shown_integers > 0 ? (shown_integers - 1) / 3 : 0;
  // Written in place: the size is known before the first digit.
  const std::size_t start = out.size();
  out.resize(start + shown_integers + groups * thousands.size() +
             (shown_decimals > 0 ? decimal.size() + shown_decimals : 0));
  char* cursor = out.data() + start;
  int digit = point - static_cast<int>(shown_integers);
  for (std::size_t place = shown_integers; place-- > 0;) {
    *cursor++ = number.Digit(digit++);
    if (groups > 0 && place > 0 && place % 3 == 0)
      cursor = std::copy(thousands.begin(), thousands.end(), cursor);
  }
  if (shown_decimals == 0) return;
  cursor = std::copy(decimal.begin(), decimal.end(), cursor);
  for (std::size_t index = 0; index < shown_decimals; ++index) *cursor++ = number.Digit(digit++);
}

void RoundForSection(const TNumberSection& section, TDecimalNumber& number) {
  if (section.Scientific) {
    number.RoundToSignificant(std::max(section.IntegerPlaceholders + section.DecimalPlaceholders, 1));
  } else {
    number.RoundToDecimals(section.DecimalPlaceholders);
  }
}

bool AppendNonFinite(double value, std::string& out) {
  if (std::isnan(value)) {
    out.append("NAN");
  } else if (std::isinf(value)) {
    out.append(value < 0 ? "-INF" : "INF");
  } else {
    return false;
  }
  return true;
}

}  // namespace

struct TNumberFormat::TCompiled {
  std::vector<TNumberSection> Sections;
  const TFormatSettings* Settings = nullptr;  // the separators the numbers print with

  const TNumberSection* NegativeSection() const {
    return Sections.size() > 1 && !Sections[1].Empty ? &Sections[1] : nullptr;
  }
  const TNumberSection& ZeroSection() const {
    return Sections.size() > 2 && !Sections[2].Empty ? Sections[2] : Sections[0];
  }

  void Format(TDecimalNumber& number, std::string& out) const {
    const TNumberSection* section = &Sections[0];
    bool minus = false;
    if (number.IsZero()) {
      section = &ZeroSection();
    } else if (number.Negative()) {
      section = NegativeSection();
      minus = section == nullptr;
      if (section == nullptr) section = &Sections[0];
    }
    if (section->Empty) {
      number.AppendGeneral(Settings->DecimalSeparator, out);
      return;
    }
    RoundForSection(*section, number);
    if (number.IsZero()) {
      // A value that rounds to zero prints as zero, without a sign.
      section = &ZeroSection();
      minus = false;
      if (section->Empty) {
        number.AppendGeneral(Settings->DecimalSeparator, out);
        return;
      }
    }
    if (section->DigitsOnly) {
      AppendDigitsOnlySection(*section, number, minus, *Settings, out);
    } else {
      AppendSection(*section, number, minus, *Settings, out);
    }
  }
};

TNumberFormat::TNumberFormat(std::string_view pattern) : TNumberFormat(pattern, FormatSettings()) {}

TNumberFormat::TNumberFormat(std::string_view pattern, const TFormatSettings& settings)
    : compiled_(std::make_unique<TCompiled>()) {
  compiled_->Settings = &settings;
  for (std::string_view section : SplitSections(pattern))
    compiled_->Sections.push_back(CompileSection(section));
}

TNumberFormat::~TNumberFormat() = default;
TNumberFormat::TNumberFormat(TNumberFormat&&) noexcept = default;
TNumberFormat& TNumberFormat::operator=(TNumberFormat&&) noexcept = default;

void TNumberFormat::FormatDouble(double value, std::string& out) const {
  if (AppendNonFinite(value, out)) return;
  TDecimalNumber number;
  number.SetDouble(value);
  compiled_->Format(number, out);
}

bool TNumberFormat::MaxLength(std::size_t integer_digits, std::size_t decimal_digits, bool negative,
                              std::size_t& length) const {
  const TFormatSettings& settings = *compiled_->Settings;
  length = 0;
  for (const TNumberSection& section : compiled_->Sections) {
    if (section.Empty || !section.DigitsOnly) return false;
    const std::size_t decimals = static_cast<std::size_t>(section.DecimalPlaceholders);
    // Rounding away decimals may carry into one more integer digit (9.995 as "0.00").
    const std::size_t integers = std::max(integer_digits + (decimal_digits > decimals ? 1 : 0),
                                          static_cast<std::size_t>(section.MinimumIntegerDigits));
    const std::size_t groups = section.Grouping && integers > 0 ? (integers - 1) / 3 : 0;
    const std::size_t section_length = (negative ? 1 : 0) + integers +
                                       groups * Utf8Length(settings.ThousandSeparator) +
                                       (decimals > 0 ? Utf8Length(settings.DecimalSeparator) + decimals : 0);
    length = std::max(length, section_length);
  }
  return true;
}

bool TNumberFormat::FormatDecimalText(std::string_view decimal_text, std::string& out) const {
  // The general form of an empty pattern holds 15 significant digits; exact
  // decimal text (a DECIMAL(65,30), a BIGINT UNSIGNED) keeps all of its digits.
  if (compiled_->Sections.size() == 1 && compiled_->Sections[0].Empty &&
      decimal_text.find_first_of("eE") == std::string_view::npos) {
    return AppendPlainDecimal(decimal_text, compiled_->Settings->DecimalSeparator, out);
  }
  TDecimalNumber number;
  if (!number.Parse(decimal_text)) return false;
  compiled_->Format(number, out);
  return true;
}

std::string FormatFloat(std::string_view pattern, double value) {
  std::string out;
  TNumberFormat(pattern).FormatDouble(value, out);
  return out;
}

std::string FloatToStr(double value) {
  std::string out;
  if (AppendNonFinite(value, out)) return out;
  TDecimalNumber number;
  number.SetDouble(value);
  number.AppendGeneral(FormatSettings().DecimalSeparator, out);
  return out;
}

}  // namespace velmora
