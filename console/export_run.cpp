#include "console/export_run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <memory>
#include <optional>

#include "console/item_pool.h"
#include "console/output_choice.h"
#include "console/script_session.h"
#include "console/template_sections.h"
#include "formats/format_registry.h"
#include "formats/sql/tabulo_sql.h"
#include "mysql/statement_text.h"
#include "mysql/zmysql_query.h"
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

// One connection of the run with the query that reads through it.
struct TExportRun::TSession {
  explicit TSession(int progress_descriptor) : Progress(progress_descriptor) {
    Transaction.SetDatabase(&Database);
    Query.Database = &Database;
    Query.Transaction = &Transaction;
  }

  TZMySqlDatabase Database;
  TZMySqlTransact Transaction;
  TZMySqlQuery Query;
  TProgressLine Progress;  // on standard error, when that is a terminal and one item runs at a time
};

// What an item is exported with, chosen before its result is opened.
struct TExportRun::TItemPlan {
  TOutputChoice Choice;
  const TExportFormat* Format = nullptr;
  TIniFile TemplateFile;
  std::unique_ptr<TTabuloText> Exporter;
};

// One table, view or query of the run on its way to its file.
struct TExportRun::TItemJob {
  const TSourceItem* Item = nullptr;
  bool IsQuery = false;
  std::string Database;
  std::string Statement;  // a query's text; a table's is built once the server version is known
  std::string DefaultFileName;
  bool Planned = false;  // the output was chosen and claimed (or refused)
  TItemPlan Plan;
  std::unique_ptr<TOutputClaims> Claims;  // the item's view on the run's claims
};

namespace {

// The lines of one item, kept while items run at once and printed in item order.
class TItemLines : public TRunOutput {
 public:
  void PrintLine(const std::string& line) override { lines_.push_back({lkLine, line}); }
  void PrintFailure(const std::string& line) override { lines_.push_back({lkFailure, line}); }
  void PrintWarning(const std::string& line) override { lines_.push_back({lkWarning, line}); }

  void Replay(TRunOutput& output) const {
    for (const TLine& line : lines_) {
      switch (line.Kind) {
        case lkLine:
          output.PrintLine(line.Text);
          break;
        case lkFailure:
          output.PrintFailure(line.Text);
          break;
        case lkWarning:
          output.PrintWarning(line.Text);
          break;
      }
    }
  }

 private:
  enum TLineKind { lkLine, lkFailure, lkWarning };
  struct TLine {
    TLineKind Kind;
    std::string Text;
  };
  std::vector<TLine> lines_;
};

// Client error numbers of a connection that is gone: the server went away or
// closed it, the connection was killed, the server is shutting down, or it
// dropped an idle client.
bool ConnectionLost(unsigned int error_number) {
  switch (error_number) {
    case 1053:  // server shutdown in progress
    case 1927:  // connection was killed
    case 2006:  // server has gone away
    case 2013:  // lost connection during query
    case 2055:  // lost connection, with the system error
    case 4031:  // disconnected by the server for inactivity
      return true;
    default:
      return false;
  }
}

}  // namespace

TExportRun::TExportRun(const TIniFile& parameter_file, TRunOutput& output)
    : parameter_file_(parameter_file), output_(output) {
  sessions_.push_back(std::make_unique<TSession>(STDERR_FILENO));
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
  const bool parallel = connection_.Threads > 1;
  if (connection_.Snapshot && !parallel) StartSnapshot();
  if (sources_.ListsAllTables()) ListAllTables();
  std::vector<TItemJob> jobs = MakeJobs();
  if (parallel) {
    RunParallel(jobs);
  } else {
    RunSerial(jobs);
  }
}

