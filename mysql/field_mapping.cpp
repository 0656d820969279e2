#include "mysql/field_mapping.h"

#include <algorithm>
#include <charconv>

#include "platform/text_utils.h"
#include "mysql/direct_query.h"
#include "mysql/statement_text.h"
#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/utf8.h"
#include "platform/value_format.h"

namespace velmora {

// ---------------------------------------------------------------------------
// Field types

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A whole text as a non-negative or negative int; false when it is not one.
bool ParseInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

// The number between position from (counted from 1) and the first ")".
int SizeBeforeParenthesis(std::string_view type_text, std::size_t from, int fallback) {
  const std::size_t close = type_text.find(')');
  if (close == std::string_view::npos || close < from - 1) return fallback;
  int size = 0;
  return ParseInt(type_text.substr(from - 1, close - (from - 1)), size) ? size : fallback;
}

// Longest value of "enum('a','bc','it''s')", quotes removed, in characters.
int LongestEnumValue(std::string_view type_text) {
  std::size_t longest = 0;
  std::size_t position = type_text.find('(');
  if (position == std::string_view::npos) return 0;
  while (true) {
    position = type_text.find('\'', position);
    if (position == std::string_view::npos) break;
    ++position;
    const std::string value = ReadQuotedText(type_text, position, '\'');
    longest = std::max(longest, Utf8Length(value));
  }
  return static_cast<int>(longest);
}

// Decimals of "decimal(10,2)": the third item when the text is split at
// "(", ")", " ", "," and "."; 4 when missing or not a number.
int DecimalsOfTypeText(std::string_view type_text) {
  int item_number = 0;
  std::size_t position = 0;
  while (position < type_text.size()) {
    const std::size_t end = type_text.find_first_of("() ,.", position);
    const std::size_t stop = end == std::string_view::npos ? type_text.size() : end;
    if (stop > position && ++item_number == 3) {
      int decimals = 0;
      return ParseInt(type_text.substr(position, stop - position), decimals) ? decimals : 4;
    }
    position = stop + 1;
  }
  return 4;
}

bool IsSpatialTypeName(std::string_view type_name) {
  static constexpr std::string_view kNames[] = {
      "geometry",   "point",           "linestring",   "polygon",
      "multipoint", "multilinestring", "multipolygon", "geometrycollection"};
  for (const std::string_view name : kNames) {
    if (type_name == name) return true;
  }
  return false;
}

}  // namespace

TTypeTextMapping MapTypeText(std::string_view type_text, bool alternative_view) {
  TTypeTextMapping mapping;
  auto begins = [&](std::string_view prefix) { return StartsWith(type_text, prefix); };
  // "Contains" rules look at the type's name only: the values of a SET such as
  // set('print','text') name no type.
  const std::string_view type_name = type_text.substr(0, type_text.find('('));
  auto name_contains = [&](std::string_view word) { return type_name.find(word) != std::string_view::npos; };
  const std::size_t first_close = type_text.find(')');

  if (alternative_view && (SameText(type_text, "enum('y','n')") || SameText(type_text, "enum('n','y')") ||
                           SameText(type_text, "enum('t','f')") || SameText(type_text, "enum('f','t')"))) {
    mapping.DataType = ftBoolean;
  } else if (begins("enum")) {
    mapping.DataType = ftString;
    mapping.Size = LongestEnumValue(type_text);
  } else if (begins("bigint") ||
             (begins("int") && first_close != std::string_view::npos && first_close >= 6) ||
             (begins("int") && type_text.find("unsigned") != std::string_view::npos)) {
    // int(10) unsigned and a bare "int unsigned" both reach 4294967295.
    mapping.DataType = ftLargeint;
  } else if (IsSpatialTypeName(type_name)) {
    mapping.DataType = ftBlob;
  } else if (name_contains("int") || begins("year")) {
    mapping.DataType = ftInteger;
  } else if (begins("double") || begins("float") || begins("real") || begins("decimal") ||
             begins("numeric")) {
    mapping.DataType = ftFloat;
    mapping.Decimals = DecimalsOfTypeText(type_text);
    mapping.ExactDecimal = begins("decimal") || begins("numeric");
  } else if (begins("char")) {
    mapping.DataType = ftString;
    mapping.Size = SizeBeforeParenthesis(type_text, 6, 50);
  } else if (begins("varchar")) {
    mapping.DataType = ftString;
    mapping.Size = SizeBeforeParenthesis(type_text, 9, 50);
  } else if (type_text == "date") {
    mapping.DataType = ftDate;
  } else if (type_text == "datetime" || begins("datetime(")) {
    mapping.DataType = ftDateTime;
  } else if (type_text == "time" || begins("time(")) {
    mapping.DataType = ftTime;
  } else if (begins("timestamp")) {
    mapping.DataType = ftDateTime;
  } else if (name_contains("blob")) {
    mapping.DataType = ftBlob;
  } else if (name_contains("text")) {
    mapping.DataType = ftMemo;
  } else if (begins("set")) {
    mapping.DataType = ftString;
    mapping.Size = std::max(0, static_cast<int>(Utf8Length(type_text)) - 4);
  }
  return mapping;
}

