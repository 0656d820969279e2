#include "formats/dbf/dbf_writer.h"

#include <string>

#include "platform/binary_writer.h"
#include "platform/error.h"
#include "platform/utf8.h"

namespace velmora {

namespace {

constexpr std::size_t kMaxFieldNameBytes = 10;

bool IsFieldNameCharacter(char32_t character) {
  return (character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9') || character == '_';
}

std::string MappedName(std::string_view column_name) {
  std::string name;
  for (std::size_t position = 0; position < column_name.size() && name.size() < kMaxFieldNameBytes;) {
    const TUtf8Sequence sequence = DecodeUtf8(column_name, position);
    char32_t character = sequence.CodePoint;
    if (character >= 'a' && character <= 'z') character -= 'a' - 'A';
    name.push_back(IsFieldNameCharacter(character) ? static_cast<char>(character) : '_');
    position += static_cast<std::size_t>(sequence.Length);
  }
  if (name.empty()) name = "_";
  return name;
}

}  // namespace

std::vector<std::string> DBFFieldNames(const std::vector<std::string>& column_names) {
  std::vector<std::string> names;
  const auto taken = [&names](const std::string& candidate) {
    for (const std::string& name : names) {
      if (name == candidate) return true;
    }
    return false;
  };
  for (const std::string& column_name : column_names) {
    const std::string base = MappedName(column_name);
    std::string candidate = base;
    for (int suffix = 1; taken(candidate); ++suffix) {
      const std::string digits = std::to_string(suffix);
      candidate = base.substr(0, kMaxFieldNameBytes - digits.size()) + digits;
    }
    names.push_back(candidate);
  }
  return names;
}

std::string_view Utf8BytePrefix(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + static_cast<std::size_t>(DecodeUtf8(text, end).Length);
    if (next > max_bytes) break;
    end = next;
  }
  return text.substr(0, end);
}

void TTabuloDBFWriter::WriteHeader(const std::vector<TDBFField>& fields, bool has_memo_file,
                                   const int (&date)[3]) {
  int record_length = 1;
  for (const TDBFField& field : fields) record_length += field.Length;
  const int header_length = 32 * (static_cast<int>(fields.size()) + 1) + 1;
  header_position_ = Stream().Position();
  TBinaryWriter out(Stream());
  out.UInt8(has_memo_file ? 0x83 : 0x03)
      .UInt8(static_cast<std::uint8_t>(date[0] - 1900))
      .UInt8(static_cast<std::uint8_t>(date[1]))
      .UInt8(static_cast<std::uint8_t>(date[2]))
      .UInt32(0)
      .UInt16(static_cast<std::uint16_t>(header_length))
      .UInt16(static_cast<std::uint16_t>(record_length))
      .Zeros(20);
  for (const TDBFField& field : fields) {
    out.Bytes(field.Name)
        .Zeros(11 - field.Name.size())
        .UInt8(static_cast<std::uint8_t>(field.Type))
        .UInt32(static_cast<std::uint32_t>(field.Offset))
        .UInt8(static_cast<std::uint8_t>(field.Length))
        .UInt8(static_cast<std::uint8_t>(field.Decimals))
        .Zeros(14);
  }
  out.UInt8(0x0D);
}

void TTabuloDBFWriter::OpenMemoFile(TOutputStream& stream) {
  memo_ = &stream;
  next_block_ = 1;
  TBinaryWriter(stream).Zeros(kDBFMemoBlockSize);
}

std::uint32_t TTabuloDBFWriter::AppendMemo(std::string_view text) {
  if (memo_ == nullptr) throw EVelmoraError("Memo text without a memo file");
  const std::uint32_t first_block = next_block_;
  const std::size_t size = text.size() + 2;
  const std::size_t blocks = (size + kDBFMemoBlockSize - 1) / kDBFMemoBlockSize;
  if (next_block_ + blocks > UINT32_MAX) throw EVelmoraError("Memo file exceeds 4294967295 blocks");
  TBinaryWriter(*memo_).Bytes(text).Bytes("\x1A\x1A").Zeros(blocks * kDBFMemoBlockSize - size);
  next_block_ += static_cast<std::uint32_t>(blocks);
  return first_block;
}

void TTabuloDBFWriter::WriteRecord(std::string_view record) {
  if (record_count_ == UINT32_MAX) throw EVelmoraError("Table exceeds 4294967295 records");
  Write(record);
  ++record_count_;
}

void TTabuloDBFWriter::Finish() {
  Stream().WriteByte(0x1A);
  const std::int64_t end = Stream().Position();
  Stream().Seek(header_position_ + 4);
  TBinaryWriter(Stream()).UInt32(record_count_);
  Stream().Seek(end);
  if (memo_ != nullptr) {
    const std::int64_t memo_end = memo_->Position();
    memo_->Seek(0);
    TBinaryWriter(*memo_).UInt32(next_block_);
    memo_->Seek(memo_end);
  }
}

}  // namespace velmora
