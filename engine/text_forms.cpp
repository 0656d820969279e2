#include "engine/text_forms.h"

#include <algorithm>

#include "platform/decimal_number.h"
#include "platform/utf8.h"

namespace velmora {

TTextForms::TTextForms(const TFormatSettings& settings)
    : settings_(&settings),
      date_(settings.ShortDateFormat, settings),
      time_(settings.LongTimeFormat, settings) {}

void TTextForms::Append(const TCellValue& value, TFieldType type, TFieldValueKind kind, std::string& out) const {
  const std::string& separator = settings_->DecimalSeparator;
  switch (value.Kind) {
    case ckNull:
      return;
    case ckInteger:
      // A year keeps every digit as sent ("0000"); other integers lose a plus
      // sign and the leading zeros of a ZEROFILL column.
      if (kind == vkYear) {
        out.append(value.Text);
      } else if (!AppendPlainInteger(value.Text, out)) {
        out += '0';
      }
      return;
    case ckDecimal:
      if (!AppendExactDecimalText(value.Text, separator, out)) AppendFloatText(value.Text, separator, out);
      return;
    case ckFloat:
      AppendFloatText(value.Text, separator, out);
      return;
    case ckBoolean:
      out.append(value.Truth ? std::string_view("True") : std::string_view("False"));
      return;
    case ckMoment:
      if (type == ftTime) {
        time_.Format(value.Moment, value.Fraction, out);
        return;
      }
      date_.Format(value.Moment, out);
      if (type == ftDate) return;
      // The time of a value at midnight is left out, unless the column carries
      // fractions of seconds: their digits show on every row, zeros included.
      if (SplitDateTime(value.Moment).Millisecond == 0 && value.Fraction.empty()) return;
      out += ' ';
      time_.Format(value.Moment, value.Fraction, out);
      return;
    case ckInvalidMoment:
    case ckText:
    case ckBytes:
      out.append(value.Text);
      return;
  }
}

std::size_t TTextForms::MaxLength(const TCellValue& value, TFieldType type) const {
  const std::string_view text = value.Text;
  switch (value.Kind) {
    case ckNull:
      return 0;
    case ckInteger:
      return std::max<std::size_t>(text.size(), 1);
    case ckDecimal:
    case ckFloat: {
      // No more characters than the digits sent; a bare point gains a "0" before
      // it, and the point becomes the separator.
      const std::size_t digit = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
      const bool bare_point = digit >= text.size() || text[digit] < '0' || text[digit] > '9';
      std::size_t bound = text.size() + (bare_point ? 1 : 0);
      if (text.find_first_of(".,") != std::string_view::npos) {
        bound += Utf8Length(settings_->DecimalSeparator) - 1;
      }
      return std::max<std::size_t>(bound, 1);
    }
    case ckBoolean:
      return 5;
    case ckMoment:
      if (type == ftTime) return time_.MaxLength(value.Fraction.size());
      return date_.MaxLength() + (type == ftDate ? 0 : 1 + time_.MaxLength(value.Fraction.size()));
    case ckInvalidMoment:
    case ckText:
    case ckBytes:
      return text.size();
  }
  return text.size();
}

}  // namespace velmora
