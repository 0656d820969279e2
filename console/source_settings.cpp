#include "console/source_settings.h"

#include <cerrno>
#include <charconv>

#include "mysql/option_file.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

constexpr std::string_view kConnectionSection = "Connection";
constexpr std::size_t kMaxPasswordFileSize = 64 * 1024;
// More connections than this only queue on the server's disks and locks.
constexpr int kMaxThreads = 64;

// The value of a key of the Connection section; nullopt when the key is absent,
// so that an option file's value is kept only then.
std::optional<std::string> FindConnectionKey(const TIniFile& parameter_file, std::string_view key) {
  const TIniSection* section = parameter_file.FindSection(kConnectionSection);
  if (section == nullptr) return std::nullopt;
  for (const TIniEntry& entry : section->Entries) {
    if (entry.HasValue && SameText(entry.Key, key)) return entry.Value;
  }
  return std::nullopt;
}

// An empty entry ("Password=" left in a parameter file) does not blank out a
// value an option or password file gave.
void OverrideFrom(const TIniFile& parameter_file, std::string_view key, bool keep_file_value,
                  std::string& target) {
  std::optional<std::string> value = FindConnectionKey(parameter_file, key);
  if (!value || (keep_file_value && Trim(*value).empty())) return;
  target = *value;
}

// A number of seconds from 0 to one day; an absent key keeps default_value.
unsigned int ReadSeconds(const TIniFile& parameter_file, std::string_view key, unsigned int default_value) {
  const std::optional<std::string> value = FindConnectionKey(parameter_file, key);
  if (!value) return default_value;
  const std::string_view text = Trim(*value);
  unsigned int seconds = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (text.empty() || error != std::errc() || stop != end || seconds > 86400) {
    throw EVelmoraError(Format("%.*s \"%s\" is not a number of seconds from 0 to 86400",
                               static_cast<int>(key.size()), key.data(), value->c_str()));
  }
  return seconds;
}

// The Threads key: a misspelt count would quietly run one item at a time, or
// open more connections than the server allows, so it is refused instead.
int ReadThreads(const TIniFile& parameter_file) {
  const std::optional<std::string> value = FindConnectionKey(parameter_file, "Threads");
  if (!value) return 1;
  const std::string_view text = Trim(*value);
  int threads = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, threads);
  if (text.empty() || error != std::errc() || stop != end || threads < 1 || threads > kMaxThreads) {
    throw EVelmoraError(Format("Threads \"%s\" is not a number from 1 to %d", value->c_str(), kMaxThreads));
  }
  return threads;
}

// The first line of a password file, without its line end.
std::string ReadPasswordFile(const std::string& path) {
  std::string content;
  if (!ReadWholeFile(path, kMaxPasswordFileSize, content)) {
    throw EVelmoraError(Format("Cannot read password file %s: %s", path.c_str(), SystemErrorText(ENOENT).c_str()));
  }
  const std::size_t line_end = content.find_first_of("\r\n");
  return line_end == std::string::npos ? content : content.substr(0, line_end);
}

std::string ReadableWarning(const std::string& what, const std::string& path) {
  return Format("Warning: the %s %s holds a password and can be read by other users", what.c_str(), path.c_str());
}

// Takes what an option file group gives; the socket only counts for a local host.
void ApplyOptionFile(const TOptionGroup& group, TConnectionSettings& settings) {
  const auto take = [&group](const char* key, std::string& target) {
    const auto found = group.find(key);
    if (found != group.end()) target = found->second;
  };
  take("user", settings.Login);
  take("password", settings.Password);
  take("host", settings.Host);
  take("port", settings.Port);
  const auto socket = group.find("socket");
  if (socket != group.end() && (Trim(settings.Host).empty() || SameText(Trim(settings.Host), "localhost"))) {
    settings.Port = socket->second;
  }
  take("ssl-ca", settings.Options.SslCA);
  take("ssl-cert", settings.Options.SslCert);
  take("ssl-key", settings.Options.SslKey);
  const auto mode = group.find("ssl-mode");
  if (mode != group.end()) settings.Options.SslMode = ParseSslMode(mode->second);
  const auto verify = group.find("ssl-verify-server-cert");
  if (verify != group.end() && verify->second != "0" && !SameText(verify->second, "off") &&
      !SameText(verify->second, "false")) {
    settings.Options.SslMode = smVerifyIdentity;
  }
}

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

TSslMode ParseSslMode(std::string_view name) {
  std::string normalized(Trim(name));
  for (char& character : normalized) {
    if (character == '-') character = '_';
  }
  for (const TSslMode mode : {smDisabled, smPreferred, smRequired, smVerifyCA, smVerifyIdentity}) {
    if (SameText(normalized, SslModeName(mode))) return mode;
  }
  throw EVelmoraError(Format("SSLMode \"%.*s\" is none of DISABLED, PREFERRED, REQUIRED, VERIFY_CA, VERIFY_IDENTITY",
                             static_cast<int>(name.size()), name.data()));
}

TConnectionSettings TConnectionSettings::Read(const TIniFile& parameter_file) {
  TConnectionSettings settings;
  const std::string option_file = parameter_file.ReadString(kConnectionSection, "OptionFile", "");
  if (!Trim(option_file).empty()) {
    const std::string group = parameter_file.ReadString(kConnectionSection, "OptionGroup", "client");
    const TOptionGroup entries = ReadOptionGroup(option_file, Trim(group).empty() ? "client" : Trim(group));
    ApplyOptionFile(entries, settings);
    if (entries.count("password") > 0 && ReadableByOthers(option_file)) {
      settings.Warnings.push_back(ReadableWarning("option file", option_file));
    }
  }
  const std::string password_file = parameter_file.ReadString(kConnectionSection, "PasswordFile", "");
  if (!Trim(password_file).empty()) {
    settings.Password = ReadPasswordFile(password_file);
    if (ReadableByOthers(password_file)) settings.Warnings.push_back(ReadableWarning("password file", password_file));
  }
  const bool from_files = !Trim(option_file).empty() || !Trim(password_file).empty();
  OverrideFrom(parameter_file, "Host", from_files, settings.Host);
  OverrideFrom(parameter_file, "Port", from_files, settings.Port);
  OverrideFrom(parameter_file, "Login", from_files, settings.Login);
  OverrideFrom(parameter_file, "Password", from_files, settings.Password);
  OverrideFrom(parameter_file, "DBName", false, settings.DBName);
  OverrideFrom(parameter_file, "SSLCA", from_files, settings.Options.SslCA);
  OverrideFrom(parameter_file, "SSLCert", from_files, settings.Options.SslCert);
  OverrideFrom(parameter_file, "SSLKey", from_files, settings.Options.SslKey);
  if (const std::optional<std::string> mode = FindConnectionKey(parameter_file, "SSLMode")) {
    settings.Options.SslMode = ParseSslMode(*mode);
  }
  settings.Options.ConnectTimeout = ReadSeconds(parameter_file, "ConnectTimeout", settings.Options.ConnectTimeout);
  settings.Options.ReadTimeout = ReadSeconds(parameter_file, "ReadTimeout", settings.Options.ReadTimeout);
  settings.Snapshot = parameter_file.ReadBool(kConnectionSection, "Snapshot", false);
  settings.StoreResult = parameter_file.ReadBool(kConnectionSection, "StoreResult", false);
  settings.ContinueOnError = parameter_file.ReadBool(kConnectionSection, "ContinueOnError", false);
  settings.Threads = ReadThreads(parameter_file);
  settings.LockWaitTimeout = ReadSeconds(parameter_file, "LockWaitTimeout", settings.LockWaitTimeout);
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
