#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/memory_dataset.h"
#include "formats/xls/tabulo_xls.h"
#include "tests/formats/file_export_test.h"
#include "support/test_files.h"

namespace velmora::testsupport {

struct TBiffRecord {
  std::uint16_t Id = 0;
  std::string Payload;
};

inline std::uint16_t UInt16At(const std::string& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(offset)) |
                                    static_cast<unsigned char>(bytes.at(offset + 1)) << 8);
}

inline std::uint32_t UInt32At(const std::string& bytes, std::size_t offset) {
  return UInt16At(bytes, offset) | static_cast<std::uint32_t>(UInt16At(bytes, offset + 2)) << 16;
}

// The records of a workbook file written by this program: its Workbook stream
// lies in one run of sectors after the 512-byte header, and ends at the first
// EOF that follows another EOF (the padding after it is not records).
inline std::vector<TBiffRecord> ReadRecords(const std::string& file) {
  std::vector<TBiffRecord> records;
  std::size_t offset = 512;
  while (offset + 4 <= file.size()) {
    TBiffRecord record;
    record.Id = UInt16At(file, offset);
    const std::uint16_t length = UInt16At(file, offset + 2);
    record.Payload = file.substr(offset + 4, length);
    offset += 4 + length;
    const bool second_eof = record.Id == 0x000A && !records.empty() && records.back().Id == 0x000A;
    records.push_back(std::move(record));
    if (second_eof) break;
  }
  return records;
}

// Runs a reader script (arguments: the interpreter, "-c", the script and its
// own arguments) with one more argument per known text: a file in directory
// holding it, so that the script can print long texts by their number.
// Returns what the script printed; a failed run fails the test.
inline std::string RunReaderScript(std::vector<std::string> arguments, const std::vector<std::string>& known,
                                   const TTempDir& directory) {
  for (std::size_t index = 0; index < known.size(); ++index) {
    arguments.push_back(directory.File("known" + std::to_string(index)));
    WriteFile(arguments.back(), known[index]);
  }
  const TCommandResult result = RunCommand(arguments, 300);
  EXPECT_EQ(result.exit_status, 0) << result.output.substr(0, 2000);
  return result.output;
}

// Exports the data set through an exporter set up by configure, into path.
template <class TConfigure>
void ExportWorkbook(TMemoryDataSet& data, const std::string& path, TConfigure&& configure) {
  TTabuloXLS exporter;
  exporter.DataSet = &data;
  exporter.FileName = path;
  configure(exporter);
  exporter.Execute();
}

}  // namespace velmora::testsupport
