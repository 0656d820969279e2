#include "mysql/query_dataset.h"

#include <algorithm>
#include <climits>

#include "platform/text_utils.h"
#include "mysql/client_library.h"
#include "mysql/zmysql_field.h"
#include "platform/error.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

// Server errors that mean a name of the FROM clause is no table of its own
// (a common table expression, say): that table simply has no column listing.
constexpr unsigned int kNoSuchTable = 1146;
constexpr unsigned int kNoSuchDatabase = 1049;

std::string_view ColumnText(MYSQL_ROW row, const unsigned long* lengths, unsigned int column,
                            unsigned int column_count) {
  if (column >= column_count || row[column] == nullptr) return {};
  return {row[column], lengths[column]};
}

// Runs a listing statement and hands each row to read_row. Returns false when
// the server knows no such table.
template <typename TReadRow>
bool RunListing(TDirMySqlTransact& transact, const std::string& statement, TReadRow read_row) {
  const TMySqlClientApi& api = MySqlApi();
  MYSQL* handle = transact.Handle();
  if (api.mysql_real_query(handle, statement.data(), statement.size()) != 0) {
    const unsigned int error_number = api.mysql_errno(handle);
    if (error_number == kNoSuchTable || error_number == kNoSuchDatabase) return false;
    transact.RaiseLastClientError();
  }
  MYSQL_RES* result = api.mysql_store_result(handle);
  if (result == nullptr) {
    if (api.mysql_errno(handle) != 0) transact.RaiseLastClientError();
    return true;
  }
  const unsigned int column_count = api.mysql_num_fields(result);
  try {
    while (MYSQL_ROW row = api.mysql_fetch_row(result)) {
      const unsigned long* lengths = api.mysql_fetch_lengths(result);
      if (lengths == nullptr) throw EVelmoraError("Fatal internal error");
      read_row([&](unsigned int column) { return ColumnText(row, lengths, column, column_count); });
    }
    if (api.mysql_errno(handle) != 0) transact.RaiseLastClientError();
  } catch (...) {
    api.mysql_free_result(result);
    throw;
  }
  api.mysql_free_result(result);
  return true;
}

// The declaration of a result column: the table column's own when the result
// column is one, else what its description tells. Character data arriving in
// the connection's character set reports that set's number whatever the
// column's own set is, so only a table column names its own set.
TSourceColumnType SourceColumnType(const MYSQL_FIELD& description, unsigned int bytes_per_character,
                                   const TMySqlTableColumn* table_column) {
  TSourceColumnType source;
  if (table_column != nullptr) {
    source.Type = table_column->TypeText;
    source.Collation = table_column->Collation;
    source.CharacterSet = CollationCharacterSet(source.Collation);
    if (!source.Type.empty()) return source;
  }
  TResultColumnMetadata metadata;
  metadata.TypeCode = description.type;
  metadata.Length = description.length;
  metadata.Decimals = description.decimals;
  metadata.Flags = description.flags;
  metadata.CharsetNumber = description.charsetnr;
  metadata.BytesPerCharacter = bytes_per_character;
  source.Type = ResultColumnTypeText(metadata);
  const bool character_data =
      description.charsetnr != kMySqlBinaryCharset &&
      (source.Type.find("char") != std::string::npos || source.Type.find("text") != std::string::npos);
  if (character_data) {
    // The connection's set; a binary collation of any set keeps comparing
    // bytes in the binary collation of this one.
    source.CharacterSet = "utf8mb4";
    if ((description.flags & kMySqlBinaryFlag) != 0) source.Collation = "utf8mb4_bin";
  }
  return source;
}

}  // namespace

TZCustomMySqlDataset::~TZCustomMySqlDataset() {
  Close();
}

void TZCustomMySqlDataset::CheckComponents() const {
  if (Database == nullptr) throw EVelmoraError("Database component not defined");
  if (Transaction == nullptr) throw EVelmoraError("Transaction component not defined");
}

TDirMySqlTransact& TZCustomMySqlDataset::ConnectForRun(bool store_result) {
  Transaction->Connect();
  if (!Transaction->Connected()) throw EVelmoraError("Error while activate transaction");
  if (store_result || ExtraOptions.count(moStreamOnTransaction) != 0) return Transaction->DirTransact();

  // A streamed result holds its connection until the last row is read, so it
  // gets a connection of its own unless told to use the transaction's.
  const TDirMySqlConnect& settings = Database->DirConnect();
  private_connect_.Host = settings.Host;
  private_connect_.Port = settings.Port;
  private_connect_.Database = settings.Database;
  private_connect_.Login = settings.Login;
  private_connect_.Password = settings.Password;
  private_connect_.ClientFlags = settings.ClientFlags;
  private_connect_.Connect();
  if (!private_connect_.Active()) throw EVelmoraError("Server connection error");
  private_transact_.SetConnect(&private_connect_);
  private_transact_.TransactSafe = Transaction->TransactSafe;
  private_transact_.Open();
  if (private_transact_.Status() != dsOk || !private_transact_.Active()) {
    throw EVelmoraError("Server connection error");
  }
  return private_transact_;
}

