#include "mysql/zmysql_field.h"

#include <algorithm>

#include "mysql/direct_query.h"
#include "mysql/value_text.h"
#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {

struct TZMySqlField::TDateTimeForms {
  std::uint64_t settings_version = 0;
  TDateTimeFormat date{"yyyy-mm-dd"};
  TFractionDateTimeFormat time{"hh:nn:ss"};
  // The text made with these forms reads back as the moment it was made of.
  bool reads_back = false;

  explicit TDateTimeForms(std::uint64_t version) { Compile(version); }

  void Compile(std::uint64_t version) {
    const TFormatSettings& settings = FormatSettings();
    date = TDateTimeFormat(settings.ShortDateFormat);
    time = TFractionDateTimeFormat(settings.LongTimeFormat);
    reads_back = DateTimeTextReadsBack(settings);
    settings_version = version;
  }
};

const TZMySqlField::TDateTimeForms& TZMySqlField::Forms() const {
  const std::uint64_t version = FormatSettingsVersion();
  if (!forms_) {
    forms_ = std::make_unique<TDateTimeForms>(version);
  } else if (forms_->settings_version != version) {
    forms_->Compile(version);
  }
  return *forms_;
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

void TZMySqlField::AppendDateTimeText(std::string_view text, std::string& out) const {
  const TDateTimeForms& forms = Forms();

  // A duration (not a time of day) and a zero or impossible date have no
  // date-time form; clamping them would export a wrong value silently, so the
  // server's text goes out as it is.
  std::string_view fraction;
  TDateTime value = 0;
  if (DataType == ftTime ? MySqlTimeOutsideDay(text)
                         : !TryMySqlTextToDateTime(text, reading_.CompactTimestamp, value, fraction)) {
    out.append(text);
    return;
  }
  if (DataType == ftTime) value = MySqlTextToTime(text, fraction);
  if (DataType == ftDate) {
    forms.date.Format(value, out);
    return;
  }
  if (DataType != ftTime) {
    forms.date.Format(value, out);
    // The time of a value at midnight is left out, unless the column carries
    // fractions of seconds: their digits show on every row, zeros included.
    const bool whole_day = SplitDateTime(value).Millisecond == 0 && fraction.empty();
    if (whole_day) return;
    out += ' ';
  }
  forms.time.Format(value, fraction, out);
}

void TZMySqlField::GetText(std::string& out) const {
  out.clear();
  const char* value = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, value, length)) return;
  const std::string_view text(value, length);

  switch (DataType) {
    case ftString: {
      // Every byte the server sent, blanks at either end included.
      const std::size_t size = std::max(static_cast<std::size_t>(std::max(Size, 0)), reading_.ResultLength);
      out.assign(reading_.Binary ? text.substr(0, size) : Utf8Prefix(text, size));
      break;
    }
    case ftMemo:
    case ftBlob:
      out.assign(text);
      break;
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
    case ftAutoInc:
      if (ValueKind == vkBit) {
        AppendBitText(text, out);
      } else if (ValueKind == vkYear) {
        out.assign(text);  // every digit as sent, "0000" included
      } else if (!AppendPlainInteger(text, out)) {
        out += '0';
      }
      break;
    case ftFloat:
    case ftCurrency: {
      const std::string& separator = FormatSettings().DecimalSeparator;
      if (!reading_.ExactDecimal || !AppendExactDecimalText(text, separator, out)) {
        AppendFloatText(text, separator, out);
      }
      break;
    }
    case ftBoolean: {
      const char first = text.empty() ? '\0' : text[0];
      const bool truth = first == 'T' || first == 'Y' || first == 't' || first == 'y';
      out.append(truth ? std::string_view("True") : std::string_view("False"));
      break;
    }
    case ftDate:
    case ftDateTime:
    case ftTime:
      AppendDateTimeText(text, out);
      break;
    default:
      throw EVelmoraError("Unknown type: " + FieldName);
  }
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

