// Reads a whole table from a MySQL server through the query data set (every
// field of every record as text) and through the `mariadb` command-line client
// (batch output thrown away), and reports wall time, processor time and peak
// memory of each and their ratio. Each reader runs in its own child process, so
// each peak-memory figure belongs to that reader alone.
//
// Usage: mysql_read_bench --socket=PATH --user=NAME --password=TEXT
//                         --database=NAME [--table=NAME] [--client=PROGRAM]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "mysql/query_dataset.h"
#include "mysql/statement_text.h"
#include "platform/locale_settings.h"

namespace {

struct TOptions {
  std::string socket;
  std::string user;
  std::string password;
  std::string database;
  std::string table = "bench_rows";
  std::string client = "mariadb";
};

struct TMeasurement {
  double wall_seconds = 0;
  double cpu_seconds = 0;
  double peak_mib = 0;
  bool ok = false;
};

enum class TReader { kDataSetAsString, kDataSetGetText, kClient };

bool TakeOption(const char* argument, const char* name, std::string& value) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(argument, name, length) != 0) return false;
  value = argument + length;
  return true;
}

// Reads every record; returns the number of text bytes seen.
long long ReadThroughDataSet(const TOptions& options, bool reuse_buffer, long long& records) {
  using namespace velmora;
  LoadFormatSettingsFromEnvironment();
  TZMySqlDatabase database;
  database.Port = options.socket;
  database.Login = options.user;
  database.Password = options.password;
  database.Database = options.database;
  TZMySqlTransact transact;
  transact.SetDatabase(&database);
  TZMySqlQuery query;
  query.Database = &database;
  query.Transaction = &transact;
  database.Connect();
  query.Sql = "select * from " + QuoteTableName(options.table, ServerVersionNumber(transact.ServerVersion()));
  query.Open();
  long long bytes = 0;
  std::string text;
  for (query.First(); !query.Eof(); query.Next()) {
    for (int index = 0; index < query.FieldCount(); ++index) {
      const TField& field = query.Field(index);
      if (reuse_buffer) {
        field.GetText(text);
        bytes += static_cast<long long>(text.size());
      } else {
        bytes += static_cast<long long>(field.AsString().size());
      }
    }
    ++records;
  }
  query.Close();
  return bytes;
}

[[noreturn]] void RunClient(const TOptions& options) {
  const std::string query = "select * from `" + options.table + "`";
  std::vector<std::string> arguments = {options.client,
                                        "--no-defaults",
                                        "--socket=" + options.socket,
                                        "--user=" + options.user,
                                        "--password=" + options.password,
                                        "--database=" + options.database,
                                        "--default-character-set=utf8mb4",
                                        "--batch",
                                        "--skip-column-names",
                                        "-e",
                                        query};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
  execvp(argv[0], argv.data());
  std::perror("exec");
  _exit(127);
}

TMeasurement Measure(const TOptions& options, TReader reader) {
  TMeasurement measurement;
  std::fflush(stdout);  // the child must not print what is still buffered here
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return measurement;
  }
  if (child == 0) {
    if (reader == TReader::kClient) RunClient(options);
    try {
      long long records = 0;
      const long long bytes = ReadThroughDataSet(options, reader == TReader::kDataSetGetText, records);
      std::fprintf(stderr, "  %lld records, %lld bytes of text\n", records, bytes);
      _exit(0);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "error: %s\n", error.what());
      _exit(1);
    }
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
  }
  measurement.wall_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measurement.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  measurement.peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;
  measurement.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return measurement;
}

void Print(const char* name, const TMeasurement& measurement) {
  std::printf("%-34s wall %7.3f s   cpu %7.3f s   peak RSS %8.1f MiB%s\n", name, measurement.wall_seconds,
              measurement.cpu_seconds, measurement.peak_mib, measurement.ok ? "" : "   FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  for (int index = 1; index < argc; ++index) {
    const char* argument = argv[index];
    if (!TakeOption(argument, "--socket=", options.socket) &&
        !TakeOption(argument, "--user=", options.user) &&
        !TakeOption(argument, "--password=", options.password) &&
        !TakeOption(argument, "--database=", options.database) &&
        !TakeOption(argument, "--table=", options.table) &&
        !TakeOption(argument, "--client=", options.client)) {
      std::fprintf(stderr, "unknown argument: %s\n", argument);
      return 2;
    }
  }
  if (options.socket.empty() || options.user.empty() || options.database.empty()) {
    std::fprintf(stderr,
                 "usage: mysql_read_bench --socket=PATH --user=NAME --password=TEXT --database=NAME "
                 "[--table=NAME] [--client=PROGRAM]\n");
    return 2;
  }

  std::printf("reading table %s\n", options.table.c_str());
  const TMeasurement as_string = Measure(options, TReader::kDataSetAsString);
  Print("data set, AsString per field", as_string);
  const TMeasurement get_text = Measure(options, TReader::kDataSetGetText);
  Print("data set, GetText into one buffer", get_text);
  const TMeasurement client = Measure(options, TReader::kClient);
  Print("mariadb --batch > /dev/null", client);
  if (!as_string.ok || !get_text.ok || !client.ok) return 1;
  std::printf("ratio data set (AsString) / client: wall %.2f, peak RSS %.2f\n",
              as_string.wall_seconds / client.wall_seconds, as_string.peak_mib / client.peak_mib);
  std::printf("ratio data set (GetText) / client:  wall %.2f, peak RSS %.2f\n",
              get_text.wall_seconds / client.wall_seconds, get_text.peak_mib / client.peak_mib);
  return 0;
}
