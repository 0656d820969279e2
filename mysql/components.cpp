#include "mysql/components.h"

#include <algorithm>

#include "mysql/query_dataset.h"
#include "platform/error.h"

namespace velmora {

unsigned long ClientFlagValue(const TZMySqlClientFlags& flags) {
  unsigned long value = 0;
  for (const TZMySqlClientFlagItem item : flags) {
    value += item == cfTransactions ? 8192UL + 4UL : 1UL << static_cast<unsigned>(item);
  }
  return value;
}

// ---------------------------------------------------------------------------
// TZMySqlDatabase

TZMySqlDatabase::~TZMySqlDatabase() {
  for (TZMySqlTransact* transaction : transactions_) {
    for (TZCustomMySqlDataset* dataset : std::vector(transaction->open_datasets_)) dataset->Close();
    transaction->transact_.CloseWithoutRollback();
    transaction->connected_ = false;
    transaction->database_ = nullptr;
  }
}

void TZMySqlDatabase::Attach(TZMySqlTransact* transaction) {
  if (std::find(transactions_.begin(), transactions_.end(), transaction) == transactions_.end()) {
    transactions_.push_back(transaction);
  }
}

void TZMySqlDatabase::Detach(TZMySqlTransact* transaction) {
  transactions_.erase(std::remove(transactions_.begin(), transactions_.end(), transaction),
                      transactions_.end());
}

void TZMySqlDatabase::Connect() {
  if (connected_) return;
  if (BeforeConnect) BeforeConnect();
  connect_.Host = Host;
  connect_.Port = Port;
  connect_.Database = Database;
  connect_.Login = Login;
  connect_.Password = Password;
  connect_.ClientFlags = ClientFlagValue(ClientFlag);
  connect_.Options = Options;
  connect_.Connect();
  if (connect_.Status() != dsOk) throw EVelmoraError("Server connection error");
  connected_ = connect_.Active();
  if (connected_) {
    // A copy: connecting may not change the list, but a callback could.
    const std::vector<TZMySqlTransact*> transactions = transactions_;
    for (auto it = transactions.rbegin(); it != transactions.rend(); ++it) (*it)->Connect();
  }
  if (AfterConnect) AfterConnect();
}

void TZMySqlDatabase::Disconnect() {
  if (!connected_) return;
  if (BeforeDisconnect) BeforeDisconnect();
  for (TZMySqlTransact* transaction : std::vector(transactions_)) transaction->Disconnect();
  connect_.Disconnect();
  connected_ = false;
  if (AfterDisconnect) AfterDisconnect();
}

void TZMySqlDatabase::SelectDatabase(const std::string& name) {
  if (!connected_) Connect();
  for (TZMySqlTransact* transaction : std::vector(transactions_)) {
    if (!transaction->Connected()) transaction->Connect();
    transaction->DirTransact().SelectDatabase(name);
  }
  Database = name;
  connect_.Database = name;
}

// ---------------------------------------------------------------------------
// TZMySqlTransact

TZMySqlTransact::~TZMySqlTransact() {
  for (TZCustomMySqlDataset* dataset : std::vector(open_datasets_)) dataset->Close();
  transact_.CloseWithoutRollback();
  if (database_ != nullptr) database_->Detach(this);
}

void TZMySqlTransact::SetDatabase(TZMySqlDatabase* database) {
  if (database == database_) return;
  if (database_ != nullptr) database_->Detach(this);
  database_ = database;
  if (database_ != nullptr) database_->Attach(this);
}

void TZMySqlTransact::Connect() {
  if (connected_) return;
  if (database_ == nullptr) throw EVelmoraError("Database component not defined");
  if (BeforeConnect) BeforeConnect();
  database_->Connect();
  // Connecting the database may have connected this transaction already.
  if (connected_) return;
  if (!database_->Connected()) throw EVelmoraError("Server connection error");
  transact_.SetConnect(&database_->DirConnect());
  transact_.TransactSafe = TransactSafe;
  if (!transact_.Active()) {
    transact_.Open();
    if (transact_.Status() != dsOk) throw EVelmoraError(transact_.Error());
  }
  connected_ = transact_.Active();
  if (AfterConnect) AfterConnect();
}

void TZMySqlTransact::Disconnect() {
  for (TZCustomMySqlDataset* dataset : std::vector(open_datasets_)) dataset->Close();
  connected_ = false;
  transact_.Close();
}

std::string TZMySqlTransact::ServerVersion() const {
  return connected_ ? transact_.ServerVersion() : std::string();
}

void TZMySqlTransact::StartTransaction() {
  transact_.TransactSafe = TransactSafe;
  transact_.StartTransaction();
}

void TZMySqlTransact::Commit() {
  transact_.TransactSafe = TransactSafe;
  transact_.Commit();
}

void TZMySqlTransact::Rollback() {
  transact_.TransactSafe = TransactSafe;
  transact_.Rollback();
}

void TZMySqlTransact::Register(TZCustomMySqlDataset* dataset) {
  if (std::find(open_datasets_.begin(), open_datasets_.end(), dataset) == open_datasets_.end()) {
    open_datasets_.push_back(dataset);
  }
}

void TZMySqlTransact::Unregister(TZCustomMySqlDataset* dataset) {
  open_datasets_.erase(std::remove(open_datasets_.begin(), open_datasets_.end(), dataset),
                       open_datasets_.end());
}

}  // namespace velmora