TFieldType MapResultColumnType(int type_code, unsigned int flags, unsigned int charset_number) {
  const bool auto_increment = (flags & kMySqlAutoIncrementFlag) != 0;
  switch (type_code) {
    case mtTiny:
    case mtShort:
    case mtInt24:
    case mtYear:
      return auto_increment ? ftAutoInc : ftInteger;
    case mtLong:
    case mtLongLong:
      return auto_increment ? ftAutoInc : ftLargeint;
    case mtBit:
      return ftLargeint;  // up to 64 bits, unsigned
    case mtDecimal:
    case mtNewDecimal:
    case mtFloat:
    case mtDouble:
      return ftFloat;
    case mtDate:
    case mtNewDate:
      return ftDate;
    case mtTime:
      return ftTime;
    case mtDateTime:
      return ftDateTime;
    case mtTinyBlob:
    case mtMediumBlob:
    case mtLongBlob:
    case mtBlob:
      return charset_number == kMySqlBinaryCharset ? ftBlob : ftMemo;
    case mtJson:
      return ftMemo;  // text of any length
    case mtGeometry:
      return ftBlob;  // binary, of any length
    default:
      return ftString;
  }
}

int DefaultDisplayWidth(TFieldType data_type, int size) {
  switch (data_type) {
    case ftString:
      return size;
    case ftLargeint:
    case ftAutoInc:
      return 15;
    case ftDateTime:
      return 18;
    case ftBoolean:
      return 5;
    default:
      return 10;
  }
}