bool TZMySqlField::GetDateTime(TDateTime& value, std::string_view& fraction) const {
  if (DataType != ftDate && DataType != ftDateTime && DataType != ftTime) return false;
  const char* data = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, data, length) || !Forms().reads_back) return false;
  const std::string_view text(data, length);
  // The moment AppendDateTimeText writes, as its text reads back.
  TDayAndTime moment;
  if (DataType == ftTime) {
    if (MySqlTimeOutsideDay(text)) return false;
    moment.Millisecond = MySqlTimeMillisecond(text, fraction);
  } else {
    if (!TryMySqlTextToDayAndTime(text, reading_.CompactTimestamp, moment, fraction)) return false;
    // A date shows no time. A date-time at midnight keeps the digits of its
    // fraction, zeros included, as every other moment of its column does.
    if (DataType == ftDate) {
      moment.Millisecond = 0;
      fraction = {};
    }
  }
  moment.Millisecond += FractionMilliseconds(fraction);
  value = JoinDateTime(moment);
  return true;
}

bool TZMySqlField::GetDecimalText(std::string& out) const {
  if (DataType != ftFloat && DataType != ftCurrency) return false;
  const char* data = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, data, length)) return false;
  out.clear();
  return AppendServerDecimalText({data, length}, reading_.ExactDecimal, FormatSettings().DecimalSeparator,
                                 out);
}

bool TZMySqlField::GetTextLengthBound(std::size_t& bound) const {
  const char* data = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, data, length)) return false;
  const std::string_view text(data, length);
  // No text form has more characters than the bytes it copies; a number may
  // gain a "0" before a bare point, and the point becomes the separator.
  switch (DataType) {
    case ftString:
    case ftMemo:
    case ftBlob:
      bound = length;
      return true;
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
    case ftAutoInc:
      bound = ValueKind == vkBit ? 20 : std::max<std::size_t>(length, 1);
      return true;
    case ftFloat:
    case ftCurrency: {
      std::size_t point = 0;
      while (point < length && text[point] != '.' && text[point] != ',') ++point;
      const std::size_t digit = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
      const bool bare_point = digit >= length || text[digit] < '0' || text[digit] > '9';
      bound = length + (bare_point ? 1 : 0);
      if (point < length) bound += Utf8Length(FormatSettings().DecimalSeparator) - 1;
      bound = std::max<std::size_t>(bound, 1);
      return true;
    }
    case ftBoolean:
      bound = 5;
      return true;
    case ftDate:
    case ftDateTime:
    case ftTime:
      break;
    default:
      return false;
  }
  std::string_view fraction;
  TDayAndTime moment;
  const bool as_text = DataType == ftTime
                           ? MySqlTimeOutsideDay(text)
                           : !TryMySqlTextToDayAndTime(text, reading_.CompactTimestamp, moment, fraction);
  if (as_text) {
    bound = length;
    return true;
  }
  const TDateTimeForms& forms = Forms();
  if (DataType == ftTime) {
    MySqlTimeMillisecond(text, fraction);
    bound = forms.time.MaxLength(fraction.size());
  } else {
    bound = forms.date.MaxLength();
    if (DataType == ftDateTime) bound += 1 + forms.time.MaxLength(fraction.size());
  }
  return true;
}

bool TZMySqlField::IsInvalidDate() const {
  if (DataType != ftDate && DataType != ftDateTime && DataType != ftTime) return false;
  const char* value = nullptr;
  std::size_t length = 0;
  if (!query_.Value(column_, value, length)) return false;
  const std::string_view text(value, length);
  if (DataType == ftTime) return MySqlTimeOutsideDay(text);
  TDateTime moment = 0;
  std::string_view fraction;
  return !TryMySqlTextToDateTime(text, reading_.CompactTimestamp, moment, fraction);
}

}  // namespace velmora