void TZCustomMySqlDataset::Open() {
  if (active_) return;
  CheckComponents();
  const std::string prepared = PrepareStatement(Sql);
  const bool store_result = ExtraOptions.count(moStoreResult) != 0;
  TDirMySqlTransact& run_on = ConnectForRun(store_result);

  try {
    ReadTableColumns(Transaction->DirTransact(), prepared);
    query_.SetTransact(&run_on);
    query_.Sql = prepared;
    query_.StoreResult = store_result;
    query_.SpoolRows = store_result && ExtraOptions.count(moSpoolResult) != 0;
    query_.KeepFirstRowsBytes = KeepFirstRowsBytes;
    query_.Open();
    if (!query_.Active()) {
      if (query_.Status() == qsFailed) run_on.RaiseLastClientError();
      // A statement without result columns: done, and nothing to read.
      private_transact_.CloseWithoutRollback();
      return;
    }
    empty_ = !query_.HasRow();
    BuildFields();
  } catch (...) {
    query_.Close();
    fields_.clear();
    private_transact_.CloseWithoutRollback();
    throw;
  }
  open_transaction_ = Transaction;
  open_transaction_->Register(this);
  active_ = true;
}

void TZCustomMySqlDataset::Close() {
  query_.Close();
  fields_.clear();
  private_transact_.CloseWithoutRollback();
  if (open_transaction_ != nullptr) open_transaction_->Unregister(this);
  open_transaction_ = nullptr;
  active_ = false;
  empty_ = true;
}

void TZCustomMySqlDataset::ExecSql() {
  CheckComponents();
  PrepareStatement(Sql);  // "Empty Query" before the server is contacted
  if (active_) Close();
  TDirMySqlTransact& run_on = ConnectForRun(true);
  query_.SetTransact(&run_on);
  query_.Sql = Sql;
  query_.Execute();
  if (query_.Status() == qsFailed) run_on.RaiseLastClientError();
  if (query_.Status() != qsCommandDone) throw EVelmoraError("Error while activate transaction");
}

// ---------------------------------------------------------------------------
// Cursor

void TZCustomMySqlDataset::First() {
  if (active_) query_.First();
}

void TZCustomMySqlDataset::Next() {
  if (active_) query_.Next();
}

TBookmark TZCustomMySqlDataset::GetBookmark() {
  return static_cast<TBookmark>(query_.RowNumber());
}

void TZCustomMySqlDataset::GotoBookmark(TBookmark bookmark) {
  if (!active_) return;
  if (bookmark < 0) throw EVelmoraError("Fatal internal error");
  query_.Seek(static_cast<std::uint64_t>(bookmark));
}

void TZCustomMySqlDataset::FreeBookmark(TBookmark) {}

std::int64_t TZCustomMySqlDataset::RecordCount() const {
  return static_cast<std::int64_t>(query_.RecordCount());
}

// ---------------------------------------------------------------------------
// Metadata and fields

void TZCustomMySqlDataset::ReadTableColumns(TDirMySqlTransact& transact, const std::string& prepared) {
  tables_.clear();
  for (TTableReference& table : TablesInFromClause(prepared)) {
    // A table joined to itself is listed once.
    if (std::find(tables_.begin(), tables_.end(), table) == tables_.end())
      tables_.push_back(std::move(table));
  }
  table_columns_.clear();
  const int version = ServerVersionNumber(transact.ServerVersion());
  for (const TTableReference& table : tables_) {
    const std::size_t first_column = table_columns_.size();
    const bool listed = RunListing(transact, ColumnListingStatement(table, version), [&](auto column_text) {
      TMySqlTableColumn column;
      column.Database = table.Database;
      column.Table = table.Name;
      column.Name = column_text(0);
      column.TypeText = column_text(1);
      if (const std::string_view collation = column_text(2); collation != "NULL")
        column.Collation = collation;
      column.NullAllowed = SameText(column_text(3), "YES");
      const std::string_view default_text = column_text(5);
      column.HasDefault = !default_text.empty() && default_text != "NULL";
      if (column.HasDefault) {
        column.Default += '\'';
        column.Default.append(default_text);
        column.Default += '\'';
      }
      column.AutoIncrement = SameText(column_text(6), "auto_increment");
      table_columns_.push_back(std::move(column));
    });
    if (!listed) continue;
    RunListing(transact, IndexListingStatement(table, version), [&](auto column_text) {
      if (column_text(2) != "PRIMARY") return;
      for (std::size_t index = first_column; index < table_columns_.size(); ++index) {
        if (SameText(table_columns_[index].Name, column_text(4))) table_columns_[index].PrimaryKey = true;
      }
    });
  }
}

