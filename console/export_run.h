#pragma once

#include <string>
#include <string_view>

#include "console/progress_line.h"
#include "console/source_settings.h"
#include "engine/tabulo.h"
#include "mysql/zmysql_query.h"
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
// the one connection, and the export of every table, view and query through the
// one query component. Errors that end the run escape from Run; errors of one
// item are printed and the run goes on.
class TExportRun {
 public:
  TExportRun(const TIniFile& parameter_file, TRunOutput& output);
  ~TExportRun();
  TExportRun(const TExportRun&) = delete;
  TExportRun& operator=(const TExportRun&) = delete;

  void Run();

 private:
  void Connect();
  // Opens the read-only consistent snapshot every item of the run reads.
  void StartSnapshot();
  void EndSnapshot();
  // Replaces the table list by the tables and views of the DBName database.
  void ListAllTables();
  void ExportTable(const TSourceItem& table);
  void ExportQuery(const TSourceItem& query);
  // False (the line printed) when the entry names nothing to export.
  bool HasItemName(const TSourceItem& item);
  // Looks up and selects the item's database. False (the line printed) when
  // the item is to be skipped.
  bool SelectItemDatabase(const TSourceItem& item);
  void SetStatement(const std::string& statement);
  // Chooses the output and the exporter and exports the prepared statement.
  void ExportItem(const TSourceItem& item, const std::string& default_file_name);
  struct TItemPlan;
  // The output, format, template and exporter of the item. False (the line
  // printed) when the item cannot be exported.
  bool PlanItem(const TSourceItem& item, const std::string& default_file_name, TItemPlan& plan);
  // Claims the item's output file. False (the line printed) when it is taken
  // or cannot be replaced safely.
  bool ClaimItemOutput(const TSourceItem& item, const std::string& file_name);
  // Streams the result or stores it, as the format and template need.
  void ChooseResultMode(const TItemPlan& plan);
  // Reads the template onto the exporter and runs it over the open result,
  // counting the records in count. False (the line printed) when it failed.
  bool RunExporter(const TSourceItem& item, TItemPlan& plan, int& count);
  // The count line of a finished item and its warnings.
  void PrintItemLines(const TSourceItem& item, const TItemPlan& plan, bool empty, int count);
  // The records the exporter's window holds in the stored result.
  std::int64_t RecordsInWindow(const TTabulo& exporter) const;
  void PrintCountLine(const std::string& name, int count, const std::string& file_name);
  // Records file_name as the item's output. False (the line printed) when an
  // earlier item of the run wrote the same file: the item would overwrite it.
  bool ClaimOutputFile(const TSourceItem& item, const std::string& file_name);

  const TIniFile& parameter_file_;
  TRunOutput& output_;
  TConnectionSettings connection_;
  TSourceLists sources_;
  TZMySqlDatabase database_;
  TZMySqlTransact transaction_;
  TZMySqlQuery query_;
  int version_number_ = 0;
  TOutputClaims output_files_;           // every file of every item
  TProgressLine progress_;               // on standard error, when that is a terminal
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
