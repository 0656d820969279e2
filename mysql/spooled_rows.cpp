#include "mysql/spooled_rows.h"

#include <algorithm>

#include "mysql/row_buffer.h"
#include "platform/error.h"

namespace velmora {

namespace {

// What one read of the file brings into the window: many rows per system call.
constexpr std::size_t kWindowBytes = std::size_t{1} << 20;
// A row up to this size is encoded straight into the write buffer.
constexpr std::size_t kBufferedRowBytes = std::size_t{256} << 10;

}  // namespace

TSpooledRows::TSpooledRows(std::unique_ptr<TSpoolFile> file, std::size_t index_entries)
    : file_(std::move(file)), index_entries_(std::max<std::size_t>(index_entries & ~std::size_t{1}, 2)) {
  index_.reserve(index_entries_);
}

void TSpooledRows::Append(char* const* values, const unsigned long* lengths, unsigned int field_count) {
  if (count_ % stride_ == 0) {
    if (index_.size() == index_entries_) {
      // Every second entry is kept and the stride doubles: the count of rows
      // so far is still a multiple of it.
      for (std::size_t entry = 0; entry < index_entries_ / 2; ++entry) index_[entry] = index_[entry * 2];
      index_.resize(index_entries_ / 2);
      stride_ *= 2;
    }
    index_.push_back(file_->Size());
  }
  const std::size_t bytes = row_buffer::Bytes(values, lengths, field_count);
  if (bytes <= kBufferedRowBytes) {
    row_buffer::Write(file_->Extend(bytes), values, lengths, field_count);
  } else {
    row_buffer::WriteLengths(file_->Extend(row_buffer::LengthsBytes(field_count)), values, lengths,
                             field_count);
    for (unsigned int field = 0; field < field_count; ++field) {
      if (values[field] == nullptr) continue;
      file_->Append(values[field], lengths[field]);
      file_->Append("", 1);
    }
  }
  ++count_;
}

void TSpooledRows::FinishWriting() {
  file_->FinishWriting();
}

const char* TSpooledRows::Window(std::uint64_t offset, std::size_t size) {
  if (offset >= window_offset_ && offset + size <= window_offset_ + window_size_) {
    return window_.get() + (offset - window_offset_);
  }
  // A row larger than the window gets a window of its size, given back at the
  // next row that fits the usual one.
  const std::size_t capacity = std::max(size, kWindowBytes);
  if (window_capacity_ != capacity && (window_capacity_ < capacity || capacity == kWindowBytes)) {
    window_.reset();
    window_size_ = 0;
    window_ = std::make_unique_for_overwrite<char[]>(capacity);
    window_capacity_ = capacity;
  }
  const std::uint64_t end = file_->Size();
  if (offset > end || end - offset < size) throw EVelmoraError("Fatal internal error");
  window_size_ = static_cast<std::size_t>(std::min<std::uint64_t>(window_capacity_, end - offset));
  window_offset_ = offset;
  file_->ReadAt(offset, window_.get(), window_size_);
  return window_.get();
}

std::size_t TSpooledRows::RowBytesAt(std::uint64_t offset, unsigned int field_count) {
  return row_buffer::BytesFromLengths(Window(offset, row_buffer::LengthsBytes(field_count)), field_count);
}

std::uint64_t TSpooledRows::OffsetOfRow(std::uint64_t row, unsigned int field_count) {
  if (has_current_ && row == current_row_) return current_offset_;
  const std::uint64_t slot = row / stride_;
  std::uint64_t from = slot * stride_;
  std::uint64_t offset = index_[static_cast<std::size_t>(slot)];
  // Reading on from the current row is shorter when it lies between.
  if (has_current_ && current_row_ < row && current_row_ >= from) {
    from = current_row_ + 1;
    offset = next_offset_;
  }
  for (; from < row; ++from) offset += RowBytesAt(offset, field_count);
  return offset;
}

void TSpooledRows::Read(std::uint64_t row, unsigned int field_count, char** values, unsigned long* lengths) {
  if (row >= count_) throw EVelmoraError("Fatal internal error");
  const std::uint64_t offset = OffsetOfRow(row, field_count);
  const std::size_t bytes = RowBytesAt(offset, field_count);
  row_buffer::Read(Window(offset, bytes), field_count, values, lengths);
  has_current_ = true;
  current_row_ = row;
  current_offset_ = offset;
  next_offset_ = offset + bytes;
}

}  // namespace velmora