int TZCustomMySqlDataset::ResultColumnSize(unsigned int column, const MYSQL_FIELD& description,
                                           TFieldType data_type, unsigned int bytes_per_character) {
  // Sizes count characters: the declared width of character data is given in
  // bytes of the connection's character set.
  const bool binary = description.charsetnr == kMySqlBinaryCharset;
  unsigned long size = binary ? description.length : description.length / bytes_per_character;
  const char* value = nullptr;
  std::size_t length = 0;
  if (query_.Value(column, value, length)) {
    size = std::max<unsigned long>(size, binary ? length : Utf8Length({value, length}));
  }
  if (description.max_length > size) {
    // The longest value is known in bytes only; its characters are counted
    // where they decide how much of a string value is shown.
    if (!binary && data_type == ftString && query_.StoreResult) {
      size = std::max<unsigned long>(size, query_.LongestValueCharacters(column));
    } else {
      size = description.max_length;
    }
  }
  return static_cast<int>(std::min<unsigned long>(size, INT_MAX));
}

void TZCustomMySqlDataset::BuildFields() {
  fields_.clear();
  const TMySqlClientApi& api = MySqlApi();
  unsigned int bytes_per_character = 1;
  if (api.mysql_get_character_set_info != nullptr) {
    MY_CHARSET_INFO charset{};
    api.mysql_get_character_set_info(query_.Transact()->Handle(), &charset);
    bytes_per_character = std::max(1U, charset.mbmaxlen);
  }

  for (unsigned int column = 0; column < query_.FieldCount(); ++column) {
    const MYSQL_FIELD& description = query_.FieldDescription(column);
    const std::string name(description.name, description.name_length);
    TMySqlColumnReading reading;
    reading.Binary = description.charsetnr == kMySqlBinaryCharset;
    reading.CompactTimestamp = description.type == MYSQL_TYPE_TIMESTAMP;

    reading.ResultLength = reading.Binary ? description.length : description.length / bytes_per_character;

    // A table column describes a result column only when the result column is
    // that very column, named as the table names it: an expression or another
    // table's column of the same name would otherwise be read, and cut, as it.
    const std::string_view origin_name(description.org_name, description.org_name_length);
    const std::string_view origin_table(description.org_table, description.org_table_length);
    const std::string_view origin_database(description.db, description.db_length);
    TTypeTextMapping mapping;
    const auto table_column =
        std::find_if(table_columns_.begin(), table_columns_.end(), [&](const TMySqlTableColumn& c) {
          return SameText(c.Name, name) && SameText(c.Name, origin_name) && SameText(c.Table, origin_table) &&
                 (c.Database.empty() || SameText(c.Database, origin_database));
        });
    if (table_column != table_columns_.end()) mapping = MapTypeText(table_column->TypeText, AlternativeView);
    // The declaration is the table column's own whatever the result calls
    // it (an alias, a second column of one name): only the origin counts.
    const auto origin_column =
        std::find_if(table_columns_.begin(), table_columns_.end(), [&](const TMySqlTableColumn& c) {
          return !origin_name.empty() && SameText(c.Name, origin_name) && SameText(c.Table, origin_table) &&
                 (c.Database.empty() || SameText(c.Database, origin_database));
        });
    if (mapping.DataType == ftUnknown) {
      // A type text no rule knows (binary, bit, ...) or no table column of
      // this name: the result column's own description decides.
      mapping.DataType = MapResultColumnType(description.type, description.flags, description.charsetnr);
      mapping.Size = ResultColumnSize(column, description, mapping.DataType, bytes_per_character);
    }
    // Bit fields and years are integers read and shown in their own way.
    TFieldValueKind value_kind = vkPlain;
    if (description.type == MYSQL_TYPE_BIT) {
      value_kind = vkBit;
      mapping.DataType = ftLargeint;
    } else if (description.type == MYSQL_TYPE_YEAR) {
      value_kind = vkYear;
      mapping.DataType = ftInteger;
      mapping.Size = static_cast<int>(description.length);  // digits: 4, or 2 for YEAR(2)
    } else if (reading.Binary && (mapping.DataType == ftString || mapping.DataType == ftBlob)) {
      value_kind = vkBinary;  // BINARY, VARBINARY, BLOB and spatial values are bytes
    }
    reading.ExactDecimal = mapping.ExactDecimal || IsExactDecimalType(description.type);

    auto field = std::make_unique<TZMySqlField>(query_, column, reading);
    field->FieldName = name;
    field->DisplayLabel = name;
    field->DataType = mapping.DataType;
    field->Size = mapping.Size;
    field->DisplayWidth = DefaultDisplayWidth(mapping.DataType, mapping.Size);
    field->Visible = true;
    field->Index = static_cast<int>(column);
    field->ValueKind = value_kind;
    field->SourceType = SourceColumnType(description, bytes_per_character,
                                         origin_column != table_columns_.end() ? &*origin_column : nullptr);
    fields_.push_back(std::move(field));
  }
}

}  // namespace velmora
