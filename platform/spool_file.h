#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

// The directory for temporary files: $TMPDIR when set and not empty, else /tmp.
std::string TemporaryDirectory();

// Creates directory/velmora-PURPOSE-XXXXXX for reading and writing and removes
// its name at once, no cleanup signal ending the process in between, so that
// nothing of it is left whatever ends the process. Returns the descriptor and
// sets name to the path it was made under (for messages), or returns -1 with
// errno set.
int CreateRemovedFile(const std::string& directory, std::string_view purpose, std::string& name);

// A file without a name in the temporary directory for data written once, from
// start to end, and then read back at any offset as often as needed. It is
// made without a name (O_TMPFILE), or unlinked as soon as it is created where
// the file system cannot, so nothing is left behind whatever ends the process. Writes are buffered; every failure (a full directory above
// all) raises EVelmoraError naming the directory, with the system's text.
class TSpoolFile {
 public:
  // Creates the file in directory.
  explicit TSpoolFile(std::string directory);
  // Spools to fd (taken over) as if it were a file in directory: for tests
  // that make writes fail on purpose (/dev/full).
  TSpoolFile(int fd, std::string directory);
  ~TSpoolFile();
  TSpoolFile(const TSpoolFile&) = delete;
  TSpoolFile& operator=(const TSpoolFile&) = delete;

  const std::string& Directory() const { return directory_; }

  // Room for size bytes at the end of the data, to be filled before the next
  // call; the data grows by size. Writes out the buffer when it lacks the room.
  char* Extend(std::size_t size);
  void Append(const void* data, std::size_t size);
  // Writes out the buffer; afterwards every byte can be read back.
  void Flush();
  // The bytes of the data, buffered ones included.
  std::uint64_t Size() const { return written_ + pending_; }

  // Reads size bytes at offset, which must lie within what was flushed.
  void ReadAt(std::uint64_t offset, void* data, std::size_t size) const;

  // Frees the write buffer once nothing more is appended (flushing first).
  void FinishWriting();

 private:
  [[noreturn]] void RaiseWriteError(int error_number) const;

  int fd_ = -1;
  std::string directory_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t pending_ = 0;    // bytes in the buffer
  std::uint64_t written_ = 0;  // bytes in the file
};

}  // namespace velmora
