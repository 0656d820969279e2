#include "engine/tabulo_columns.h"

#include <algorithm>
#include <charconv>

#include "engine/tabulo_formats.h"
#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/text_escape.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// Integer text up to this length is written by AppendPlainInteger; longer text
// takes the general path, which refuses numbers of unreasonable length.
constexpr std::size_t kPlainIntegerDigits = 1000;

int DecimalOrZero(std::string_view text) {
  text = Trim(text);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (error == std::errc() && end == text.data() + text.size()) ? value : 0;
}

// [-]H+:MM:SS with an optional fraction, the time separator ":" or the locale's,
// the fraction's point "." or the locale's decimal separator. point and
// point_length give where the point stands (point is npos without a fraction).
bool ReadDurationText(std::string_view text, std::size_t& point, std::size_t& point_length) {
  std::size_t position = (!text.empty() && text[0] == '-') ? 1 : 0;
  const auto digits = [&](std::size_t minimum, std::size_t maximum) {
    std::size_t count = 0;
    while (position < text.size() && count < maximum && text[position] >= '0' && text[position] <= '9') {
      ++position;
      ++count;
    }
    return count >= minimum;
  };
  const auto separator = [&] {
    const std::string& locale_separator = FormatSettings().TimeSeparator;
    if (position < text.size() && text[position] == ':') {
      ++position;
      return true;
    }
    if (!locale_separator.empty() && text.substr(position, locale_separator.size()) == locale_separator) {
      position += locale_separator.size();
      return true;
    }
    return false;
  };
  point = std::string_view::npos;
  point_length = 0;
  if (!digits(1, 9) || !separator() || !digits(2, 2) || !separator() || !digits(2, 2)) return false;
  if (position == text.size()) return true;
  const std::string& decimal = FormatSettings().DecimalSeparator;
  if (text[position] == '.' || (!decimal.empty() && text.substr(position, decimal.size()) == decimal)) {
    point = position;
    point_length = text[position] == '.' ? 1 : decimal.size();
    position += point_length;
    return digits(1, 64) && position == text.size();
  }
  return false;
}

[[noreturn]] void ThrowNoFloat(std::string_view text) {
  throw EVelmoraError(Format("'%s' is not a valid floating point value", std::string(text).c_str()));
}

// A number column prints plain numbers when the export asks for machine-read
// defaults and the template sets no format for it, neither by its type nor by
// its name.
bool PrintsPlainNumbers(const TTabuloColumn& column, const TColumnSettings& settings) {
  if (!settings.MachineReadDefaults || column.ColumnType > ctCurrency) return false;
  // A year keeps its digits ("0000", "06"): it is a year, not a quantity.
  if (column.ValueKind == vkYear) return false;
  std::string user_format;
  if (settings.UserFormats != nullptr && settings.UserFormats->FindValue(column.Name, user_format))
    return false;
  if (settings.Formats == nullptr) return true;
  switch (column.ColumnType) {
    case ctInteger:
    case ctLargeInt:
      return !settings.Formats->IntegerFormatSet();
    case ctFloat:
      return !settings.Formats->FloatFormatSet();
    default:
      return !settings.Formats->CurrencyFormatSet();
  }
}

// The length of the text of byte_count bytes in form: two digits per byte
// after "0x", or four characters per three bytes; the count itself for raw.
std::size_t BinaryTextLength(TBinaryForm form, std::size_t byte_count) {
  if (form == bfHex) return 2 + 2 * byte_count;
  if (form == bfBase64) return (byte_count + 2) / 3 * 4;
  return byte_count;
}

int ClampedWidth(std::size_t length) {
  return static_cast<int>(std::min<std::size_t>(length, 1u << 30));
}

}  // namespace

const char* ColumnTypeName(TTabuloColType type) {
  switch (type) {
    case ctInteger:
    case ctLargeInt:
      return "Integer";
    case ctFloat:
      return "Float";
    case ctCurrency:
      return "Currency";
    case ctDate:
      return "Date";
    case ctTime:
      return "Time";
    case ctDateTime:
      return "DateTime";
    case ctString:
      return "String";
    case ctBoolean:
      return "Boolean";
    case ctUnknown:
      return "Unknown";
  }
  return "Unknown";
}

