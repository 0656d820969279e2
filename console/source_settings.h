#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_file.h"

namespace velmora {

// The Connection section of the parameter file.
struct TConnectionSettings {
  std::string Host = "localhost";
  std::string Port;  // a number, or a Unix socket path with Host "localhost"
  std::string Login;
  std::string Password;
  std::string DBName;  // database of every item without an entry in Databases

  static TConnectionSettings Read(const TIniFile& parameter_file);

  // Raises EVelmoraError naming the value when Port is neither empty, a number
  // from 0 to 65535, nor a socket path ("/" first) with Host localhost or empty.
  void CheckPort() const;
};

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
