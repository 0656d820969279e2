#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cell_value.h"
#include "engine/dataset.h"
#include "engine/record_window.h"
#include "engine/string_list.h"
#include "engine/text_forms.h"
#include "platform/locale_settings.h"
#include "platform/seconds_fraction.h"
#include "platform/value_format.h"

namespace velmora {

class TTabulo;

enum TTabuloColAlign { ecaLeft, ecaCenter, ecaRight };

// The engine's own classification of a field.
enum TTabuloColType {
  ctInteger,
  ctLargeInt,
  ctFloat,
  ctCurrency,
  ctDate,
  ctTime,
  ctDateTime,
  ctString,
  ctBoolean,
  ctUnknown
};

// "Integer", "Float", ... as the program spells the column type for display.
const char* ColumnTypeName(TTabuloColType type);
TTabuloColType ColumnTypeOf(TFieldType field_type);
// "CHAR(%d)", "INTEGER", "DOUBLE PRECISION", "DATE", "BLOB" or "UNKNOWN".
std::string SqlTypeNameOf(TFieldType field_type, int size);

// How a format that writes text shows the bytes of a binary column: "0x" and
// hexadecimal digits, base64, or the bytes as they are.
enum TBinaryForm { bfHex, bfBase64, bfRaw };

// Everything a format needs to lay out one exported field.
class TTabuloColumn {
 public:
  int FieldIndex = -1;
  TField* Field = nullptr;
  TTabuloColType ColumnType = ctUnknown;
  std::string Name;
  std::string Caption;
  // In characters: the cells of a monospaced font (see DisplayCells).
  int Width = 0;
  // True when the template's WIDTH section gave Width: the width pass then
  // keeps it, unless the export widens every column to its values.
  bool WidthGiven = false;
  // What the width pass measured, in cells: the caption, and the widest value
  // (display and text form; the null text for NULL) among the records it read.
  int CaptionCells = 0;
  int ContentCells = 0;
  TTabuloColAlign Align = ecaLeft;
  std::string Format;  // display format
  std::string SQLType;
  int Length = 0;          // string columns only
  bool IsNumeric = false;  // numbers, dates and times
  bool IsNumber = false;   // numbers only
  bool IsString = false;
  bool IsBlob = false;
  bool IsMemo = false;
  bool Visible = true;
  // A number column of a machine-read export without a format of the
  // template's own: its display form is the plain number (AppendPlainNumber with
  // the locale's decimal separator), not Format.
  bool PlainNumber = false;
  TFieldValueKind ValueKind = vkPlain;  // the field's: years, bit fields and binary data
  // The form of the values of a binary column; always bfRaw for other columns.
  TBinaryForm BinaryForm = bfRaw;

  // The settings the column's values print with: the export's locale, or
  // those in force for the run when null. They must outlive the column.
  const TFormatSettings* Locale = nullptr;

  // The one place where a value becomes text (engine/column_text.cpp). value
  // is the current value of the column's field; a value given as text (ckText
  // in a column of another type: a data set that knows text only, a row a
  // handler rewrote) is read in the locale's form first.
  //
  // Appends the text form: what TTextForms gives in the column's locale.
  void AppendTextForm(const TCellValue& value, std::string& out) const;
  // Appends the display form: numbers through the number format (or as plain
  // numbers, see PlainNumber), moments through the date-time format, binary
  // values in BinaryForm, every other value as its text form. A date with no
  // moment goes out as the source wrote it; a time beyond the clock as that
  // duration, its fraction behind the locale's decimal separator. Raises for
  // float, currency, date and time text that cannot be read.
  void AppendDisplayText(const TCellValue& value, std::string& out) const;
  // True for the types whose cells show the display form rather than the
  // text form: numbers, dates and times.
  bool ShowsDisplayForm() const {
    return ColumnType != ctString && ColumnType != ctBoolean && ColumnType != ctUnknown;
  }
  // Appends the text a cell of the column shows, as the width pass measures
  // it: the display form (ShowsDisplayForm), else the binary form or the text
  // form. A value without a display form fails its row when it is written;
  // here it gives its text form, the most that can be measured of it.
  void AppendShownText(const TCellValue& value, std::string& out) const;
  // Appends the value of a number column as a plain number for programs to
  // read: every digit as the value has it, no grouping, no rounding,
  // decimal_separator as the decimal point, an exponent as "E" ("1.5E300").
  // Integer text that is no integer gives "0", as its display form does;
  // float and currency text that is no number raises as the display form
  // does. Returns false (appends nothing) for other column types.
  bool AppendPlainNumber(const TCellValue& value, std::string_view decimal_separator, std::string& out) const;
  // The number of a number column's value as C-form decimal text ("-12.50",
  // "1.5e300"), every digit kept: integer text that is no integer gives "0";
  // float and currency text that is no number raises as the display form
  // does. Valid until the column is asked again.
  std::string_view NumberText(const TCellValue& value) const;
  // Appends bytes in BinaryForm (nothing for no bytes); false, nothing
  // appended, for raw bytes and for columns that are not binary.
  bool AppendBinary(std::string_view bytes, std::string& out) const;
  // The most characters value takes, as its text form and (for the types that
  // have one) as its display form, found without making either; false when
  // that cannot be told so.
  bool ValueLengthBound(const TCellValue& value, std::size_t& bound) const;

