#include "console/export_run.h"

#include <exception>
#include <memory>

#include "console/exporter_factory.h"
#include "console/output_choice.h"
#include "console/template_sections.h"
#include "engine/text_utils.h"
#include "mysql/statement_text.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace velmora {

namespace {

// Closes the query when an item is done, whatever happened.
class TQueryCloser {
 public:
  explicit TQueryCloser(TDataSet& query) : query_(query) {}
  ~TQueryCloser() {
    try {
      query_.Close();
    } catch (...) {
      // Closing releases a stored result; nothing is left to report.
    }
  }
  TQueryCloser(const TQueryCloser&) = delete;
  TQueryCloser& operator=(const TQueryCloser&) = delete;

 private:
  TDataSet& query_;
};

}  // namespace

std::string DefaultFileName(std::string_view name) {
  std::string file_name(name);
  for (char& character : file_name) {
    if (character == '/') character = '_';
  }
  return file_name + ".xls";
}

TExportRun::TExportRun(const TIniFile& parameter_file, TRunOutput& output)
    : parameter_file_(parameter_file), output_(output) {
  transaction_.SetDatabase(&database_);
  query_.Database = &database_;
  query_.Transaction = &transaction_;
}

TExportRun::~TExportRun() = default;

void TExportRun::Run() {
  connection_ = TConnectionSettings::Read(parameter_file_);
  sources_ = TSourceLists::Read(parameter_file_);
  if (sources_.Tables.empty() && sources_.Queries.empty()) {
    output_.PrintFailure("No table or query specified");
    return;
  }
  Connect();
  if (sources_.ListsAllTables()) ListAllTables();
  for (const TSourceItem& table : sources_.Tables) ExportTable(table);
  for (const TSourceItem& query : sources_.Queries) ExportQuery(query);
}

void TExportRun::Connect() {
  output_.PrintLine("Connecting to " + connection_.Host + "...");
  database_.Host = connection_.Host;
  database_.Port = connection_.Port;
  database_.Login = connection_.Login;
  database_.Password = connection_.Password;
  database_.Database.clear();
  database_.Connect();
  version_number_ = ServerVersionNumber(transaction_.ServerVersion());
  output_.PrintLine("Connection successful");
  output_.PrintLine("");
}

void TExportRun::ListAllTables() {
  // The listing needs a current database, and no item has chosen one yet.
  if (Trim(connection_.DBName).empty()) {
    throw EVelmoraError("The Tables entry All=1 needs the database in DBName of the Connection section");
  }
  database_.SelectDatabase(connection_.DBName);
  query_.Close();
  query_.Sql = "Show tables";
  query_.Open();
  std::vector<std::string> names;
  {
    TQueryCloser closer(query_);
    while (query_.Active() && !query_.Eof()) {
      names.push_back(query_.Field(0).AsString());
      query_.Next();
    }
  }
  sources_.ReplaceTables(names);
}

bool TExportRun::SelectItemDatabase(const TSourceItem& item) {
  const std::string database = ReadItemDatabase(parameter_file_, item.Key);
  if (Trim(database).empty()) {
    output_.PrintFailure(item.Name + ": No database specified");
    return false;
  }
  try {
    if (!database_.Connected()) database_.Connect();
    database_.SelectDatabase(database);
  } catch (const std::exception& error) {
    // The previous database is still current: exporting now would read the
    // item from the wrong database.
    output_.PrintFailure(std::string("ERROR: ") + error.what());
    return false;
  }
  return true;
}

void TExportRun::SetStatement(const std::string& statement) {
  query_.Close();
  query_.Sql = statement;
}

void TExportRun::ExportTable(const TSourceItem& table) {
  if (!SelectItemDatabase(table)) return;
  SetStatement(Format("select * from %s %s", QuoteTableName(table.Name, version_number_).c_str(), ""));
  ExportItem(table, DefaultFileName(table.Name));
}

void TExportRun::ExportQuery(const TSourceItem& query) {
  const std::string database = ReadItemDatabase(parameter_file_, query.Key);
  if (Trim(database).empty()) {
    output_.PrintFailure(query.Name + ": No database specified");
    return;
  }
  const std::optional<std::string> text = ReadQueryText(parameter_file_, query.Key);
  // A section without any statement text would only fail on the server.
  if (!text.has_value() || Trim(*text).empty()) {
    output_.PrintFailure(query.Name + ": No SQL statement specified");
    return;
  }
  if (!SelectItemDatabase(query)) return;
  SetStatement(*text);
  ExportItem(query, DefaultFileName(query.Key));
}

void TExportRun::PrintCountLine(const std::string& name, int count, const std::string& file_name) {
  output_.PrintLine(name + ": " + std::to_string(count) + " records exported to " + file_name);
}

void TExportRun::ExportItem(const TSourceItem& item, const std::string& default_file_name) {
  const TItemFileSettings file_settings = ReadItemFileSettings(parameter_file_, item.Key);
  std::unique_ptr<TItemExporter> item_exporter;
  TIniFile template_file;
  TOutputChoice choice;
  try {
    const TIniFile own_template =
        file_settings.OwnTemplate.empty() ? TIniFile() : TIniFile(file_settings.OwnTemplate);
    choice = ChooseOutput(default_file_name, file_settings, own_template);
    if (!IsKnownExportType(choice.ExportType)) {
      output_.PrintFailure(item.Name + ": Unknown export type " + std::to_string(choice.ExportType));
      return;
    }
    if (choice.TemplateFile == file_settings.OwnTemplate) {
      template_file = own_template;
    } else if (!choice.TemplateFile.empty()) {
      template_file = TIniFile(choice.TemplateFile);
    }
    item_exporter = CreateItemExporter(choice.ExportType);
  } catch (const std::exception& error) {
    output_.PrintFailure(std::string("ProcessedData: ") + error.what());
    PrintCountLine(item.Name, 0, choice.FileName.empty() ? default_file_name : choice.FileName);
    return;
  }

  // A failure to open the result is not the item's alone: it ends the run.
  TQueryCloser closer(query_);
  query_.Open();
  if (!query_.Active() || query_.IsEmpty()) {
    output_.PrintLine(item.Name + ": Dataset is empty");
    return;
  }

  TTabuloText& exporter = item_exporter->Exporter();
  exporter.DataSet = &query_;
  exporter.FileName = choice.FileName;
  const std::string directory = ExtractFileDir(choice.FileName);
  if (!Trim(directory).empty() && !DirectoryExists(directory)) ForceDirectories(directory);
  int count = 0;
  exporter.OnExportedRecord = [&count](TTabulo&, int) { ++count; };
  try {
    ReadGeneralSections(template_file, query_, exporter);
    item_exporter->ReadFormatSections(template_file, query_);
    exporter.Execute();
  } catch (const std::exception& error) {
    output_.PrintFailure(std::string("ProcessedData: ") + error.what());
  }
  PrintCountLine(item.Name, count, choice.FileName);
}

}  // namespace velmora
