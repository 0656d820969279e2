#include "formats/json/tabulo_json.h"

#include <charconv>
#include <cmath>
#include <set>

#include "platform/decimal_number.h"
#include "platform/file_system.h"
#include "platform/text_escape.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

constexpr std::string_view kIsoDateFormat = "ISO";

// True for the first letters a source gives a true Boolean ("True", "yes",
// "t", "1").
bool IsTrueText(std::string_view text) {
  if (text.empty()) return false;
  const char first = text.front();
  return first == 'T' || first == 't' || first == 'Y' || first == 'y' || first == '1';
}

}  // namespace

void TTabuloJSON::Execute() {
  const std::string extension = ExtractFileExt(FileName);
  if (SameText(extension, ".jsonl")) JSONLines = true;
  TTabuloFormatText::Execute();
}

bool TTabuloJSON::IsoDates() const {
  return JSONDateFormat.empty() || SameText(JSONDateFormat, kIsoDateFormat);
}

// ---------------------------------------------------------------------------
// Prologue and epilogue

void TTabuloJSON::BeginExport() {
  TTabuloFormatText::BeginExport();
  records_written_ = 0;
  replaced_characters_ = 0;
  forms_.clear();
  for (const auto& column : Columns()) {
    TValueForm form = vfText;
    if (column->ValueKind == vkBinary) {
      form = vfBinary;
    } else {
      switch (column->ColumnType) {
        case ctInteger:
        case ctLargeInt:
        case ctFloat:
        case ctCurrency: form = vfNumber; break;
        case ctBoolean: form = vfBoolean; break;
        case ctDate:
        case ctTime:
        case ctDateTime:
          form = vfMoment;
          if (!IsoDates()) column->Format = JSONDateFormat;
          break;
        case ctString:
        case ctUnknown: break;
      }
    }
    forms_.push_back(form);
  }
  PrepareKeys();
  if (!JSONLines) Writer().Write("[");
}

void TTabuloJSON::EndExport() {
  if (!JSONLines) Writer().Write(records_written_ > 0 ? "\n]\n" : "]\n");
  TTabuloFormatText::EndExport();
}

void TTabuloJSON::PrepareKeys() {
  // Two columns of one caption would give an object with a key twice, which
  // readers resolve by dropping one value: later ones get "_2", "_3" ...
  std::set<std::string> taken;
  key_prefixes_.clear();
  for (const auto& column : Columns()) {
    std::string key = column->Caption;
    for (int number = 2; !taken.insert(key).second; ++number) {
      key = column->Caption + "_" + std::to_string(number);
    }
    std::string prefix = JSONPretty && !JSONLines ? "    " : "";
    replaced_characters_ += AppendJsonString(prefix, key);
    prefix += JSONPretty && !JSONLines ? ": " : ":";
    key_prefixes_.push_back(std::move(prefix));
  }
}

// ---------------------------------------------------------------------------
// Rows

void TTabuloJSON::FillRow() {
  TTabuloFormatText::FillRow();
  if (!OnBeforeExportRow) return;
  // A handler reads the texts the file carries: the source's own (numbers
  // with every digit, dates as sent, bytes as they are), or the display text
  // where a date pattern of the template is shown.
  TTabuloRow& row = ExportRow();
  for (int index = 0; index < Columns().Count(); ++index) {
    if (forms_[index] == vfMoment && !IsoDates()) continue;
    row[index].Data.assign(row[index].Value.Text);
  }
}

void TTabuloJSON::WriteDataRow() {
  const bool pretty = JSONPretty && !JSONLines;
  row_.clear();
  if (!JSONLines) row_ += records_written_ == 0 ? "\n" : ",\n";
  row_ += pretty ? "  {" : "{";
  TTabuloRow& row = ExportRow();
  for (int index = 0; index < row.Count(); ++index) {
    if (index > 0) row_ += ',';
    if (pretty) row_ += '\n';
    row_ += key_prefixes_[index];
    AppendValue(index, row[index].Value);
  }
  if (pretty) row_ += row.Count() > 0 ? "\n  }" : "}";
  else row_ += '}';
  if (JSONLines) row_ += '\n';
  Writer().Write(row_);
  ++records_written_;
}

void TTabuloJSON::AppendValue(int column_index, const TCellValue& value) {
  if (value.IsNull()) {
    row_ += "null";
    return;
  }
  const std::string_view source = value.Text;
  switch (forms_[column_index]) {
    case vfNumber: AppendNumber(source); return;
    case vfBoolean: row_ += IsTrueText(source) ? "true" : "false"; return;
    case vfMoment: AppendMoment(column_index, value); return;
    case vfBinary:
      row_ += '"';
      AppendBase64(row_, source);
      row_ += '"';
      return;
    case vfText: replaced_characters_ += AppendJsonString(row_, source); return;
  }
}

void TTabuloJSON::AppendNumber(std::string_view source) {
  if (IsJsonNumber(source)) {
    row_ += source;
    return;
  }
  // A ZEROFILL or signed form ("007", "+1", "-007.50") keeps its value without
  // the plus and the zeros.
  TDecimalParts parts;
  if (ScanDecimal(source, ".", parts) == source.size() && !parts.IntegerDigits.empty()) {
    scratch_.clear();
    if (parts.Negative()) scratch_ += '-';
    AppendPlainInteger(parts.IntegerDigits, scratch_);
    const std::size_t integer_end =
        static_cast<std::size_t>(parts.IntegerDigits.data() - source.data()) + parts.IntegerDigits.size();
    scratch_.append(source, integer_end);
    if (IsJsonNumber(scratch_)) {
      row_ += scratch_;
      return;
    }
  }
  // Another spelling of a finite number ("1.e5", ".5") as its shortest form;
  // what is no number at all stays text rather than breaking the file.
  double value = 0;
  const char* end = source.data() + source.size();
  const auto [stop, error] = std::from_chars(source.data(), end, value);
  if (error == std::errc() && stop == end && std::isfinite(value)) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    row_.append(digits, result.ptr);
    return;
  }
  replaced_characters_ += AppendJsonString(row_, source);
}

void TTabuloJSON::AppendMoment(int column_index, const TCellValue& value) {
  const TTabuloColumn& column = Columns()[column_index];
  scratch_.clear();
  if (!IsoDates()) {
    column.AppendDisplayText(value, scratch_);
  } else {
    scratch_.assign(value.Text);
    if (column.ColumnType == ctDateTime && value.Kind != ckInvalidMoment && scratch_.size() > 10 &&
        scratch_[10] == ' ') {
      scratch_[10] = 'T';
    }
  }
  replaced_characters_ += AppendJsonString(row_, scratch_);
}

}  // namespace velmora