void TExportRun::StartSnapshot() {
  sessions_.front()->Transaction.DirTransact().Execute(
      "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
}

void TExportRun::StartSharedSnapshot() {
  // While the global read lock is held no transaction commits, so every
  // snapshot opened meanwhile sees the same data. The lock has a connection
  // of its own: it is released there once every item connection has its
  // snapshot.
  TSession locker(-1);
  locker.Database.Host = connection_.Host;
  locker.Database.Port = connection_.Port;
  locker.Database.Login = connection_.Login;
  locker.Database.Password = connection_.Password;
  locker.Database.Options = connection_.Options;
  locker.Database.Connect();
  // Taking the lock waits for the statements running on the server, and
  // writers wait behind it meanwhile: the wait is bounded.
  TDirMySqlTransact& lock_session = locker.Transaction.DirTransact();
  lock_session.Execute(Format("SET SESSION lock_wait_timeout = %u", connection_.LockWaitTimeout).c_str());
  try {
    lock_session.Execute("FLUSH TABLES WITH READ LOCK");
  } catch (const std::exception& error) {
    constexpr unsigned int kLockWaitTimeoutErrno = 1205;
    if (lock_session.LastClientErrno() == kLockWaitTimeoutErrno) {
      throw EVelmoraError(Format("Snapshot=1 with Threads above 1: the global read lock was not granted within "
                                 "%u seconds (LockWaitTimeout): ",
                                 connection_.LockWaitTimeout) +
                          error.what());
    }
    throw EVelmoraError(std::string("Snapshot=1 with Threads above 1 needs the global read lock "
                                    "(the RELOAD privilege): ") +
                        error.what());
  }
  for (const auto& session : sessions_) {
    session->Transaction.DirTransact().Execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
  }
  locker.Transaction.DirTransact().Execute("UNLOCK TABLES");
}

void TExportRun::EndSnapshot() {
  // Nothing was written inside the snapshot: committing only releases it.
  for (const auto& session : sessions_) {
    session->Query.Close();
    session->Transaction.DirTransact().Execute("COMMIT");
  }
}

void TExportRun::Connect() {
  // A port that is no number used to become the default port, and the run
  // reached whatever server listens there.
  connection_.CheckPort();
  output_.PrintLine("Connecting to " + connection_.Host + "...");
  TSession& session = *sessions_.front();
  session.Database.Host = connection_.Host;
  session.Database.Port = connection_.Port;
  session.Database.Login = connection_.Login;
  session.Database.Password = connection_.Password;
  session.Database.Options = connection_.Options;
  session.Database.Database.clear();
  session.Database.Connect();
  version_number_ = ServerVersionNumber(session.Transaction.ServerVersion());
  output_.PrintLine("Connection successful");
  output_.PrintLine("");
}

TExportRun::TSession& TExportRun::AddSession() {
  auto session = std::make_unique<TSession>(-1);
  const TZMySqlDatabase& first = sessions_.front()->Database;
  session->Database.Host = first.Host;
  session->Database.Port = first.Port;
  session->Database.Login = first.Login;
  session->Database.Password = first.Password;
  session->Database.Options = first.Options;
  session->Database.Connect();
  sessions_.push_back(std::move(session));
  return *sessions_.back();
}

void TExportRun::ListAllTables() {
  // The listing needs a current database, and no item has chosen one yet.
  if (Trim(connection_.DBName).empty()) {
    throw EVelmoraError("The Tables entry All=1 needs the database in DBName of the Connection section");
  }
  TSession& session = *sessions_.front();
  session.Database.SelectDatabase(connection_.DBName);
  session.Query.Close();
  session.Query.ExtraOptions = {moStoreResult};
  session.Query.Sql = "Show tables";
  session.Query.Open();
  std::vector<std::string> names;
  {
    TQueryCloser closer(session.Query);
    while (session.Query.Active() && !session.Query.Eof()) {
      names.push_back(session.Query.Field(0).AsString());
      session.Query.Next();
    }
  }
  sources_.ReplaceTables(names);
}

std::vector<TExportRun::TItemJob> TExportRun::MakeJobs() const {
  std::vector<TItemJob> jobs;
  for (const auto* list : {&sources_.Tables, &sources_.Queries}) {
    for (const TSourceItem& item : *list) {
      TItemJob& job = jobs.emplace_back();
      job.Item = &item;
      job.IsQuery = list == &sources_.Queries;
    }
  }
  return jobs;
}

bool TExportRun::PrepareItem(TItemJob& job, TRunOutput& output) const {
  const TSourceItem& item = *job.Item;
  // Without a name the statement would fail on the server.
  if (Trim(item.Name).empty()) {
    output.PrintFailure(item.Key + ": No name specified in [" + item.Section + "]");
    return false;
  }
  job.Database = ReadItemDatabase(parameter_file_, item.Key);
  if (Trim(job.Database).empty()) {
    output.PrintFailure(item.Name + ": No database specified");
    return false;
  }
  if (!job.IsQuery) {
    job.Statement = Format("select * from %s %s", QuoteTableName(item.Name, version_number_).c_str(), "");
    job.DefaultFileName = DefaultFileName(item.Name);
    return true;
  }
  const std::optional<std::string> text = ReadQueryText(parameter_file_, item.Key);
  // A section without any statement text would only fail on the server.
  if (!text.has_value() || Trim(*text).empty()) {
    output.PrintFailure(item.Name + ": No SQL statement specified");
    return false;
  }
  job.Statement = *text;
  job.DefaultFileName = DefaultFileName(item.Key);
  return true;
}

bool TExportRun::SelectItemDatabase(TSession& session, const TItemJob& job, TRunOutput& output) {
  try {
    if (!session.Database.Connected()) session.Database.Connect();
    session.Database.SelectDatabase(job.Database);
  } catch (const std::exception& error) {
    // A lost connection is the run's concern, not the database's.
    if (ConnectionLost(session.Transaction.DirTransact().LastClientErrno())) throw;
    // The previous database is still current: exporting now would read the
    // item from the wrong database.
    output.PrintFailure(job.Item->Name + ": ERROR: " + error.what());
    return false;
  }
  return true;
}

std::int64_t TExportRun::RecordsInWindow(TSession& session, const TTabulo& exporter) {
  const TRecordWindow window = exporter.RecordWindow();
  if (window.CurrentRecordOnly) return 1;
  const TZMySqlQuery& query = session.Query;
  std::int64_t records = query.RecordCount() - (window.GoToFirstRecord ? 0 : query.RecNo());
  records = std::max<std::int64_t>(0, records - window.SkipRecCount);
  return window.ExportRecCount > 0 ? std::min<std::int64_t>(records, window.ExportRecCount) : records;
}

bool TExportRun::PlanItem(TItemJob& job, TRunOutput& output) {
  const TSourceItem& item = *job.Item;
  TItemPlan& plan = job.Plan;
  const TItemFileSettings file_settings = ReadItemFileSettings(parameter_file_, item.Key);
  try {
    const TIniFile own_template =
        file_settings.OwnTemplate.empty() ? TIniFile() : TIniFile(file_settings.OwnTemplate);
    plan.Choice = ChooseOutput(job.DefaultFileName, file_settings, own_template);
    plan.Format = FindExportFormat(plan.Choice.ExportType);
    if (plan.Format == nullptr) {
      output.PrintFailure(item.Name + ": Unknown export type " + std::to_string(plan.Choice.ExportType));
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
        output.PrintFailure(item.Name + ": Template file \"" + named->FileName() + "\" does not exist");
        return false;
      }
    }
    if (const std::string refusal = OutputRefusal(plan.Choice, *plan.Format);
        !refusal.empty()) {
      output.PrintFailure(item.Name + ": " + refusal);
      return false;
    }
    plan.Exporter = plan.Format->Create();
  } catch (const std::exception& error) {
    output.PrintFailure(item.Name + ": ProcessedData: " + error.what());
    return false;
  }
  return true;
}

