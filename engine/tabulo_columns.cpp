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

int DecimalOrZero(std::string_view text) {
  text = Trim(text);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (error == std::errc() && end == text.data() + text.size()) ? value : 0;
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
  column.Locale = settings.Locale;
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
    column.WidthGiven = true;
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

void TTabuloColumns::ColumnWidthPass(const TColumnSettings& settings, const TWidthRule& rule) {
  for (auto& column : columns_) {
    column->CaptionCells = ClampedWidth(DisplayCells(column->Caption));
    column->ContentCells = 0;
  }
  if (settings.DataSet != nullptr) {
    const std::string& null_text = settings.Formats != nullptr ? settings.Formats->NullString() : std::string();
    std::string text;
    TCellValue value;
    // Measure the records the export will write, so that no column comes out
    // narrower than its values.
    ReadWindowAhead(
        *settings.DataSet, settings.Window, [&] { MeasureCurrentRecord(settings, null_text, value, text); },
        [&](int passed) {
          if (settings.OnFetchedRecord) settings.OnFetchedRecord(passed);
        },
        rule.WithinKeptRows);
  }
  for (auto& column : columns_) {
    TTabuloColumn& target = *column;
    const int measured = std::max(target.CaptionCells, target.ContentCells);
    if (rule.WidenGiven) {
      target.Width = target.WidthGiven ? std::max(target.Width, measured) : measured;
    } else if (!target.WidthGiven) {
      const int content = rule.Cap > 0 ? std::min(target.ContentCells, rule.Cap) : target.ContentCells;
      target.Width = std::max({content, target.CaptionCells, 1});
    }
  }
}

void TTabuloColumns::MeasureCurrentRecord(const TColumnSettings& settings, const std::string& null_text,
                                          TCellValue& value, std::string& text) {
  for (int index = 0; index < Count(); ++index) {
    TTabuloColumn& target = *columns_[static_cast<std::size_t>(index)];
    target.Field->GetValue(value);
    if (value.IsNull()) {
      target.ContentCells = std::max(target.ContentCells, ClampedWidth(DisplayCells(null_text)));
      if (settings.OnMeasureValue) settings.OnMeasureValue(index, null_text);
      continue;
    }
    // A value that cannot be wider than the widest so far need not be made
    // into text, unless the format measures every text itself. A character
    // takes at most two cells.
    std::size_t bound = 0;
    if (!settings.OnMeasureValue && target.ValueLengthBound(value, bound) &&
        2 * bound <= static_cast<std::size_t>(target.ContentCells)) {
      continue;
    }
    text.clear();
    if (!target.AppendBinary(value.Text, text)) target.AppendTextForm(value, text);
    target.ContentCells = std::max(target.ContentCells, ClampedWidth(DisplayCells(text)));
    // The rows carry the display form, which may be longer than the text form
    // (grouping, currency symbol): the column must hold that too.
    if (target.ShowsDisplayForm()) {
      text.clear();
      target.AppendShownText(value, text);
      target.ContentCells = std::max(target.ContentCells, ClampedWidth(DisplayCells(text)));
    }
    if (settings.OnMeasureValue) settings.OnMeasureValue(index, text);
  }
}

}  // namespace velmora
