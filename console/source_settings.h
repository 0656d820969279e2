#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/direct_connection.h"
#include "platform/ini_file.h"

namespace velmora {

// The Connection section of the parameter file. Credentials, host, port and
// TLS files may come from a MySQL option file (OptionFile, OptionGroup) and the
// password from a file of its own (PasswordFile); keys of the section win over
// the password file, and both over the option file.
struct TConnectionSettings {
  std::string Host = "localhost";
  std::string Port;  // a number, or a Unix socket path with Host "localhost"
  std::string Login;
  std::string Password;
  std::string DBName;  // database of every item without an entry in Databases
  TConnectOptions Options;
  bool Snapshot = false;  // every item read in one consistent snapshot
  bool StoreResult = false;  // every item's result held whole before it is written
  bool ContinueOnError = false;  // a failed statement fails its item only
  int Threads = 1;               // items exported at once, each on a connection of its own
  // Seconds the global read lock of a shared snapshot may wait for the
  // statements running on the server before the run ends.
  unsigned int LockWaitTimeout = 60;
  // Lines for standard error: files holding a password that others can read.
  std::vector<std::string> Warnings;

  // Raises EVelmoraError when a file cannot be read or a value is invalid.
  static TConnectionSettings Read(const TIniFile& parameter_file);

  // Raises EVelmoraError naming the value when Port is neither empty, a number
  // from 0 to 65535, nor a socket path ("/" first) with Host localhost or empty.
  void CheckPort() const;
};

// The TLS mode of a name, any letter case ("-" and "_" alike); raises
// EVelmoraError naming the value when it is none of the five.
TSslMode ParseSslMode(std::string_view name);

// One table, view or query to export: KEY ties it to its entries in Databases,
// Files, Templates (and SQL_KEY for a query); Name is what the messages show.
struct TSourceItem {
  std::string Key;      // a line without "=" is all key
  std::string Name;     // empty when the entry gives none
  std::string Section;  // "Tables", "Views" or "Queries"

  bool operator==(const TSourceItem&) const = default;
};

// What the parameter file asks to export, in export order.
struct TSourceLists {
  std::vector<TSourceItem> Tables;  // the Tables entries, then the Views entries
  std::vector<TSourceItem> Queries;

  static TSourceLists Read(const TIniFile& parameter_file);

  // The table list holds the entry All=1 (key and value exactly so).
  bool ListsAllTables() const;
  // Replaces the table list by one entry NAME=NAME per name.
  void ReplaceTables(const std::vector<std::string>& names);
};

// The text of the query with that key: the values of the entries of the first
// section named "SQL_" KEY (KEY compared without regard to letter case), joined
// with line breaks. nullopt when there is no such section.
std::optional<std::string> ReadQueryText(const TIniFile& parameter_file, std::string_view key);

// The database of an item: its Databases entry (key without regard to letter
// case), else DBName of Connection.
std::string ReadItemDatabase(const TIniFile& parameter_file, std::string_view key);

}  // namespace velmora