 private:
  const TFormatSettings& LocaleSettings() const { return Locale != nullptr ? *Locale : FormatSettings(); }
  const TTextForms& TextForms() const;
  // Compiles the formats from Format on first use and when Format changed.
  void CompileFormat() const;
  // The integer of a number column's value as integer text (its text form).
  std::string_view IntegerText(const TCellValue& value) const;
  // The number of a float or currency column's value as C-form decimal text.
  std::string_view DecimalText(const TCellValue& value) const;
  void AppendNumberDisplay(const TCellValue& value, std::string& out) const;
  void AppendMomentDisplay(const TCellValue& value, std::string& out) const;
  // A time beyond the clock, the fraction's point as the locale's decimal
  // separator; raises for text that is no such duration.
  void AppendDuration(std::string_view text, std::string& out) const;
  // Appends a moment in its display form, with the fraction's digits where the
  // default formats show them.
  void AppendMoment(TDateTime value, std::string_view fraction, std::string& out) const;

  mutable std::string compiled_for_;
  mutable std::optional<TNumberFormat> number_format_;
  mutable std::optional<TDateTimeFormat> date_time_format_;
  // The default time and date-time formats show fractions of seconds that the
  // value carries.
  mutable std::optional<TFractionDateTimeFormat> fraction_format_;
  mutable std::optional<TTextForms> text_forms_;
  mutable std::string number_text_;  // a number of the value as text
};

// The length of the text of byte_count bytes in form: two digits per byte
// after "0x", or four characters per three bytes; the count itself for raw.
std::size_t BinaryTextLength(TBinaryForm form, std::size_t byte_count);

// The exporter's settings the column model reads, taken for one export; a list
// the exporter's class does not publish counts as absent (null).
struct TColumnSettings {
  const TStringList* ExportedFields = nullptr;
  TDataSet* DataSet = nullptr;
  bool OnlyVisibleFields = false;
  const class TTabuloFormats* Formats = nullptr;
  const TStringList* UserFormats = nullptr;
  const TStringList* ColumnsWidth = nullptr;
  const TStringList* Captions = nullptr;
  const TStringList* ColumnsAlign = nullptr;
  TRecordWindow Window;
  bool MachineReadDefaults = false;  // see TTabulo::MachineReadDefaults
  bool EveryColumn = false;          // see TTabulo::ExportsEveryColumn
  TBinaryForm BinaryForm = bfRaw;    // the form of binary columns' values
  const TFormatSettings* Locale = nullptr;  // see TTabuloColumn::Locale
  std::function<void(int counter)> OnFetchedRecord;
  // Called by the width pass with every value's display text (or the null
  // text) and its column's index, for a format that measures text in its own
  // units (a proportional font); null when the format needs cells only.
  std::function<void(int column, std::string_view text)> OnMeasureValue;
};

// How the width pass turns what it measured into widths.
struct TWidthRule {
  // The widest a column gets from its values, in cells; 0 for no limit. The
  // caption is never cut: a column is at least as wide as it.
  int Cap = 0;
  // Every column becomes at least as wide as its caption and values, one
  // with a WIDTH entry too (the template asked for widths from the data);
  // otherwise a WIDTH entry is kept as given.
  bool WidenGiven = false;
  // Read only the records the data set can still return to (the first rows
  // of a streamed result that it keeps); a stored result is read whole.
  bool WithinKeptRows = false;
};

class TTabuloColumns {
 public:
  int Count() const { return static_cast<int>(columns_.size()); }
  TTabuloColumn& operator[](int index) { return *columns_.at(static_cast<std::size_t>(index)); }
  const TTabuloColumn& operator[](int index) const { return *columns_.at(static_cast<std::size_t>(index)); }
  auto begin() const { return columns_.begin(); }
  auto end() const { return columns_.end(); }
  void Clear() { columns_.clear(); }
  TTabuloColumn& Add();

  // Builds the column list from the data set (binary BLOB fields only when
  // named in ExportedFields, unless EveryColumn).
  void Build(const TColumnSettings& settings);
  // The fields the last Build left out because of their kind alone: binary
  // large objects (spatial values among them) that ExportedFields did not name.
  const std::vector<const TField*>& LeftOut() const { return left_out_; }
  // Measures every column's caption and its values (raw and in their display
  // form) in the records the export will pass: from the first record, or
  // from the current one when the export does not move to the first, after
  // the skipped ones. Then sets each width as rule says: a column without a
  // WIDTH entry as wide as its caption and widest value (the value part
  // capped), one with an entry as given or widened. The data set's position
  // is kept.
  void ColumnWidthPass(const TColumnSettings& settings, const TWidthRule& rule);

 private:
  // The fields Build makes columns of, in column order; the binary large
  // objects it leaves out for their kind go to left_out_.
  std::vector<TField*> ChooseFields(const TColumnSettings& settings);
  // Adds the column of one field with the settings that name it or its type.
  void AddColumn(TField& field, const TColumnSettings& settings);
  // Measures every column's value in the current record; text is scratch space.
  void MeasureCurrentRecord(const TColumnSettings& settings, const std::string& null_text, TCellValue& value,
                            std::string& text);

  std::vector<std::unique_ptr<TTabuloColumn>> columns_;
  std::vector<const TField*> left_out_;
};

}  // namespace velmora