std::string ResultColumnTypeText(const TResultColumnMetadata& metadata) {
  const bool binary = metadata.CharsetNumber == kMySqlBinaryCharset;
  const unsigned long characters =
      binary ? metadata.Length : metadata.Length / std::max(1U, metadata.BytesPerCharacter);
  const bool is_unsigned = (metadata.Flags & kMySqlUnsignedFlag) != 0;
  auto with_fraction = [&](const char* name) {
    std::string text = name;
    if (metadata.Decimals > 0 && metadata.Decimals <= 6)
      text += "(" + std::to_string(metadata.Decimals) + ")";
    return text;
  };
  auto integer = [&](const char* name) {
    std::string text =
        std::string(name) + "(" + std::to_string(std::clamp<unsigned long>(metadata.Length, 1, 255)) + ")";
    if (is_unsigned) text += " unsigned";
    if ((metadata.Flags & kMySqlZerofillFlag) != 0) text += " zerofill";
    return text;
  };
  // Decimals of 31 and more mark a floating-point value of no fixed scale;
  // a fixed scale is kept, or the value would read back with other digits.
  auto floating = [&](const char* name) {
    std::string text = name;
    if (metadata.Decimals < 31 && metadata.Length > 0 && metadata.Length <= 255 &&
        metadata.Length >= metadata.Decimals) {
      text += "(" + std::to_string(metadata.Length) + "," + std::to_string(metadata.Decimals) + ")";
    }
    if (is_unsigned) text += " unsigned";
    return text;
  };
  // A large object by the most bytes a value takes in the connection's set.
  auto large_object = [&] {
    const char* size = metadata.Length <= 255        ? "tiny"
                       : metadata.Length <= 65535    ? ""
                       : metadata.Length <= 16777215 ? "medium"
                                                     : "long";
    return std::string(size) + (binary ? "blob" : "text");
  };
  switch (metadata.TypeCode) {
    case mtDecimal:
    case mtNewDecimal: {
      // The length counts the sign and the decimal point of a value.
      long precision = static_cast<long>(std::min<unsigned long>(metadata.Length, 100));
      if (metadata.Decimals > 0) --precision;
      if (!is_unsigned) --precision;
      const long scale = std::min<long>(metadata.Decimals, 38);
      precision = std::clamp<long>(precision, std::max<long>(scale, 1), 65);
      std::string text = "decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
      if (is_unsigned) text += " unsigned";
      return text;
    }
    case mtTiny:
      return integer("tinyint");
    case mtShort:
      return integer("smallint");
    case mtInt24:
      return integer("mediumint");
    case mtLong:
      return integer("int");
    case mtLongLong:
      return integer("bigint");
    case mtFloat:
      return floating("float");
    case mtDouble:
      return floating("double");
    case mtNull:
      return "binary(0)";
    case mtTimestamp:
      return with_fraction("timestamp");
    case mtDate:
    case mtNewDate:
      return "date";
    case mtTime:
      return with_fraction("time");
    case mtDateTime:
      return with_fraction("datetime");
    case mtYear:
      return "year";
    case mtBit:
      return "bit(" + std::to_string(std::clamp<unsigned long>(metadata.Length, 1, 64)) + ")";
    case mtJson:
      return "json";
    case mtTinyBlob:
    case mtMediumBlob:
    case mtLongBlob:
    case mtBlob:
      return large_object();
    case mtString:
      if (characters > 255) return large_object();
      return (binary ? "binary(" : "char(") + std::to_string(characters) + ")";
    case mtVarString:
      if (characters > 65532) return large_object();
      return (binary ? "varbinary(" : "varchar(") + std::to_string(characters) + ")";
    case mtGeometry:
      return "geometry";
    default:
      // A type no rule knows still holds its values as bytes or as text.
      return binary ? "longblob" : "longtext";
  }
}

std::string_view CollationCharacterSet(std::string_view collation) {
  return collation.substr(0, collation.find('_'));
}

// ---------------------------------------------------------------------------
// Numbers

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

