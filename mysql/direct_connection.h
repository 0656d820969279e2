#pragma once

#include <string>
#include <string_view>

#include "mysql/client_types.h"

namespace velmora {

// Client flag values of the connection layer.
constexpr unsigned long kClientConnectWithDatabase = 8;
constexpr unsigned long kClientLocalFiles = 128;

constexpr unsigned int kDefaultMySqlPort = 3306;

// Where a connection goes, from the host and port texts of the settings.
struct TMySqlEndpoint {
  std::string Host;    // empty: none passed (the library's local connection)
  std::string Socket;  // empty: none passed
  unsigned int Port = kDefaultMySqlPort;
};

// Host "localhost" (any letter case) or empty passes no host; the port text is
// then the Unix socket path when it begins with "/". The port is the trimmed
// port text as a number, kDefaultMySqlPort when it is not a number from 0 to 65535.
TMySqlEndpoint ResolveEndpoint(std::string_view host, std::string_view port);

enum TDirStatus { dsOk, dsFailed };

// How a connection uses TLS, weakest first: not at all; when the server offers
// it; always; always with the server's certificate signed by the given CA; as
// before and issued for the host connected to.
enum TSslMode { smDisabled, smPreferred, smRequired, smVerifyCA, smVerifyIdentity };

// Transport settings of every connection: TLS and timeouts.
struct TConnectOptions {
  TSslMode SslMode = smPreferred;
  std::string SslCA;    // file of the certificate authorities the server's certificate is checked against
  std::string SslCert;  // the client's certificate file
  std::string SslKey;   // the client's private key file
  unsigned int ConnectTimeout = 30;  // seconds; 0: the client library's default
  unsigned int ReadTimeout = 0;      // seconds one read from the server may take; 0: no limit
};

// The TLS mode's name as the settings write it ("VERIFY_CA").
const char* SslModeName(TSslMode mode);

// Connection settings of the direct layer. Connecting loads the client
// library; it never contacts the server.
class TDirMySqlConnect {
 public:
  std::string Host;
  std::string Port;
  std::string Database;
  std::string Login;
  std::string Password;
  unsigned long ClientFlags = 0;
  TConnectOptions Options;

  // Loads the client library (raising "Cannot load dynamic library %s") and
  // marks the settings active.
  void Connect();
  void Disconnect();
  bool Active() const { return active_; }
  TDirStatus Status() const { return status_; }

 private:
  bool active_ = false;
  TDirStatus status_ = dsOk;
};

// One client connection to the server.
class TDirMySqlTransact {
 public:
  TDirMySqlTransact() = default;
  explicit TDirMySqlTransact(TDirMySqlConnect* connect) : connect_(connect) {}
  ~TDirMySqlTransact();
  TDirMySqlTransact(const TDirMySqlTransact&) = delete;
  TDirMySqlTransact& operator=(const TDirMySqlTransact&) = delete;

  void SetConnect(TDirMySqlConnect* connect) { connect_ = connect; }
  TDirMySqlConnect* Connect() const { return connect_; }

  // When set, the connection runs inside a transaction: BEGIN after opening,
  // ROLLBACK before closing.
  bool TransactSafe = false;

  // Opens the connection with the settings of the connect object. Failure sets
  // the status to dsFailed and keeps the client's message in Error(); the
  // connection is then not active.
  void Open();
  // Closes the connection (sending ROLLBACK first when TransactSafe is on).
  void Close();
  // Closes the connection without a last statement; the server rolls back
  // what is still open. For destructors, which must not fail.
  void CloseWithoutRollback() noexcept;

  bool Active() const { return handle_ != nullptr; }
  TDirStatus Status() const { return status_; }
  // The message of the last failure, leading and trailing blanks removed.
  const std::string& Error() const { return error_; }

  st_mysql* Handle() const { return handle_; }
  // The server's version text; empty while not active.
  std::string ServerVersion() const;

  // The connection's last error text from the client library, trimmed.
  std::string LastClientError() const;
  unsigned int LastClientErrno() const;
  // Raises the connection's last error; used after a call reported failure.
  [[noreturn]] void RaiseLastClientError() const;

  // Makes database the connection's current database; raises the client's message.
  void SelectDatabase(const std::string& database);

  // Sends a statement that returns no rows; raises the client's message.
  void Execute(const char* statement);

  // Transaction statements, sent only when TransactSafe is on.
  void StartTransaction();
  void Commit();
  void Rollback();

 private:
  void SendTransactionStatement(const char* statement);
  // Sets the TLS and timeout options on a handle not yet connected. False,
  // with the reason in error_, when the library refuses one.
  bool ApplyOptions(st_mysql* handle, const TConnectOptions& options);
  // Empty when the connected handle meets the TLS mode, else the reason.
  std::string CheckEncryption(st_mysql* handle, TSslMode mode) const;

  TDirMySqlConnect* connect_ = nullptr;
  st_mysql* handle_ = nullptr;
  TDirStatus status_ = dsOk;
  std::string error_;
};

}  // namespace velmora
