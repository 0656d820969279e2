#include "formats/sql/tabulo_sql.h"

#include <algorithm>
#include <cctype>

#include "platform/text_escape.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// A VARCHAR column takes up to four bytes a character plus two of length; a
// row holds at most 65,535 bytes of them.
constexpr std::size_t kRowBytes = 65535;

// Text the server reads as a number literal: digits with an optional sign,
// point and exponent, as the server sends numbers. Anything else ("e5" would
// name a column, "1.2.3" breaks the statement) is quoted.
bool IsNumberLiteral(std::string_view text) {
  const char* position = text.data();
  const char* const end = position + text.size();
  const auto digits = [&] {
    const char* const start = position;
    while (position != end && *position >= '0' && *position <= '9') ++position;
    return position != start;
  };
  const auto sign = [&] {
    if (position != end && (*position == '+' || *position == '-')) ++position;
  };
  sign();
  bool mantissa = digits();
  if (position != end && *position == '.') {
    ++position;
    mantissa = digits() || mantissa;
  }
  if (!mantissa) return false;
  if (position != end && (*position == 'e' || *position == 'E')) {
    ++position;
    sign();
    if (!digits()) return false;
  }
  return position == end;
}

void AppendHexLiteral(std::string& out, std::string_view bytes) {
  // No bytes have no hexadecimal literal: the empty string stands for them.
  if (bytes.empty()) {
    out += "''";
  } else {
    AppendHexBytes(out, bytes);
  }
}

// A word the server reads as it is (TRUE, 1); anything else is quoted.
bool IsBareWord(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char character) {
    return std::isalnum(static_cast<unsigned char>(character)) != 0;
  });
}

}  // namespace

void TTabuloSQL::BeginExport() {
  TTabuloText::BeginExport();
  rows_written_ = 0;
  statement_rows_ = 0;
  statement_bytes_ = 0;
  TTabuloWriter& writer = Writer();
  for (const std::string& line : Header) writer.WriteLine(line);
  // Values are UTF-8 whatever the client's default character set.
  writer.WriteLine("SET NAMES utf8mb4;");
  // Backslash escapes are read as such, a 0 in an AUTO_INCREMENT column stays
  // 0, and TIMESTAMP values mean the moments they were read as; the settings
  // in force before are put back at the end.
  writer.WriteLine("/*!40101 SET @VELMORA_OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;");
  if (!TimeZone.empty()) {
    std::string line = "/*!40103 SET @VELMORA_OLD_TIME_ZONE=@@TIME_ZONE, TIME_ZONE=";
    AppendSqlString(line, TimeZone);
    line += " */;";
    writer.WriteLine(line);
  }

  std::vector<std::string> names;
  for (int index = 0; index < Columns().Count(); ++index) names.push_back(Columns()[index].Name);
  names_ = SqlColumnNames(names);
  literals_.clear();
  for (const auto& column : Columns()) literals_.push_back({column.get(), LiteralForm(*column)});
  if (CreateTable && !TableName.empty()) WriteCreateTable();

  statement_start_.assign("INSERT INTO ");
  if (!TableName.empty()) AppendSqlName(statement_start_, TableName);
  statement_start_ += "\r\n  (";
  for (std::size_t index = 0; index < names_.size(); ++index) {
    if (index > 0) statement_start_ += ',';
    AppendSqlName(statement_start_, names_[index]);
  }
  statement_start_ += ")\r\nVALUES";
}

void TTabuloSQL::WriteCreateTable() {
  std::vector<TSqlValueExtent> extents(static_cast<std::size_t>(Columns().Count()));
  // Only fields that declare no type of their own (data held in memory) have
  // one fitted to their values, read ahead.
  const bool fitted = std::any_of(Columns().begin(), Columns().end(),
                                  [](const auto& column) { return column->Field->SourceType.Type.empty(); });
  if (fitted && DataSet != nullptr && ExportSource == esDataSet) {
    ReadWindowAhead(
        *DataSet, RecordWindow(),
        [&] {
          for (int index = 0; index < Columns().Count(); ++index) {
            const TTabuloColumn& column = Columns()[index];
            column.Field->GetValue(cell_);
            if (cell_.IsNull()) continue;
            extents[static_cast<std::size_t>(index)].Add(column, cell_.Text);
          }
        },
        [](int) {});
  }
  auto declaration = [&](int index, bool varchar_allowed) {
    const TTabuloColumn& column = Columns()[index];
    std::string type = SourceColumnDeclaration(*column.Field, varchar_allowed);
    return type.empty() ? SqlColumnType(column, extents[static_cast<std::size_t>(index)], varchar_allowed)
                        : type;
  };
  // Parts after the first of a split script find the table the first made
  // when they are replayed in order, and make it when one is replayed alone.
  std::string statement = PartNumber() > 1 ? "CREATE TABLE IF NOT EXISTS " : "CREATE TABLE ";
  AppendSqlName(statement, TableName);
  statement += "(\r\n";
  std::size_t row_bytes = 0;
  for (int index = 0; index < Columns().Count(); ++index) {
    std::string type = declaration(index, true);
    if (const std::size_t bytes = VarcharRowBytes(type); bytes > 0) {
      if (row_bytes + bytes > kRowBytes) {
        type = declaration(index, false);
      } else {
        row_bytes += bytes;
      }
    }
    statement += "  ";
    AppendSqlName(statement, names_[static_cast<std::size_t>(index)]);
    statement += "  ";
    statement += type;
    statement += index + 1 < Columns().Count() ? ",\r\n" : ");\r\n";
  }
  Writer().Write(statement);
  Writer().EmptyLine();
}

