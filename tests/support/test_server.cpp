#include "support/test_server.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

#include "support/test_files.h"

namespace velmora::testsupport {

namespace {

std::map<std::string, std::string> ReadEnvironmentFile(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

// Undoes the escapes of the client's batch mode.
std::string Unescape(const std::string& text) {
  std::string result;
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (text[index] != '\\' || index + 1 == text.size()) {
      result += text[index];
      continue;
    }
    switch (text[++index]) {
      case '0':
        result += '\0';
        break;
      case 'b':
        result += '\b';
        break;
      case 'n':
        result += '\n';
        break;
      case 'r':
        result += '\r';
        break;
      case 't':
        result += '\t';
        break;
      case 'Z':
        result += '\x1A';
        break;
      default:
        result += text[index];
        break;
    }
  }
  return result;
}

}  // namespace

std::optional<TTestServer> FindTestServer(const char* directory_variable) {
  const char* directory = std::getenv(directory_variable);
  if (directory == nullptr || *directory == '\0') return std::nullopt;
  std::map<std::string, std::string> values = ReadEnvironmentFile(std::string(directory) + "/server.env");
  if (values["VELMORA_TEST_SOCKET"].empty()) return std::nullopt;
  TTestServer server;
  server.Socket = values["VELMORA_TEST_SOCKET"];
  server.Port = values["VELMORA_TEST_PORT"];
  server.User = values["VELMORA_TEST_USER"];
  server.Password = values["VELMORA_TEST_PASSWORD"];
  server.Database = values["VELMORA_TEST_DATABASE"];
  server.Certs = values["VELMORA_TEST_CERTS"];
  return server;
}

std::vector<TSqlRow> RunSql(const TTestServer& server, const std::string& sql, const std::string& database) {
  std::string client = FindExecutable("mariadb");
  if (client.empty()) client = FindExecutable("mysql");
  if (client.empty()) throw std::runtime_error("the mariadb command-line client is not installed");
  const TCommandResult result = RunCommand(
      {client, "--no-defaults", "--socket=" + server.Socket, "--user=" + server.User,
       "--password=" + server.Password, "--database=" + (database.empty() ? server.Database : database),
       "--default-character-set=utf8mb4", "--batch", "--skip-column-names", "--execute=" + sql});
  if (result.exit_status != 0) {
    throw std::runtime_error("mariadb client failed (" + std::to_string(result.exit_status) +
                             "): " + result.output + "\nstatements: " + sql.substr(0, 2000));
  }
  std::vector<TSqlRow> rows;
  std::size_t position = 0;
  while (position < result.output.size()) {
    std::size_t end = result.output.find('\n', position);
    if (end == std::string::npos) end = result.output.size();
    const std::string line = result.output.substr(position, end - position);
    position = end + 1;
    TSqlRow row;
    std::size_t start = 0;
    while (true) {
      const std::size_t tab = line.find('\t', start);
      const std::string value =
          line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (value == "NULL") {
        row.push_back(std::nullopt);
      } else {
        row.push_back(Unescape(value));
      }
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

TSqlValue QueryValue(const TTestServer& server, const std::string& sql, const std::string& database) {
  const std::vector<TSqlRow> rows = RunSql(server, sql, database);
  if (rows.empty() || rows[0].empty()) throw std::runtime_error("no value from: " + sql);
  return rows[0][0];
}

std::string FromHex(const std::string& hex_digits) {
  auto nibble = [](char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    throw std::runtime_error(std::string("not a hex digit: ") + digit);
  };
  std::string bytes;
  for (std::size_t index = 0; index + 1 < hex_digits.size(); index += 2) {
    bytes += static_cast<char>(nibble(hex_digits[index]) * 16 + nibble(hex_digits[index + 1]));
  }
  return bytes;
}

}  // namespace velmora::testsupport
