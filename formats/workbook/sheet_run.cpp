#include "formats/workbook/sheet_run.h"

#include <algorithm>

#include "formats/workbook/moment_serial.h"
#include "formats/xls/xls_text.h"
#include "platform/error.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/text_utils.h"
#include "platform/value_format.h"

namespace velmora {

namespace {

// Strip keys: column + kStripKeyStride * strip number.
constexpr int kStripKeyStride = 1000;

// The fields of one TAB-terminated line.
std::string TabField(std::string_view line, int index) {
  std::size_t start = 0;
  for (int skipped = 0; skipped < index; ++skipped) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) return "";
    start = tab + 1;
  }
  const std::size_t tab = line.find('\t', start);
  if (tab == std::string_view::npos) return "";
  return std::string(line.substr(start, tab - start));
}

// The number format of a column's cells. A moment column in its default
// form shows the fraction of seconds its source declares, as the text forms
// do; spreadsheet formats show three digits at most, the cell's value holds
// every digit.
std::string CellFormatOf(const TTabuloColumn& column) {
  std::string format = SpreadsheetFormatOf(column);
  const bool default_form =
      (column.ColumnType == ctDateTime && column.Format == TTabuloFormats::DefaultDateTimeFormat()) ||
      (column.ColumnType == ctTime && column.Format == TTabuloFormats::DefaultTimeFormat());
  if (!default_form || column.Field == nullptr) return format;
  const int digits = std::min(DeclaredSecondsDigits(column.Field->SourceType.Type), 3);
  const std::size_t seconds = format.rfind("ss");
  if (digits == 0 || seconds == std::string::npos) return format;
  format.insert(seconds + 2, "." + std::string(static_cast<std::size_t>(digits), '0'));
  return format;
}

// A number as the server sends it in plain form: an optional minus, digits,
// for a decimal or float one point between digits, nothing else. Its text is
// what the column's C form of it would be.
bool IsPlainServerNumber(const TCellValue& value, const TTabuloColumn& column) {
  if (column.ValueKind != vkPlain) return false;
  const bool integer = column.ColumnType == ctInteger || column.ColumnType == ctLargeInt;
  if (integer ? value.Kind != ckInteger : (value.Kind != ckDecimal && value.Kind != ckFloat)) return false;
  std::string_view text = value.Text;
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);
  if (text.empty() || text[0] == '.' || text.back() == '.') return false;
  bool point = false;
  for (const char character : text) {
    if (character == '.' && !integer && !point) {
      point = true;
    } else if (character < '0' || character > '9') {
      return false;
    }
  }
  return true;
}

// True when a moment column's display form varies only in its digits: no
// names of months or days, no AM/PM, no locale form. Digits all take one
// digit width, so the longer of two of its texts is never the narrower.
bool ShowsDigitsOnly(const TTabuloColumn& column) {
  if (column.ColumnType != ctDate && column.ColumnType != ctTime && column.ColumnType != ctDateTime)
    return false;
  const std::string_view format = column.Format;
  char quote = '\0';
  for (std::size_t index = 0; index < format.size(); ++index) {
    const char character = format[index];
    if (quote != '\0') {
      if (character == quote) quote = '\0';
      continue;
    }
    if (character == '"' || character == '\'') {
      quote = character;
      continue;
    }
    const char lower = static_cast<char>(character | 0x20);
    if (lower < 'a' || lower > 'z') continue;
    std::size_t run = 1;
    while (index + run < format.size() && (format[index + run] | 0x20) == lower) ++run;
    const bool digits = lower == 'y' || lower == 'h' || lower == 'n' || lower == 's' || lower == 'z' ||
                        ((lower == 'm' || lower == 'd') && run <= 2);
    if (!digits) return false;
    index += run - 1;
  }
  return quote == '\0';
}

// Number shapes told apart: integer digits below 64, decimals below 32, the sign.
constexpr std::size_t kShapeIntegerDigits = 64;
constexpr std::size_t kShapeDecimals = 32;
constexpr std::size_t kShapes = 2 * kShapeIntegerDigits * kShapeDecimals;