void TTabuloSQL::FillRow() {
  // A handler reads the row's texts, dates in the locale's form: the base
  // fills them. Without one the script copies every value's source text, and
  // no moment is read.
  if (OnBeforeExportRow) {
    TTabulo::FillRow();
    return;
  }
  for (TTabuloCol& cell : ExportRow()) {
    literals_[static_cast<std::size_t>(cell.ColumnIndex)].Column->Field->GetSourceValue(cell.Value);
  }
}

TTabuloSQL::TLiteralForm TTabuloSQL::LiteralForm(const TTabuloColumn& column) {
  switch (column.ColumnType) {
    case ctInteger:
    case ctLargeInt:
    case ctFloat:
    case ctCurrency:
      return lfNumber;
    case ctBoolean:
      // A column the source declares (a two-value ENUM) takes its own text.
      if (column.Field->SourceType.Type.empty()) return lfBoolean;
      break;
    default:
      break;
  }
  return (column.IsBlob && !column.IsMemo) || column.ValueKind == vkBinary ? lfHex : lfText;
}

void TTabuloSQL::AppendLiteral(std::string& out, const TLiteralColumn& literal, const TCellValue& value) {
  const std::string_view source = value.Text;
  if (value.IsNull()) {
    out += "NULL";
    return;
  }
  switch (literal.Form) {
    case lfNumber:
      if (IsNumberLiteral(source)) {
        out += source;
      } else {
        AppendSqlString(out, source);
      }
      return;
    case lfBoolean: {
      value_.clear();
      literal.Column->AppendTextForm(value, value_);
      const std::string& text =
          SameText(Trim(value_), "true") ? Formats.BooleanTrue() : Formats.BooleanFalse();
      if (IsBareWord(text)) {
        out += text;
      } else {
        AppendSqlString(out, text);
      }
      return;
    }
    case lfText:
      if (AppendSqlStringIfUtf8(out, source)) return;
      break;
    case lfHex:
      break;
  }
  AppendHexLiteral(out, source);
}

void TTabuloSQL::AppendValues(std::string& out) {
  // The statements carry what the source holds: the texts a handler gave
  // the row do not reach them, each field's own value is read again.
  const bool given = static_cast<bool>(OnBeforeExportRow);
  out += '(';
  bool first = true;
  for (const TTabuloCol& cell : ExportRow()) {
    if (!first) out += ',';
    first = false;
    const TLiteralColumn& literal = literals_[static_cast<std::size_t>(cell.ColumnIndex)];
    if (given) {
      literal.Column->Field->GetValue(cell_);
      AppendLiteral(out, literal, cell_);
    } else {
      AppendLiteral(out, literal, cell.Value);
    }
  }
  out += ')';
}

void TTabuloSQL::GetDataRow(bool, std::string& row) {
  row.assign(statement_start_);
  AppendValues(row);
  row += StatementTerm;
}

void TTabuloSQL::EndStatement() {
  if (statement_rows_ == 0) return;
  TTabuloWriter& writer = Writer();
  writer.WriteLine(std::string_view(&StatementTerm, 1));
  writer.EmptyLine();
  statement_rows_ = 0;
  statement_bytes_ = 0;
}

void TTabuloSQL::WriteDataRow() {
  TTabuloWriter& writer = Writer();
  if (RowsPerInsert <= 1) {
    GetDataRow(false, row_);
    writer.WriteLine(row_);
    writer.EmptyLine();
  } else {
    // Each record on a line of its own: "VALUES(...)," CR LF "(...)," ... ";".
    row_.clear();
    AppendValues(row_);
    const auto separator = static_cast<std::int64_t>(std::string_view(",\r\n").size());
    const auto size = static_cast<std::int64_t>(row_.size());
    // The statement's bytes with this record and the terminator.
    if (statement_rows_ > 0 &&
        (statement_rows_ >= RowsPerInsert || statement_bytes_ + separator + size + 1 > MaxStatementBytes)) {
      EndStatement();
    }
    if (statement_rows_ == 0) {
      writer.Write(statement_start_);
      statement_bytes_ = static_cast<std::int64_t>(statement_start_.size());
    } else {
      writer.Write(",\r\n");
      statement_bytes_ += separator;
    }
    writer.Write(row_);
    statement_bytes_ += size;
    ++statement_rows_;
  }
  ++rows_written_;
  if (CommitRecCount > 0 && rows_written_ % CommitRecCount == 0 && !CommitStatement.empty()) {
    EndStatement();
    writer.WriteLine(CommitStatement);
    writer.EmptyLine();
  }
}

void TTabuloSQL::EndExport() {
  EndStatement();
  TTabuloWriter& writer = Writer();
  if (CommitAfterScript && !CommitStatement.empty()) writer.WriteLine(CommitStatement);
  if (!TimeZone.empty()) writer.WriteLine("/*!40103 SET TIME_ZONE=@VELMORA_OLD_TIME_ZONE */;");
  writer.WriteLine("/*!40101 SET SQL_MODE=@VELMORA_OLD_SQL_MODE */;");
  for (const std::string& line : Footer) writer.WriteLine(line);
  TTabuloText::EndExport();
}

}  // namespace velmora
