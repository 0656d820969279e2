#include "mysql/direct_query.h"

#include <algorithm>
#include <string_view>

#include "mysql/client_library.h"
#include "mysql/field_mapping.h"
#include "mysql/statement_text.h"
#include "platform/error.h"
#include "platform/spool_file.h"
#include "platform/utf8.h"

namespace velmora {

TDirMySqlQuery::~TDirMySqlQuery() {
  try {
    Close();
  } catch (const EVelmoraError&) {
    // A connection that failed while its last results were read has nobody
    // left to tell; its next statement reports the failure.
  }
}

void TDirMySqlQuery::RaiseUnknownColumn() {
  throw EVelmoraError("Fatal internal error");
}

const MYSQL_FIELD& TDirMySqlQuery::FieldDescription(unsigned int index) const {
  if (result_ == nullptr || index >= field_count_) RaiseUnknownColumn();
  const MYSQL_FIELD* field = MySqlApi().mysql_fetch_field_direct(result_, index);
  if (field == nullptr) RaiseUnknownColumn();
  return *field;
}

std::uint64_t TDirMySqlQuery::RecordCount() const {
  if (result_ == nullptr) return 0;
  return stored_ ? stored_rows_ : MySqlApi().mysql_num_rows(result_);
}

bool TDirMySqlQuery::SendStatement(std::string& prepared) {
  if (transact_ == nullptr || !transact_->Active()) return false;
  Close();
  affected_rows_ = 0;
  status_ = qsNone;
  spool_failed_ = false;
  prepared = PrepareStatement(Sql);
  if (MySqlApi().mysql_real_query(transact_->Handle(), prepared.data(), prepared.size()) != 0) {
    status_ = qsFailed;
    return false;
  }
  return true;
}

void TDirMySqlQuery::Open() {
  std::string prepared;
  if (!SendStatement(prepared)) return;
  const TMySqlClientApi& api = MySqlApi();
  MYSQL* handle = transact_->Handle();
  stored_ = StoreResult;
  keeping_ = !stored_ && KeepFirstRowsBytes > 0;
  kept_bytes_ = 0;
  MYSQL_RES* result = api.mysql_use_result(handle);
  if (result == nullptr) {
    // No result: a statement without rows, or a result lost on the way.
    if (api.mysql_errno(handle) != 0) {
      status_ = qsFailed;
    } else {
      status_ = qsCommandDone;
      affected_rows_ = api.mysql_affected_rows(handle);
      DrainResults();
    }
    return;
  }
  const unsigned int field_count = api.mysql_num_fields(result);
  if (field_count == 0) {
    api.mysql_free_result(result);
    status_ = qsCommandDone;
    DrainResults();
    return;
  }

  result_ = result;
  field_count_ = field_count;
  try {
    if (stored_ && !StoreRows()) return;
    status_ = qsRowsReturned;
    // The rows of a stored result are all here: the results after it are
    // read at once so that other statements can use the connection meanwhile.
    if (stored_) DrainResults();
    row_number_ = 0;
    bof_ = true;
    if (stored_) {
      eof_ = stored_rows_ == 0;
      if (!eof_) ReadStoredRow(0);
    } else {
      stored_values_.assign(field_count_, nullptr);
      stored_lengths_.assign(field_count_, 0);
      eof_ = !FetchRow();
    }
  } catch (...) {
    Close();
    throw;
  }
}

bool TDirMySqlQuery::StoreRows() {
  const TMySqlClientApi& api = MySqlApi();
  MYSQL* handle = transact_->Handle();
  // A spool that fails (a full temporary directory) fails this result only.
  const auto spooling = [this](auto&& step) {
    try {
      step();
    } catch (const EVelmoraError&) {
      spool_failed_ = true;
      spooled_rows_.reset();
      throw;
    }
  };
  if (SpoolRows) {
    spooling([&] {
      spooled_rows_ = std::make_unique<TSpooledRows>(std::make_unique<TSpoolFile>(TemporaryDirectory()));
    });
  }
  while (MYSQL_ROW row = api.mysql_fetch_row(result_)) {
    const unsigned long* lengths = api.mysql_fetch_lengths(result_);
    if (lengths == nullptr) throw EVelmoraError("Fatal internal error");
    if (spooled_rows_) {
      spooling([&] { spooled_rows_->Append(row, lengths, field_count_); });
    } else {
      stored_rows_store_.Append(row, lengths, field_count_);
    }
  }
  if (spooled_rows_ && api.mysql_errno(handle) == 0) spooling([&] { spooled_rows_->FinishWriting(); });
  if (api.mysql_errno(handle) != 0) {
    // A result lost on the way is no result, as when the whole of it is
    // transferred at once.
    MYSQL_RES* result = result_;
    result_ = nullptr;
    api.mysql_free_result(result);
    stored_rows_store_.Clear();
    spooled_rows_.reset();
    field_count_ = 0;
    status_ = qsFailed;
    return false;
  }
  stored_rows_ = spooled_rows_ ? spooled_rows_->Count() : stored_rows_store_.Count();
  stored_values_.assign(field_count_, nullptr);
  stored_lengths_.assign(field_count_, 0);
  return true;
}

void TDirMySqlQuery::ReadStoredRow(std::uint64_t row) {
  ReadRowInto(row, stored_values_.data(), stored_lengths_.data());
  row_ = stored_values_.data();
  lengths_ = stored_lengths_.data();
}

void TDirMySqlQuery::ReadRowInto(std::uint64_t row, char** values, unsigned long* lengths) {
  if (spooled_rows_) {
    spooled_rows_->Read(row, field_count_, values, lengths);
  } else {
    stored_rows_store_.Read(row, field_count_, values, lengths);
  }
}

void TDirMySqlQuery::DrainResults() {
  if (transact_ == nullptr || !transact_->Active()) return;
  const TMySqlClientApi& api = MySqlApi();
  MYSQL* handle = transact_->Handle();
  while (api.mysql_more_results(handle)) {
    const int status = api.mysql_next_result(handle);
    if (status > 0) transact_->RaiseLastClientError();
    if (status < 0) return;
    MYSQL_RES* result = api.mysql_store_result(handle);
    if (result != nullptr) {
      api.mysql_free_result(result);
    } else if (api.mysql_errno(handle) != 0) {
      transact_->RaiseLastClientError();
    }
  }
}

void TDirMySqlQuery::Close() {
  MYSQL_RES* result = result_;
  result_ = nullptr;
  if (result != nullptr) {
    // Freeing a streamed result reads its remaining rows; the results that
    // follow it (the status of a CALL) are read here too, or the connection
    // refuses every later statement as out of sync.
    MySqlApi().mysql_free_result(result);
    DrainResults();
  }
  row_ = nullptr;
  lengths_ = nullptr;
  stored_rows_store_.Clear();
  spooled_rows_.reset();
  keeping_ = false;
  kept_bytes_ = 0;
  read_failed_ = false;
  field_count_ = 0;
  row_number_ = 0;
  stored_rows_ = 0;
  bof_ = true;
  eof_ = true;
}

void TDirMySqlQuery::Execute() {
  std::string prepared;
  if (!SendStatement(prepared)) return;
  const TMySqlClientApi& api = MySqlApi();
  MYSQL* handle = transact_->Handle();
  const std::string word = FirstWordUpper(prepared);
  const bool counts_rows = word == "SELECT" || word == "SHOW" || word == "DESCRIBE" || word == "BACKUP";
  // A statement that returns rows must have them read before the next one.
  if (counts_rows || api.mysql_field_count(handle) > 0) {
    MYSQL_RES* result = api.mysql_store_result(handle);
    if (result == nullptr && api.mysql_errno(handle) != 0) {
      status_ = qsFailed;
      return;
    }
    if (result != nullptr) {
      if (counts_rows) affected_rows_ = api.mysql_num_rows(result);
      api.mysql_free_result(result);
    }
    if (!counts_rows) affected_rows_ = api.mysql_affected_rows(handle);
  } else {
    affected_rows_ = api.mysql_affected_rows(handle);
  }
  DrainResults();
  status_ = qsCommandDone;
}

bool TDirMySqlQuery::FetchRow() {
  const TMySqlClientApi& api = MySqlApi();
  MYSQL_ROW row = api.mysql_fetch_row(result_);
  if (row == nullptr) {
    // The end of a streamed result, or a connection lost on the way: only the
    // error number tells them apart. A stored result ends where its row count
    // says, so a missing row there is always a failure.
    const unsigned int error_number = transact_ != nullptr ? transact_->LastClientErrno() : 0;
    if (error_number != 0) {
      read_failed_ = true;
      transact_->RaiseLastClientError();
    }
    if (stored_) throw EVelmoraError("Fatal internal error");
    // The library reuses the streamed row's memory: nothing of it stays readable.
    row_ = nullptr;
    lengths_ = nullptr;
    return false;
  }
  unsigned long* lengths = api.mysql_fetch_lengths(result_);
  if (lengths == nullptr) throw EVelmoraError("Fatal internal error");
  row_ = row;
  lengths_ = lengths;
  if (!stored_) KeepStreamedRow();
  return true;
}

void TDirMySqlQuery::First() {
  if (result_ == nullptr) return;
  Seek(0);
}

void TDirMySqlQuery::Next() {
  if (result_ == nullptr || eof_) return;
  if (stored_) {
    if (row_number_ + 1 >= stored_rows_) {
      eof_ = true;
      return;
    }
    ReadStoredRow(++row_number_);
    bof_ = false;
    return;
  }
  // The rows a streamed result kept are read again from its copies; past
  // them, the copies are no longer needed once they stop growing.
  const std::uint64_t kept = stored_rows_store_.Count();
  if (row_number_ + 1 < kept) {
    ReadStoredRow(++row_number_);
    bof_ = false;
    return;
  }
  const bool drop_kept = !keeping_ && kept > 0;
  // A streamed result ends one past its last row, so no earlier row can be
  // asked for again.
  const bool fetched = FetchRow();
  if (drop_kept) {
    stored_rows_store_.Clear();
    kept_bytes_ = 0;
  }
  if (fetched) {
    ++row_number_;
    bof_ = false;
  } else {
    ++row_number_;
    eof_ = true;
  }
}

void TDirMySqlQuery::Seek(std::uint64_t row) {
  if (result_ == nullptr) return;
  if (!stored_) {
    if (row < row_number_ || (eof_ && row < stored_rows_store_.Count())) {
      if (!KeepsRowsFrom(row)) throw EVelmoraError("Cannot move back in a streamed result");
      ReadStoredRow(row);
      row_number_ = row;
      bof_ = row == 0;
      eof_ = false;
      return;
    }
    while (row_number_ < row && !eof_) Next();
    return;
  }
  if (stored_rows_ == 0) {
    bof_ = true;
    eof_ = true;
    return;
  }
  if (row >= stored_rows_) throw EVelmoraError("Fatal internal error");
  ReadStoredRow(row);
  row_number_ = row;
  bof_ = row == 0;
  eof_ = false;
}

bool TDirMySqlQuery::CanMoveOnAndBack() const {
  if (stored_ || result_ == nullptr || eof_) return true;
  return row_number_ + 1 < stored_rows_store_.Count() || keeping_;
}

bool TDirMySqlQuery::KeepsRowsFrom(std::uint64_t row) const {
  const std::uint64_t kept = stored_rows_store_.Count();
  // At the end the cursor stands one past the last row: all of them are kept
  // when it stands just past the copies.
  return row < kept && (row_number_ < kept || (eof_ && row_number_ <= kept));
}

void TDirMySqlQuery::KeepStreamedRow() {
  if (!keeping_) return;
  stored_rows_store_.Append(row_, lengths_, field_count_);
  kept_bytes_ += sizeof(char*) + sizeof(std::uint32_t) * field_count_;
  for (unsigned int field = 0; field < field_count_; ++field) {
    if (row_[field] != nullptr) kept_bytes_ += lengths_[field] + 1;
  }
  if (kept_bytes_ >= KeepFirstRowsBytes) keeping_ = false;
}

std::size_t TDirMySqlQuery::LongestValueCharacters(unsigned int column) {
  if (result_ == nullptr || !stored_ || stored_rows_ == 0) return 0;
  if (column >= field_count_) RaiseUnknownColumn();
  std::size_t longest = 0;
  std::vector<char*> values(field_count_);
  std::vector<unsigned long> lengths(field_count_);
  for (std::uint64_t row = 0; row < stored_rows_; ++row) {
    ReadRowInto(row, values.data(), lengths.data());
    if (values[column] != nullptr) {
      longest = std::max(longest, Utf8Length(std::string_view(values[column], lengths[column])));
    }
  }
  // A spooled result reads its rows into one window: the cursor's row is read again.
  if (spooled_rows_ && row_ == stored_values_.data()) ReadStoredRow(row_number_);
  return longest;
}

}  // namespace velmora
