#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"

namespace velmora {

// What the values of one column need of the type that holds them, gathered
// over the records of an export.
struct TSqlValueExtent {
  std::size_t MaxCharacters = 0;  // text: longest value in characters
  std::size_t MaxBytes = 0;       // text and binary: longest value in bytes
  bool NotUtf8 = false;           // a text value that is not UTF-8: binary type
  int IntegerDigits = 0;          // numbers: most digits before the point
  int FractionDigits = 0;         // numbers, times: most digits after the point
  bool Negative = false;
  bool Exponent = false;        // a number written with an exponent
  bool BeyondInteger = false;   // an integer outside -2^31 .. 2^31-1
  bool BeyondBigint = false;    // outside -2^63 .. 2^63-1
  bool BeyondUnsigned = false;  // outside 0 .. 2^64-1 too

  // Takes one non-null value (its source text) of a column into account.
  void Add(const TTabuloColumn& column, std::string_view text);
};

// The column type of a CREATE TABLE statement that holds every value of the
// column: the column's own SQL type name where it does (INTEGER, DATE), else
// BIGINT [UNSIGNED], DECIMAL(p,s), DOUBLE PRECISION, TIME(f), DATETIME(f),
// YEAR, VARCHAR(n) (up to 16,383 characters), TEXT, MEDIUMTEXT, LONGTEXT and
// the binary types of the same sizes. Text types are in utf8mb4.
// varchar_allowed false asks for a TEXT type (the row has no room left).
std::string SqlColumnType(const TTabuloColumn& column, const TSqlValueExtent& extent, bool varchar_allowed);

// The column type of a CREATE TABLE statement for a column whose field tells
// its source's declaration: that declaration with its character set and
// collation, TIMESTAMP made nullable (so that NULL stays NULL and no value is
// filled in). varchar_allowed false turns a VARCHAR into the TEXT type of the
// same capacity and set. Empty when the field tells no declaration.
std::string SourceColumnDeclaration(const TField& field, bool varchar_allowed);
// The most bytes a VARCHAR declaration (VARCHAR or VARBINARY) takes in a row,
// 0 for any other declaration.
std::size_t VarcharRowBytes(std::string_view declaration);

// The column names of the script: every name distinct regardless of letter
// case as the server compares them (later ones numbered "_2", "_3" ...), an
// empty one "_", trailing blanks removed, at most 64 characters.
std::vector<std::string> SqlColumnNames(const std::vector<std::string>& names);

// Appends a table or column name, in backquotes when it is no plain name
// (letters, digits, "_" and "$", not only digits) or is a reserved word.
void AppendSqlName(std::string& out, std::string_view name);

// The settings of the SQL section, read and checked whole before they replace
// the exporter's.
struct TSQLOptions {
  std::string TableName;  // empty: the item's name
  bool CreateTable = false;
  int CommitRecCount = 0;  // 0: never
  bool CommitAfterScript = false;
  std::string CommitStatement = "COMMIT WORK;";
  char StatementTerm = ';';
  int RowsPerInsert = 1;
  std::int64_t MaxStatementBytes = kDefaultMaxStatementBytes;

  // Well under the server's default max_allowed_packet (16 MiB), so that a
  // script replays on any server as it is configured out of the box.
  static constexpr std::int64_t kDefaultMaxStatementBytes = 1 << 20;

  // The keys of the SQL section over current; a value that cannot give a
  // sound script raises EVelmoraError naming key and value.
  static TSQLOptions Read(const TIniFile& template_file, const TSQLOptions& current);
};

// Writes the records as an SQL script: the header lines, SET NAMES utf8mb4,
// the session settings the literals assume (the SQL mode, and the time zone
// the TIMESTAMP values were read in, each saved in a user variable first), an
// optional CREATE TABLE statement, INSERT statements of RowsPerInsert records
// each (fewer where the next row would take a statement past
// MaxStatementBytes, or a commit falls due) with periodic commit statements, an optional final commit, the
// saved settings back, and the footer lines. Values are literals that read back byte for byte: strings
// escaped, numbers as the server sent them, NULL as NULL, binary data in hexadecimal.
class TTabuloSQL : public TTabuloText {
 public:
  bool SeeksBack() const override { return false; }

  std::string TableName;
  bool CreateTable = false;
  int CommitRecCount = 0;  // 0: never
  bool CommitAfterScript = false;
  std::string CommitStatement = "COMMIT WORK;";
  char StatementTerm = ';';
  int RowsPerInsert = 1;
  std::int64_t MaxStatementBytes = TSQLOptions::kDefaultMaxStatementBytes;
  // The session time zone the values were read in ("+00:00", "SYSTEM"); the
  // script sets it while it runs. Empty: the script leaves the zone alone.
  std::string TimeZone;

  TSQLOptions SQLOptions() const;
  void SetSQLOptions(const TSQLOptions& options);

  bool MachineReadDefaults() const override { return true; }
  // A script that replays carries the whole row.
  bool ExportsEveryColumn() const override { return true; }
  // CREATE TABLE takes the types the fields declare: nothing is read ahead
  // (only fields that declare none, of data held in memory, have types
  // fitted to their values).

  // SQL; TableName defaults to the item's name (Name). Defined in
  // tabulo_sql_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  void BeginExport() override;
  void EndExport() override;
  void FillRow() override;
  void GetDataRow(bool formatted, std::string& row) override;
  void WriteDataRow() override;

 private:
  // The CREATE TABLE statement, its types fitted to the values of the export.
  void WriteCreateTable();
  // How a column's values are written, settled when the export begins.
  enum TLiteralForm { lfNumber, lfBoolean, lfText, lfHex };
  struct TLiteralColumn {
    const TTabuloColumn* Column;
    TLiteralForm Form;
  };
  static TLiteralForm LiteralForm(const TTabuloColumn& column);
  // Appends the literal of the column's value.
  void AppendLiteral(std::string& out, const TLiteralColumn& literal, const TCellValue& value);
  // Appends "(" the values of the current record ")".
  void AppendValues(std::string& out);
  // Ends the INSERT statement the last records went into, if one is open.
  void EndStatement();

  std::vector<std::string> names_;        // of the columns, as the script writes them
  std::vector<TLiteralColumn> literals_;  // of the columns, in their order
  std::string statement_start_;           // "INSERT INTO T" CR LF "  (A,B)" CR LF "VALUES"
  std::string row_;
  std::string value_;
  TCellValue cell_;  // a field's value read again (see AppendValues)
  int rows_written_ = 0;
  int statement_rows_ = 0;            // records in the open statement, 0: none open
  std::int64_t statement_bytes_ = 0;  // its bytes so far
};

// The registry row of the format.
extern const TExportFormat kSQLFormat;

}  // namespace velmora
