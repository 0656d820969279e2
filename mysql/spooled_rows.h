#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/spool_file.h"

namespace velmora {

// The rows of a stored result held in a spool file of the temporary directory
// instead of memory, each as its row buffer (mysql/row_buffer.h), one after
// another. Memory stays bounded whatever the number of rows: a write buffer
// while the rows come in, then a window of the file that reading moves over,
// and a sparse index of row offsets whose stride doubles whenever it fills.
// Reading the rows in order costs no search; any other row is found from the
// nearest indexed row before it.
class TSpooledRows {
 public:
  // index_entries (even) bounds the index; tests give a small one to make it fill.
  explicit TSpooledRows(std::unique_ptr<TSpoolFile> file, std::size_t index_entries = kIndexEntries);

  std::uint64_t Count() const { return count_; }
  // Appends a row of field_count values as the client library gives one:
  // values[i] null for SQL NULL, lengths[i] its bytes.
  void Append(char* const* values, const unsigned long* lengths, unsigned int field_count);
  // Ends the appending: the rows can be read from here on.
  void FinishWriting();
  // Points values and lengths (field_count long) at the values of row; they
  // stay valid until the next Read.
  void Read(std::uint64_t row, unsigned int field_count, char** values, unsigned long* lengths);

  // Entries of the index, and rows between two of them.
  std::size_t IndexEntries() const { return index_.size(); }
  std::uint64_t IndexStride() const { return stride_; }

  // Rows between indexed ones at first; the stride doubles each time the
  // index fills, so 65,536 entries (512 KiB) serve any number of rows and a
  // row is never more than a stride's walk from an indexed one.
  static constexpr std::uint64_t kFirstStride = 16;
  static constexpr std::size_t kIndexEntries = std::size_t{1} << 16;

 private:
  // The offset of row in the file, walked from the nearest known row before it.
  std::uint64_t OffsetOfRow(std::uint64_t row, unsigned int field_count);
  // The bytes of the row buffer at offset.
  std::size_t RowBytesAt(std::uint64_t offset, unsigned int field_count);
  // The size bytes of the file from offset, read into the window when they
  // are not there yet. Valid until the next call.
  const char* Window(std::uint64_t offset, std::size_t size);

  std::unique_ptr<TSpoolFile> file_;
  std::uint64_t count_ = 0;
  std::size_t index_entries_;
  std::vector<std::uint64_t> index_;  // offsets of rows 0, stride_, 2 * stride_, ...
  std::uint64_t stride_ = kFirstStride;

  std::unique_ptr<char[]> window_;
  std::size_t window_capacity_ = 0;
  std::uint64_t window_offset_ = 0;  // where the bytes in the window start in the file
  std::size_t window_size_ = 0;

  // The row read last, for reading in order.
  bool has_current_ = false;
  std::uint64_t current_row_ = 0;
  std::uint64_t current_offset_ = 0;
  std::uint64_t next_offset_ = 0;
};

}  // namespace velmora