bool TExportRun::ClaimItemOutput(TItemJob& job, TRunOutput& output) {
  const TSourceItem& item = *job.Item;
  const std::string& file_name = job.Plan.Choice.FileName;
  job.Claims = std::make_unique<TOutputClaims>(output_files_);
  job.Claims->BeginUser(item.Name);
  // An earlier item wrote the same file: this one would overwrite it.
  if (job.Claims->EarlierName(file_name) != nullptr) {
    output.PrintFailure(item.Name + ": Output file " + file_name + " is already used by an earlier item");
    return false;
  }
  job.Claims->Claim(file_name);
  if (const std::string refusal = TOutputFile::InPlaceRefusal(file_name); !refusal.empty()) {
    output.PrintFailure(item.Name + ": " + refusal);
    return false;
  }
  return true;
}

void TExportRun::ChooseResultMode(TSession& session, const TItemPlan& plan) {
  TZMySqlQuery& query = session.Query;
  // An export that never reads ahead writes the rows as the server sends them,
  // on the item's connection (inside its snapshot), holding only one at a time.
  // One that reads ahead has them read whole first, into a spool file unless
  // memory is asked for, so that its passes can go over them again.
  switch (ResultModeOf(*plan.Format, plan.TemplateFile, connection_.StoreResult)) {
    case rmStreamed:
      query.ExtraOptions = {moStreamOnTransaction};
      break;
    case rmSpooled:
      query.ExtraOptions = {moStoreResult, moSpoolResult};
      break;
    case rmInMemory:
      query.ExtraOptions = {moStoreResult};
      break;
  }
  // A format that sizes its columns by their content reads the first rows of
  // a streamed result ahead: the rows must stay at hand, within a bound. One
  // that widens its columns after writing the rows reads them once.
  query.KeepFirstRowsBytes =
      plan.Exporter->ContentWidthCap() >= 0 && !plan.Exporter->WidensAfterWriting(plan.Choice.FileName)
          ? kWidthReadAheadBytes
          : 0;
  // The parts of a split export each read their own first rows ahead, beyond
  // what a streamed result keeps: such an export stores its rows.
  if (query.KeepFirstRowsBytes > 0 && query.ExtraOptions.count(moStoreResult) == 0 &&
      (plan.TemplateFile.ReadInteger("GENERAL", "SplitRows", 0) > 0 ||
       !Trim(plan.TemplateFile.ReadString("GENERAL", "SplitBytes", "")).empty())) {
    query.ExtraOptions = {moStoreResult, moSpoolResult};
    query.KeepFirstRowsBytes = 0;
  }
  // Read before the rows stream on the connection, which then runs nothing else.
  if (auto* script = dynamic_cast<TTabuloSQL*>(plan.Exporter.get())) {
    script->TimeZone = ReadScriptTimeZone(session.Database, session.Transaction);
  }
}

