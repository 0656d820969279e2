// Running the velmora binary as a process, and the private MariaDB server of
// the suite, for the end-to-end tests of the console.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/test_server.h"

namespace velmora::consoletest {

struct TVelmoraResult {
  int exit_status = -1;            // -1 when the program did not exit normally
  std::vector<std::string> lines;  // standard output, split at line ends
  std::string output;              // standard output as printed
  std::string errors;              // standard error
};

inline std::string VelmoraBinary() {
  const char* binary = std::getenv("VELMORA_BINARY");
  return binary != nullptr ? binary : "";
}

using testsupport::SplitLines;

// Runs program with the arguments in working_directory, in the locale named
// (the C locale unless told). With error_terminal, standard error is a pseudo
// terminal of 100 columns instead of a pipe.
inline TVelmoraResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::string& working_directory, const std::string& locale = "C",
                                 bool error_terminal = false) {
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  if (error_terminal) {
    ::close(err_pipe[0]);
    ::close(err_pipe[1]);
    err_pipe[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (err_pipe[0] < 0 || ::grantpt(err_pipe[0]) != 0 || ::unlockpt(err_pipe[0]) != 0) {
      throw std::runtime_error(std::string("pseudo terminal: ") + std::strerror(errno));
    }
    err_pipe[1] = ::open(::ptsname(err_pipe[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (err_pipe[1] < 0) throw std::runtime_error(std::string("pseudo terminal: ") + std::strerror(errno));
    const winsize size{24, 100, 0, 0};
    ::ioctl(err_pipe[1], TIOCSWINSZ, &size);
  }
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(err_pipe[1], STDERR_FILENO);
    const int null_input = ::open("/dev/null", O_RDONLY);
    if (null_input >= 0) ::dup2(null_input, STDIN_FILENO);
    if (::chdir(working_directory.c_str()) != 0) ::_exit(126);
    ::setenv("LC_ALL", locale.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  TVelmoraResult result;
  pollfd ends[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* targets[2] = {&result.output, &result.errors};
  int open_ends = 2;
  char buffer[4096];
  while (open_ends > 0) {
    if (::poll(ends, 2, 120000) <= 0) break;
    for (int index = 0; index < 2; ++index) {
      if (ends[index].fd < 0 || ends[index].revents == 0) continue;
      const ssize_t count = ::read(ends[index].fd, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) {
        ::close(ends[index].fd);
        ends[index].fd = -1;
        --open_ends;
        continue;
      }
      targets[index]->append(buffer, static_cast<std::size_t>(count));
    }
  }
  for (const pollfd& end : ends) {
    if (end.fd >= 0) ::close(end.fd);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.lines = SplitLines(result.output);
  return result;
}

inline TVelmoraResult RunVelmora(const std::vector<std::string>& arguments,
                                 const std::string& working_directory, const std::string& locale = "C",
                                 bool error_terminal = false) {
  return RunProgram(VelmoraBinary(), arguments, working_directory, locale, error_terminal);
}

}  // namespace velmora::consoletest

namespace velmora::consoletest {

// The fixture databases every end-to-end test of the console reads. The
// tests write only into their own temporary directory.
constexpr const char* kFixtureSql = R"sql(
DROP DATABASE IF EXISTS velmora_console;
DROP DATABASE IF EXISTS velmora_console_b;
CREATE DATABASE velmora_console CHARACTER SET utf8mb4;
CREATE DATABASE velmora_console_b CHARACTER SET utf8mb4;
USE velmora_console;
CREATE TABLE orders (id INT PRIMARY KEY, customer VARCHAR(20), amount DECIMAL(10,2), placed DATE,
                     note VARCHAR(40));
INSERT INTO orders VALUES (1, 'Ann', 1234.5, '2024-01-02', 'say "hi"'), (2, 'Bob', NULL, '2024-02-03', NULL),
                          (3, 'Zoë', 7, '2024-03-04', 'a,b');
CREATE TABLE clients (ID INT, NAME VARCHAR(20));
INSERT INTO clients VALUES (1, 'Alpha'), (2, 'Beta');
CREATE TABLE empty_table (id INT);
CREATE TABLE `odd``name` (v INT);
INSERT INTO `odd``name` VALUES (5);
CREATE TABLE `a/b` (v INT);
INSERT INTO `a/b` VALUES (6);
CREATE VIEW v_orders AS SELECT id, customer FROM orders WHERE id <= 2;
CREATE TABLE velmora_console_b.orders (id INT, customer VARCHAR(20));
INSERT INTO velmora_console_b.orders VALUES (9, 'Other');
)sql";

constexpr const char* kBanner = "Velmora, version 1.5.0.1";

// One end-to-end run per test: a parameter file in a fresh directory, velmora
// started there, its lines, exit status and files checked.
class ConsoleServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = testsupport::FindTestServer();
    if (server_ && !VelmoraBinary().empty()) testsupport::RunSql(*server_, kFixtureSql);
  }

  void SetUp() override {
    if (!server_) GTEST_SKIP() << "the private MariaDB server is not running";
    if (VelmoraBinary().empty()) GTEST_SKIP() << "VELMORA_BINARY is not set";
  }

  // The Connection section for the server's Unix socket, with DBName. The
  // suite runs twice: as the program chooses (rows streamed where the export
  // never moves back), and with VELMORA_TEST_STORE_RESULT=1 every result stored.
  static std::string SocketConnection(const std::string& database = "velmora_console") {
    return SocketConnection(*server_, database);
  }
  static std::string SocketConnection(const testsupport::TTestServer& server, const std::string& database) {
    const char* stored = std::getenv("VELMORA_TEST_STORE_RESULT");
    return "[Connection]\nHost=localhost\nPort=" + server.Socket + "\nLogin=" + server.User +
           "\nPassword=" + server.Password + "\nDBName=" + database + "\n" +
           (stored != nullptr && std::string(stored) == "1" ? "StoreResult=1\n" : "");
  }

  // Writes run.cfg (the socket connection followed by body) and runs velmora on it.
  TVelmoraResult Run(const std::string& body, const std::string& connection = SocketConnection()) {
    testsupport::WriteFile(dir_.File("run.cfg"), connection + body);
    return RunVelmora({"run.cfg"}, dir_.Path());
  }

  void Write(const std::string& name, const std::string& content) const {
    testsupport::WriteFile(dir_.File(name), content);
  }
  std::string Read(const std::string& name) const { return testsupport::ReadFile(dir_.File(name)); }
  bool Exists(const std::string& name) const { return ::access(dir_.File(name).c_str(), F_OK) == 0; }

  // The lines up to a successful connection, followed by the item lines.
  static std::vector<std::string> Connected(const std::vector<std::string>& item_lines,
                                            const std::string& host = "localhost") {
    std::vector<std::string> lines = {
        kBanner, "", "", "Connecting to " + host + "...", "Connection successful", ""};
    lines.insert(lines.end(), item_lines.begin(), item_lines.end());
    return lines;
  }

  inline static std::optional<testsupport::TTestServer> server_;
  testsupport::TTempDir dir_{"console"};
};

}  // namespace velmora::consoletest
