#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dataset.h"
#include "engine/record_window.h"
#include "engine/string_list.h"
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
  int Width = 0;
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
  // template's own: its display form is the plain number (PlainNumberText with
  // the locale's decimal separator), not Format.
  bool PlainNumber = false;
  TFieldValueKind ValueKind = vkPlain;  // the field's: years, bit fields and binary data
  // The form of the values of a binary column; always bfRaw for other columns.
  TBinaryForm BinaryForm = bfRaw;

  // Replaces the bytes of a binary column by their text in BinaryForm
  // (nothing for no bytes). False, text unchanged, for other columns and for
  // raw bytes.
  bool FormatBinary(std::string& text) const;

  // Replaces text (the field's text) by its display form: numbers through the
  // number format, dates and times through the date-time format. Returns false
  // for the types whose text is passed through unchanged and unescaped (boolean,
  // unknown). Raises for float, currency, date and time text that cannot be read.
  bool FormatText(std::string& text) const;
  // Appends the value of a number column, given as the field's text, as a plain
  // number for programs to read: every digit as the value has it, no grouping,
  // no rounding, decimal_separator as the decimal point, an exponent as "E"
  // ("1.5E300"). Text of an integer column that is no integer gives "0", as its
  // display form does; float and currency text that is no number raises as
  // FormatText does. Returns false (appends nothing) for other column types.
  bool PlainNumberText(std::string_view text, std::string_view decimal_separator, std::string& out) const;
  // Stores in text the display form of the field's current value read straight
  // from the field (dates, times and fractional numbers it can give so): the
  // text GetText and then FormatText would give, without the text form in
  // between. False, text unchanged, when the field gives no such value.
  bool FormatFieldValue(std::string& text) const;
  // The most characters the field's current value takes, as its text form
  // and (for the types that have one) as its display form, found without
  // making either; false when the field or the format cannot tell.
  bool ValueLengthBound(std::size_t& bound) const;

 private:
  // Compiles the formats from Format on first use and when Format changed.
  void CompileFormat() const;
  // Appends the date, time or date-time text in its display form to scratch_.
  void FormatMoment(const std::string& text) const;
  // Appends a moment in its display form to scratch_, with the fraction's
  // digits where the default formats show them.
  void AppendMoment(TDateTime value, std::string_view fraction) const;

  mutable std::string compiled_for_;
  mutable std::optional<TNumberFormat> number_format_;
  mutable std::optional<TDateTimeFormat> date_time_format_;
  // The default time and date-time formats show fractions of seconds that the
  // text carries.
  mutable std::optional<TFractionDateTimeFormat> fraction_format_;
  mutable std::string scratch_;
  mutable std::string decimal_text_;  // a float value read from the field's text
};

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
  std::function<void(int counter)> OnFetchedRecord;
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
  // Widens every column to its caption and to the longest value (raw and in its
  // display form) of the records the export will pass: from the first record,
  // or from the current one when the export does not move to the first, after
  // the skipped ones. The data set's position is kept.
  void ColumnWidthPass(const TColumnSettings& settings);

 private:
  // The fields Build makes columns of, in column order; the binary large
  // objects it leaves out for their kind go to left_out_.
  std::vector<TField*> ChooseFields(const TColumnSettings& settings);
  // Adds the column of one field with the settings that name it or its type.
  void AddColumn(TField& field, const TColumnSettings& settings);
  // Widens every column to its value in the current record; text is scratch space.
  void WidenToCurrentRecord(const std::string& null_text, std::string& text);

  std::vector<std::unique_ptr<TTabuloColumn>> columns_;
  std::vector<const TField*> left_out_;
};

}  // namespace velmora