TTabuloColType ColumnTypeOf(TFieldType field_type) {
  switch (field_type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      return ctInteger;
    case ftLargeint:
      return ctLargeInt;
    case ftFloat:
    case ftBCD:
      return ctFloat;
    case ftCurrency:
      return ctCurrency;
    case ftDate:
      return ctDate;
    case ftTime:
      return ctTime;
    case ftDateTime:
    case ftTimeStamp:
      return ctDateTime;
    case ftString:
    case ftWideString:
    case ftBlob:
    case ftMemo:
      return ctString;
    case ftBoolean:
      return ctBoolean;
    default:
      return ctUnknown;
  }
}

std::string SqlTypeNameOf(TFieldType field_type, int size) {
  switch (field_type) {
    case ftString:
    case ftWideString:
      return Format("CHAR(%d)", size);
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftLargeint:
      return "INTEGER";
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      return "DOUBLE PRECISION";
    case ftDate:
    case ftTime:
    case ftDateTime:
      return "DATE";
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
      return "BLOB";
    default:
      return "UNKNOWN";
  }
}

bool TTabuloColumn::PlainNumberText(std::string_view text, std::string_view decimal_separator,
                                    std::string& out) const {
  switch (ColumnType) {
    case ctInteger:
    case ctLargeInt:
      // As in the display form, text that is no integer counts as 0.
      if (text.size() <= kPlainIntegerDigits) {
        if (!AppendPlainInteger(text, out)) out.push_back('0');
      } else if (!IsIntegerText(text) || !AppendPlainDecimal(text, decimal_separator, out)) {
        out.push_back('0');
      }
      return true;
    case ctFloat:
    case ctCurrency: {
      if (!TryLocaleNumberToDecimalText(text, decimal_text_) ||
          !AppendPlainDecimal(decimal_text_, decimal_separator, out)) {
        ThrowNoFloat(text);
      }
      return true;
    }
    default:
      return false;
  }
}

bool TTabuloColumn::FormatBinary(std::string& text) const {
  if (BinaryForm == bfRaw) return false;
  scratch_.clear();
  if (BinaryForm == bfHex) {
    AppendHexBytes(scratch_, text);
  } else {
    AppendBase64(scratch_, text);
  }
  text.swap(scratch_);
  return true;
}

bool TTabuloColumn::FormatText(std::string& text) const {
  if (FormatBinary(text)) return true;
  if (ColumnType == ctString) return true;
  if (ColumnType == ctBoolean || ColumnType == ctUnknown) return false;
  // A date with no date-time form ("0000-00-00") goes out as the source wrote
  // it. A time beyond the clock is a duration, written below with the locale's
  // decimal separator like every other time.
  const bool date = ColumnType == ctDate || ColumnType == ctDateTime;
  if (date && Field != nullptr && Field->IsInvalidDate()) return true;
  scratch_.clear();
  if (PlainNumber && PlainNumberText(text, FormatSettings().DecimalSeparator, scratch_)) {
    text.swap(scratch_);
    return true;
  }
  CompileFormat();
  switch (ColumnType) {
    case ctInteger:
    case ctLargeInt:
      // Integers never fail: text that is not one counts as 0. Every digit is
      // kept, so values beyond 64 bits print exactly too.
      if (!number_format_->FormatDecimalText(IsIntegerText(text) ? std::string_view(text) : "0", scratch_)) {
        number_format_->FormatDecimalText("0", scratch_);
      }
      break;
    case ctFloat:
    case ctCurrency: {
      if (!TryLocaleNumberToDecimalText(text, decimal_text_) ||
          !number_format_->FormatDecimalText(decimal_text_, scratch_)) {
        ThrowNoFloat(text);
      }
      break;
    }
    default:
      FormatMoment(text);
      break;
  }
  text.swap(scratch_);
  return true;
}

