#include "formats/text/tabulo_ascii.h"

#include <string_view>

#include "platform/error.h"
#include "platform/text_escape.h"

namespace velmora {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// The first characters with which a spreadsheet program takes a CSV field
// for a formula (or, for TAB and CR, passes over to one).
constexpr std::string_view kFormulaStarts = "=+-@\t\r";
constexpr std::string_view kDifTupleStart = "-1,0\r\nBOT\r\n";
// SYLK's escape for a line break inside a text; a raw one would end the record.
constexpr std::string_view kSylkLineBreak = "\x1b :";

// Appends text as the inside of a SYLK string constant: ";" doubled (a single one
// would start the next field), each line break (CR LF, CR or LF) as one escape.
void AppendSylkText(std::string& out, std::string_view text) {
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character == ';') {
      out += ";;";
    } else if (character == '\r' || character == '\n') {
      if (character == '\r' && index + 1 < text.size() && text[index + 1] == '\n') ++index;
      out += kSylkLineBreak;
    } else {
      out += character;
    }
  }
}

}  // namespace

TTabuloASCII::TTabuloASCII() {
  AutoCalcColWidth = true;
}

void TTabuloASCII::SetExportType(TTabuloASCIIType type) {
  if (type == export_type_) return;
  export_type_ = type;
  if (type == etTXT) AutoCalcColWidth = true;
}

// ---------------------------------------------------------------------------
// Prologue and epilogue

void TTabuloASCII::BeginExport() {
  TTabuloFormatText::BeginExport();
  // Only the fixed-width layout uses widths; the change is kept after the export.
  if (export_type_ != etTXT) AutoCalcColWidth = false;
  records_written_ = 0;
  CheckOptions();
  csv_specials_ = {CSVComma, '\r', '\n'};
  if (CSVQuote != '\0') csv_specials_ += CSVQuote;
  dif_encoder_.reset();
  if (export_type_ == etDIF && DIFEncoding == deWindows1252) dif_encoder_.emplace("WINDOWS-1252", upReplace);
  WritePrologue();
}

void TTabuloASCII::EndExport() {
  WriteEpilogue();
  TTabuloFormatText::EndExport();
}

void TTabuloASCII::CheckOptions() const {
  // With a quote character in use, quoted fields and separators would be one character.
  if (export_type_ == etCSV && CSVQuote != '\0' && CSVComma == CSVQuote) {
    throw EVelmoraError(
        Format("The CSV separator and the CSV quote character must differ (both are '%c')", CSVComma));
  }
}

void TTabuloASCII::WritePrologue() {
  TTabuloWriter& writer = Writer();
  switch (export_type_) {
    case etTXT:
      if (!Title.empty()) {
        writer.WriteLine(Title);
        writer.CharacterLine('-', 80);
        writer.EmptyLine();
      }
      for (const std::string& line : Header) writer.WriteLine(line);
      break;
    case etCSV:
      if (CSVBOM) writer.Write(kUtf8ByteOrderMark);
      for (const std::string& line : Header) {
        writer.Write(line);
        writer.Write(std::string_view(&CSVComma, 1));
        writer.EmptyLine();
      }
      break;
    case etDIF: {
      const int tuples = CountTuples();
      std::string& text = scratch_;
      text.assign("TABLE\r\n0,1\r\n");
      AppendDifText(Title, true, text);
      text += "\r\nVECTORS\r\n0,";
      AppendInteger(text, Columns().Count());
      text += "\r\n\"\"\r\nTUPLES\r\n0,";
      AppendInteger(text, tuples);
      // Every header item is a topic, a numeric line and a string line; a reader
      // takes the line after "0,0" as the string of DATA, so it must be there.
      text += "\r\n\"\"\r\nDATA\r\n0,0\r\n\"\"\r\n";
      writer.Write(text);
      break;
    }
    case etSYLK:
      writer.WriteLine("ID;PVASCIIEXPORT");
      break;
  }
}

void TTabuloASCII::WriteEpilogue() {
  TTabuloWriter& writer = Writer();
  switch (export_type_) {
    case etTXT:
      for (const std::string& line : Footer) writer.WriteLine(line);
      break;
    case etCSV:
      for (const std::string& line : Footer) {
        writer.Write(line);
        writer.Write(std::string_view(&CSVComma, 1));
        writer.EmptyLine();
      }
      break;
    case etDIF:
      writer.WriteLine("-1,0");
      writer.WriteLine("EOD");
      break;
    case etSYLK:
      writer.WriteLine("E");
      break;
  }
}

int TTabuloASCII::CountTuples() {
  if (ExportSource != esDataSet || DataSet == nullptr) return 0;
  return ReadWindowAhead(
      *DataSet, RecordWindow(), [] {},
      [this](int passed) {
        if (OnFetchedRecord) OnFetchedRecord(*this, passed);
      });
}

// ---------------------------------------------------------------------------
// Rows

void TTabuloASCII::GetCaptionRow(std::string& row) {
  row.clear();
  if (export_type_ == etDIF) row.assign(kDifTupleStart);
  for (int index = 0; index < Columns().Count(); ++index) row += GetColCaption(index);
  if (export_type_ == etCSV && !row.empty()) row.pop_back();  // the trailing separator
  if (export_type_ == etTXT || export_type_ == etCSV) row += kLineEnd;
}

void TTabuloASCII::WriteCaptionRow() {
  GetCaptionRow(row_);
  if (!row_.empty()) Writer().Write(row_);
}

