#include "console/source_settings.h"

#include "platform/error.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

void AppendItems(const TIniFile& parameter_file, std::string_view section_name,
                 std::vector<TSourceItem>& items) {
  const TIniSection* section = parameter_file.FindSection(section_name);
  if (section == nullptr) return;
  for (const TIniEntry& entry : section->Entries) {
    items.push_back(
        TSourceItem{entry.HasValue ? entry.Key : entry.Line, entry.Value, std::string(section_name)});
  }
}

}  // namespace

TConnectionSettings TConnectionSettings::Read(const TIniFile& parameter_file) {
  TConnectionSettings settings;
  constexpr std::string_view kSection = "Connection";
  settings.Host = parameter_file.ReadString(kSection, "Host", settings.Host);
  settings.Port = parameter_file.ReadString(kSection, "Port", settings.Port);
  settings.Login = parameter_file.ReadString(kSection, "Login", settings.Login);
  settings.Password = parameter_file.ReadString(kSection, "Password", settings.Password);
  settings.DBName = parameter_file.ReadString(kSection, "DBName", settings.DBName);
  return settings;
}

void TConnectionSettings::CheckPort() const {
  if (Port.empty()) return;
  const bool local_host = Host.empty() || SameText(Host, "localhost");
  if (local_host && Port.front() == '/') return;
  int number = 0;
  for (const char digit : Port) {
    if (digit < '0' || digit > '9' || number > 65535) {
      number = -1;
      break;
    }
    number = number * 10 + (digit - '0');
  }
  if (number < 0 || number > 65535) {
    throw EVelmoraError(Format("Port \"%s\" is not a number from 0 to 65535", Port.c_str()));
  }
}

TSourceLists TSourceLists::Read(const TIniFile& parameter_file) {
  TSourceLists lists;
  AppendItems(parameter_file, "Tables", lists.Tables);
  AppendItems(parameter_file, "Views", lists.Tables);
  AppendItems(parameter_file, "Queries", lists.Queries);
  return lists;
}

bool TSourceLists::ListsAllTables() const {
  for (const TSourceItem& item : Tables) {
    if (item.Key == "All" && item.Name == "1") return true;
  }
  return false;
}

void TSourceLists::ReplaceTables(const std::vector<std::string>& names) {
  Tables.clear();
  for (const std::string& name : names) Tables.push_back(TSourceItem{name, name, "Tables"});
}

std::optional<std::string> ReadQueryText(const TIniFile& parameter_file, std::string_view key) {
  const TIniSection* section = parameter_file.FindSection("SQL_" + std::string(key));
  if (section == nullptr) return std::nullopt;
  std::string text;
  for (std::size_t index = 0; index < section->Entries.size(); ++index) {
    if (index > 0) text += '\n';
    text += section->Entries[index].Value;
  }
  return text;
}

std::string ReadItemDatabase(const TIniFile& parameter_file, std::string_view key) {
  return parameter_file.ReadString("Databases", key, parameter_file.ReadString("Connection", "DBName", ""));
}

}  // namespace velmora
