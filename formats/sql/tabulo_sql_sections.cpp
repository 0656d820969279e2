// The template section of the SQL script exporter.
#include <string_view>

#include "engine/keyed_sections.h"
#include "formats/sql/tabulo_sql.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

constexpr const char* kSection = "SQL";

// Nothing is read ahead; the section is still checked before the result is
// opened.
bool SQLReadsAhead(const TIniFile& template_file) {
  TSQLOptions::Read(template_file, TSQLOptions());
  return false;
}

}  // namespace

TSQLOptions TSQLOptions::Read(const TIniFile& template_file, const TSQLOptions& current) {
  TSQLOptions options = current;
  options.TableName = template_file.ReadString(kSection, "TableName", options.TableName);
  options.CreateTable = template_file.ReadBool(kSection, "CreateTable", options.CreateTable);
  // 0 or less: no commits between the records.
  options.CommitRecCount = template_file.ReadInteger(kSection, "CommitRecCount", options.CommitRecCount);
  options.CommitAfterScript =
      template_file.ReadBool(kSection, "CommitAfterScript", options.CommitAfterScript);
  options.CommitStatement = template_file.ReadString(kSection, "CommitStatement", options.CommitStatement);
  // The first character of the value; an empty value keeps the terminator.
  const std::string term =
      template_file.ReadString(kSection, "StatementTerm", std::string(1, options.StatementTerm));
  if (!term.empty() && term[0] != options.StatementTerm) {
    // A quote or comment character would run every statement into the next.
    if (std::string_view("'\"`#\\").find(term[0]) != std::string_view::npos) {
      RefuseTemplateValue(template_file, kSection, "StatementTerm",
                          "quotes, # and backslashes do not end a statement");
    }
    options.StatementTerm = term[0];
  }
  // 1: one statement a record, as scripts always were.
  options.RowsPerInsert = template_file.ReadInteger(kSection, "RowsPerInsert", options.RowsPerInsert);
  if (options.RowsPerInsert < 1) {
    RefuseTemplateValue(template_file, kSection, "RowsPerInsert", "a statement holds one record at least");
  }
  options.MaxStatementBytes =
      ReadByteSize(template_file, kSection, "MaxStatementBytes", options.MaxStatementBytes);
  if (options.MaxStatementBytes < 1024) {
    RefuseTemplateValue(template_file, kSection, "MaxStatementBytes",
                        "a statement may take 1024 bytes at least");
  }
  return options;
}

TSQLOptions TTabuloSQL::SQLOptions() const {
  return {TableName,       CreateTable,   CommitRecCount, CommitAfterScript,
          CommitStatement, StatementTerm, RowsPerInsert,  MaxStatementBytes};
}

void TTabuloSQL::SetSQLOptions(const TSQLOptions& options) {
  TableName = options.TableName;
  CreateTable = options.CreateTable;
  CommitRecCount = options.CommitRecCount;
  CommitAfterScript = options.CommitAfterScript;
  CommitStatement = options.CommitStatement;
  StatementTerm = options.StatementTerm;
  RowsPerInsert = options.RowsPerInsert;
  MaxStatementBytes = options.MaxStatementBytes;
}

void TTabuloSQL::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  TSQLOptions current = SQLOptions();
  // The item's table or query name, unless a table name is set already.
  if (current.TableName.empty()) current.TableName = Name;
  SetSQLOptions(TSQLOptions::Read(template_file, current));
}

// CREATE TABLE takes the column types the server declares, not the values.
const TExportFormat kSQLFormat{12, "SQL", {"sql"}, &CreateExporterOf<TTabuloSQL>, &SQLReadsAhead};

}  // namespace velmora
