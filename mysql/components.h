#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "mysql/direct_connection.h"

namespace velmora {

class TZCustomMySqlDataset;
class TZMySqlTransact;

enum TZMySqlClientFlagItem {
  cfLongPassword,
  cfFoundRows,
  cfLongFlag,
  cfConnectWithDB,
  cfNoSchema,
  cfCompress,
  cfODBC,
  cfLocalFiles,
  cfIgnoreSpace,
  cfChangeUser,
  cfInteractive,
  cfSSL,
  cfIgnoreSigpipe,
  cfTransactions
};
using TZMySqlClientFlags = std::set<TZMySqlClientFlagItem>;

// The client flag value of a set: item i is 2 to the power i, cfTransactions
// the transactions flag 8192 plus the long-flag value 4.
unsigned long ClientFlagValue(const TZMySqlClientFlags& flags);

// Character conversion of statement and result text; the program passes text unchanged.
enum TEncodingType { etNone };

using TZNotifyEvent = std::function<void()>;

// Connection settings and the connection components attached to them.
class TZMySqlDatabase {
 public:
  TZMySqlDatabase() = default;
  ~TZMySqlDatabase();
  TZMySqlDatabase(const TZMySqlDatabase&) = delete;
  TZMySqlDatabase& operator=(const TZMySqlDatabase&) = delete;

  std::string Host;
  std::string Port = "3306";  // a port number, or a Unix socket path for a local server
  std::string Database;
  std::string Login;
  std::string Password;
  TZMySqlClientFlags ClientFlag;
  TEncodingType Encoding = etNone;
  bool LoginPrompt = false;
  TConnectOptions Options;  // TLS and timeouts of every attached connection

  TZNotifyEvent BeforeConnect;
  TZNotifyEvent AfterConnect;
  TZNotifyEvent BeforeDisconnect;
  TZNotifyEvent AfterDisconnect;

  // Loads the client library and connects every attached transaction, the
  // last attached first. Raises the client's message when one cannot connect.
  void Connect();
  // Closes every attached transaction and its open data sets.
  void Disconnect();
  bool Connected() const { return connected_; }

  // Makes name the current database of every attached connection, connecting
  // first when needed; later connections start in it too. Raises the client's
  // message when the database cannot be selected.
  void SelectDatabase(const std::string& name);

  TDirMySqlConnect& DirConnect() { return connect_; }
  const std::vector<TZMySqlTransact*>& Transactions() const { return transactions_; }

 private:
  friend class TZMySqlTransact;
  void Attach(TZMySqlTransact* transaction);
  void Detach(TZMySqlTransact* transaction);

  TDirMySqlConnect connect_;
  std::vector<TZMySqlTransact*> transactions_;  // in the order of attachment
  bool connected_ = false;
};

// One server session on the settings of a database component.
class TZMySqlTransact {
 public:
  TZMySqlTransact() = default;
  ~TZMySqlTransact();
  TZMySqlTransact(const TZMySqlTransact&) = delete;
  TZMySqlTransact& operator=(const TZMySqlTransact&) = delete;

  // Attaches the transaction to database (null detaches it).
  void SetDatabase(TZMySqlDatabase* database);
  TZMySqlDatabase* Database() const { return database_; }

  bool TransactSafe = false;
  bool AutoCommit = true;

  TZNotifyEvent BeforeConnect;
  TZNotifyEvent AfterConnect;

  // Raises "Database component not defined" without a database component,
  // "Server connection error" when the database does not connect, and the
  // client's message when the server refuses the connection.
  void Connect();
  // Closes the data sets open on this connection, then the connection.
  void Disconnect();
  bool Connected() const { return connected_; }

  // The server's version text; empty while not connected.
  std::string ServerVersion() const;

  // Transaction statements; sent only when TransactSafe is on.
  void StartTransaction();
  void Commit();
  void Rollback();

  TDirMySqlTransact& DirTransact() { return transact_; }

 private:
  friend class TZCustomMySqlDataset;
  friend class TZMySqlDatabase;
  void Register(TZCustomMySqlDataset* dataset);
  void Unregister(TZCustomMySqlDataset* dataset);

  TZMySqlDatabase* database_ = nullptr;
  TDirMySqlTransact transact_;
  std::vector<TZCustomMySqlDataset*> open_datasets_;
  bool connected_ = false;
};

}  // namespace velmora
