#include "formats/dbf/tabulo_dbf.h"

#include <algorithm>
#include <ctime>

#include "platform/decimal_number.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_file_set.h"
#include "platform/text_utils.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr int kFloatLength = 15;
constexpr int kFloatDecimals = 4;

// The field of a column before offsets and measured lengths; type 0 for a
// column that gets no field (binary data).
TDBFField FieldOf(const TTabuloColumn& column) {
  TDBFField field;
  if (column.IsMemo) {
    field.Type = 'M';
    field.Length = 10;
  } else if (column.IsBlob) {
    field.Type = 0;
  } else {
    switch (column.ColumnType) {
      case ctInteger:
        field = {"", 'N', 0, 11, 0, -1};
        break;
      case ctLargeInt:
        field = {"", 'N', 0, 20, 0, -1};
        break;
      case ctFloat:
      case ctCurrency:
        field = {"", 'N', 0, kFloatLength, kFloatDecimals, -1};
        break;
      case ctDate:
      case ctDateTime:
        field = {"", 'D', 0, 8, 0, -1};
        break;
      case ctBoolean:
        field = {"", 'L', 0, 1, 0, -1};
        break;
      case ctString:
        // At least one byte: a field of length 0 is no field to readers.
        field = {"", 'C', 0, std::max(column.Length, 1), 0, -1};
        break;
      case ctTime:
        // A time as its text: "12:34:56", or a duration beyond the clock.
        field = {"", 'C', 0, 8, 0, -1};
        break;
      case ctUnknown:
        field = {"", 'C', 0, 10, 0, -1};
        break;
    }
  }
  return field;
}

// Appends digits ("0" when none) and the C-form fixed text of a rounded number.
void AppendFixed(const TDecimalNumber& number, int decimals, std::string& out) {
  if (number.Negative() && !number.IsZero()) out.push_back('-');
  const int integer_digits = number.Exponent();
  if (integer_digits <= 0) {
    out.push_back('0');
  } else {
    for (int index = 0; index < integer_digits; ++index) out.push_back(number.Digit(index));
  }
  if (decimals <= 0) return;
  out.push_back('.');
  for (int index = 0; index < decimals; ++index) out.push_back(number.Digit(integer_digits + index));
}

void AppendRightAligned(std::string& record, std::string_view text, int length) {
  record.append(static_cast<std::size_t>(length) - text.size(), ' ');
  record.append(text);
}

