#include "mysql/client_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "platform/error.h"

namespace velmora {

namespace {

TMySqlClientApi client_api;
std::string client_library_name;

// The historical name; it is still tried first, beside the program and then
// through the search path, so a deployment that ships it keeps working.
constexpr const char* kHistoricalLibraryName = "libmysqlclient.so.14";

struct TEntryPoint {
  const char* name;
  bool required;  // called on the export road: a library without it is unusable
};

// Entry points in the order of the table; every slot of TMySqlClientApi up to
// library_handle is one pointer, filled in this order.
constexpr TEntryPoint kEntryPoints[] = {
    {"mysql_debug", false},
    {"mysql_dump_debug_info", false},
    {"mysql_init", true},
    {"mysql_connect", false},
    {"mysql_real_connect", true},
    {"mysql_close", true},
    {"mysql_select_db", true},
    {"mysql_create_db", false},
    {"mysql_drop_db", false},
    {"mysql_query", true},
    {"mysql_real_query", true},
    {"mysql_shutdown", false},
    {"mysql_refresh", false},
    {"mysql_kill", false},
    {"mysql_ping", false},
    {"mysql_stat", false},
    {"mysql_options", true},
    {"mysql_escape_string", false},
    {"mysql_get_server_info", true},
    {"mysql_get_client_info", false},
    {"mysql_get_host_info", false},
    {"mysql_get_proto_info", false},
    {"mysql_list_fields", false},
    {"mysql_list_processes", false},
    {"mysql_list_dbs", false},
    {"mysql_list_tables", false},
    {"mysql_data_seek", true},
    {"mysql_row_seek", false},
    {"mysql_field_seek", false},
    {"mysql_fetch_row", true},
    {"mysql_fetch_lengths", true},
    {"mysql_fetch_field", false},
    {"mysql_fetch_field_direct", true},
    {"mysql_use_result", true},
    {"mysql_store_result", true},
    {"mysql_free_result", true},
    {"mysql_thread_id", false},
    {"mysql_affected_rows", true},
    {"mysql_num_rows", true},
    {"mysql_num_fields", true},
    {"mysql_field_count", true},
    {"mysql_errno", true},
    {"mysql_error", true},
    {"mysql_row_tell", false},
    {"mysql_get_character_set_info", false},
    {"mysql_more_results", true},
    {"mysql_next_result", true},
    {"mysql_ssl_set", false},
    {"mysql_get_ssl_cipher", false},
};

constexpr std::size_t kEntryPointCount = sizeof kEntryPoints / sizeof kEntryPoints[0];
static_assert(offsetof(TMySqlClientApi, library_handle) == kEntryPointCount * sizeof(void*),
              "every entry point of TMySqlClientApi needs a line in kEntryPoints");

std::string LoaderError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown loader error";
}

// Fills a table from an opened library. Returns false, with the loader's text
// in error, when a required entry point is missing.
bool ResolveEntryPoints(void* handle, TMySqlClientApi& api, std::string& error) {
  char* slots = reinterpret_cast<char*>(&api);
  for (std::size_t index = 0; index < kEntryPointCount; ++index) {
    dlerror();
    void* address = dlsym(handle, kEntryPoints[index].name);
    if (address == nullptr && kEntryPoints[index].required) {
      error = LoaderError();
      return false;
    }
    std::memcpy(slots + index * sizeof(void*), &address, sizeof(void*));
  }
  return true;
}

// Takes a freshly opened library if it offers every required entry point.
bool Adopt(void* handle, const std::string& name, TClientLibrary& library, std::vector<std::string>& errors) {
  std::string error;
  if (!ResolveEntryPoints(handle, library.Api, error)) {
    errors.push_back(error);
    dlclose(handle);
    return false;
  }
  library.Api.library_handle = handle;
  library.Name = name;
  return true;
}

std::string ProgramDirectory() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0) return {};
  path.resize(static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

TMySqlClientApi& MySqlApi() {
  return client_api;
}

bool ClientLibraryLoaded() {
  return client_api.library_handle != nullptr;
}

const std::string& ClientLibraryName() {
  return client_library_name;
}

const std::vector<std::string>& ClientLibraryCandidates() {
  static const std::vector<std::string> candidates = {
      kHistoricalLibraryName, "libmysqlclient.so.21", "libmysqlclient.so.18",
      "libmariadb.so.3",      "libmysqlclient.so",    "libmariadb.so",
  };
  return candidates;
}

TClientLibrary OpenClientLibrary(const std::vector<std::string>& candidate_names,
                                 const std::string& program_directory) {
  TClientLibrary library;
  std::vector<std::string> errors;

  // A library already in the process is taken as it is.
  for (const std::string& name : candidate_names) {
    void* handle = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr && Adopt(handle, name, library, errors)) return library;
  }
  errors.clear();

  if (!program_directory.empty()) {
    const std::string beside_program = program_directory + "/" + kHistoricalLibraryName + ".0.0";
    void* handle = dlopen(beside_program.c_str(), RTLD_LAZY);
    if (handle == nullptr) {
      errors.push_back(LoaderError());
    } else if (Adopt(handle, beside_program, library, errors)) {
      return library;
    }
  }
  for (const std::string& name : candidate_names) {
    void* handle = dlopen(name.c_str(), RTLD_LAZY);
    if (handle == nullptr) {
      errors.push_back(LoaderError());
    } else if (Adopt(handle, name, library, errors)) {
      return library;
    }
  }

  std::string text;
  for (const std::string& error : errors) {
    if (!text.empty()) text += '\n';
    text += error;
  }
  throw EVelmoraError(Format("Cannot load dynamic library %s", text.c_str()));
}

void LoadClientLibraryFrom(const std::vector<std::string>& candidate_names,
                           const std::string& program_directory) {
  if (ClientLibraryLoaded()) return;
  TClientLibrary library = OpenClientLibrary(candidate_names, program_directory);
  client_api = library.Api;
  client_library_name = library.Name;
}

void LoadClientLibrary() {
  if (ClientLibraryLoaded()) return;
  LoadClientLibraryFrom(ClientLibraryCandidates(), ProgramDirectory());
}

}  // namespace velmora
