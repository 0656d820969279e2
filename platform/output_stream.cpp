#include "platform/output_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/error.h"

namespace velmora {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
// The bytes written before their device writes are started (see StartDeviceWritesEarly).
constexpr std::int64_t kDeviceWriteBytes = 4 << 20;
}  // namespace

TOutputStream::TOutputStream(int fd, std::string name, std::int64_t existing_size)
    : fd_(fd),
      name_(std::move(name)),
      seekable_(::lseek(fd, 0, SEEK_CUR) >= 0),
      buffer_offset_(existing_size),
      position_(existing_size),
      file_size_(existing_size) {
  buffer_.reserve(kBufferSize);
}

TOutputStream::TOutputStream(int fd, std::string name, TWriteMode mode) : TOutputStream(fd, std::move(name)) {
  if (mode == wmSequential) seekable_ = false;
}

TOutputStream::TOutputStream(std::unique_ptr<TByteSink> sink, std::string name)
    : fd_(-1), sink_(std::move(sink)), name_(std::move(name)), seekable_(false) {
  buffer_.reserve(kBufferSize);
}

TOutputStream::~TOutputStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TOutputStream::Write(const void* data, std::size_t size) {
  if (Closed()) throw EVelmoraError("Cannot write to closed file \"" + name_ + "\"");
  const char* bytes = static_cast<const char*>(data);
  if (position_ != buffer_offset_ + static_cast<std::int64_t>(buffer_.size())) {
    Flush();
    buffer_offset_ = position_;
  }
  if (buffer_.size() + size > kBufferSize) {
    Flush();
    buffer_offset_ = position_;
    if (size >= kBufferSize && !sink_) {
      WriteRaw(position_, bytes, size);
      position_ += static_cast<std::int64_t>(size);
      buffer_offset_ = position_;
      return;
    }
  }
  buffer_.append(bytes, size);
  position_ += static_cast<std::int64_t>(size);
}

std::int64_t TOutputStream::Size() const {
  return std::max(file_size_, buffer_offset_ + static_cast<std::int64_t>(buffer_.size()));
}

void TOutputStream::RequireSeekable() const {
  if (!seekable_) RaiseSystemError("Cannot seek in \"" + name_ + "\"", ESPIPE);
}

void TOutputStream::Seek(std::int64_t position) {
  RequireSeekable();
  if (position < 0 || position > Size()) {
    throw EVelmoraError("Cannot seek to " + std::to_string(position) + " in \"" + name_ + "\"");
  }
  position_ = position;
}

void TOutputStream::ReadAt(std::int64_t position, void* data, std::size_t size) {
  RequireSeekable();
  if (position < 0 || position + static_cast<std::int64_t>(size) > Size()) {
    throw EVelmoraError("Cannot read beyond the end of \"" + name_ + "\"");
  }
  Flush();
  ReadRaw(position, static_cast<char*>(data), size);
}

void TOutputStream::WriteFrom(TOutputStream& from, std::int64_t position, std::int64_t size) {
  from.RequireSeekable();
  if (position < 0 || size < 0 || position + size > from.Size()) {
    throw EVelmoraError("Cannot read beyond the end of \"" + from.name_ + "\"");
  }
  if (Closed()) throw EVelmoraError("Cannot write to closed file \"" + name_ + "\"");
  from.Flush();
  Flush();
  if (seekable_ && !sink_) {
    loff_t in = position;
    loff_t out = position_;
    while (size > 0) {
      const ssize_t copied = ::copy_file_range(from.fd_, &in, fd_, &out, static_cast<std::size_t>(size), 0);
      if (copied < 0 && errno == EINTR) continue;
      // Files the kernel cannot copy between go through the buffer below.
      if (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) break;
      if (copied < 0) RaiseSystemError("Cannot write to \"" + name_ + "\"", errno);
      if (copied == 0) throw EVelmoraError("Cannot read beyond the end of \"" + from.name_ + "\"");
      size -= copied;
    }
    position = in;
    position_ = out;
    buffer_offset_ = position_;
    file_size_ = std::max(file_size_, position_);
  }
  std::vector<char> block(static_cast<std::size_t>(std::min<std::int64_t>(size, 1 << 20)));
  while (size > 0) {
    const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(size, 1 << 20));
    from.ReadRaw(position, block.data(), take);
    Write(block.data(), take);
    position += static_cast<std::int64_t>(take);
    size -= static_cast<std::int64_t>(take);
  }
}