[[noreturn]] void ThrowTooWide(const std::string& text, const TDBFField& field) {
  throw EVelmoraError(Format("Value %s does not fit in field %s of %d characters", text.c_str(),
                             field.Name.c_str(), field.Length));
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

TTabuloWriterClass TTabuloDBF::GetWriterClass() const { return &CreateWriterOf<TTabuloDBFWriter>; }

TTabuloDBFWriter& TTabuloDBF::DBFWriter() const { return static_cast<TTabuloDBFWriter&>(Writer()); }

std::vector<TDBFField> TTabuloDBF::BuildFields() {
  std::vector<TDBFField> fields;
  std::vector<std::string> names;
  for (int index = 0; index < Columns().Count(); ++index) {
    TDBFField field = FieldOf(Columns()[index]);
    if (field.Type == 0) continue;
    field.ColumnIndex = index;
    fields.push_back(field);
    names.push_back(Columns()[index].Name);
  }
  const std::vector<std::string> mapped = DBFFieldNames(names);
  for (std::size_t index = 0; index < fields.size(); ++index) fields[index].Name = mapped[index];

  // Character fields grow to the longest value in bytes, up to the limit.
  const bool sized = std::any_of(fields.begin(), fields.end(), [](const TDBFField& f) { return f.Type == 'C'; });
  if (sized && ExportSource == esDataSet && DataSet != nullptr) {
    ReadWindowAhead(
        *DataSet, RecordWindow(),
        [&] {
          for (TDBFField& field : fields) {
            if (field.Type != 'C' || field.Length >= kDBFMaxCharacterLength) continue;
            const TTabuloColumn& column = Columns()[field.ColumnIndex];
            column.Field->GetValue(cell_);
            if (cell_.IsNull()) continue;
            value_.clear();
            const std::size_t bytes = column.AppendBinary(cell_.Text, value_) ? value_.size() : cell_.Text.size();
            field.Length = static_cast<int>(std::min<std::size_t>(
                std::max<std::size_t>(static_cast<std::size_t>(field.Length), bytes),
                kDBFMaxCharacterLength));
          }
        },
        [](int) {});
  }

  int offset = 0;
  for (TDBFField& field : fields) {
    field.Offset = offset;
    offset += field.Length;
  }
  if (1 + offset > kDBFMaxRecordLength) {
    throw EVelmoraError(Format("Record length %d exceeds %d bytes", 1 + offset, kDBFMaxRecordLength));
  }
  if (32 * (static_cast<int>(fields.size()) + 1) + 1 > kDBFMaxRecordLength) {
    throw EVelmoraError(Format("Too many fields for a table: %d", static_cast<int>(fields.size())));
  }
  return fields;
}

void TTabuloDBF::BeginExport() {
  TTabuloText::BeginExport();
  fields_ = BuildFields();
  const bool has_memo =
      std::any_of(fields_.begin(), fields_.end(), [](const TDBFField& field) { return field.Type == 'M'; });
  if (has_memo && !OutputFiles().MainIsFile()) {
    throw EVelmoraError(Format("Memo fields need a memo file beside %s, which is not a file", FileName.c_str()));
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int date[3] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  DBFWriter().WriteHeader(fields_, has_memo, date);
  if (has_memo) DBFWriter().OpenMemoFile(OutputFiles().Add(ChangeFileExt(FileName, ".dbt")));
}

void TTabuloDBF::EndExport() {
  DBFWriter().Finish();
  TTabuloText::EndExport();
}

void TTabuloDBF::WriteDataRow() {
  record_.assign(1, ' ');
  for (const TDBFField& field : fields_) AppendField(field);
  DBFWriter().WriteRecord(record_);
}

void TTabuloDBF::AppendField(const TDBFField& field) {
  const TTabuloColumn& column = Columns()[field.ColumnIndex];
  column.Field->GetValue(cell_);
  const std::size_t length = static_cast<std::size_t>(field.Length);
  if (cell_.IsNull() && !(field.Type == 'N' && field.Decimals > 0)) {
    record_.append(length, ' ');
    return;
  }
  switch (field.Type) {
    case 'M': {
      if (cell_.Text.empty()) {
        record_.append(length, ' ');
      } else {
        AppendRightAligned(record_, std::to_string(DBFWriter().AppendMemo(cell_.Text)), field.Length);
      }
      return;
    }
    case 'N':
      AppendNumber(field, column);
      return;
    case 'D':
      AppendDate(field);
      return;
    case 'L': {
      const std::string upper = UpperCase(cell_.Text);
      record_.push_back(upper.find("TRUE") != std::string::npos    ? 'T'
                        : upper.find("FALSE") != std::string::npos ? 'F'
                                                                   : ' ');
      return;
    }
    default: {
      value_.clear();
      if (!column.AppendBinary(cell_.Text, value_)) value_.assign(cell_.Text);
      const std::string_view text = Utf8BytePrefix(value_, length);
      record_.append(text);
      record_.append(length - text.size(), ' ');
    }
  }
}

void TTabuloDBF::AppendNumber(const TDBFField& field, const TTabuloColumn& column) {
  // Numbers are read from the source's C-form text and written with "." as
  // the decimal point whatever the locale.
  number_.clear();
  if (field.Decimals == 0) {
    column.AppendPlainNumber(cell_, ".", number_);
    if (number_.size() > static_cast<std::size_t>(field.Length)) ThrowTooWide(number_, field);
    AppendRightAligned(record_, number_, field.Length);
    return;
  }
  // A null number counts as 0. Decimals are dropped, rounding, until the
  // value fits its field.
  if (cell_.IsNull()) {
    value_ = "0";
  } else {
    value_.assign(cell_.Text);
  }
  TDecimalNumber number;
  if (!number.Parse(value_)) {
    throw EVelmoraError(Format("'%s' is not a valid floating point value", value_.c_str()));
  }
  if (number.Exponent() > field.Length) ThrowTooWide(value_, field);
  for (int decimals = field.Decimals; decimals >= 0; --decimals) {
    TDecimalNumber rounded;
    rounded.Parse(value_);
    rounded.RoundToDecimals(decimals);
    number_.clear();
    AppendFixed(rounded, decimals, number_);
    if (number_.size() <= static_cast<std::size_t>(field.Length)) {
      AppendRightAligned(record_, number_, field.Length);
      return;
    }
  }
  ThrowTooWide(value_, field);
}

void TTabuloDBF::AppendDate(const TDBFField& field) {
  // A zero or impossible date has no yyyymmdd form: the field stays blank.
  if (cell_.Kind == ckInvalidMoment || cell_.Text.empty()) {
    record_.append(static_cast<std::size_t>(field.Length), ' ');
    return;
  }
  value_.assign(cell_.Text);
  const std::string_view text = value_;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !AllDigits(text.substr(0, 4)) ||
      !AllDigits(text.substr(5, 2)) || !AllDigits(text.substr(8, 2))) {
    throw EVelmoraError(Format("'%s' is not a valid date", value_.c_str()));
  }
  record_.append(text.substr(0, 4));
  record_.append(text.substr(5, 2));
  record_.append(text.substr(8, 2));
}

// Character fields are sized to their longest value before the first record.
const TExportFormat kDBFFormat{6, "DBF", {"dbf"}, &CreateExporterOf<TTabuloDBF>, &AlwaysReadsAhead};

}  // namespace velmora
