// The template section of the SQL script exporter.
#include "formats/sql/tabulo_sql.h"
#include "platform/ini_file.h"

namespace velmora {

void TTabuloSQL::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  constexpr const char* kSection = "SQL";
  // The item's table or query name, unless a table name is set already.
  TableName = template_file.ReadString(kSection, "TableName", TableName.empty() ? Name : TableName);
  CreateTable = template_file.ReadBool(kSection, "CreateTable", CreateTable);
  CommitRecCount = template_file.ReadInteger(kSection, "CommitRecCount", CommitRecCount);
  CommitAfterScript = template_file.ReadBool(kSection, "CommitAfterScript", CommitAfterScript);
  CommitStatement = template_file.ReadString(kSection, "CommitStatement", CommitStatement);
  const std::string term = template_file.ReadString(kSection, "StatementTerm", std::string(1, StatementTerm));
  if (!term.empty()) StatementTerm = term[0];
}

// CREATE TABLE takes the column types the server declares, not the values.
const TExportFormat kSQLFormat{12, "SQL", {"sql"}, &CreateExporterOf<TTabuloSQL>, &NeverReadsAhead};

}  // namespace velmora
