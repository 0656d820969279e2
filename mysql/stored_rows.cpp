#include "mysql/stored_rows.h"

#include <algorithm>
#include <cstring>

#include "platform/error.h"

namespace velmora {

namespace {

// Blocks double from the first size to the largest, and a row that needs
// more gets a block of its size.
constexpr std::size_t kFirstBlockBytes = std::size_t{64} << 10;
constexpr std::size_t kLargestBlockBytes = std::size_t{32} << 20;

}  // namespace

void TStoredRows::Clear() {
  blocks_.clear();
  rows_.clear();
  room_ = 0;
  next_ = nullptr;
}

char* TStoredRows::Reserve(std::size_t bytes) {
  if (room_ < bytes) {
    const std::size_t doubled = blocks_.size() < 10 ? kFirstBlockBytes << blocks_.size() : kLargestBlockBytes;
    room_ = std::max(std::min(doubled, kLargestBlockBytes), bytes);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(room_));
    next_ = blocks_.back().get();
  }
  char* place = next_;
  next_ += bytes;
  room_ -= bytes;
  return place;
}

void TStoredRows::Append(char* const* values, const unsigned long* lengths, unsigned int field_count) {
  std::size_t bytes = sizeof(std::uint32_t) * field_count;
  for (unsigned int field = 0; field < field_count; ++field) {
    if (values[field] == nullptr) continue;
    // A value the length word cannot hold never comes: the server sends at
    // most 1 GiB in one packet.
    if (lengths[field] >= kNull) throw EVelmoraError("Fatal internal error");
    bytes += lengths[field] + 1;
  }
  // Lengths are read as whole words: rows start aligned to them.
  bytes = (bytes + alignof(std::uint32_t) - 1) / alignof(std::uint32_t) * alignof(std::uint32_t);
  char* const row = Reserve(bytes);
  char* data = row + sizeof(std::uint32_t) * field_count;
  for (unsigned int field = 0; field < field_count; ++field) {
    std::uint32_t length = kNull;
    if (values[field] != nullptr) {
      length = static_cast<std::uint32_t>(lengths[field]);
      if (length > 0) std::memcpy(data, values[field], length);
      data[length] = '\0';
      data += length + 1;
    }
    std::memcpy(row + sizeof(std::uint32_t) * field, &length, sizeof length);
  }
  rows_.push_back(row);
}

void TStoredRows::Read(std::uint64_t row, unsigned int field_count, char** values, unsigned long* lengths) const {
  const char* const start = rows_[static_cast<std::size_t>(row)];
  const char* data = start + sizeof(std::uint32_t) * field_count;
  for (unsigned int field = 0; field < field_count; ++field) {
    std::uint32_t length = 0;
    std::memcpy(&length, start + sizeof(std::uint32_t) * field, sizeof length);
    if (length == kNull) {
      values[field] = nullptr;
      lengths[field] = 0;
      continue;
    }
    values[field] = const_cast<char*>(data);
    lengths[field] = length;
    data += length + 1;
  }
}

}  // namespace velmora