// True when no character of a number column's display form is wider than a
// digit: its format and separators hold only digits' places, points, commas,
// blanks, apostrophes and the minus sign, so a text of n characters takes at
// most n digit widths.
bool ShowsNarrowNumbers(const TTabuloColumn& column) {
  if (column.ColumnType > ctCurrency || column.PlainNumber) return false;
  const TFormatSettings& settings = column.Locale != nullptr ? *column.Locale : FormatSettings();
  const auto narrow = [](std::string_view text) {
    return text.find_first_not_of("0#.,;- '") == std::string_view::npos;
  };
  return !column.Format.empty() && narrow(column.Format) && narrow(settings.DecimalSeparator) &&
         narrow(settings.ThousandSeparator);
}

// True when a narrow number format shows the same characters for every
// value of one shape: a fixed count of decimals (no "#" after the point) and
// no section for zero, whose text could be narrower than the others.
bool ShowsFixedShapes(const TTabuloColumn& column) {
  const std::string_view format = column.Format;
  if (std::count(format.begin(), format.end(), ';') > 1) return false;
  bool after_point = false;
  for (const char character : format) {
    if (character == ';') after_point = false;
    if (character == '.') after_point = true;
    if (character == '#' && after_point) return false;
  }
  return true;
}

// The shape of a plain server number ("-1250.5": negative, four integer
// digits, one decimal) as one key; false for a value that rounding could
// give another shape or a narrower text: all nines before the point
// (9.999 may show as 10.00) and no digit before it (-0.001 may show as 0.00).
bool NumberShape(std::string_view text, std::size_t& key) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  const std::size_t point = std::min(text.find('.'), text.size());
  std::string_view integer = text.substr(0, point);
  while (!integer.empty() && integer[0] == '0') integer.remove_prefix(1);
  const std::size_t decimals = point < text.size() ? text.size() - point - 1 : 0;
  if (integer.empty() || integer.find_first_not_of('9') == std::string_view::npos) return false;
  if (integer.size() >= kShapeIntegerDigits || decimals >= kShapeDecimals) return false;
  key = ((negative ? 1 : 0) * kShapeIntegerDigits + integer.size()) * kShapeDecimals + decimals;
  return true;
}

}  // namespace

void TTabuloWorkbook::TSheetRun::RegisterXFs() {
  const int count = columns_.Count();
  formats_.clear();
  for (int column = 0; column < count; ++column) formats_.push_back(CellFormatOf(columns_[column]));
  const int strips = sheet_.StripStyles.Count();
  const TxlsStripType strip_type = strips > 0 ? sheet_.StripType : ssNone;
  field_xfs_.assign(static_cast<std::size_t>(count), kDefaultXF);
  strip_xfs_.clear();
  // A column with a style of its own keeps it under strips too; the strips
  // style the other columns.
  for (int column = 0; column < count; ++column) {
    const int format_index = sheet_.FieldFormats.IndexOf(columns_[column].Name);
    if (strip_type != ssNone && format_index < 0) continue;
    const TxlsFormat* style = format_index >= 0 ? &sheet_.FieldFormats[format_index] : nullptr;
    writer_.Pools().AddFieldXF(index_, columns_[column].Name, XF(formats_[column], style));
  }
  if (strip_type != ssNone) {
    const int strip_rows = strip_type == ssRow ? strips : 1;
    for (int strip = 0; strip < strip_rows; ++strip) {
      for (int column = 0; column < count; ++column) {
        const int style = strip_type == ssCol ? column % strips : strip;
        writer_.Pools().AddStripXF(index_, column + kStripKeyStride * strip,
                                   XF(formats_[column], &sheet_.StripStyles[style]));
      }
    }
  }
  // Cell formats per column and strip, looked up once rather than per cell.
  for (int column = 0; column < count; ++column) {
    field_xfs_[column] = writer_.Pools().FieldXF(index_, columns_[column].Name);
  }
  if (strip_type != ssNone) {
    const int strip_rows = strip_type == ssRow ? strips : 1;
    strip_xfs_.assign(static_cast<std::size_t>(strip_rows), std::vector<std::uint16_t>(count, kDefaultXF));
    for (int strip = 0; strip < strip_rows; ++strip) {
      for (int column = 0; column < count; ++column) {
        strip_xfs_[strip][column] = writer_.Pools().StripXF(index_, column + kStripKeyStride * strip);
      }
    }
  }
}