void TTabuloASCII::GetDataRow(bool formatted, std::string& row) {
  sylk_row_ = SylkDataRow();
  row.clear();
  if (export_type_ == etDIF) row.assign(kDifTupleStart);
  for (TTabuloCol& cell : ExportRow()) {
    if (AppendNumberCell(cell, row)) continue;
    const bool plain = export_type_ == etDIF && Columns()[cell.ColumnIndex].IsNumber;
    CellExportText(cell, formatted && !plain, cell_text_);
    AppendDecorated(cell.ColumnIndex, false, cell_text_, row);
  }
  if (export_type_ == etCSV && !row.empty()) row.pop_back();  // the trailing separator
  if (export_type_ == etTXT || export_type_ == etCSV) row += kLineEnd;
}

bool TTabuloASCII::AppendNumberCell(const TTabuloCol& cell, std::string& out) {
  const TTabuloColumn& column = Columns()[cell.ColumnIndex];
  if ((export_type_ != etDIF && export_type_ != etSYLK) || !column.IsNumber || cell.Value.IsNull() ||
      cell.Value.Text.empty()) {
    return false;
  }
  // Written from the value itself, whatever its display form, in the one form
  // every reader takes, so that the reader holds a number it can sum.
  if (export_type_ == etDIF) {
    out += "0,";
    column.AppendPlainNumber(cell.Value, ".", out);
    out += "\r\nV\r\n";
  } else {
    out += "C;X";
    AppendInteger(out, cell.ColumnIndex + 1);
    out += ";Y";
    AppendInteger(out, sylk_row_);
    out += ";K";
    column.AppendPlainNumber(cell.Value, ".", out);
    out += kLineEnd;
  }
  return true;
}

void TTabuloASCII::WriteDataRow() {
  GetDataRow(true, row_);
  Writer().Write(row_);
  ++records_written_;
}

std::string TTabuloASCII::GetColCaption(int index) {
  std::string text = TTabuloFormatText::GetColCaption(index);
  Decorate(index, true, text);
  return text;
}

void TTabuloASCII::Decorate(int column_index, bool caption, std::string& text) {
  scratch_.clear();
  AppendDecorated(column_index, caption, text, scratch_);
  text.swap(scratch_);
}

void TTabuloASCII::AppendDecorated(int column_index, bool caption, std::string_view text, std::string& out) {
  const TTabuloColumn& column = Columns()[column_index];
  switch (export_type_) {
    case etTXT:
      TTabuloWriter::AppendPadded(out, text, ' ', column.Width, column.Align);
      if (TXTSpacing > 0) out.append(static_cast<std::size_t>(TXTSpacing), ' ');
      return;
    case etCSV:
      AppendCsvField(column_index, caption, text, out);
      return;
    case etDIF:
      // Numbers are written by GetDataRow. Dates and times go as strings in
      // their display form, which no reader parses alike. A NULL (or empty)
      // value is no number: as a numeric value a reader would turn it into an
      // error cell, so it goes out as the string it is.
      if (caption || column.ColumnType == ctString || column.ColumnType == ctDate ||
          column.ColumnType == ctTime || column.ColumnType == ctDateTime || text.empty() ||
          column.Field->IsNull()) {
        out += "1,0\r\n";
        AppendDifText(text, true, out);
        out += kLineEnd;
      } else {
        out += "0,";
        AppendDifText(text, false, out);
        out += "\r\nV\r\n";
      }
      return;
    case etSYLK:
      out += "C;X";
      AppendInteger(out, column_index + 1);
      out += ";Y";
      AppendInteger(out, caption ? 1 : sylk_row_);
      out += ";K\"";
      AppendSylkText(out, text);
      out += "\"\r\n";
      return;
  }
}

void TTabuloASCII::AppendCsvField(int column_index, bool caption, std::string_view text, std::string& out) {
  const TTabuloColumn& column = Columns()[column_index];
  const std::string_view guard = CSVFormulaGuard && (caption || !column.IsNumber) && !text.empty() &&
                                         kFormulaStarts.find(text.front()) != std::string_view::npos
                                     ? "'"
                                     : "";
  const std::size_t special = text.find_first_of(csv_specials_);
  const bool needs_quotes = special != std::string_view::npos || guard.find_first_of(csv_specials_) == 0;
  if (CSVQuote == '\0' && needs_quotes) {
    // Unquoted, the value would split its row into more fields or rows.
    const char* what = special != std::string_view::npos && (text[special] == '\r' || text[special] == '\n')
                           ? "a line break"
                           : "the separator";
    const std::string where = caption ? Format("Caption of column %s", column.Name.c_str())
                                      : Format("Row %d, column %s", records_written_ + 1, column.Name.c_str());
    throw EVelmoraError(
        Format("%s: the value holds %s and the file has no quote character", where.c_str(), what));
  }
  if (CSVQuote != '\0' && (CSVQuoteStrings || needs_quotes)) {
    out += CSVQuote;
    if (!guard.empty()) AppendQuoteDoubled(out, guard, CSVQuote);
    AppendQuoteDoubled(out, text, CSVQuote);
    out += CSVQuote;
  } else {
    out.append(guard).append(text);
  }
  out += CSVComma;
}

void TTabuloASCII::AppendDifText(std::string_view text, bool quoted, std::string& out) {
  if (dif_encoder_) {
    encoded_.clear();
    dif_encoder_->Append(encoded_, text);
    text = encoded_;
  }
  if (quoted) {
    AppendQuoted(out, text, '"');
  } else {
    out += text;
  }
}

}  // namespace velmora
