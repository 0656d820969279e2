#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/error.h"

namespace velmora {

// The row buffer of a copied row, as the stored rows and the spooled rows
// hold one: each value's length as a 32-bit word (kNullLength for SQL NULL),
// then the bytes of every value that is not NULL, each followed by a NUL as
// the client library ends its values. Reading one back points at the copies,
// so a field reads exactly the bytes the server sent.
namespace row_buffer {

constexpr std::uint32_t kNullLength = 0xFFFFFFFF;

inline std::size_t LengthsBytes(unsigned int field_count) {
  return sizeof(std::uint32_t) * field_count;
}

// The bytes of the buffer of a row as the client library gives one: values[i]
// null for SQL NULL, lengths[i] its bytes.
inline std::size_t Bytes(char* const* values, const unsigned long* lengths, unsigned int field_count) {
  std::size_t bytes = LengthsBytes(field_count);
  for (unsigned int field = 0; field < field_count; ++field) {
    if (values[field] == nullptr) continue;
    // A value the length word cannot hold never comes: the server sends at
    // most 1 GiB in one packet.
    if (lengths[field] >= kNullLength) throw EVelmoraError("Fatal internal error");
    bytes += lengths[field] + 1;
  }
  return bytes;
}

// Writes the length words of a row at place.
inline void WriteLengths(char* place, char* const* values, const unsigned long* lengths,
                         unsigned int field_count) {
  for (unsigned int field = 0; field < field_count; ++field) {
    const std::uint32_t length =
        values[field] != nullptr ? static_cast<std::uint32_t>(lengths[field]) : kNullLength;
    std::memcpy(place + sizeof(std::uint32_t) * field, &length, sizeof length);
  }
}

// Writes the whole buffer of a row at place, which has Bytes() of room.
inline void Write(char* place, char* const* values, const unsigned long* lengths, unsigned int field_count) {
  WriteLengths(place, values, lengths, field_count);
  char* data = place + LengthsBytes(field_count);
  for (unsigned int field = 0; field < field_count; ++field) {
    if (values[field] == nullptr) continue;
    if (lengths[field] > 0) std::memcpy(data, values[field], lengths[field]);
    data[lengths[field]] = '\0';
    data += lengths[field] + 1;
  }
}

// The bytes of the row buffer whose length words start at place.
inline std::size_t BytesFromLengths(const char* place, unsigned int field_count) {
  std::size_t bytes = LengthsBytes(field_count);
  for (unsigned int field = 0; field < field_count; ++field) {
    std::uint32_t length = 0;
    std::memcpy(&length, place + sizeof(std::uint32_t) * field, sizeof length);
    if (length != kNullLength) bytes += std::size_t{length} + 1;
  }
  return bytes;
}

// Points values and lengths (field_count long) at the values of the row buffer at place.
inline void Read(const char* place, unsigned int field_count, char** values, unsigned long* lengths) {
  const char* data = place + LengthsBytes(field_count);
  for (unsigned int field = 0; field < field_count; ++field) {
    std::uint32_t length = 0;
    std::memcpy(&length, place + sizeof(std::uint32_t) * field, sizeof length);
    if (length == kNullLength) {
      values[field] = nullptr;
      lengths[field] = 0;
      continue;
    }
    values[field] = const_cast<char*>(data);
    lengths[field] = length;
    data += std::size_t{length} + 1;
  }
}

}  // namespace row_buffer
}  // namespace velmora