bool TTabuloColumn::FormatFieldValue(std::string& text) const {
  if (Field == nullptr) return false;
  scratch_.clear();
  switch (ColumnType) {
    case ctFloat:
    case ctCurrency:
      // A number that does not format is left to FormatText, which names it.
      if (!Field->GetDecimalText(decimal_text_)) return false;
      if (PlainNumber) {
        if (!AppendPlainDecimal(decimal_text_, FormatSettings().DecimalSeparator, scratch_)) return false;
      } else {
        CompileFormat();
        if (!number_format_->FormatDecimalText(decimal_text_, scratch_)) return false;
      }
      break;
    case ctDate:
    case ctTime:
    case ctDateTime: {
      TDateTime value = 0;
      std::string_view fraction;
      if (!Field->GetDateTime(value, fraction)) return false;
      CompileFormat();
      AppendMoment(value, fraction);
      break;
    }
    default:
      return false;
  }
  text.swap(scratch_);
  return true;
}

bool TTabuloColumn::ValueLengthBound(std::size_t& bound) const {
  if (Field == nullptr || !Field->GetTextLengthBound(bound)) return false;
  std::size_t display_bound = 0;
  bound = BinaryTextLength(BinaryForm, bound);
  switch (ColumnType) {
    case ctString:
    case ctBoolean:
    case ctUnknown:
      return true;  // the text is all there is to measure
    case ctInteger:
    case ctLargeInt:
      // The text is the integer's digits, perhaps a sign.
      if (PlainNumber) return false;
      CompileFormat();
      if (!number_format_->MaxLength(bound, 0, true, display_bound)) return false;
      break;
    case ctFloat:
    case ctCurrency: {
      if (PlainNumber || !Field->GetDecimalText(decimal_text_)) return false;
      // Digits before and after the point; an exponent could move the point anywhere.
      std::size_t point = decimal_text_.size();
      for (std::size_t index = 0; index < decimal_text_.size(); ++index) {
        const char character = decimal_text_[index];
        if (character == 'e' || character == 'E') return false;
        if (character == '.') point = index;
      }
      CompileFormat();
      const bool negative = decimal_text_[0] == '-';
      const std::size_t decimals = point < decimal_text_.size() ? decimal_text_.size() - point - 1 : 0;
      if (!number_format_->MaxLength(point - (negative ? 1 : 0), decimals, negative, display_bound))
        return false;
      break;
    }
    default: {
      TDateTime value = 0;
      std::string_view fraction;
      if (!Field->GetDateTime(value, fraction)) return false;
      CompileFormat();
      display_bound =
          fraction_format_ ? fraction_format_->MaxLength(fraction.size()) : date_time_format_->MaxLength();
      break;
    }
  }
  bound = std::max(bound, display_bound);
  return true;
}

void TTabuloColumn::CompileFormat() const {
  if (compiled_for_ == Format && (number_format_ || date_time_format_)) return;
  number_format_.reset();
  date_time_format_.reset();
  fraction_format_.reset();
  if (ColumnType <= ctCurrency) {
    number_format_.emplace(Format);
  } else {
    date_time_format_.emplace(Format);
    const bool default_format =
        (ColumnType == ctTime && Format == TTabuloFormats::DefaultTimeFormat()) ||
        (ColumnType == ctDateTime && Format == TTabuloFormats::DefaultDateTimeFormat());
    if (default_format) fraction_format_.emplace(Format);
  }
  compiled_for_ = Format;
}