void TTabuloWorkbook::TSheetRun::StartPart() {
  std::vector<int>& widths = part_widths_;
  widths.clear();
  for (const auto& column : columns_) widths.push_back(column->Width);
  const std::string suffix = part_ == 1 ? "" : " (" + std::to_string(part_) + ")";
  writer_.BeginSheet(SheetName(sheet_.Title, suffix), sheet_.Options.PageHeader, sheet_.Options.PageFooter,
                     sheet_.StartDataCol, widths);
  row_count_ = 0;
}

void TTabuloWorkbook::TSheetRun::EndPart() {
  // Rows past those the width pass read may have widened columns.
  sheet_.Widths().Apply(columns_);
  bool widened = false;
  for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
    widened = widened || columns_[column_index].Width != part_widths_[static_cast<std::size_t>(column_index)];
    part_widths_[static_cast<std::size_t>(column_index)] = columns_[column_index].Width;
  }
  if (widened) writer_.WidenColumns(part_widths_);
  writer_.EndSheet(row_count_, col_count_);
}

void TTabuloWorkbook::TSheetRun::MeasureCell(int column_index, const TCellValue& value) {
  const TTabuloColumn& column = columns_[column_index];
  TSheetWidths& widths = sheet_.Widths();
  if (value.IsNull()) {
    widths.Measure(column_index, sheet_.Formats.NullString());
    return;
  }
  // A plain integer shows the source's digits and sign, none of them wider
  // than a digit: most values of a column need no text to tell.
  const bool plain_integer = value.Kind == ckInteger && column.PlainNumber &&
                             (column.ColumnType == ctInteger || column.ColumnType == ctLargeInt);
  if (plain_integer && !widths.MayWidenTo(column_index, value.Text.size())) return;
  // A moment no longer than the longest measured of a digits-only column is
  // no wider; its bound depends only on the digits of its fraction.
  TMomentMeasure* moment =
      value.Kind == ckMoment ? &moment_measures_[static_cast<std::size_t>(column_index)] : nullptr;
  if (moment != nullptr && moment->DigitsOnly) {
    if (moment->FractionDigits != value.Fraction.size() || moment->Bound == 0) {
      moment->FractionDigits = value.Fraction.size();
      if (!column.ValueLengthBound(value, moment->Bound)) moment->Bound = 0;
    }
    if (moment->Bound > 0 && moment->Bound <= moment->Longest) return;
  }
  // A number of a shape measured before shows the same characters in the
  // same places, and so takes the same width.
  std::vector<bool>& shapes = number_shapes_[static_cast<std::size_t>(column_index)];
  std::size_t shape = 0;
  const bool shaped = !shapes.empty() && IsPlainServerNumber(value, column) && NumberShape(value.Text, shape);
  if (shaped && shapes[shape]) return;
  std::size_t bound = 0;
  if (!plain_integer && moment == nullptr && column.ValueLengthBound(value, bound) &&
      !(narrow_numbers_[static_cast<std::size_t>(column_index)] ? widths.MayWidenTo(column_index, bound)
                                                                : widths.MayWiden(column_index, bound))) {
    // Its shape is no wider than the column either.
    if (shaped) shapes[shape] = true;
    return;
  }
  text_.clear();
  column.AppendShownText(value, text_);
  widths.Measure(column_index, text_);
  if (moment != nullptr) moment->Longest = std::max(moment->Longest, text_.size());
  if (shaped) shapes[shape] = true;
}

void TTabuloWorkbook::TSheetRun::EnsureRowRoom() {
  if (row_count_ < writer_.MaxSheetRows()) return;
  EndPart();
  ++part_;
  StartPart();
  if (in_data_) {
    if (sheet_.AllowCaptions) CaptionRow();
    first_data_row_ = row_count_;
  }
}

void TTabuloWorkbook::TSheetRun::TextBlock(const TStringList& lines, int rows, const TxlsFormat& style,
                                      const TxlsCellTextEvent& event) {
  const int count = rows > 0 ? rows : lines.Count();
  for (int line_number = 0; line_number < count; ++line_number) {
    EnsureRowRoom();
    std::string line = line_number < lines.Count() ? lines[line_number] : "";
    if (!line.empty() && line.back() != '\t') line += '\t';
    // The header and footer blocks reach over every column of the worksheet.
    for (int column = 0; column < writer_.MaxSheetColumns(); ++column) {
      std::string text = TabField(line, column);
      TxlsFormat cell_style = style;
      if (event) event(sheet_, index_, column, row_count_, cell_style, text);
      if (!text.empty()) StringCell(column, XF("General", &cell_style), text);
    }
    ++row_count_;
  }
}

