// Exports an in-memory data set of mixed columns (integers, floats, dates,
// date-times, strings) to TXT, CSV, DIF, SYLK, PDF, JSON Lines and XLSX and reports, per format, rows
// per second (wall time, the file synced to disk included), processor time,
// output size and the process's peak memory.
//
// Usage: text_export_bench [ROWS] [OUTPUT_DIRECTORY]
//   ROWS defaults to 1000000. Files are written into OUTPUT_DIRECTORY (default:
//   a fresh directory under the temporary directory) and removed after each
//   format. Every format runs in its own child process, so each peak-memory
//   figure belongs to that format alone.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/memory_dataset.h"
#include "formats/json/tabulo_json.h"
#include "formats/pdf/tabulo_pdf.h"
#include "formats/text/tabulo_ascii.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "platform/locale_settings.h"

namespace {

using velmora::TMemoryDataSet;
using velmora::TTabuloASCII;
using velmora::TTabuloText;

template <velmora::TTabuloASCIIType Type>
std::unique_ptr<TTabuloText> CreateText() {
  return std::make_unique<TTabuloASCII>(Type);
}

std::unique_ptr<TTabuloText> CreatePDF() { return std::make_unique<velmora::TTabuloPDF>(); }
std::unique_ptr<TTabuloText> CreateJSON() { return std::make_unique<velmora::TTabuloJSON>(); }
std::unique_ptr<TTabuloText> CreateXLSX() { return std::make_unique<velmora::TTabuloXLSX>(); }

struct TFormatRun {
  std::unique_ptr<TTabuloText> (*create)();
  const char* name;
  const char* extension;
};

constexpr TFormatRun kFormats[] = {
    {&CreateText<velmora::etTXT>, "TXT", ".txt"},   {&CreateText<velmora::etCSV>, "CSV", ".csv"},
    {&CreateText<velmora::etDIF>, "DIF", ".dif"},   {&CreateText<velmora::etSYLK>, "SYLK", ".slk"},
    {&CreatePDF, "PDF", ".pdf"},    {&CreateJSON, "JSONL", ".jsonl"},
    {&CreateXLSX, "XLSX", ".xlsx"},
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

std::string Text(const char* pattern, long long a, long long b = 0, long long c = 0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
  return buffer;
}

// Ten columns of the kinds a table usually holds; every 17th value of the
// nullable columns is NULL. Strings stay short, as most column values do.
void FillDataSet(TMemoryDataSet& data, long long rows) {
  data.AddField("ID", velmora::ftInteger);
  data.AddField("QTY", velmora::ftInteger);
  data.AddField("TOTAL", velmora::ftLargeint);
  data.AddField("PRICE", velmora::ftFloat);
  data.AddField("RATE", velmora::ftFloat);
  data.AddField("DAY", velmora::ftDate);
  data.AddField("CREATED", velmora::ftDateTime);
  data.AddField("NAME", velmora::ftString, 12);
  data.AddField("CITY", velmora::ftString, 12);
  data.AddField("CODE", velmora::ftString, 8);
  static const char* const kCities[] = {"Lisboa", "Zürich", "Oslo", "Kraków", "Nairobi", "Lima", "Osaka"};
  for (long long row = 0; row < rows; ++row) {
    TMemoryDataSet::TRecord record;
    record.reserve(10);
    record.emplace_back(std::to_string(row + 1));
    record.emplace_back(std::to_string(row % 1000));
    record.emplace_back(std::to_string(row * 7919LL * 104729LL));
    record.emplace_back(Text("%lld.%02lld", row % 100000, row % 100));
    if (row % 17 == 5) {
      record.emplace_back(std::nullopt);
    } else {
      record.emplace_back(Text("-%lld.%04lld", row % 50, row % 10000));
    }
    record.emplace_back(Text("20%02lld-%02lld-%02lld", row % 25, row % 12 + 1, row % 28 + 1));
    record.emplace_back(Text("2024-%02lld-%02lld 12:34:56", row % 12 + 1, row % 28 + 1));
    record.emplace_back(Text("name %lld", row % 100000));
    record.emplace_back(kCities[row % 7]);
    if (row % 17 == 3) {
      record.emplace_back(std::nullopt);
    } else {
      record.emplace_back(Text("C%06lld", row % 1000000));
    }
    data.AppendRecord(std::move(record));
  }
  data.Open();
}

// Runs one format in this process and prints its line of the report.
int RunFormat(const TFormatRun& format, long long rows, const std::string& directory) {
  velmora::SetFormatSettings(velmora::TFormatSettings::CLocale());
  TMemoryDataSet data;
  FillDataSet(data, rows);
  const double data_set_mib = PeakMemoryMiB();

  const std::unique_ptr<TTabuloText> created = format.create();
  TTabuloText& exporter = *created;
  exporter.DataSet = &data;
  exporter.FileName = directory + "/bench" + format.extension;
  const double cpu_start = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  exporter.Execute();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu_seconds = CpuSeconds() - cpu_start;

  struct stat info {};
  ::stat(exporter.FileName.c_str(), &info);
  const double file_mib = static_cast<double>(info.st_size) / (1024.0 * 1024.0);
  std::filesystem::remove(exporter.FileName);
  const double peak_mib = PeakMemoryMiB();
  std::printf("%-6s %9lld %8.2f %8.2f %12.0f %9.1f %10.1f %10.1f %10.1f %9.1f\n", format.name, rows, seconds,
              cpu_seconds, static_cast<double>(rows) / seconds, file_mib / seconds, file_mib, peak_mib,
              data_set_mib, peak_mib - data_set_mib);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long long rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  if (rows <= 0) {
    std::fprintf(stderr, "usage: %s [ROWS] [OUTPUT_DIRECTORY]\n", argv[0]);
    return 2;
  }
  std::string directory;
  bool own_directory = false;
  if (argc > 2) {
    directory = argv[2];
  } else {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      return 1;
    }
    directory = pattern;
    own_directory = true;
  }

#if !defined(__OPTIMIZE__)
  std::printf("warning: not an optimised build; use bench/run.sh\n");
#endif
  std::printf("Export of %lld rows x 10 columns (3 integer, 2 float, date, date-time, 3 string)\n",
              rows);
  std::printf("%-6s %9s %8s %8s %12s %9s %10s %10s %10s %9s\n", "type", "rows", "seconds", "cpu s", "rows/s",
              "MiB/s", "file MiB", "peak MiB", "data MiB", "export");
  std::fflush(stdout);

  int failures = 0;
  for (const TFormatRun& format : kFormats) {
    const pid_t child = ::fork();
    if (child == 0) {
      try {
        std::_Exit(RunFormat(format, rows, directory));
      } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", format.name, error.what());
        std::_Exit(1);
      }
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      ++failures;
    }
  }
  std::printf(
      "seconds: wall time of the export, the file synced to disk included; cpu s: its processor time;\n"
      "peak MiB: the process's peak resident memory; data MiB: after filling the data set;\n"
      "export: what the export added to the peak.\n");
  if (own_directory) std::filesystem::remove_all(directory);
  return failures == 0 ? 0 : 1;
}
