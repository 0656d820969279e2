#include "mysql/stored_rows.h"

#include <algorithm>

#include "mysql/row_buffer.h"

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
  std::size_t bytes = row_buffer::Bytes(values, lengths, field_count);
  // Lengths are read as whole words: rows start aligned to them.
  bytes = (bytes + alignof(std::uint32_t) - 1) / alignof(std::uint32_t) * alignof(std::uint32_t);
  char* const row = Reserve(bytes);
  row_buffer::Write(row, values, lengths, field_count);
  rows_.push_back(row);
}

void TStoredRows::Read(std::uint64_t row, unsigned int field_count, char** values,
                       unsigned long* lengths) const {
  row_buffer::Read(rows_[static_cast<std::size_t>(row)], field_count, values, lengths);
}

}  // namespace velmora
