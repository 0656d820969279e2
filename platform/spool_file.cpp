#include "platform/spool_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"
#include "platform/signal_cleanup.h"

namespace velmora {

namespace {

// One system call per mebibyte written: large enough that the spool costs
// little beside the rows' reading, small against the memory bound of a run.
constexpr std::size_t kWriteBufferBytes = std::size_t{1} << 20;

}  // namespace

std::string TemporaryDirectory() {
  const char* variable = std::getenv("TMPDIR");
  return variable != nullptr && *variable != '\0' ? variable : "/tmp";
}

int CreateRemovedFile(const std::string& directory, std::string_view purpose, std::string& name) {
  name = directory + "/velmora-" + std::string(purpose) + "-XXXXXX";
  TDeferCleanupSignals defer;
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) {
    const int saved_errno = errno;
    ::unlink(name.c_str());
    errno = saved_errno;
  }
  return fd;
}

TSpoolFile::TSpoolFile(std::string directory) : directory_(std::move(directory)) {
  // A file system that can make a file without a name is asked for one, so
  // that not even a killed process leaves a file behind; on the others the
  // name is removed as soon as the file exists.
  fd_ = ::open(directory_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  int error_number = errno;
  if (fd_ < 0 && (error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL)) {
    std::string name;
    fd_ = CreateRemovedFile(directory_, "rows", name);
    error_number = errno;
  }
  if (fd_ < 0) {
    throw EVelmoraError("Cannot create a file for the rows in the temporary directory \"" + directory_ +
                        "\": " + SystemErrorText(error_number));
  }
}

TSpoolFile::TSpoolFile(int fd, std::string directory) : fd_(fd), directory_(std::move(directory)) {}

TSpoolFile::~TSpoolFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TSpoolFile::RaiseWriteError(int error_number) const {
  throw EVelmoraError("Cannot hold the rows in the temporary directory \"" + directory_ +
                      "\": " + SystemErrorText(error_number));
}

char* TSpoolFile::Extend(std::size_t size) {
  if (capacity_ - pending_ < size) {
    Flush();
    if (capacity_ < size || buffer_ == nullptr) {
      capacity_ = std::max(size, kWriteBufferBytes);
      buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
  }
  char* place = buffer_.get() + pending_;
  pending_ += size;
  return place;
}

void TSpoolFile::Append(const void* data, std::size_t size) {
  if (size == 0) return;
  if (size >= kWriteBufferBytes) {
    // A large value goes straight to the file, after what waits before it.
    Flush();
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t count = ::pwrite(fd_, bytes, size, static_cast<off_t>(written_));
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) RaiseWriteError(count < 0 ? errno : ENOSPC);
      bytes += count;
      size -= static_cast<std::size_t>(count);
      written_ += static_cast<std::uint64_t>(count);
    }
    return;
  }
  std::memcpy(Extend(size), data, size);
}

void TSpoolFile::Flush() {
  std::size_t done = 0;
  while (done < pending_) {
    const ssize_t count = ::pwrite(fd_, buffer_.get() + done, pending_ - done, static_cast<off_t>(written_));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      // What was not written is dropped: a failed spool is never read.
      pending_ = 0;
      RaiseWriteError(count < 0 ? errno : ENOSPC);
    }
    done += static_cast<std::size_t>(count);
    written_ += static_cast<std::uint64_t>(count);
  }
  pending_ = 0;
}

void TSpoolFile::FinishWriting() {
  Flush();
  buffer_.reset();
  capacity_ = 0;
}

void TSpoolFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
  if (offset + size > written_) throw EVelmoraError("Fatal internal error");
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t count = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      throw EVelmoraError("Cannot read the rows back from the temporary directory \"" + directory_ +
                          "\": " + SystemErrorText(errno));
    }
    if (count == 0) {
      throw EVelmoraError("Cannot read the rows back from the temporary directory \"" + directory_ +
                          "\": the file ends early");
    }
    bytes += count;
    size -= static_cast<std::size_t>(count);
    offset += static_cast<std::uint64_t>(count);
  }
}

}  // namespace velmora