void TOutputStream::Insert(std::int64_t position, std::string_view bytes) {
  RequireSeekable();
  const std::int64_t size = Size();
  if (position < 0 || position > size) {
    throw EVelmoraError("Cannot insert at " + std::to_string(position) + " in \"" + name_ + "\"");
  }
  Flush();
  // Move the tail from its end backwards, one block at a time, so that no byte
  // is overwritten before it has been copied.
  const std::int64_t shift = static_cast<std::int64_t>(bytes.size());
  std::vector<char> block(kBufferSize);
  std::int64_t tail_end = size;
  while (tail_end > position) {
    const std::int64_t chunk =
        std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), tail_end - position);
    const std::int64_t chunk_start = tail_end - chunk;
    ReadRaw(chunk_start, block.data(), static_cast<std::size_t>(chunk));
    WriteRaw(chunk_start + shift, block.data(), static_cast<std::size_t>(chunk));
    tail_end = chunk_start;
  }
  WriteRaw(position, bytes.data(), bytes.size());
  position_ = Size();
  buffer_offset_ = position_;
}

void TOutputStream::Flush() {
  if (buffer_.empty()) return;
  // Clear the buffer first: a failed write must not be retried by a later flush.
  std::string pending;
  pending.swap(buffer_);
  buffer_.reserve(kBufferSize);
  const auto size = static_cast<std::int64_t>(pending.size());
  if (sink_) {
    // The block itself goes to the sink: no copy of the bytes.
    sink_->Put(std::move(pending));
    file_size_ = buffer_offset_ + size;
  } else {
    WriteRaw(buffer_offset_, pending.data(), pending.size());
  }
  buffer_offset_ += size;
}

void TOutputStream::Close(bool force_to_device) {
  if (sink_) {
    Flush();
    // Released even when finishing fails: a closed stream takes no more bytes.
    std::unique_ptr<TByteSink> sink = std::move(sink_);
    sink->Finish();
    return;
  }
  if (fd_ < 0) return;
  Flush();
  struct stat info;
  if (force_to_device && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && ::fsync(fd_) != 0) {
    const int error_number = errno;
    ::close(fd_);
    fd_ = -1;
    RaiseSystemError("Cannot write to \"" + name_ + "\"", error_number);
  }
  const int result = ::close(fd_);
  fd_ = -1;
  if (result != 0 && errno != EINTR) RaiseSystemError("Cannot write to \"" + name_ + "\"", errno);
}

void TOutputStream::WriteRaw(std::int64_t offset, const char* data, std::size_t size) {
  // Pipes and terminals have no offsets, and a sequential stream keeps the
  // descriptor's own: write them one after another.
  while (size > 0) {
    const ssize_t written = seekable_ ? ::pwrite(fd_, data, size, offset) : ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseSystemError("Cannot write to \"" + name_ + "\"", errno);
    }
    if (written == 0) RaiseSystemError("Cannot write to \"" + name_ + "\"", ENOSPC);
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += written;
  }
  file_size_ = std::max(file_size_, offset);
  if (early_device_writes_ && seekable_ && file_size_ - device_writes_from_ >= kDeviceWriteBytes) {
    StartDeviceWrites();
  }
}

void TOutputStream::StartDeviceWrites() {
  // Only a hint: the fsync at Close still writes and reports whatever this
  // did not. A file system that takes no such hint is given none again.
  const std::int64_t bytes = file_size_ - device_writes_from_;
  if (::sync_file_range(fd_, device_writes_from_, bytes, SYNC_FILE_RANGE_WRITE) != 0) {
    early_device_writes_ = false;
  }
  device_writes_from_ = file_size_;
}

void TOutputStream::ReadRaw(std::int64_t offset, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::pread(fd_, data, size, offset);
    if (count < 0) {
      if (errno == EINTR) continue;
      RaiseSystemError("Cannot read back \"" + name_ + "\"", errno);
    }
    if (count == 0) throw EVelmoraError("Cannot read beyond the end of \"" + name_ + "\"");
    data += count;
    size -= static_cast<std::size_t>(count);
    offset += count;
  }
}

}  // namespace velmora
