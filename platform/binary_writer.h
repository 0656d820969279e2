#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/output_stream.h"

namespace velmora {

// Writes fixed-width values in little-endian byte order, either appending to a
// byte buffer (records whose length is known only once they are built) or
// straight through an output stream. Signed values are written as their two's
// complement: pass static_cast<std::uint32_t>(value).
class TBinaryWriter {
 public:
  explicit TBinaryWriter(std::string& buffer) : buffer_(&buffer) {}
  explicit TBinaryWriter(TOutputStream& stream) : stream_(&stream) {}

  TBinaryWriter& UInt8(std::uint8_t value) { return Put(value); }
  TBinaryWriter& UInt16(std::uint16_t value) { return Put(value); }
  TBinaryWriter& UInt32(std::uint32_t value) { return Put(value); }
  TBinaryWriter& UInt64(std::uint64_t value) { return Put(value); }
  // IEEE-754 binary64, the same eight bytes as UInt64 of its bit pattern.
  TBinaryWriter& Double(double value) { return Put(std::bit_cast<std::uint64_t>(value)); }
  TBinaryWriter& Bytes(std::string_view bytes) {
    Append(bytes.data(), bytes.size());
    return *this;
  }
  // count bytes of value 0 (reserved fields, padding to a block size).
  TBinaryWriter& Zeros(std::size_t count);

 private:
  template <typename Unsigned>
  TBinaryWriter& Put(Unsigned value) {
    char bytes[sizeof(Unsigned)];
    for (std::size_t index = 0; index < sizeof(Unsigned); ++index) {
      bytes[index] = static_cast<char>(value >> (8 * index));
    }
    Append(bytes, sizeof bytes);
    return *this;
  }
  void Append(const char* data, std::size_t size) {
    if (stream_ != nullptr) {
      stream_->Write(data, size);
    } else {
      buffer_->append(data, size);
    }
  }

  std::string* buffer_ = nullptr;
  TOutputStream* stream_ = nullptr;
};

// Overwrite a value already in a buffer (a record's length written before its
// body). The value must lie inside the buffer.
void PatchUInt16LE(std::string& buffer, std::size_t offset, std::uint16_t value);
void PatchUInt32LE(std::string& buffer, std::size_t offset, std::uint32_t value);

// Read a little-endian value at offset; raise EVelmoraError when the bytes end
// before the value does.
std::uint16_t ReadUInt16LE(std::string_view bytes, std::size_t offset);
std::uint32_t ReadUInt32LE(std::string_view bytes, std::size_t offset);
std::uint64_t ReadUInt64LE(std::string_view bytes, std::size_t offset);
double ReadDoubleLE(std::string_view bytes, std::size_t offset);

// Read back a value already written to a stream (a header count to update),
// pending bytes included.
std::uint16_t ReadUInt16LE(TOutputStream& stream, std::int64_t position);
std::uint32_t ReadUInt32LE(TOutputStream& stream, std::int64_t position);

}  // namespace velmora
