#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mysql/client_types.h"
#include "mysql/direct_connection.h"
#include "mysql/spooled_rows.h"
#include "mysql/stored_rows.h"

namespace velmora {

enum TDirQueryStatus { qsNone, qsRowsReturned, qsCommandDone, qsFailed };

// One statement on one connection and the result it returned. A stored
// result's rows are read from the server at once into this query's own row
// store, in memory or in a spool file of the temporary directory; a streamed
// one's stay with the client library, one at a time. The current row points
// into them.
class TDirMySqlQuery {
 public:
  TDirMySqlQuery() = default;
  ~TDirMySqlQuery();
  TDirMySqlQuery(const TDirMySqlQuery&) = delete;
  TDirMySqlQuery& operator=(const TDirMySqlQuery&) = delete;

  void SetTransact(TDirMySqlTransact* transact) { transact_ = transact; }
  TDirMySqlTransact* Transact() const { return transact_; }

  // The statement as written; it is prepared (PrepareStatement) before sending.
  std::string Sql;
  // True: the whole result is transferred at once and the cursor moves freely.
  // False: rows are read from the server one by one, forward only.
  bool StoreResult = true;
  // With StoreResult: the rows wait in a spool file of the temporary directory
  // (TemporaryDirectory) instead of memory, so that a result of any size is
  // stored within a small bound of memory. The cursor moves as freely.
  bool SpoolRows = false;
  // A streamed result keeps copies of its first rows, up to about this many
  // bytes (0: none), so that the cursor can go back over them once: a format
  // that measures its columns reads them ahead, then again for the export.
  std::size_t KeepFirstRowsBytes = 0;

  // Sends the statement and, when it returns rows, positions on the first.
  // Without an active connection nothing happens. A rejected statement sets
  // the status qsFailed (the connection keeps the message).
  void Open();
  void Close();
  // Sends the statement without keeping a result; AffectedRows() then holds
  // the row count of a SELECT, SHOW, DESCRIBE or BACKUP, else the changed rows.
  void Execute();

  bool Active() const { return result_ != nullptr; }
  // True when reading a row of the open result failed on the connection (a
  // connection lost while streaming): the result ended before its last row.
  bool ReadFailed() const { return read_failed_; }
  // True when the last Open failed because the spool file could not be
  // created or written (a full temporary directory): a failure of the
  // statement's result alone, the connection is in order.
  bool SpoolFailed() const { return spool_failed_; }
  TDirQueryStatus Status() const { return status_; }
  std::uint64_t AffectedRows() const { return affected_rows_; }

  unsigned int FieldCount() const { return field_count_; }
  const st_mysql_field& FieldDescription(unsigned int index) const;
  // Rows in the result; while streaming, the rows read so far.
  std::uint64_t RecordCount() const;

  // Cursor over the rows. RowNumber counts from 0; at the end the cursor stays
  // on the last row and Eof is set.
  bool HasRow() const { return row_ != nullptr; }
  std::uint64_t RowNumber() const { return row_number_; }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  void First();
  void Next();
  // Positions on row number row (stored results only; a streamed result moves
  // forward only and raises on a move back).
  void Seek(std::uint64_t row);
  // True when Next keeps the way back to every row passed: always for a
  // stored result, and for a streamed one while the next row falls within
  // the first rows it keeps.
  bool CanMoveOnAndBack() const;

  // Characters (UTF-8) of the longest value of a column, read through the
  // whole stored result; the cursor stays where it was.
  std::size_t LongestValueCharacters(unsigned int column);

  // The current row's value of a column: false for SQL NULL (or no row).
  bool Value(unsigned int column, const char*& value, std::size_t& length) const {
    if (column >= field_count_) RaiseUnknownColumn();
    if (row_ == nullptr || row_[column] == nullptr) return false;
    value = row_[column];
    length = lengths_[column];
    return true;
  }

 private:
  // Prepares Sql and sends it on an active transaction; false when the
  // transaction is not active or the server refused the statement.
  bool SendStatement(std::string& prepared);
  [[noreturn]] static void RaiseUnknownColumn();
  // Reads the next row of the result into the cursor; false at the end.
  bool FetchRow();
  // Reads every row of the result into the row store (the spool with
  // SpoolRows); false when the connection failed on the way (status
  // qsFailed, the connection keeps the message).
  bool StoreRows();
  // Points the cursor at row row of the row store.
  void ReadStoredRow(std::uint64_t row);
  // Points values and lengths at the values of row of the row store.
  void ReadRowInto(std::uint64_t row, char** values, unsigned long* lengths);
  // Copies the streamed row under the cursor into the row store while the
  // first rows are kept; stops keeping once they reach KeepFirstRowsBytes.
  void KeepStreamedRow();
  // True when a streamed result can go back to row: every row from it to the
  // cursor is in the row store.
  bool KeepsRowsFrom(std::uint64_t row) const;
  // Reads and frees the results that follow the current one (a CALL sends its
  // status last). Raises the connection's error when one of them fails.
  void DrainResults();

  TDirMySqlTransact* transact_ = nullptr;
  st_mysql_res* result_ = nullptr;
  char** row_ = nullptr;  // MYSQL_ROW
  unsigned long* lengths_ = nullptr;
  TStoredRows stored_rows_store_;
  std::unique_ptr<TSpooledRows> spooled_rows_;  // a stored result's rows with SpoolRows
  std::vector<char*> stored_values_;  // the current stored row
  std::vector<unsigned long> stored_lengths_;
  unsigned int field_count_ = 0;
  std::uint64_t row_number_ = 0;
  std::uint64_t stored_rows_ = 0;
  bool stored_ = true;
  bool keeping_ = false;        // a streamed result still copies its rows
  std::size_t kept_bytes_ = 0;  // what the copies take
  bool read_failed_ = false;
  bool spool_failed_ = false;
  bool bof_ = true;
  bool eof_ = true;
  TDirQueryStatus status_ = qsNone;
  std::uint64_t affected_rows_ = 0;
};

}  // namespace velmora
