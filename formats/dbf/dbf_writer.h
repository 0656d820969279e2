#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tabulo_writer.h"

namespace velmora {

// One field of a dBASE III table.
struct TDBFField {
  std::string Name;  // at most 10 bytes of [A-Z0-9_]
  char Type = 'C';   // C, N, D, L or M
  int Offset = 0;    // within the record, the deletion flag not counted
  int Length = 0;
  int Decimals = 0;
  int ColumnIndex = -1;
};

// The largest record and header a table can describe: both lengths are 16-bit.
inline constexpr int kDBFMaxRecordLength = 65535;
inline constexpr int kDBFMaxCharacterLength = 254;
inline constexpr std::size_t kDBFMemoBlockSize = 512;

// Maps column names to table field names: upper case, every character outside
// [A-Z0-9_] as "_", at most 10 bytes, and a name already taken gets a numeric
// suffix in place of its last characters ("CUSTOMER_N", "CUSTOMER_1").
std::vector<std::string> DBFFieldNames(const std::vector<std::string>& column_names);

// The longest prefix of text of at most max_bytes bytes that does not end
// inside a UTF-8 sequence.
std::string_view Utf8BytePrefix(std::string_view text, std::size_t max_bytes);

// Writes a dBASE III table: the header with its field descriptors, the
// records, the end mark, and the record count patched into the header at the
// end. The memo file, when the table has one, takes each memo text in whole
// 512-byte blocks.
class TTabuloDBFWriter : public TTabuloWriter {
 public:
  using TTabuloWriter::TTabuloWriter;

  // Writes the 32-byte header, one descriptor per field and 0x0D; the record
  // count stays 0 until Finish. date is {year, month, day}.
  void WriteHeader(const std::vector<TDBFField>& fields, bool has_memo_file, const int (&date)[3]);
  // Takes the memo file's stream and writes its block 0.
  void OpenMemoFile(TOutputStream& stream);
  // Appends one memo text and returns the number of its first block.
  std::uint32_t AppendMemo(std::string_view text);
  // Writes one record (the deletion flag included) and counts it.
  void WriteRecord(std::string_view record);
  // Writes the end mark and the record count, and the next free block into the
  // memo file.
  void Finish();

  std::uint32_t RecordCount() const { return record_count_; }

 private:
  std::int64_t header_position_ = 0;
  std::uint32_t record_count_ = 0;
  TOutputStream* memo_ = nullptr;
  std::uint32_t next_block_ = 1;
};

}  // namespace velmora
