#include "platform/binary_writer.h"

#include "platform/error.h"

namespace velmora {

namespace {

template <typename Unsigned>
Unsigned Decode(std::string_view bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(Unsigned)) {
    throw EVelmoraError(
        Format("Cannot read %zu bytes at offset %zu of %zu bytes", sizeof(Unsigned), offset, bytes.size()));
  }
  Unsigned value = 0;
  for (std::size_t index = 0; index < sizeof(Unsigned); ++index) {
    value |= static_cast<Unsigned>(static_cast<unsigned char>(bytes[offset + index])) << (8 * index);
  }
  return value;
}

template <typename Unsigned>
void Patch(std::string& buffer, std::size_t offset, Unsigned value) {
  if (offset > buffer.size() || buffer.size() - offset < sizeof(Unsigned)) {
    throw EVelmoraError(
        Format("Cannot write %zu bytes at offset %zu of %zu bytes", sizeof(Unsigned), offset, buffer.size()));
  }
  for (std::size_t index = 0; index < sizeof(Unsigned); ++index) {
    buffer[offset + index] = static_cast<char>(value >> (8 * index));
  }
}

template <typename Unsigned>
Unsigned ReadFromStream(TOutputStream& stream, std::int64_t position) {
  char bytes[sizeof(Unsigned)];
  stream.ReadAt(position, bytes, sizeof bytes);
  return Decode<Unsigned>(std::string_view(bytes, sizeof bytes), 0);
}

}  // namespace

TBinaryWriter& TBinaryWriter::Zeros(std::size_t count) {
  if (stream_ != nullptr) {
    static constexpr char kZeros[512] = {};
    for (std::size_t left = count; left > 0;) {
      const std::size_t chunk = left < sizeof kZeros ? left : sizeof kZeros;
      stream_->Write(kZeros, chunk);
      left -= chunk;
    }
  } else {
    buffer_->append(count, '\0');
  }
  return *this;
}

void PatchUInt16LE(std::string& buffer, std::size_t offset, std::uint16_t value) {
  Patch(buffer, offset, value);
}

void PatchUInt32LE(std::string& buffer, std::size_t offset, std::uint32_t value) {
  Patch(buffer, offset, value);
}

std::uint16_t ReadUInt16LE(std::string_view bytes, std::size_t offset) {
  return Decode<std::uint16_t>(bytes, offset);
}

std::uint32_t ReadUInt32LE(std::string_view bytes, std::size_t offset) {
  return Decode<std::uint32_t>(bytes, offset);
}

std::uint64_t ReadUInt64LE(std::string_view bytes, std::size_t offset) {
  return Decode<std::uint64_t>(bytes, offset);
}

double ReadDoubleLE(std::string_view bytes, std::size_t offset) {
  return std::bit_cast<double>(Decode<std::uint64_t>(bytes, offset));
}

std::uint16_t ReadUInt16LE(TOutputStream& stream, std::int64_t position) {
  return ReadFromStream<std::uint16_t>(stream, position);
}

std::uint32_t ReadUInt32LE(TOutputStream& stream, std::int64_t position) {
  return ReadFromStream<std::uint32_t>(stream, position);
}

}  // namespace velmora
