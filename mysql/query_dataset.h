#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/dataset.h"
#include "mysql/components.h"
#include "mysql/direct_query.h"
#include "mysql/field_mapping.h"
#include "mysql/statement_text.h"

namespace velmora {

// moStoreResult: the whole result is transferred at once and held by the
// client. Without it the rows are streamed, read forward only, over a
// connection of their own; with moStreamOnTransaction too, over the
// transaction's connection, which then runs no other statement until the data
// set is closed (the rows are read inside the transaction's snapshot and with
// its current database). moSpoolResult, with moStoreResult: the stored rows
// wait in a spool file of the temporary directory instead of memory, so that
// memory stays bounded at any size of result while the cursor still moves
// freely.
enum TZMySqlExtraOption { moStoreResult, moUseGen, moStreamOnTransaction, moSpoolResult };
using TZMySqlExtraOptions = std::set<TZMySqlExtraOption>;

// A MySQL statement's result as a data set. Opening it lists the columns of
// the tables its FROM clause names, runs the statement and builds one field per
// result column; the fields read the client library's stored result directly.
class TZCustomMySqlDataset : public TDataSet {
 public:
  TZCustomMySqlDataset() = default;
  ~TZCustomMySqlDataset() override;
  TZCustomMySqlDataset(const TZCustomMySqlDataset&) = delete;
  TZCustomMySqlDataset& operator=(const TZCustomMySqlDataset&) = delete;

  TZMySqlDatabase* Database = nullptr;
  TZMySqlTransact* Transaction = nullptr;
  void SetDatabase(TZMySqlDatabase* database) { Database = database; }
  void SetTransaction(TZMySqlTransact* transaction) { Transaction = transaction; }

  // The whole statement text; its lines are joined with "\n".
  std::string Sql;
  TZMySqlExtraOptions ExtraOptions{moStoreResult};
  // A streamed result keeps its first rows up to about this many bytes, so
  // that an export can read them ahead and again (TDirMySqlQuery).
  std::size_t KeepFirstRowsBytes = 0;
  // Two-value enumerations such as enum('y','n') become Boolean fields.
  bool AlternativeView = false;

  // Raises "Database component not defined", "Transaction component not
  // defined", "Empty Query", "Error while activate transaction", or the
  // server's message for a rejected statement. A statement that returns no
  // result columns leaves the data set closed.
  void Open() override;
  void Close() override;
  bool Active() const override { return active_; }
  bool IsEmpty() const override { return active_ && empty_; }

  void First() override;
  void Next() override;
  bool Eof() const override { return !active_ || query_.Eof(); }

  bool CanMoveOnAndBack() const override { return !active_ || query_.CanMoveOnAndBack(); }

  // Bookmarks are row numbers counted from 0.
  TBookmark GetBookmark() override;
  void GotoBookmark(TBookmark bookmark) override;
  void FreeBookmark(TBookmark bookmark) override;

  // Rows of the result (while streaming: the rows read so far).
  std::int64_t RecordCount() const;
  // Position of the current record, from 0.
  std::int64_t RecNo() const { return static_cast<std::int64_t>(query_.RowNumber()); }

  // Runs the statement without opening a result.
  void ExecSql();
  std::uint64_t RowsAffected() const { return query_.AffectedRows(); }

  // What the column and index listings of the last open said.
  const std::vector<TTableReference>& Tables() const { return tables_; }
  const std::vector<TMySqlTableColumn>& TableColumns() const { return table_columns_; }

  TDirMySqlQuery& DirQuery() { return query_; }

 private:
  void CheckComponents() const;
  TDirMySqlTransact& ConnectForRun(bool store_result);
  void ReadTableColumns(TDirMySqlTransact& transact, const std::string& prepared);
  void BuildFields();
  int ResultColumnSize(unsigned int column, const st_mysql_field& description, TFieldType data_type,
                       unsigned int bytes_per_character);

  TDirMySqlQuery query_;
  TDirMySqlConnect private_connect_;
  TDirMySqlTransact private_transact_;
  TZMySqlTransact* open_transaction_ = nullptr;  // registered while open
  std::vector<TTableReference> tables_;
  std::vector<TMySqlTableColumn> table_columns_;
  bool active_ = false;
  bool empty_ = true;
};

// The query component of the console: a data set on one statement.
class TZMySqlQuery : public TZCustomMySqlDataset {};

}  // namespace velmora