void TTabuloWorkbook::TSheetRun::BeforeDataCells() {
  if (!owner_.OnGetBeforeDataParams) return;
  for (int column = 0; column < sheet_.StartDataCol; ++column) {
    TxlsFormat style = sheet_.Options.DataFormat;
    std::string text;
    owner_.OnGetBeforeDataParams(sheet_, index_, column, row_count_, style, text);
    if (!text.empty()) StringCell(column, XF("General", &style), text);
  }
}

void TTabuloWorkbook::TSheetRun::CaptionRow() {
  EnsureRowRoom();
  BeforeDataCells();
  for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
    TxlsFormat style = sheet_.Options.CaptionsFormat;
    std::string caption = columns_[column_index].Caption;
    if (owner_.OnGetCaptionParams) {
      owner_.OnGetCaptionParams(sheet_, index_, DataColumn(column_index), style, caption);
    }
    if (caption.empty()) continue;
    StringCell(DataColumn(column_index), style.IsDefault() ? kDefaultXF : XF("General", &style), caption);
  }
  ++row_count_;
}

void TTabuloWorkbook::TSheetRun::FillRow() {
  for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
    columns_[column_index].Field->GetValue(row_[column_index].Value);
  }
  if (owner_.OnBeforeExportRow || owner_.OnAdvancedBeforeExportRow) row_.GiveTexts(columns_);
}

std::uint16_t TTabuloWorkbook::TSheetRun::DataCellXF(int column_index) {
  std::uint16_t xf = field_xfs_[column_index];
  if (xf == kDefaultXF && !strip_xfs_.empty()) {
    const int strip = sheet_.StripType == ssRow ? record_counter_ % static_cast<int>(strip_xfs_.size()) : 0;
    xf = strip_xfs_[strip][column_index];
  }
  if (!owner_.OnGetDataParams) return xf;
  TxlsFormat style;
  std::string format_text;
  if (const TxlsXFormat* pooled = xf == kDefaultXF ? nullptr : writer_.Pools().FindXF(xf)) {
    style.Font = pooled->Font != nullptr ? *pooled->Font : sheet_.Options.DataFormat.Font;
    style.Borders = pooled->Borders;
    style.Fill = pooled->Fill;
    style.Alignment = pooled->Alignment;
    style.Wrap = pooled->Wrap;
    if (pooled->TextFormat != nullptr) format_text = pooled->TextFormat->Format;
  } else {
    style = sheet_.Options.DataFormat;
    format_text = "General";
  }
  owner_.OnGetDataParams(sheet_, index_, DataColumn(column_index), row_count_, style, format_text);
  if (format_text.empty()) format_text = formats_[column_index];
  return XF(format_text, &style);
}

void TTabuloWorkbook::TSheetRun::DataCell(int column_index, const TCellValue& value) {
  const TTabuloColumn& column = columns_[column_index];
  const int cell_column = DataColumn(column_index);
  const std::uint16_t xf = DataCellXF(column_index);
  // Text given in place of a value (a handler's, a text-only source's) is
  // read in the locale's form.
  const bool given = value.Kind == ckText;
  if (value.IsNull() || ((given || value.Kind == ckBytes) && value.Text.empty())) {
    writer_.WriteBlankCell(row_count_, cell_column, xf);
    return;
  }
  if (given && value.Text == sheet_.Formats.NullString()) {
    StringCell(cell_column, xf, value.Text);
    return;
  }
  switch (column.ColumnType) {
    case ctInteger:
    case ctLargeInt:
    case ctFloat:
    case ctCurrency:
      NumberCell(column_index, xf, value);
      return;
    case ctDate:
    case ctTime:
    case ctDateTime:
      MomentCell(column_index, xf, value);
      return;
    case ctString:
      StringCell(cell_column, xf, value.Text);
      return;
    case ctBoolean: {
      // Given text is true as the text form of true or as the export's text for it.
      const bool truth = value.Kind == ckBoolean ? value.Truth
                                                 : SameText(value.Text, "True") ||
                                                       SameText(value.Text, sheet_.Formats.BooleanTrue());
      writer_.WriteBooleanCell(row_count_, cell_column, xf, truth);
      return;
    }
    case ctUnknown:
      return;
  }
}

