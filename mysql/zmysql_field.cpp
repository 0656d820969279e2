#include "mysql/zmysql_field.h"

#include <algorithm>

#include "engine/text_forms.h"
#include "mysql/direct_query.h"
#include "mysql/value_text.h"
#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {

// The text forms of the settings in force, compiled again when they change.
struct TZMySqlField::TDateTimeForms {
  std::uint64_t settings_version;
  TTextForms forms;

  explicit TDateTimeForms(std::uint64_t version) : settings_version(version), forms(FormatSettings()) {}
};

const TTextForms& TZMySqlField::Forms() const {
  const std::uint64_t version = FormatSettingsVersion();
  if (!forms_ || forms_->settings_version != version) forms_ = std::make_unique<TDateTimeForms>(version);
  return forms_->forms;
}

TZMySqlField::TZMySqlField(const TDirMySqlQuery& query, unsigned int column,
                           const TMySqlColumnReading& reading)
    : query_(query), column_(column), reading_(reading) {}

TZMySqlField::~TZMySqlField() = default;

bool TZMySqlField::IsNull() const {
  const char* value = nullptr;
  std::size_t length = 0;
  return !query_.Value(column_, value, length);
}

void TZMySqlField::GetText(std::string& out) const {
  out.clear();
  TCellValue value;
  GetValue(value);
  Forms().Append(value, DataType, ValueKind, out);
}

void TZMySqlField::GetValue(TCellValue& value) const {
  ReadValue(value, true);
}

void TZMySqlField::GetSourceValue(TCellValue& value) const {
  ReadValue(value, false);
}

void TZMySqlField::ReadValue(TCellValue& value, bool moments) const {
  value = TCellValue();
  const char* data = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, data, length)) return;
  const std::string_view text(data, length);
  value.Text = text;
  switch (DataType) {
    case ftString: {
      // Every byte the server sent, blanks at either end included.
      const std::size_t size = std::max(static_cast<std::size_t>(std::max(Size, 0)), reading_.ResultLength);
      value.Kind = ValueKind == vkBinary ? ckBytes : ckText;
      value.Text = reading_.Binary ? text.substr(0, size) : Utf8Prefix(text, size);
      return;
    }
    case ftMemo:
      value.Kind = ValueKind == vkBinary ? ckBytes : ckText;
      return;
    case ftBlob:
      value.Kind = ckBytes;
      return;
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
    case ftAutoInc:
      value.Kind = ckInteger;
      if (ValueKind == vkBit) {
        bit_text_.clear();
        AppendBitText(text, bit_text_);
        value.Text = bit_text_;
      }
      return;
    case ftFloat:
    case ftCurrency:
      value.Kind = reading_.ExactDecimal ? ckDecimal : ckFloat;
      return;
    case ftBoolean: {
      const char first = text.empty() ? '\0' : text[0];
      value.Kind = ckBoolean;
      value.Truth = first == 'T' || first == 'Y' || first == 't' || first == 'y';
      return;
    }
    case ftDate:
    case ftDateTime:
    case ftTime:
      if (moments) {
        ReadMoment(text, value);
      } else {
        value.Kind = ckText;
      }
      return;
    default:
      throw EVelmoraError("Unknown type: " + FieldName);
  }
}

void TZMySqlField::ReadMoment(std::string_view text, TCellValue& value) const {
  // A duration (not a time of day) and a zero or impossible date have no
  // moment; clamping them would export a wrong value silently, so the
  // server's text goes out as it is.
  value.Kind = ckInvalidMoment;
  TDayAndTime moment;
  std::string_view fraction;
  if (DataType == ftTime) {
    if (MySqlTimeOutsideDay(text)) return;
    moment.Millisecond = MySqlTimeMillisecond(text, fraction);
  } else {
    if (!TryMySqlTextToDayAndTime(text, reading_.CompactTimestamp, moment, fraction)) return;
    // A date shows no time. A date-time at midnight keeps the digits of its
    // fraction, zeros included, as every other moment of its column does.
    if (DataType == ftDate) {
      moment.Millisecond = 0;
      fraction = {};
    }
  }
  moment.Millisecond += FractionMilliseconds(fraction);
  value.Kind = ckMoment;
  value.Moment = JoinDateTime(moment);
  value.Fraction = fraction;
}

void TZMySqlField::GetSourceText(std::string& out) const {
  out.clear();
  const char* value = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, value, length)) return;
  if (ValueKind == vkBit) {
    AppendBitText({value, length}, out);
  } else {
    out.assign(value, length);
  }
}

}  // namespace velmora
