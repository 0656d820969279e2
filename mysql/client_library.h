#pragma once

#include <mysql.h>

#include <string>
#include <vector>

namespace velmora {

// The entry points of the MySQL client library, looked up by name when the
// library is loaded. The structures MYSQL and MYSQL_RES differ between client
// libraries, so they are reached through these functions only; MYSQL_FIELD has
// the same layout everywhere.
//
// The table is process-wide and writable: tests replace single entries to make
// a call fail on purpose.
struct TMySqlClientApi {
  decltype(&::mysql_debug) mysql_debug = nullptr;
  decltype(&::mysql_dump_debug_info) mysql_dump_debug_info = nullptr;
  decltype(&::mysql_init) mysql_init = nullptr;
  void* mysql_connect = nullptr;  // absent from current libraries; never called
  decltype(&::mysql_real_connect) mysql_real_connect = nullptr;
  decltype(&::mysql_close) mysql_close = nullptr;
  decltype(&::mysql_select_db) mysql_select_db = nullptr;
  void* mysql_create_db = nullptr;  // never called
  void* mysql_drop_db = nullptr;    // never called
  decltype(&::mysql_query) mysql_query = nullptr;
  decltype(&::mysql_real_query) mysql_real_query = nullptr;
  decltype(&::mysql_shutdown) mysql_shutdown = nullptr;
  decltype(&::mysql_refresh) mysql_refresh = nullptr;
  decltype(&::mysql_kill) mysql_kill = nullptr;
  decltype(&::mysql_ping) mysql_ping = nullptr;
  decltype(&::mysql_stat) mysql_stat = nullptr;
  decltype(&::mysql_options) mysql_options = nullptr;
  decltype(&::mysql_escape_string) mysql_escape_string = nullptr;
  decltype(&::mysql_get_server_info) mysql_get_server_info = nullptr;
  decltype(&::mysql_get_client_info) mysql_get_client_info = nullptr;
  decltype(&::mysql_get_host_info) mysql_get_host_info = nullptr;
  decltype(&::mysql_get_proto_info) mysql_get_proto_info = nullptr;
  decltype(&::mysql_list_fields) mysql_list_fields = nullptr;
  decltype(&::mysql_list_processes) mysql_list_processes = nullptr;
  decltype(&::mysql_list_dbs) mysql_list_dbs = nullptr;
  decltype(&::mysql_list_tables) mysql_list_tables = nullptr;
  decltype(&::mysql_data_seek) mysql_data_seek = nullptr;
  decltype(&::mysql_row_seek) mysql_row_seek = nullptr;
  decltype(&::mysql_field_seek) mysql_field_seek = nullptr;
  decltype(&::mysql_fetch_row) mysql_fetch_row = nullptr;
  decltype(&::mysql_fetch_lengths) mysql_fetch_lengths = nullptr;
  decltype(&::mysql_fetch_field) mysql_fetch_field = nullptr;
  decltype(&::mysql_fetch_field_direct) mysql_fetch_field_direct = nullptr;
  decltype(&::mysql_use_result) mysql_use_result = nullptr;
  decltype(&::mysql_store_result) mysql_store_result = nullptr;
  decltype(&::mysql_free_result) mysql_free_result = nullptr;
  decltype(&::mysql_thread_id) mysql_thread_id = nullptr;
  decltype(&::mysql_affected_rows) mysql_affected_rows = nullptr;
  // Accessors for the opaque handle and result structures.
  decltype(&::mysql_num_rows) mysql_num_rows = nullptr;
  decltype(&::mysql_num_fields) mysql_num_fields = nullptr;
  decltype(&::mysql_field_count) mysql_field_count = nullptr;
  decltype(&::mysql_errno) mysql_errno = nullptr;
  decltype(&::mysql_error) mysql_error = nullptr;
  decltype(&::mysql_row_tell) mysql_row_tell = nullptr;
  decltype(&::mysql_get_character_set_info) mysql_get_character_set_info = nullptr;
  // Results that follow the first one, as a CALL statement sends them.
  decltype(&::mysql_more_results) mysql_more_results = nullptr;
  decltype(&::mysql_next_result) mysql_next_result = nullptr;
  // TLS: key, certificate and CA files, and the cipher of a connection (null
  // when it is not encrypted). Absent from libraries built without TLS.
  decltype(&::mysql_ssl_set) mysql_ssl_set = nullptr;
  decltype(&::mysql_get_ssl_cipher) mysql_get_ssl_cipher = nullptr;

  void* library_handle = nullptr;  // dlopen handle; null while not loaded
};

// The process-wide table. Entries are null until LoadClientLibrary succeeds.
TMySqlClientApi& MySqlApi();

// Loads the client library once per process and resolves its entry points;
// later calls return at once. The library stays loaded until the process ends.
// Raises "Cannot load dynamic library %s" with every loader error, one a line,
// when no candidate can be opened or none offers the entry points the program
// calls.
void LoadClientLibrary();

// As LoadClientLibrary, with an explicit list of file names tried through the
// system search path after a library of one of these names already in the
// process. program_directory, when not empty, is searched first for the name
// "libmysqlclient.so.14.0.0".
void LoadClientLibraryFrom(const std::vector<std::string>& candidate_names,
                           const std::string& program_directory);

// A library opened and resolved, not yet the process-wide one.
struct TClientLibrary {
  TMySqlClientApi Api;
  std::string Name;
};
// The search of LoadClientLibraryFrom without installing what it finds; raises
// as LoadClientLibrary does.
TClientLibrary OpenClientLibrary(const std::vector<std::string>& candidate_names,
                                 const std::string& program_directory);

// The library names tried by LoadClientLibrary, in order.
const std::vector<std::string>& ClientLibraryCandidates();

bool ClientLibraryLoaded();

// The file name the loaded library was opened by; empty while none is loaded.
const std::string& ClientLibraryName();

}  // namespace velmora