void TTabuloWorkbook::TSheetRun::NumberCell(int column_index, std::uint16_t xf, const TCellValue& value) {
  const TTabuloColumn& column = columns_[column_index];
  double number = 0;
  bool exact = true;
  bool read = false;
  if (value.Kind == ckText) {
    read = ReadCellNumber(value.Text, number, exact);
  } else if (IsPlainServerNumber(value, column)) {
    // The server's plain digits are the number's C form already.
    read = ReadDecimalNumber(value.Text, number, exact);
  } else {
    read = ReadDecimalNumber(column.NumberText(value), number, exact);
  }
  if (!read) number = 0;
  if (!exact) {
    // A number a double cannot carry keeps every digit as text.
    text_.clear();
    column.AppendTextForm(value, text_);
    StringCell(DataColumn(column_index), xf, text_);
    return;
  }
  writer_.WriteNumberCell(row_count_, DataColumn(column_index), xf, number);
  stats_[column_index].Add(number);
}

void TTabuloWorkbook::TSheetRun::MomentCell(int column_index, std::uint16_t xf, const TCellValue& value) {
  const TTabuloColumn& column = columns_[column_index];
  TDateTime moment = value.Moment;
  std::string_view fraction = value.Fraction;
  bool readable = value.Kind == ckMoment;
  if (value.Kind == ckText && TryStrToDateTime(value.Text, moment)) {
    readable = true;
    fraction = SecondsFraction(value.Text);
  }
  double serial = 0;
  if (readable && SpreadsheetSerial(MicroMomentOf(moment, fraction), serial)) {
    writer_.WriteNumberCell(row_count_, DataColumn(column_index), xf, serial);
    stats_[column_index].Add(serial);
  } else if (readable) {
    // A time of day, or a moment before the spreadsheet's calendar: its text
    // in the column's display form, every digit of its fraction included.
    text_.clear();
    column.AppendShownText(value, text_);
    StringCell(DataColumn(column_index), xf, text_);
  } else {
    StringCell(DataColumn(column_index), xf, value.Text);
  }
}

void TTabuloWorkbook::TSheetRun::DataRow() {
  BeforeDataCells();
  const bool handlers = owner_.OnGetExportText || owner_.OnAdvancedGetExportText;
  const bool measured = record_counter_ >= sheet_.Widths().MeasuredRecords;
  for (int column_index = 0; column_index < row_.Count(); ++column_index) {
    const TTabuloCol& cell = row_[column_index];
    if (measured) MeasureCell(column_index, cell.Value);
    if (!handlers) {
      DataCell(column_index, cell.Value);
      continue;
    }
    // The handlers get the text form and may rewrite it; the cell is then
    // their text.
    text_.clear();
    if (!cell.Value.IsNull()) columns_[column_index].AppendTextForm(cell.Value, text_);
    if (owner_.OnGetExportText) owner_.OnGetExportText(owner_, column_index, text_);
    if (owner_.OnAdvancedGetExportText) owner_.OnAdvancedGetExportText(sheet_, index_, column_index, text_);
    given_text_ = text_;
    // A NULL the handlers left empty stays NULL.
    DataCell(column_index, cell.Value.IsNull() && given_text_.empty() ? cell.Value
                                                                      : cell.Value.GivenAs(given_text_));
  }
  ++row_count_;
  ++data_rows_;
}

