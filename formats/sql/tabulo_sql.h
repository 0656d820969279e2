#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// Appends a table or column name, in backquotes when it is no plain name
// (letters, digits, "_" and "$", not only digits) or is a reserved word.
void AppendSqlName(std::string& out, std::string_view name);

// Writes the records as an SQL script: the header lines, SET NAMES utf8mb4, an
// optional CREATE TABLE statement, one INSERT statement per record with
// periodic commit statements, an optional final commit, and the footer lines.
// Values are literals that read back byte for byte on a server that reads
// backslash escapes: strings escaped, numbers as the server sent them, NULL as
// NULL, binary data in hexadecimal.
class TTabuloSQL : public TTabuloAdvancedText {
 public:
  bool SeeksBack() const override { return false; }

  std::string TableName;
  bool CreateTable = false;
  int CommitRecCount = 0;  // 0: never
  bool CommitAfterScript = false;
  std::string CommitStatement = "COMMIT WORK;";
  char StatementTerm = ';';

  bool MachineReadDefaults() const override { return true; }
  // CREATE TABLE fits its column types to every value of the export.
  bool MovesBack() const override {
    return (CreateTable && !TableName.empty()) || TTabuloAdvancedText::MovesBack();
  }

  // SQL; TableName defaults to the item's name (Name). Defined in
  // tabulo_sql_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;

  void BeginExport() override;
  void EndExport() override;
  void GetDataRow(bool formatted, std::string& row) override;
  void WriteDataRow() override;

 private:
  // The CREATE TABLE statement, its types fitted to the values of the export.
  void WriteCreateTable();
  // Appends the literal of the cell's current value.
  void AppendLiteral(std::string& out, const TTabuloColumn& column);

  std::string statement_start_;  // "INSERT INTO T" CR LF "  (A,B)" CR LF "VALUES("
  std::string row_;
  std::string value_;
  int rows_written_ = 0;
};

}  // namespace velmora