void TTabuloColumn::FormatMoment(const std::string& text) const {
  TDateTime value = 0;
  const bool read = ColumnType == ctTime ? (TryStrToTime(text, value) || TryStrToDateTime(text, value))
                                         : TryStrToDateTime(text, value);
  if (!read) {
    // A duration beyond the clock ("838:59:59", "-01:30:00") has no time-of-day
    // form; it is exported as it stands, its fraction after the locale's decimal
    // separator as in every other time.
    std::size_t point = 0;
    std::size_t point_length = 0;
    if (ColumnType == ctTime && ReadDurationText(text, point, point_length)) {
      if (point == std::string_view::npos) {
        scratch_.append(text);
      } else {
        scratch_.append(text, 0, point);
        scratch_.append(FormatSettings().DecimalSeparator);
        scratch_.append(text, point + point_length);
      }
      return;
    }
    throw EVelmoraError(velmora::Format("'%s' is not a valid date and time", text.c_str()));
  }
  AppendMoment(value, fraction_format_ ? SecondsFraction(text) : std::string_view());
}

void TTabuloColumn::AppendMoment(TDateTime value, std::string_view fraction) const {
  if (fraction_format_) {
    // Every digit of the fraction as the value has it, where the seconds end.
    fraction_format_->Format(value, fraction, scratch_);
  } else {
    date_time_format_->Format(value, scratch_);
  }
}

TTabuloColumn& TTabuloColumns::Add() {
  columns_.push_back(std::make_unique<TTabuloColumn>());
  return *columns_.back();
}

void TTabuloColumns::Build(const TColumnSettings& settings) {
  columns_.clear();
  left_out_.clear();
  if (settings.DataSet == nullptr) return;
  for (TField* field : ChooseFields(settings)) AddColumn(*field, settings);
}

std::vector<TField*> TTabuloColumns::ChooseFields(const TColumnSettings& settings) {
  TDataSet& data_set = *settings.DataSet;
  std::vector<TField*> taken;
  if (settings.ExportedFields == nullptr || settings.ExportedFields->Empty()) {
    for (int field_index = 0; field_index < data_set.FieldCount(); ++field_index) {
      TField& field = data_set.Field(field_index);
      // Text of any length (memo) is data like any other; binary large
      // objects are exported only when named.
      if (settings.OnlyVisibleFields && !field.Visible) continue;
      if (field.IsBlob() && !field.IsMemo() && !settings.EveryColumn) {
        left_out_.push_back(&field);
        continue;
      }
      taken.push_back(&field);
    }
  } else {
    for (const std::string& name : *settings.ExportedFields) {
      TField* field = data_set.FindField(name);
      if (field == nullptr) continue;
      if (settings.OnlyVisibleFields && !field->Visible) continue;
      taken.push_back(field);
    }
  }
  return taken;
}

namespace {

// The alignment ColumnsAlign gives a column: its letter when the list names the
// column, else numbers right and Booleans centred; left without the list.
TTabuloColAlign AlignOf(const TTabuloColumn& column, const TStringList* columns_align) {
  if (columns_align == nullptr) return ecaLeft;
  std::string value;
  if (columns_align->FindValue(column.Name, value)) {
    const char letter = value.empty() ? ' ' : static_cast<char>(UpperCase(value.substr(0, 1))[0]);
    return letter == 'C' ? ecaCenter : letter == 'R' ? ecaRight : ecaLeft;
  }
  if (column.ColumnType <= ctCurrency) return ecaRight;
  if (column.ColumnType == ctBoolean) return ecaCenter;
  return ecaLeft;
}

// The display format the export's formats give a column of this field's type.
std::string TypeFormatOf(const TField& field, TTabuloColType column_type, const TTabuloFormats& formats) {
  switch (column_type) {
    case ctInteger:
    case ctLargeInt:
      // A year shows all its digits (four, or two for a field of size 2),
      // never grouped.
      return field.ValueKind == vkYear ? std::string(field.Size == 2 ? 2 : 4, '0') : formats.IntegerFormat();
    case ctFloat:
      return formats.FloatFormat();
    case ctCurrency:
      return formats.CurrencyFormat();
    case ctDate:
      return formats.DateFormat();
    case ctTime:
      return formats.TimeFormat();
    case ctDateTime:
      return formats.DateTimeFormat();
    default:
      return {};
  }
}

}  // namespace

