#include "mysql/direct_connection.h"

#include <charconv>

#include "platform/text_utils.h"
#include "mysql/client_library.h"
#include "platform/error.h"

namespace velmora {

namespace {

// Every connection talks UTF-8 with all four-byte characters, whatever the
// server's default: values arrive as the stored characters (CJK and emoji
// included) and character counts can be taken on them.
constexpr const char* kConnectionCharacterSet = "utf8mb4";

const char* OrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

const char* SslModeName(TSslMode mode) {
  switch (mode) {
    case smDisabled:
      return "DISABLED";
    case smPreferred:
      return "PREFERRED";
    case smRequired:
      return "REQUIRED";
    case smVerifyCA:
      return "VERIFY_CA";
    case smVerifyIdentity:
      return "VERIFY_IDENTITY";
  }
  return "";
}

TMySqlEndpoint ResolveEndpoint(std::string_view host, std::string_view port) {
  TMySqlEndpoint endpoint;
  const std::string_view trimmed_host = Trim(host);
  const std::string_view trimmed_port = Trim(port);
  if (trimmed_host.empty() || SameText(trimmed_host, "localhost")) {
    if (!trimmed_port.empty() && trimmed_port.front() == '/') endpoint.Socket = trimmed_port;
  } else {
    endpoint.Host = trimmed_host;
  }
  int number = 0;
  const char* end = trimmed_port.data() + trimmed_port.size();
  const auto [stop, error] = std::from_chars(trimmed_port.data(), end, number);
  if (!trimmed_port.empty() && error == std::errc() && stop == end && number >= 0 && number <= 65535) {
    endpoint.Port = static_cast<unsigned int>(number);
  }
  return endpoint;
}

// ---------------------------------------------------------------------------
// TDirMySqlConnect

void TDirMySqlConnect::Connect() {
  LoadClientLibrary();
  active_ = true;
  status_ = dsOk;
}

void TDirMySqlConnect::Disconnect() {
  active_ = false;
}

// ---------------------------------------------------------------------------
// TDirMySqlTransact

TDirMySqlTransact::~TDirMySqlTransact() {
  CloseWithoutRollback();
}

void TDirMySqlTransact::CloseWithoutRollback() noexcept {
  if (handle_ == nullptr) return;
  MySqlApi().mysql_close(handle_);
  handle_ = nullptr;
}

void TDirMySqlTransact::Open() {
  if (handle_ != nullptr) return;
  const TMySqlClientApi& api = MySqlApi();
  if (connect_ == nullptr || api.mysql_init == nullptr) {
    status_ = dsFailed;
    error_ = "Server connection error";
    return;
  }
  MYSQL* handle = api.mysql_init(nullptr);
  if (handle == nullptr) {
    status_ = dsFailed;
    error_ = "Out of memory";
    return;
  }

  // The server may ask the client for any local file through LOAD DATA LOCAL;
  // this program never sends one, so the capability is switched off outright.
  const unsigned int local_infile = 0;
  if (api.mysql_options(handle, MYSQL_OPT_LOCAL_INFILE, &local_infile) != 0 ||
      api.mysql_options(handle, MYSQL_SET_CHARSET_NAME, kConnectionCharacterSet) != 0) {
    status_ = dsFailed;
    error_ = "Server connection error";
    api.mysql_close(handle);
    return;
  }
  if (!ApplyOptions(handle, connect_->Options)) {
    status_ = dsFailed;
    api.mysql_close(handle);
    return;
  }

  unsigned long flags = connect_->ClientFlags & ~kClientLocalFiles;
  if (connect_->Database.empty()) flags &= ~kClientConnectWithDatabase;
  const TMySqlEndpoint endpoint = ResolveEndpoint(connect_->Host, connect_->Port);

  MYSQL* connected = api.mysql_real_connect(
      handle, endpoint.Host.empty() ? nullptr : endpoint.Host.c_str(), connect_->Login.c_str(),
      connect_->Password.c_str(), connect_->Database.empty() ? nullptr : connect_->Database.c_str(),
      endpoint.Port, endpoint.Socket.empty() ? nullptr : endpoint.Socket.c_str(), flags);
  if (connected == nullptr) {
    status_ = dsFailed;
    error_ = Trim(api.mysql_error(handle));
    api.mysql_close(handle);
    return;
  }
  // Some library versions fall back to plain text even when told to insist on
  // TLS, so the outcome is checked rather than trusted.
  const std::string unencrypted = CheckEncryption(handle, connect_->Options.SslMode);
  if (!unencrypted.empty()) {
    status_ = dsFailed;
    error_ = unencrypted;
    api.mysql_close(handle);
    return;
  }
  handle_ = handle;
  status_ = dsOk;
  error_.clear();
  if (TransactSafe) SendTransactionStatement("BEGIN");
}

bool TDirMySqlTransact::ApplyOptions(MYSQL* handle, const TConnectOptions& options) {
  const TMySqlClientApi& api = MySqlApi();
  const auto refused = [this](const char* option) {
    error_ = Format("The client library refused the option %s", option);
    return false;
  };
  if (options.ConnectTimeout > 0 &&
      api.mysql_options(handle, MYSQL_OPT_CONNECT_TIMEOUT, &options.ConnectTimeout) != 0) {
    return refused("ConnectTimeout");
  }
  if (options.ReadTimeout > 0 && api.mysql_options(handle, MYSQL_OPT_READ_TIMEOUT, &options.ReadTimeout) != 0) {
    return refused("ReadTimeout");
  }
  const TSslMode mode = options.SslMode;
  if (mode == smDisabled) return true;
  const char* mode_name = SslModeName(mode);
  if (mode >= smVerifyCA && options.SslCA.empty()) {
    error_ = Format("SSLMode %s needs the certificate authority file in SSLCA", mode_name);
    return false;
  }
  if (api.mysql_ssl_set == nullptr) {
    if (mode == smPreferred) return true;
    error_ = Format("The client library offers no TLS, which SSLMode %s requires", mode_name);
    return false;
  }
  // With a CA file the library checks the chain of the server's certificate.
  if (api.mysql_ssl_set(handle, OrNull(options.SslKey), OrNull(options.SslCert), OrNull(options.SslCA),
                        nullptr, nullptr) != 0) {
    return refused("SSLCA");
  }
  const my_bool enforce = mode >= smRequired ? 1 : 0;
  const my_bool verify_identity = mode == smVerifyIdentity ? 1 : 0;
  if (enforce && api.mysql_options(handle, MYSQL_OPT_SSL_ENFORCE, &enforce) != 0) return refused("SSLMode");
  if (verify_identity && api.mysql_options(handle, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify_identity) != 0) {
    return refused("SSLMode");
  }
  return true;
}

std::string TDirMySqlTransact::CheckEncryption(MYSQL* handle, TSslMode mode) const {
  if (mode < smRequired) return {};
  const TMySqlClientApi& api = MySqlApi();
  const char* cipher = api.mysql_get_ssl_cipher != nullptr ? api.mysql_get_ssl_cipher(handle) : nullptr;
  if (cipher != nullptr && *cipher != '\0') return {};
  return Format("SSLMode %s: the connection to the server is not encrypted", SslModeName(mode));
}

void TDirMySqlTransact::Close() {
  if (handle_ == nullptr) return;
  MYSQL* handle = handle_;
  std::string rollback_error;
  if (TransactSafe && MySqlApi().mysql_query(handle, "ROLLBACK") != 0) {
    rollback_error = LastClientError();
  }
  handle_ = nullptr;
  MySqlApi().mysql_close(handle);
  if (!rollback_error.empty()) throw EVelmoraError(rollback_error);
}

std::string TDirMySqlTransact::ServerVersion() const {
  if (handle_ == nullptr) return {};
  const char* version = MySqlApi().mysql_get_server_info(handle_);
  return version != nullptr ? version : "";
}

std::string TDirMySqlTransact::LastClientError() const {
  if (handle_ == nullptr) return error_;
  const char* text = MySqlApi().mysql_error(handle_);
  return std::string(Trim(text != nullptr ? text : ""));
}

unsigned int TDirMySqlTransact::LastClientErrno() const {
  return handle_ != nullptr ? MySqlApi().mysql_errno(handle_) : 0;
}

void TDirMySqlTransact::RaiseLastClientError() const {
  std::string text = LastClientError();
  if (text.empty()) text = Format("MySQL client error %u", LastClientErrno());
  throw EVelmoraError(text);
}

void TDirMySqlTransact::SelectDatabase(const std::string& database) {
  if (handle_ == nullptr) throw EVelmoraError("Server connection error");
  if (MySqlApi().mysql_select_db(handle_, database.c_str()) != 0) RaiseLastClientError();
}

void TDirMySqlTransact::Execute(const char* statement) {
  if (handle_ == nullptr) throw EVelmoraError("Server connection error");
  if (MySqlApi().mysql_query(handle_, statement) != 0) RaiseLastClientError();
}

void TDirMySqlTransact::SendTransactionStatement(const char* statement) {
  if (!TransactSafe || handle_ == nullptr) return;
  if (MySqlApi().mysql_query(handle_, statement) != 0) RaiseLastClientError();
}

void TDirMySqlTransact::StartTransaction() {
  SendTransactionStatement("BEGIN");
}

void TDirMySqlTransact::Commit() {
  SendTransactionStatement("COMMIT");
  SendTransactionStatement("BEGIN");
}

void TDirMySqlTransact::Rollback() {
  SendTransactionStatement("ROLLBACK");
  SendTransactionStatement("BEGIN");
}

}  // namespace velmora
