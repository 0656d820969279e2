#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/progress_line.h"
#include "console/source_settings.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"
#include "platform/output_claims.h"

namespace velmora {

// Receives the lines of a run. A failure line makes the exit status 1.
class TRunOutput {
 public:
  virtual ~TRunOutput() = default;
  virtual void PrintLine(const std::string& line) = 0;
  virtual void PrintFailure(const std::string& line) = 0;
  // A line for standard error that does not fail the run (a note about an item
  // exported all the same, a warning about the settings).
  virtual void PrintWarning(const std::string& line);
};

// The guarded part of a run: the settings and sources of the parameter file,
// the connections, and the export of every table, view and query. Errors that
// end the run before any item (settings, connecting, listing the tables) escape
// from Run; an item's failure is printed as lines that begin with its name,
// and the run goes on with the next item unless its statement failed without
// ContinueOnError. With Threads above one, up to that many items are exported
// at once, each on a connection of its own, their lines printed in item order.
class TExportRun {
 public:
  TExportRun(const TIniFile& parameter_file, TRunOutput& output);
  ~TExportRun();
  TExportRun(const TExportRun&) = delete;
  TExportRun& operator=(const TExportRun&) = delete;

  void Run();

 private:
  struct TSession;
  struct TItemPlan;
  struct TItemJob;

  // Connects the run's first connection, printing the connection lines.
  void Connect();
  // Connects one more connection with the settings of the first.
  TSession& AddSession();
  // Opens the read-only consistent snapshot every item of the run reads: on
  // the one connection, or on every connection under a global read lock.
  void StartSnapshot();
  void StartSharedSnapshot();
  void EndSnapshot();
  // Replaces the table list by the tables and views of the DBName database.
  void ListAllTables();
  // The jobs of the run in export order, tables first.
  std::vector<TItemJob> MakeJobs() const;
  // The checks that need no server: a name, a database, a statement. False
  // (the line printed) when the item is to be skipped.
  bool PrepareItem(TItemJob& job, TRunOutput& output) const;
  // Selects the item's database. False (the line printed) when the item is to
  // be skipped; raises when the connection is lost.
  bool SelectItemDatabase(TSession& session, const TItemJob& job, TRunOutput& output);
  // The output, format, template and exporter of the item. False (the line
  // printed) when the item cannot be exported.
  bool PlanItem(TItemJob& job, TRunOutput& output);
  // Claims the item's output file. False (the line printed) when it is taken
  // or cannot be replaced safely.
  bool ClaimItemOutput(TItemJob& job, TRunOutput& output);
  // Selects the database and exports the item on session, retrying once on a
  // fresh connection when the connection was lost outside a snapshot. False
  // when the run is to end after the item.
  bool RunItem(TSession& session, TItemJob& job, TRunOutput& output);
  // Exports a planned item; raises what fails the item's statement.
  void ExportItem(TSession& session, TItemJob& job, TRunOutput& output);
  // Streams the result or stores it, as the format and template need.
  void ChooseResultMode(TSession& session, const TItemPlan& plan);
  // Reads the template onto the exporter and runs it over the open result,
  // counting the records in count. False (the line printed) when it failed.
  bool RunExporter(TSession& session, TItemJob& job, TRunOutput& output, int& count);
  // The count line of a finished item and its warnings.
  void PrintItemLines(const TItemJob& job, TRunOutput& output, bool empty, int count) const;
  // The records the exporter's window holds in the stored result.
  static std::int64_t RecordsInWindow(TSession& session, const TTabulo& exporter);
  // One item after the other, each checked, planned and exported in turn.
  void RunSerial(std::vector<TItemJob>& jobs);
  // Every item checked, planned and claimed first, then up to Threads at once.
  void RunParallel(std::vector<TItemJob>& jobs);

  const TIniFile& parameter_file_;
  TRunOutput& output_;
  TConnectionSettings connection_;
  TSourceLists sources_;
  std::vector<std::unique_ptr<TSession>> sessions_;  // the first is the run's own
  int version_number_ = 0;
  TOutputClaims output_files_;  // every file of every item
};

// The default output file of an item: its name with ".xls". A "/" in the name
// becomes "_", so that a table name never steers the file into another directory.
std::string DefaultFileName(std::string_view name);

// True when an item of the parameter file writes to standard output (see
// NamesStandardOutput): the program's lines then go to standard error, so that
// the data stays clean. Decided before the run, so a setting that the run
// refuses counts as no output here.
bool RunWritesToStandardOutput(const TIniFile& parameter_file);

}  // namespace velmora
