#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora::testsupport {

// The private MariaDB server that tests/support/test_server.sh started for the
// suite, as its server.env describes it.
struct TTestServer {
  std::string Socket;
  std::string Port;
  std::string User;
  std::string Password;
  std::string Database;
  std::string Certs;  // directory of ca.pem, client.pem, ...; empty for a server without TLS
};

// The server of $VELMORA_TEST_SERVER_DIR/server.env (or of the directory in the
// environment variable named); none when the variable is unset or the file is
// missing (a test binary run by hand without the fixture).
std::optional<TTestServer> FindTestServer(const char* directory_variable = "VELMORA_TEST_SERVER_DIR");

// One value of a row read back through the command-line client; none for NULL.
using TSqlValue = std::optional<std::string>;
using TSqlRow = std::vector<TSqlValue>;

// Runs statements (separated by ";") through the `mariadb` command-line client on
// the server's socket, in database (the test database when empty), so that
// fixtures never depend on the code under test. Raises std::runtime_error with
// the client's output when a statement fails. Returns the rows of the last
// statement that has any, values unescaped; the client prints NULL as the word
// NULL, so compare texts that might read "NULL" through HEX().
std::vector<TSqlRow> RunSql(const TTestServer& server, const std::string& sql,
                            const std::string& database = {});

// The first value of the first row of a query.
TSqlValue QueryValue(const TTestServer& server, const std::string& sql, const std::string& database = {});

// Decodes the text of HEX(): "414200" gives "AB\0".
std::string FromHex(const std::string& hex_digits);

// A fixture whose tests are skipped when the private server is not there.
class TestServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = FindTestServer();
    if (!server_) GTEST_SKIP() << "no private MariaDB server (run the suite through ctest)";
  }

  const TTestServer& Server() const { return *server_; }
  std::vector<TSqlRow> Sql(const std::string& sql) const { return RunSql(*server_, sql); }

 private:
  std::optional<TTestServer> server_;
};

}  // namespace velmora::testsupport