void TTabuloColumns::AddColumn(TField& field, const TColumnSettings& settings) {
  std::string value;
  TTabuloColumn& column = Add();
  column.FieldIndex = field.Index;
  column.Field = &field;
  column.Name = field.FieldName;
  column.ColumnType = ColumnTypeOf(field.DataType);

  column.Caption = field.DisplayLabel;
  if (settings.Captions != nullptr && settings.Captions->FindValue(column.Name, value)) {
    column.Caption = value;
  }

  column.Width = field.DisplayWidth;
  column.BinaryForm = field.ValueKind == vkBinary ? settings.BinaryForm : bfRaw;
  if (settings.ColumnsWidth != nullptr && settings.ColumnsWidth->FindValue(column.Name, value)) {
    column.Width = DecimalOrZero(value);
  } else if (column.BinaryForm != bfRaw && column.Width > 0) {
    // The declared size counts bytes; their text is longer.
    column.Width = ClampedWidth(BinaryTextLength(column.BinaryForm, static_cast<std::size_t>(column.Width)));
  }

  column.Align = AlignOf(column, settings.ColumnsAlign);

  column.Format.clear();
  if (settings.Formats != nullptr) column.Format = TypeFormatOf(field, column.ColumnType, *settings.Formats);
  if (settings.UserFormats != nullptr && settings.UserFormats->FindValue(column.Name, value)) {
    column.Format = value;
  }

  column.SQLType = SqlTypeNameOf(field.DataType, field.Size);
  column.IsString = column.ColumnType == ctString;
  column.Length = column.IsString ? std::min(field.Size, 254) : 0;
  column.IsNumeric = column.ColumnType <= ctDateTime;
  column.IsNumber = column.ColumnType <= ctCurrency;
  column.IsBlob = field.IsBlob();
  column.IsMemo = field.IsMemo();
  column.ValueKind = field.ValueKind;
  column.Visible = field.Visible;
  column.PlainNumber = PrintsPlainNumbers(column, settings);
}

void TTabuloColumns::ColumnWidthPass(const TColumnSettings& settings) {
  for (auto& column : columns_) {
    column->Width = std::max(column->Width, ClampedWidth(Utf8Length(column->Caption)));
  }
  if (settings.DataSet == nullptr) return;
  const std::string& null_text = settings.Formats != nullptr ? settings.Formats->NullString() : std::string();
  std::string text;
  // Measure the records the export will write, so that no column comes out
  // narrower than its values.
  ReadWindowAhead(
      *settings.DataSet, settings.Window, [&] { WidenToCurrentRecord(null_text, text); },
      [&](int passed) {
        if (settings.OnFetchedRecord) settings.OnFetchedRecord(passed);
      });
}

void TTabuloColumns::WidenToCurrentRecord(const std::string& null_text, std::string& text) {
  for (auto& column : columns_) {
    TTabuloColumn& target = *column;
    if (target.Field->IsNull()) {
      target.Width = std::max(target.Width, ClampedWidth(Utf8Length(null_text)));
      continue;
    }
    // A value that cannot be wider than the column need not be made into text.
    std::size_t bound = 0;
    if (target.Width >= 0 && target.ValueLengthBound(bound) &&
        bound <= static_cast<std::size_t>(target.Width)) {
      continue;
    }
    target.Field->GetText(text);
    target.FormatBinary(text);
    target.Width = std::max(target.Width, ClampedWidth(Utf8Length(text)));
    // The rows carry the display form, which may be longer than the raw text
    // (grouping, currency symbol): the column must hold that too.
    // A value without a display form fails the export when its row is
    // written; measuring it raw is all this pass can do.
    if (target.ColumnType != ctString && target.ColumnType != ctBoolean && target.ColumnType != ctUnknown) {
      try {
        if (!target.FormatFieldValue(text)) target.FormatText(text);
        target.Width = std::max(target.Width, ClampedWidth(Utf8Length(text)));
      } catch (const EVelmoraError&) {
      }
    }
  }
}

}  // namespace velmora
