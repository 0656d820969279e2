// End-to-end runs of the connection settings production needs: TLS against a
// server with certificates made for the test, credentials kept in files, one
// consistent snapshot over all items, and timeouts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

using consoletest::TVelmoraResult;
using Lines = std::vector<std::string>;

// Exports the session's TLS cipher, so the file tells whether the connection was encrypted.
constexpr const char* kCipherItem =
    "[Queries]\nq=cipher\n[SQL_q]\n1=show session status like 'Ssl_cipher'\n[Files]\nq=q.csv\n";
constexpr const char* kUnencrypted = "\"Variable_name\",\"Value\"\r\n\"Ssl_cipher\",\"\"\r\n";

class ConnectionSecurityTest : public consoletest::ConsoleServerTest {
 protected:
  static void SetUpTestSuite() {
    ConsoleServerTest::SetUpTestSuite();
    tls_server_ = testsupport::FindTestServer("VELMORA_TLS_SERVER_DIR");
  }

  // The TCP connection to server with extra lines of the Connection section.
  static std::string TcpConnection(const testsupport::TTestServer& server, const std::string& extra) {
    return "[Connection]\nHost=127.0.0.1\nPort=" + server.Port + "\nLogin=" + server.User +
           "\nPassword=" + server.Password + "\nDBName=" + server.Database + "\n" + extra;
  }

  // The connection through the socket with its credentials left to extra.
  static std::string SocketWithout(const std::string& extra) {
    return "[Connection]\nHost=localhost\nPort=" + server_->Socket + "\nDBName=velmora_console\n" + extra;
  }

  // A failed connection: the error line right after "Connecting to", exit 1, no file.
  void ExpectRefused(const TVelmoraResult& result, const std::string& what) const {
    ASSERT_EQ(result.lines.size(), 5u) << what << "\n" << result.output;
    EXPECT_EQ(result.lines[3].rfind("Connecting to ", 0), 0u) << what;
    EXPECT_EQ(result.lines[4].rfind("ERROR: ", 0), 0u) << what << ": " << result.lines[4];
    EXPECT_EQ(result.exit_status, 1) << what;
    EXPECT_FALSE(Exists("q.csv")) << what;
  }

