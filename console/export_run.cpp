#include "console/export_run.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <memory>

#include <unistd.h>

#include "console/output_choice.h"
#include "console/script_session.h"
#include "console/template_sections.h"
#include "formats/format_registry.h"
#include "formats/sql/tabulo_sql.h"
#include "mysql/statement_text.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_file.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// What a streamed result keeps of its first rows for a format to measure its
// columns by: widths from the first 16 MiB of rows, the rest as they come.
constexpr std::size_t kWidthReadAheadBytes = std::size_t{16} << 20;

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

void TRunOutput::PrintWarning(const std::string& line) {
  // Standard error has no one to report a failed write to.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

std::string DefaultFileName(std::string_view name) {
  std::string file_name(name);
  for (char& character : file_name) {
    if (character == '/') character = '_';
  }
  return file_name + ".xls";
}

bool RunWritesToStandardOutput(const TIniFile& parameter_file) {
  const TSourceLists sources = TSourceLists::Read(parameter_file);
  std::vector<std::string> keys;
  for (const auto* list : {&sources.Tables, &sources.Queries}) {
    for (const TSourceItem& item : *list) keys.push_back(item.Key);
  }
  // The tables of All=1 come from the server: any key of Files or Templates may be one.
  if (sources.ListsAllTables()) {
    for (const char* section : {"Files", "Templates"}) {
      if (const TIniSection* entries = parameter_file.FindSection(section); entries != nullptr) {
        for (const TIniEntry& entry : entries->Entries) keys.push_back(entry.Key);
      }
    }
  }
  for (const std::string& key : keys) {
    const TItemFileSettings settings = ReadItemFileSettings(parameter_file, key);
    try {
      const TIniFile own_template =
          settings.OwnTemplate.empty() ? TIniFile() : TIniFile(settings.OwnTemplate);
      if (NamesStandardOutput(ChooseOutput(DefaultFileName(key), settings, own_template).FileName))
        return true;
    } catch (const EVelmoraError&) {
      // Not swallowed: the item reads its template again when it runs and
      // reports the failure then.
    }
  }
  return false;
}

TExportRun::TExportRun(const TIniFile& parameter_file, TRunOutput& output)
    : parameter_file_(parameter_file), output_(output), progress_(STDERR_FILENO) {
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
  for (const std::string& warning : connection_.Warnings) output_.PrintWarning(warning);
  Connect();
  if (connection_.Snapshot) StartSnapshot();
  if (sources_.ListsAllTables()) ListAllTables();
  for (const TSourceItem& table : sources_.Tables) ExportTable(table);
  for (const TSourceItem& query : sources_.Queries) ExportQuery(query);
  if (connection_.Snapshot) EndSnapshot();
}

void TExportRun::StartSnapshot() {
  transaction_.DirTransact().Execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
}

void TExportRun::EndSnapshot() {
  // Nothing was written inside the snapshot: committing only releases it.
  query_.Close();
  transaction_.DirTransact().Execute("COMMIT");
}

void TExportRun::Connect() {
  // A port that is no number used to become the default port, and the run
  // reached whatever server listens there.
  connection_.CheckPort();
  output_.PrintLine("Connecting to " + connection_.Host + "...");
  database_.Host = connection_.Host;
  database_.Port = connection_.Port;
  database_.Login = connection_.Login;
  database_.Password = connection_.Password;
  database_.Options = connection_.Options;
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
  query_.ExtraOptions = {moStoreResult};
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

bool TExportRun::HasItemName(const TSourceItem& item) {
  if (!Trim(item.Name).empty()) return true;
  // Without a name the statement would fail on the server and end the run.
  output_.PrintFailure(item.Key + ": No name specified in [" + item.Section + "]");
  return false;
}

void TExportRun::ExportTable(const TSourceItem& table) {
  if (!HasItemName(table) || !SelectItemDatabase(table)) return;
  SetStatement(Format("select * from %s %s", QuoteTableName(table.Name, version_number_).c_str(), ""));
  ExportItem(table, DefaultFileName(table.Name));
}

void TExportRun::ExportQuery(const TSourceItem& query) {
  if (!HasItemName(query)) return;
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

std::int64_t TExportRun::RecordsInWindow(const TTabulo& exporter) const {
  const TRecordWindow window = exporter.RecordWindow();
  if (window.CurrentRecordOnly) return 1;
  std::int64_t records = query_.RecordCount() - (window.GoToFirstRecord ? 0 : query_.RecNo());
  records = std::max<std::int64_t>(0, records - window.SkipRecCount);
  return window.ExportRecCount > 0 ? std::min<std::int64_t>(records, window.ExportRecCount) : records;
}

void TExportRun::PrintCountLine(const std::string& name, int count, const std::string& file_name) {
  output_.PrintLine(name + ": " + std::to_string(count) + " records exported to " + file_name);
}

bool TExportRun::ClaimOutputFile(const TSourceItem& item, const std::string& file_name) {
  if (output_files_.EarlierName(file_name) == nullptr) {
    output_files_.Claim(file_name);
    return true;
  }
  output_.PrintFailure(item.Name + ": Output file " + file_name + " is already used by an earlier item");
  return false;
}

// What an item is exported with, chosen before its result is opened.
struct TExportRun::TItemPlan {
  TOutputChoice Choice;
  const TExportFormat* Format = nullptr;
  TIniFile TemplateFile;
  std::unique_ptr<TTabuloText> Exporter;
};

bool TExportRun::PlanItem(const TSourceItem& item, const std::string& default_file_name, TItemPlan& plan) {
  const TItemFileSettings file_settings = ReadItemFileSettings(parameter_file_, item.Key);
  try {
    const TIniFile own_template =
        file_settings.OwnTemplate.empty() ? TIniFile() : TIniFile(file_settings.OwnTemplate);
    plan.Choice = ChooseOutput(default_file_name, file_settings, own_template);
    plan.Format = FindExportFormat(plan.Choice.ExportType);
    if (plan.Format == nullptr) {
      output_.PrintFailure(item.Name + ": Unknown export type " + std::to_string(plan.Choice.ExportType));
      return false;
    }
    if (plan.Choice.TemplateFile == file_settings.OwnTemplate) {
      plan.TemplateFile = own_template;
    } else if (!plan.Choice.TemplateFile.empty()) {
      plan.TemplateFile = TIniFile(plan.Choice.TemplateFile);
    }
    // A misspelt name would export with every default, as if no template were meant.
    for (const TIniFile* named : std::initializer_list<const TIniFile*>{&own_template, &plan.TemplateFile}) {
      if (!named->FileName().empty() && !named->Exists()) {
        output_.PrintFailure(item.Name + ": Template file \"" + named->FileName() + "\" does not exist");
        return false;
      }
    }
    if (const std::string refusal = OutputRefusal(plan.Choice, *plan.Format, plan.TemplateFile);
        !refusal.empty()) {
      output_.PrintFailure(item.Name + ": " + refusal);
      return false;
    }
    plan.Exporter = plan.Format->Create();
  } catch (const std::exception& error) {
    output_.PrintFailure(std::string("ProcessedData: ") + error.what());
    return false;
  }
  return true;
}

bool TExportRun::ClaimItemOutput(const TSourceItem& item, const std::string& file_name) {
  output_files_.BeginUser(item.Name);
  if (!ClaimOutputFile(item, file_name)) return false;
  if (const std::string refusal = TOutputFile::InPlaceRefusal(file_name); !refusal.empty()) {
    output_.PrintFailure(item.Name + ": " + refusal);
    return false;
  }
  return true;
}

void TExportRun::ChooseResultMode(const TItemPlan& plan) {
  // An export that never reads ahead writes the rows as the server sends them,
  // on the run's connection (inside its snapshot), holding only one at a time.
  // One that reads ahead has them read whole first, into a spool file unless
  // memory is asked for, so that its passes can go over them again.
  switch (ResultModeOf(*plan.Format, plan.TemplateFile, connection_.StoreResult)) {
    case rmStreamed:
      query_.ExtraOptions = {moStreamOnTransaction};
      break;
    case rmSpooled:
      query_.ExtraOptions = {moStoreResult, moSpoolResult};
      break;
    case rmInMemory:
      query_.ExtraOptions = {moStoreResult};
      break;
  }
  // A format that sizes its columns by their content reads the first rows of
  // a streamed result ahead: the rows must stay at hand, within a bound. One
  // that widens its columns after writing the rows reads them once.
  query_.KeepFirstRowsBytes =
      plan.Exporter->ContentWidthCap() >= 0 && !plan.Exporter->WidensAfterWriting(plan.Choice.FileName)
          ? kWidthReadAheadBytes
          : 0;
  // The parts of a split export each read their own first rows ahead, beyond
  // what a streamed result keeps: such an export stores its rows.
  if (query_.KeepFirstRowsBytes > 0 && query_.ExtraOptions.count(moStoreResult) == 0 &&
      (plan.TemplateFile.ReadInteger("GENERAL", "SplitRows", 0) > 0 ||
       !Trim(plan.TemplateFile.ReadString("GENERAL", "SplitBytes", "")).empty())) {
    query_.ExtraOptions = {moStoreResult, moSpoolResult};
    query_.KeepFirstRowsBytes = 0;
  }
  // Read before the rows stream on the connection, which then runs nothing else.
  if (auto* script = dynamic_cast<TTabuloSQL*>(plan.Exporter.get())) {
    script->TimeZone = ReadScriptTimeZone(database_, transaction_);
  }
}

bool TExportRun::RunExporter(const TSourceItem& item, TItemPlan& plan, int& count) {
  TTabuloText& exporter = *plan.Exporter;
  exporter.DataSet = &query_;
  exporter.FileName = plan.Choice.FileName;
  exporter.Claims = &output_files_;
  exporter.Name = item.Name;
  exporter.OnExportedRecord = [this, &count](TTabulo&, int) { progress_.Update(++count); };
  exporter.OnFetchedRecord = [this](TTabulo&, int fetched) { progress_.UpdateReadAhead(fetched); };
  try {
    ReadGeneralSections(plan.TemplateFile, query_, exporter);
    ReadOutputSettings(plan.TemplateFile, exporter);
    exporter.ReadFormatSections(plan.TemplateFile, query_);
    if (query_.ExtraOptions.count(moStoreResult) != 0) progress_.SetTotal(RecordsInWindow(exporter));
    // Only once the settings are accepted: a refused template leaves no trace.
    const std::string directory = ExtractFileDir(plan.Choice.FileName);
    if (!Trim(directory).empty() && !DirectoryExists(directory)) ForceDirectories(directory);
    exporter.Execute();
  } catch (const std::exception& error) {
    // A connection lost while the rows came in is a failure to read the
    // result, like one while opening it: it ends the run.
    if (query_.DirQuery().ReadFailed()) throw;
    progress_.Finish();
    // Nothing was exported: a count line would read as success to a script.
    // A side file of an earlier item is named like the item's own file.
    output_.PrintFailure((output_files_.Refused() ? item.Name + ": " : std::string("ProcessedData: ")) +
                         error.what());
    return false;
  }
  progress_.Finish();
  return true;
}

void TExportRun::PrintItemLines(const TSourceItem& item, const TItemPlan& plan, bool empty, int count) {
  TTabuloText& exporter = *plan.Exporter;
  const std::string& file_name = plan.Choice.FileName;
  if (empty) {
    output_.PrintLine(item.Name + ": Dataset is empty");
  } else {
    PrintCountLine(item.Name, count, CountLineFileNames(file_name, exporter.PartFileNames()));
  }
  for (const std::string& line : LeftOutColumnLines(item.Name, exporter)) output_.PrintWarning(line);
  if (const std::uint64_t replaced = exporter.ReplacedCharacters(); replaced > 0) {
    if (exporter.ReplacementKind() == TTabuloText::rkInvalidUtf8) {
      output_.PrintWarning(item.Name + ": " + std::to_string(replaced) +
                           " invalid UTF-8 sequences were written to " + file_name + " as U+FFFD");
    } else {
      output_.PrintWarning(item.Name + ": " + std::to_string(replaced) +
                           " characters outside the character set of " + file_name +
                           " were written as \"?\"");
    }
  }
  if (!empty) {
    for (const std::string& note : exporter.ExportNotes(file_name)) output_.PrintWarning(item.Name + ": " + note);
  }
}

void TExportRun::ExportItem(const TSourceItem& item, const std::string& default_file_name) {
  TItemPlan plan;
  if (!PlanItem(item, default_file_name, plan) || !ClaimItemOutput(item, plan.Choice.FileName)) return;
  ChooseResultMode(plan);
  // Cleared before the item's line, or the run's error line, is printed.
  TProgressScope progress(progress_, item.Name);
  // A failure to open the result is not the item's alone: it ends the run.
  // A spool file that cannot hold the rows fails the item only.
  TQueryCloser closer(query_);
  try {
    query_.Open();
  } catch (const EVelmoraError& error) {
    if (!query_.DirQuery().SpoolFailed()) throw;
    progress_.Finish();
    output_.PrintFailure(std::string("ProcessedData: ") + error.what());
    return;
  }
  // A statement that gives no result set has no columns to write.
  if (!query_.Active()) {
    output_.PrintLine(item.Name + ": Dataset is empty");
    return;
  }
  // An empty result is still exported (captions, header and footer): a file
  // left from an earlier run would otherwise pass for today's data.
  const bool empty = query_.IsEmpty();
  int count = 0;
  if (RunExporter(item, plan, count)) PrintItemLines(item, plan, empty, count);
}

}  // namespace velmora