bool TExportRun::RunExporter(TSession& session, TItemJob& job, TRunOutput& output, int& count) {
  const TSourceItem& item = *job.Item;
  TItemPlan& plan = job.Plan;
  TTabuloText& exporter = *plan.Exporter;
  TZMySqlQuery& query = session.Query;
  TProgressLine& progress = session.Progress;
  exporter.DataSet = &query;
  exporter.FileName = plan.Choice.FileName;
  exporter.Claims = job.Claims.get();
  exporter.Name = item.Name;
  exporter.OnExportedRecord = [&progress, &count](TTabulo&, int) { progress.Update(++count); };
  exporter.OnFetchedRecord = [&progress](TTabulo&, int fetched) { progress.UpdateReadAhead(fetched); };
  try {
    ReadGeneralSections(plan.TemplateFile, query, exporter);
    ReadOutputSettings(plan.TemplateFile, exporter);
    exporter.ReadFormatSections(plan.TemplateFile, query);
    if (query.ExtraOptions.count(moStoreResult) != 0) progress.SetTotal(RecordsInWindow(session, exporter));
    // Only once the settings are accepted: a refused template leaves no trace.
    const std::string directory = ExtractFileDir(plan.Choice.FileName);
    if (!Trim(directory).empty() && !DirectoryExists(directory)) ForceDirectories(directory);
    exporter.Execute();
  } catch (const std::exception& error) {
    // A connection lost while the rows came in is a failure to read the
    // result, like one while opening it: it fails the item's statement.
    if (query.DirQuery().ReadFailed()) throw;
    progress.Finish();
    // Nothing was exported: a count line would read as success to a script.
    // A side file of an earlier item is named like the item's own file.
    output.PrintFailure(item.Name + (job.Claims->Refused() ? ": " : ": ProcessedData: ") + error.what());
    return false;
  }
  progress.Finish();
  return true;
}

void TExportRun::PrintItemLines(const TItemJob& job, TRunOutput& output, bool empty, int count) const {
  const std::string& name = job.Item->Name;
  TTabuloText& exporter = *job.Plan.Exporter;
  const std::string& file_name = job.Plan.Choice.FileName;
  if (empty) {
    output.PrintLine(name + ": Dataset is empty");
  } else {
    output.PrintLine(name + ": " + std::to_string(count) + " records exported to " +
                     CountLineFileNames(file_name, exporter.PartFileNames()));
  }
  for (const std::string& line : LeftOutColumnLines(name, exporter)) output.PrintWarning(line);
  if (const std::uint64_t replaced = exporter.ReplacedCharacters(); replaced > 0) {
    if (exporter.ReplacementKind() == TTabuloText::rkInvalidUtf8) {
      output.PrintWarning(name + ": " + std::to_string(replaced) +
                          " invalid UTF-8 sequences were written to " + file_name + " as U+FFFD");
    } else {
      output.PrintWarning(name + ": " + std::to_string(replaced) +
                          " characters outside the character set of " + file_name + " were written as \"?\"");
    }
  }
  if (!empty) {
    for (const std::string& note : exporter.ExportNotes(file_name)) output.PrintWarning(name + ": " + note);
  }
}