  // Runs velmora on body; while its query "select sleep(2)" runs, another
  // connection inserts the row 2 into the table snap, which holds the row 1.
  void RunAroundAnInsert(const std::string& body, const std::string& connection) {
    testsupport::RunSql(*server_,
                        "DROP TABLE IF EXISTS velmora_console.snap;"
                        "CREATE TABLE velmora_console.snap (id INT) ENGINE=InnoDB;"
                        "INSERT INTO velmora_console.snap VALUES (1)");
    std::future<TVelmoraResult> running = std::async(std::launch::async, [&] { return Run(body, connection); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (testsupport::QueryValue(*server_,
                                   "SELECT COUNT(*) FROM information_schema.processlist "
                                   "WHERE info LIKE 'select sleep(2)%'") == "0" &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    testsupport::RunSql(*server_, "INSERT INTO velmora_console.snap VALUES (2)");
    const TVelmoraResult result = running.get();
    EXPECT_EQ(result.exit_status, 0) << result.output;
  }

  inline static std::optional<testsupport::TTestServer> tls_server_;
};

// ---------------------------------------------------------------------------
// TLS

TEST_F(ConnectionSecurityTest, TlsModesAgainstAServerWithCertificates) {
  if (!tls_server_ || tls_server_->Certs.empty()) GTEST_SKIP() << "the TLS test server is not running";
  const std::string certs = tls_server_->Certs + "/";
  const struct {
    std::string Settings;
    bool Connects;
    bool Encrypted;
  } cases[] = {
      {"SSLMode=REQUIRED\n", true, true},
      {"", true, true},  // preferred by default
      {"SSLMode=DISABLED\n", true, false},
      {"SSLMode=VERIFY_CA\nSSLCA=" + certs + "ca.pem\n", true, true},
      {"SSLMode=REQUIRED\nSSLCA=" + certs + "ca.pem\nSSLCert=" + certs + "client.pem\nSSLKey=" + certs +
           "client.key\n",
       true, true},
      {"SSLMode=VERIFY_CA\nSSLCA=" + certs + "other-ca.pem\n", false, false},
      // The server's certificate is issued for "localhost"; the run connects to 127.0.0.1.
      {"SSLMode=VERIFY_IDENTITY\nSSLCA=" + certs + "ca.pem\n", false, false},
      {"SSLMode=VERIFY_CA\n", false, false},
  };
  for (const auto& test_case : cases) {
    std::filesystem::remove(dir_.File("q.csv"));
    const TVelmoraResult result = Run(kCipherItem, TcpConnection(*tls_server_, test_case.Settings));
    if (!test_case.Connects) {
      ExpectRefused(result, test_case.Settings);
      continue;
    }
    EXPECT_EQ(result.lines, Connected({"cipher: 1 records exported to q.csv"}, "127.0.0.1")) << test_case.Settings;
    if (!Exists("q.csv")) continue;
    EXPECT_EQ(Read("q.csv") != kUnencrypted, test_case.Encrypted) << test_case.Settings << Read("q.csv");
  }
  EXPECT_EQ(Run(kCipherItem, TcpConnection(*tls_server_, "SSLMode=VERIFY_CA\n")).lines.back(),
            "ERROR: SSLMode VERIFY_CA needs the certificate authority file in SSLCA");
}

TEST_F(ConnectionSecurityTest, ServerWithoutTlsFailsRequiredAndServesPreferred) {
  const TVelmoraResult refused = Run(kCipherItem, TcpConnection(*server_, "SSLMode=REQUIRED\n"));
  ExpectRefused(refused, "REQUIRED");
  const TVelmoraResult preferred = Run(kCipherItem, TcpConnection(*server_, "SSLMode=PREFERRED\n"));
  EXPECT_EQ(preferred.lines, Connected({"cipher: 1 records exported to q.csv"}, "127.0.0.1"));
  EXPECT_EQ(Read("q.csv"), kUnencrypted);
}

// ---------------------------------------------------------------------------
// Credentials in files

TEST_F(ConnectionSecurityTest, PasswordFileAndOptionFileConnectAndWrongPasswordsFail) {
  const std::string user = "user=" + server_->User + "\n";
  const std::string denied = "ERROR: Access denied for user 'velmora'@'localhost' (using password: YES)";
  const struct {
    std::string Connection;
    std::string File;
    std::string Content;
    bool Connects;
  } cases[] = {
      {"Login=" + server_->User + "\nPasswordFile=pw\n", "pw", server_->Password + "\n", true},
      {"Login=" + server_->User + "\nPasswordFile=pw\n", "pw", "wrong\n", false},
      {"OptionFile=my.cnf\n", "my.cnf", "[client]\n" + user + "password=\"" + server_->Password + "\"\n", true},
      {"OptionFile=my.cnf\nOptionGroup=export\n", "my.cnf",
       "[client]\npassword=wrong\n[export]\n" + user + "password=" + server_->Password + "\n", true},
      {"OptionFile=my.cnf\n", "my.cnf", "[client]\n" + user + "password=wrong\n", false},
      // The parameter file's password wins over the option file's.
      {"OptionFile=my.cnf\nPassword=wrong\n", "my.cnf", "[client]\n" + user + "password=" + server_->Password, false},
  };
  for (const auto& test_case : cases) {
    Write(test_case.File, test_case.Content);
    ::chmod(dir_.File(test_case.File).c_str(), 0600);
    std::filesystem::remove(dir_.File("q.csv"));
    const TVelmoraResult result = Run(kCipherItem, SocketWithout(test_case.Connection));
    if (test_case.Connects) {
      EXPECT_EQ(result.lines, Connected({"cipher: 1 records exported to q.csv"})) << test_case.Connection;
      EXPECT_EQ(result.exit_status, 0);
    } else {
      ExpectRefused(result, test_case.Connection);
      EXPECT_EQ(result.lines.back(), denied) << test_case.Connection;
    }
    EXPECT_EQ(result.errors, "") << test_case.Connection;
  }
}

TEST_F(ConnectionSecurityTest, PasswordFileOthersCanReadDrawsAWarningOnStandardError) {
  Write("pw", server_->Password + "\n");
  ::chmod(dir_.File("pw").c_str(), 0644);
  const TVelmoraResult result = Run(kCipherItem, SocketWithout("Login=" + server_->User + "\nPasswordFile=pw\n"));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.errors, "Warning: the password file pw holds a password and can be read by other users\n");
}

// ---------------------------------------------------------------------------
// Snapshot and timeouts

TEST_F(ConnectionSecurityTest, SnapshotHidesRowsInsertedDuringTheRun) {
  const std::string body =
      "[Tables]\n1=snap\n[Queries]\nwait=wait\nagain=again\n[SQL_wait]\n1=select sleep(2)\n"
      "[SQL_again]\n1=select * from snap\n[Files]\n1=first.csv\nwait=wait.csv\nagain=second.csv\n";
  for (const bool snapshot : {true, false}) {
    const std::string connection = SocketConnection() + (snapshot ? "Snapshot=1\n" : "");
    RunAroundAnInsert(body, connection);
    EXPECT_EQ(Read("first.csv"), "\"id\"\r\n\"1\"\r\n");
    EXPECT_EQ(Read("second.csv"), snapshot ? "\"id\"\r\n\"1\"\r\n" : "\"id\"\r\n\"1\"\r\n\"2\"\r\n")
        << "Snapshot " << snapshot;
  }
}

TEST_F(ConnectionSecurityTest, ReadTimeoutEndsAStatementThatHangs) {
  const auto start = std::chrono::steady_clock::now();
  const TVelmoraResult result = Run("[Queries]\nq=slow\n[SQL_q]\n1=select sleep(10)\n[Files]\nq=q.csv\n",
                                    SocketConnection() + "ReadTimeout=2\n");
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  EXPECT_LT(seconds.count(), 8);
  EXPECT_EQ(result.exit_status, 1);
  ASSERT_FALSE(result.lines.empty());
  EXPECT_EQ(result.lines.back().rfind("slow: ERROR: ", 0), 0u) << result.output;
  EXPECT_FALSE(Exists("q.csv"));
}

}  // namespace
}  // namespace velmora