void AppendBitText(std::string_view bytes, std::string& out) {
  std::uint64_t value = 0;
  for (const char byte : bytes) value = (value << 8) | static_cast<unsigned char>(byte);
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// ---------------------------------------------------------------------------
// Dates and times

namespace {

// The number written with exactly count digits at text[from]; false when
// they are not all there.
bool DigitsAt(std::string_view text, std::size_t from, std::size_t count, int& value) {
  if (from + count > text.size()) return false;
  value = 0;
  for (std::size_t index = from; index < from + count; ++index) {
    if (text[index] < '0' || text[index] > '9') return false;
    value = value * 10 + (text[index] - '0');
  }
  return true;
}

std::string_view FractionAt(std::string_view text, std::size_t point) {
  if (point >= text.size() || text[point] != '.') return {};
  std::size_t end = point + 1;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return text.substr(point + 1, end - point - 1);
}

// The dashed form of a digits-only timestamp: "20040115123456" gives
// "2004-01-15 12:34:56". Two-digit years are read as 1970..2069.
std::string ExpandCompactTimestamp(std::string_view digits) {
  std::string expanded;
  std::size_t position = 0;
  if (digits.size() == 14 || digits.size() == 8) {
    expanded.append(digits.substr(0, 4));
    position = 4;
  } else {
    int year = 0;
    if (DigitsAt(digits, 0, 2, year)) expanded += year < 70 ? "20" : "19";
    expanded.append(digits.substr(0, 2));
    position = 2;
  }
  static constexpr char kSeparators[] = {'-', '-', ' ', ':', ':'};
  for (const char separator : kSeparators) {
    if (position >= digits.size()) break;
    expanded += separator;
    expanded.append(digits.substr(position, 2));
    position += 2;
  }
  return expanded;
}

std::int64_t MillisecondOfDay(int hour, int minute, int second) {
  return ((hour * 60 + minute) * 60 + second) * 1000LL;
}

}  // namespace

bool TryMySqlTextToDateTime(std::string_view text, bool compact_timestamp, TDateTime& value,
                            std::string_view& fraction) {
  TDayAndTime moment;
  if (!TryMySqlTextToDayAndTime(text, compact_timestamp, moment, fraction)) return false;
  value = JoinDateTime(moment);
  return true;
}

bool TryMySqlTextToDayAndTime(std::string_view text, bool compact_timestamp, TDayAndTime& moment,
                              std::string_view& fraction) {
  fraction = {};
  std::string expanded;
  if (compact_timestamp && !text.empty() && text.find('-') == std::string_view::npos) {
    expanded = ExpandCompactTimestamp(text);
    text = expanded;
  }
  int year = 0, month = 0, day = 0;
  if (!DigitsAt(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !DigitsAt(text, 5, 2, month) ||
      text[7] != '-' || !DigitsAt(text, 8, 2, day)) {
    return false;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;

  // The time of day: hours, minutes and seconds as far as the text reaches (a
  // compact timestamp may end early), then a fraction after the seconds.
  int parts[3] = {0, 0, 0};
  int parts_read = 0;
  std::size_t position = 10;
  if (position < text.size()) {
    if (text[position] != ' ') return false;
    ++position;
    for (; parts_read < 3 && position < text.size(); ++parts_read) {
      if (parts_read > 0) {
        if (text[position] != ':') break;
        ++position;
      }
      if (!DigitsAt(text, position, 2, parts[parts_read])) return false;
      position += 2;
    }
    if (parts_read == 0) return false;
  }
  if (position < text.size()) {
    if (parts_read < 3 || !expanded.empty()) return false;
    fraction = FractionAt(text, position);
    if (fraction.empty() || position + 1 + fraction.size() != text.size()) return false;
  }
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  moment.Day = static_cast<std::int64_t>(EncodeDate(year, month, day));
  moment.Millisecond = MillisecondOfDay(parts[0], parts[1], parts[2]);
  return true;
}

namespace {

// The time part of a TIME text, a date in front ("2004-01-15 12:34:56") passed over.
std::string_view TimePart(std::string_view text) {
  if (text.size() >= 10 && text[4] == '-') return text.size() > 11 ? text.substr(11) : std::string_view();
  return text;
}

}  // namespace

bool MySqlTimeOutsideDay(std::string_view text) {
  text = TimePart(text);
  if (!text.empty() && text.front() == '-') return true;
  const std::size_t end = std::min(text.find_first_of(":."), text.size());
  int hours = 0;
  return ParseInt(text.substr(0, end), hours) && hours > 23;
}

TDateTime MySqlTextToTime(std::string_view text, std::string_view& fraction) {
  return JoinDateTime({0, MySqlTimeMillisecond(text, fraction)});
}

std::int64_t MySqlTimeMillisecond(std::string_view text, std::string_view& fraction) {
  fraction = {};
  // Only the time of day is kept.
  text = TimePart(text);
  // Hours may have more than two digits ("838:59:59"); they are clamped. Text
  // fields never get here with such a value (see MySqlTimeOutsideDay).
  int parts[3] = {0, 0, 0};
  std::size_t position = 0;
  for (int part_index = 0; part_index < 3 && position < text.size(); ++part_index) {
    std::size_t end = text.find_first_of(":.", position);
    if (end == std::string_view::npos) end = text.size();
    int value = 0;
    if (ParseInt(text.substr(position, end - position), value)) parts[part_index] = value;
    position = end;
    if (position < text.size() && text[position] == ':') ++position;
    if (position < text.size() && text[position] == '.') break;
  }
  fraction = FractionAt(text, position);
  const int hour = std::clamp(parts[0], 0, 23);
  const int minute = std::clamp(parts[1], 0, 59);
  const int second = std::clamp(parts[2], 0, 59);
  return MillisecondOfDay(hour, minute, second);
}

// ---------------------------------------------------------------------------
// TZMySqlField

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