void TExportRun::ExportItem(TSession& session, TItemJob& job, TRunOutput& output) {
  if (!SelectItemDatabase(session, job, output)) return;
  // The database is selected before the output is claimed: an item that
  // cannot read its database leaves its file to a later item.
  if (!job.Planned) {
    job.Planned = true;
    if (!PlanItem(job, output) || !ClaimItemOutput(job, output)) return;
  }
  TZMySqlQuery& query = session.Query;
  query.Close();
  query.Sql = job.Statement;
  ChooseResultMode(session, job.Plan);
  // Cleared before the item's line is printed, whatever way the item ends.
  TProgressScope progress(session.Progress, job.Item->Name);
  // A failure to open the result fails the item's statement. A spool file
  // that cannot hold the rows fails the item only.
  TQueryCloser closer(query);
  try {
    query.Open();
  } catch (const EVelmoraError& error) {
    if (!query.DirQuery().SpoolFailed()) throw;
    session.Progress.Finish();
    output.PrintFailure(job.Item->Name + ": ProcessedData: " + error.what());
    return;
  }
  // A statement that gives no result set has no columns to write.
  if (!query.Active()) {
    output.PrintLine(job.Item->Name + ": Dataset is empty");
    return;
  }
  // An empty result is still exported (captions, header and footer): a file
  // left from an earlier run would otherwise pass for today's data.
  const bool empty = query.IsEmpty();
  int count = 0;
  if (RunExporter(session, job, output, count)) PrintItemLines(job, output, empty, count);
}

bool TExportRun::RunItem(TSession& session, TItemJob& job, TRunOutput& output) {
  for (bool retried = false;; retried = true) {
    std::string message;
    bool lost = false;
    try {
      ExportItem(session, job, output);
      return true;
    } catch (const std::exception& error) {
      message = error.what();
      lost = ConnectionLost(session.Transaction.DirTransact().LastClientErrno());
    }
    // A new connection would read another snapshot than the other items: a
    // connection lost inside one ends the run.
    if (lost && connection_.ContinueOnError && !connection_.Snapshot && !retried) {
      output.PrintWarning(job.Item->Name + ": " + message +
                          "; connecting again to export the item once more");
      try {
        session.Database.Disconnect();
        session.Database.Connect();
        // The exporter of the failed attempt has run; the next one starts
        // afresh, under the item's own claims.
        if (job.Plan.Format != nullptr) job.Plan.Exporter = job.Plan.Format->Create();
        continue;
      } catch (const std::exception& error) {
        message = error.what();
      }
    }
    output.PrintFailure(job.Item->Name + ": ERROR: " + message);
    return connection_.ContinueOnError && !lost;
  }
}

void TExportRun::RunSerial(std::vector<TItemJob>& jobs) {
  TSession& session = *sessions_.front();
  for (TItemJob& job : jobs) {
    if (PrepareItem(job, output_) && !RunItem(session, job, output_)) return;
  }
  if (connection_.Snapshot) EndSnapshot();
}

void TExportRun::RunParallel(std::vector<TItemJob>& jobs) {
  // Decided before any item starts, in item order: which items run and which
  // file each one claims, so that two items never write one file whatever
  // order they finish in.
  std::vector<TItemLines> lines(jobs.size());
  std::vector<TPoolItem> items(jobs.size());
  std::size_t runnable = 0;
  for (std::size_t index = 0; index < jobs.size(); ++index) {
    TItemJob& job = jobs[index];
    job.Planned = true;
    items[index].Runs =
        PrepareItem(job, lines[index]) && PlanItem(job, lines[index]) && ClaimItemOutput(job, lines[index]);
    // Items writing to one stream (standard output, a pipe, a device) are not
    // told apart by their file claims: they take turns, in item order, so that
    // their bytes come out as one item after the other.
    items[index].Sequential = items[index].Runs && OutputFileIdentity(job.Plan.Choice.FileName).empty();
    if (items[index].Runs) ++runnable;
  }
  const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(connection_.Threads), runnable);
  // Items that run at once would draw over each other's progress line.
  sessions_.front()->Progress = TProgressLine(-1);
  while (sessions_.size() < std::max<std::size_t>(threads, 1)) AddSession();
  if (connection_.Snapshot) StartSharedSnapshot();

  std::atomic<bool> stopped{false};
  RunPool(
      items, threads,
      [&](std::size_t worker, std::size_t index) {
        if (RunItem(*sessions_[worker], jobs[index], lines[index])) return true;
        stopped = true;
        return false;
      },
      // An item that never started once the run stopped has no lines.
      [&](std::size_t index) { lines[index].Replay(output_); });
  if (!stopped && connection_.Snapshot) EndSnapshot();
}

}  // namespace velmora