void TTabuloWorkbook::TSheetRun::AggregateRow() {
  std::vector<const TxlsFieldFormat*> marks(static_cast<std::size_t>(columns_.Count()), nullptr);
  bool any = false;
  for (int item = 0; item < sheet_.FieldFormats.Count(); ++item) {
    const TxlsFieldFormat& format = sheet_.FieldFormats[item];
    if (format.Aggregate == aggNone) continue;
    for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
      if (SameText(columns_[column_index].Name, format.FieldName)) {
        marks[column_index] = &format;
        any = true;
      }
    }
  }
  if (!any) return;
  in_data_ = false;
  EnsureRowRoom();
  // A formula covers only the rows of its own sheet: after a continuation
  // the cell holds the value computed over every data row instead.
  const bool formula = data_rows_ > 0 && part_ == data_part_;
  bool written = false;
  for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
    TxlsFormat style = sheet_.Options.AggregateFormat;
    std::string value;
    if (const TxlsFieldFormat* mark = marks[column_index]) {
      std::string format_text = formats_[column_index];
      if (owner_.OnGetAggregateParams) {
        owner_.OnGetAggregateParams(sheet_, index_, column_index, style, format_text, value);
      }
      if (format_text.empty()) format_text = "General";
      const std::uint16_t xf =
          format_text == "General" && style.IsDefault() ? kDefaultXF : XF(format_text, &style);
      const TFormulaResult result = stats_[column_index].Result(mark->Aggregate);
      if (data_rows_ == 0) {
        writer_.WriteBlankCell(row_count_, DataColumn(column_index), xf);
      } else if (formula) {
        writer_.WriteAggregateCell(row_count_, DataColumn(column_index), first_data_row_, row_count_ - 1,
                                   mark->Aggregate, xf, result);
      } else if (result.DivisionByZero) {
        writer_.WriteBlankCell(row_count_, DataColumn(column_index), xf);
      } else {
        writer_.WriteNumberCell(row_count_, DataColumn(column_index), xf, result.Value);
      }
      written = true;
    } else if (owner_.OnGetAggregateParams) {
      std::string format_text = "General";
      owner_.OnGetAggregateParams(sheet_, index_, column_index, style, format_text, value);
      if (!value.empty()) {
        StringCell(DataColumn(column_index), XF("General", &style), value);
        written = true;
      }
    }
  }
  if (written) ++row_count_;
}

void TTabuloWorkbook::TSheetRun::LeadingRows() {
  TextBlock(sheet_.Header, sheet_.HeaderRows, sheet_.Options.HeaderFormat, owner_.OnGetHeaderParams);
  if (!owner_.Aborted() && sheet_.AllowCaptions) CaptionRow();
}

void TTabuloWorkbook::TSheetRun::WalkStarted() {
  // The data block begins after the leading rows; a continuation sheet
  // repeats the caption row above its part of it.
  in_data_ = true;
  data_part_ = part_;
  first_data_row_ = row_count_;
  owner_.PartRecordsStart();
}

bool TTabuloWorkbook::TSheetRun::AcceptRow(TTabuloRow& row) {
  bool accept = true;
  if (owner_.OnAdvancedBeforeExportRow) owner_.OnAdvancedBeforeExportRow(owner_, index_, row, accept);
  return accept;
}

void TTabuloWorkbook::TSheetRun::RecordExported(int record_number) {
  if (owner_.OnAdvancedExportedRecord) owner_.OnAdvancedExportedRecord(owner_, index_, record_number);
}

bool TTabuloWorkbook::TSheetRun::Run() {
  RegisterXFs();
  stats_.assign(static_cast<std::size_t>(columns_.Count()), TAggregateStats());
  moment_measures_.assign(static_cast<std::size_t>(columns_.Count()), TMomentMeasure());
  narrow_numbers_.clear();
  number_shapes_.assign(static_cast<std::size_t>(columns_.Count()), std::vector<bool>());
  for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
    moment_measures_[static_cast<std::size_t>(column_index)].DigitsOnly =
        ShowsDigitsOnly(columns_[column_index]);
    narrow_numbers_.push_back(ShowsNarrowNumbers(columns_[column_index]));
    number_shapes_[static_cast<std::size_t>(column_index)].assign(
        narrow_numbers_.back() && ShowsFixedShapes(columns_[column_index]) ? kShapes : 0, false);
  }
  row_.Clear();
  for (int column_index = 0; column_index < columns_.Count(); ++column_index) {
    row_.Add(columns_[column_index].Name, column_index);
  }
  col_count_ = columns_.Count() + sheet_.StartDataCol;
  StartPart();
  const bool completed = owner_.RunRecordLoop(sheet_.DataSet, sheet_.RecordWindow(), *this, record_counter_);
  if (completed) {
    AggregateRow();
    TextBlock(sheet_.Footer, sheet_.FooterRows, sheet_.Options.FooterFormat, owner_.OnGetFooterParams);
  }
  EndPart();
  return completed;
}

}  // namespace velmora
