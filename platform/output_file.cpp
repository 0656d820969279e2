#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/spool_file.h"

namespace velmora {

namespace {

TOutputFile::TDescriptorHook descriptor_hook = nullptr;
TOutputFile::TCopyHook copy_hook = nullptr;

// Opening never waits (for a FIFO's reader) and never takes a terminal as the
// controlling one.
constexpr int kOpenFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr std::size_t kCopyBlock = 64 * 1024;

[[noreturn]] void RaiseCreateError(const std::string& target, int error_number) {
  throw EVelmoraError("Cannot create file \"" + target + "\". " + SystemErrorText(error_number));
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool HasType(const std::string& path, mode_t type, bool follow_links) {
  struct stat info;
  const int result = follow_links ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return result == 0 && (info.st_mode & S_IFMT) == type;
}

// Names such as /dev/stdout and /proc/self/fd/1 stand for a file that some
// program holds open, not for a place in a directory: such a file is written
// into, never replaced by another file.
bool NamesAnOpenFile(const std::string& target) {
  return target == "/dev/stdout" || target == "/dev/stderr" || target.starts_with("/dev/fd/") ||
         (target.starts_with("/proc/") && target.find("/fd/") != std::string::npos);
}

// The descriptor of this process that target names (/dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N, /proc/PID/fd/N with this
// process's PID), or -1.
int DescriptorNamed(const std::string& target) {
  if (target == "/dev/stdout") return STDOUT_FILENO;
  if (target == "/dev/stderr") return STDERR_FILENO;
  const std::string prefixes[] = {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/",
                                  "/proc/" + std::to_string(::getpid()) + "/fd/"};
  for (const std::string& prefix : prefixes) {
    if (!target.starts_with(prefix)) continue;
    const std::string number = target.substr(prefix.size());
    if (number.empty() || number.size() > 9 ||
        !std::all_of(number.begin(), number.end(), [](char digit) { return digit >= '0' && digit <= '9'; })) {
      return -1;
    }
    return std::stoi(number);
  }
  return -1;
}

// The path of the file fd has open, as the kernel reports it; empty when it
// cannot tell or that path no longer leads to the same file.
std::string PathOfDescriptor(int fd, const struct stat& opened) {
  std::vector<char> buffer(PATH_MAX + 1);
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size() - 1);
  if (length <= 0 || length >= PATH_MAX || buffer[0] != '/') return "";
  std::string path(buffer.data(), static_cast<std::size_t>(length));
  struct stat named;
  if (::stat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
    return "";
  }
  return path;
}

// Creates a hidden file beside path for the data until it is renamed over path.
int CreateHiddenBeside(const std::string& path, std::string& temporary) {
  std::string directory = ExtractFileDir(path);
  if (directory.empty()) directory = ".";
  std::string name = directory + "/." + ExtractFileName(path) + ".XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) temporary = name;
  return fd;
}

std::string DirectoryOf(const std::string& path) {
  const std::string directory = ExtractFileDir(path);
  return directory.empty() ? "." : directory;
}

// Creates the file that a rename puts in place of existing, the file at path:
// hidden, beside it, with its owner, group and mode, and held in cleanup.
// Returns -1 when that is impossible: with obstacle telling why when the file
// can still be written in place, else with obstacle empty and errno set.
int CreateReplacement(const std::string& path, const struct stat& existing, const std::string& target,
                      std::string& temporary, TSignalCleanupPath& cleanup, std::string& obstacle) {
  const int fd = CreateHiddenBeside(path, temporary);
  if (fd < 0) {
    if (errno == EACCES || errno == EPERM || errno == EROFS)
      obstacle = DirectoryOf(path) + " is not writable";
    return -1;
  }
  cleanup.Hold(temporary);
  struct stat created;
  const bool owner_taken = ::fstat(fd, &created) == 0 &&
                           ((created.st_uid == existing.st_uid && created.st_gid == existing.st_gid) ||
                            ::fchown(fd, existing.st_uid, existing.st_gid) == 0);
  if (!owner_taken) {
    obstacle = "a new file cannot take the owner of " + target;
  } else if (::fchmod(fd, existing.st_mode & 07777) != 0) {
    obstacle = "a new file cannot take the mode of " + target;
  } else {
    return fd;
  }
  ::close(fd);
  ::unlink(temporary.c_str());
  temporary.clear();
  cleanup.Release();
  return -1;
}

// The refusal of a regular file (open as fd) that can only be overwritten in
// place, for the obstacle that keeps a new file from replacing it: empty when
// its file system can reserve the space of the new content before the old is
// overwritten. A one-byte reservation asks the file system without changing
// the file's size or content.
std::string RefusalOfInPlace(int fd, const std::string& target, const std::string& obstacle) {
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, 1) == 0 || (errno != EOPNOTSUPP && errno != ENOSYS)) return "";
  return "Cannot replace " + target + " safely: " + obstacle +
         ", and its file system cannot reserve space before the old content is overwritten";
}

// A file without a name under $TMPDIR (or /tmp) for data bound for a target
// that cannot take it directly; name receives its path, for messages.
// Cleanup signals are deferred by the caller.
int CreateSpool(const std::string& target, std::string& spool_name) {
  const std::string directory = TemporaryDirectory();
  const int fd = CreateRemovedFile(directory, "spool", spool_name);
  if (fd < 0) {
    throw EVelmoraError("Cannot create a temporary file in \"" + directory + "\" for \"" + target + "\". " +
                        SystemErrorText(errno));
  }
  return fd;
}

}  // namespace

TFileIdentity IdentityOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return {info.st_dev, info.st_ino, ""};
  std::string directory = ExtractFileDir(path);
  if (directory.empty()) directory = ".";
  if (::stat(directory.c_str(), &info) == 0) return {info.st_dev, info.st_ino, ExtractFileName(path)};
  return {0, 0, path};
}

bool NamesOpenDescriptor(const std::string& target) {
  return DescriptorNamed(target) >= 0;
}

bool NamesStandardOutput(const std::string& target) {
  const int number = DescriptorNamed(target);
  struct stat named;
  struct stat output;
  return number >= 0 && ::fstat(number, &named) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
         named.st_dev == output.st_dev && named.st_ino == output.st_ino;
}

void TOutputFile::SetDescriptorHookForTesting(TDescriptorHook hook) {
  descriptor_hook = hook;
}

void TOutputFile::SetCopyHookForTesting(TCopyHook hook) {
  copy_hook = hook;
}

std::string TOutputFile::InPlaceRefusal(const std::string& target) {
  if (DescriptorNamed(target) >= 0 || NamesAnOpenFile(target)) return "";
  // Only a regular file is opened here: whoever holds the other end of a FIFO
  // or a device could notice an open.
  struct stat named;
  if (::stat(target.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return "";
  const int fd = ::open(target.c_str(), kOpenFlags);
  if (fd < 0) return "";
  std::string refusal;
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    TDeferCleanupSignals defer;
    const std::string path = PathOfDescriptor(fd, info);
    std::string obstacle = path.empty() ? target + " has no path a new file could take" : "";
    if (!path.empty()) {
      std::string temporary;
      TSignalCleanupPath cleanup;
      if (const int replacement = CreateReplacement(path, info, target, temporary, cleanup, obstacle);
          replacement >= 0) {
        ::close(replacement);
        ::unlink(temporary.c_str());
      }
    }
    if (!obstacle.empty()) refusal = RefusalOfInPlace(fd, target, obstacle);
  }
  ::close(fd);
  return refusal;
}

TOutputFile::TOutputFile(std::string target, TStreamNeed need, int compression_level)
    : target_(std::move(target)),
      compression_(CompressionOfFileName(target_)),
      compression_level_(compression_level) {
  if (target_.empty()) RaiseCreateError(target_, ENOENT);
  // The compressed bytes reach the target one after another whatever the writer does.
  const TStreamNeed target_need = compression_ != cmNone ? snSequential : need;
  try {
    int data_fd = -1;
    {
      // No terminating signal between creating a file and registering it.
      TDeferCleanupSignals defer;
      data_fd = OpenTarget(target_need);
    }
    if (data_fd < 0) {
      // Waiting for a FIFO's reader stays interruptible: nothing is created yet.
      while ((data_fd = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)) < 0) {
        if (errno != EINTR) RaiseCreateError(target_, errno);
      }
    }
    if (descriptor_hook != nullptr) {
      if (const int replacement = descriptor_hook(target_); replacement >= 0) {
        ::close(data_fd);
        data_fd = replacement;
      }
    }
    // A spool's failures name the temporary directory it fills, not the target.
    stream_ = std::make_unique<TOutputStream>(
        data_fd, spool_name_.empty() ? target_ : spool_name_,
        direct_ && descriptor_ ? TOutputStream::wmSequential : TOutputStream::wmPositioned);
    // The export's file is forced to the device when it is finished; a spool is read back instead.
    if (!copy_) stream_->StartDeviceWritesEarly();
    if (compression_ != cmNone && need == snSequential) {
      writer_stream_ = std::make_unique<TOutputStream>(
          std::make_unique<TStreamCompressor>(compression_, compression_level_, *stream_,
                                              TStreamCompressor::TwoCoresAvailable()),
          target_);
    } else if (compression_ != cmNone) {
      int spool_fd = -1;
      {
        TDeferCleanupSignals defer;
        spool_fd = CreateSpool(target_, writer_spool_name_);
      }
      writer_stream_ = std::make_unique<TOutputStream>(spool_fd, writer_spool_name_);
    }
  } catch (...) {
    RemoveUnplaced();
    throw;
  }
}

int TOutputFile::OpenTarget(TStreamNeed need) {
  if (const int number = DescriptorNamed(target_); number >= 0) return PrepareDescriptor(number, need);
  int fd = ::open(target_.c_str(), kOpenFlags);
  int error_number = errno;
  if (fd < 0 && error_number == ENOENT && HasType(target_, S_IFLNK, false)) {
    // A link to a file that does not exist yet: the kernel creates the file
    // where the link points, or refuses as its link protection says.
    fd = ::open(target_.c_str(), kOpenFlags | O_CREAT, 0666);
    error_number = errno;
    if (fd < 0) RaiseCreateError(target_, error_number);
    created_ = true;
  }
  if (fd >= 0) return PrepareExisting(fd, need);
  if (error_number == ENOENT) return CreateNew();
  if (error_number == ENXIO && HasType(target_, S_IFIFO, true)) {
    // A FIFO nobody reads yet: a sequential writer waits for the reader now,
    // a spooled copy at Place.
    identity_ = IdentityOf(target_);
    regular_ = false;
    if (need == snSequential) {
      direct_ = true;
      return -1;
    }
    copy_ = true;
    return CreateSpool(target_, spool_name_);
  }
  RaiseCreateError(target_, error_number);
}

int TOutputFile::PrepareDescriptor(int number, TStreamNeed need) {
  // A duplicate shares the descriptor's offset and its append mode.
  target_fd_ = ::fcntl(number, F_DUPFD_CLOEXEC, 0);
  if (target_fd_ < 0) RaiseCreateError(target_, errno);
  const int flags = ::fcntl(target_fd_, F_GETFL);
  if (flags < 0) RaiseCreateError(target_, errno);
  if ((flags & O_ACCMODE) == O_RDONLY) RaiseCreateError(target_, EBADF);
  struct stat info;
  if (::fstat(target_fd_, &info) != 0) RaiseCreateError(target_, errno);
  identity_ = {info.st_dev, info.st_ino, ""};
  regular_ = S_ISREG(info.st_mode);
  descriptor_ = true;
  return DirectOrSpool(need);
}

int TOutputFile::PrepareExisting(int fd, TStreamNeed need) {
  target_fd_ = fd;
  struct stat info;
  if (::fstat(fd, &info) != 0) RaiseCreateError(target_, errno);
  // Writing may wait for a slow reader or device.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  identity_ = {info.st_dev, info.st_ino, ""};
  regular_ = S_ISREG(info.st_mode);
  // Another program's descriptor (/proc/PID/fd/N) is written into as a file in place.
  if (regular_ && !NamesAnOpenFile(target_)) {
    path_ = PathOfDescriptor(fd, info);
    if (created_ && !path_.empty()) created_cleanup_.Hold(path_);
    std::string obstacle = path_.empty() ? target_ + " has no path a new file could take" : "";
    if (!path_.empty()) {
      const int temporary_fd =
          CreateReplacement(path_, info, target_, temporary_, temporary_cleanup_, obstacle);
      if (temporary_fd >= 0) {
        ::close(target_fd_);
        target_fd_ = -1;
        return temporary_fd;
      }
      if (obstacle.empty()) RaiseCreateError(target_, errno);
    }
    // The file the kernel created for this export has no old content to keep.
    if (!created_) {
      if (const std::string refusal = RefusalOfInPlace(fd, target_, obstacle); !refusal.empty()) {
        throw EVelmoraError(refusal);
      }
    }
  } else if (regular_) {
    path_ = PathOfDescriptor(fd, info);
  }
  return DirectOrSpool(need);
}

int TOutputFile::DirectOrSpool(TStreamNeed need) {
  if (!regular_ && need == snSequential) {
    direct_ = true;
    const int fd = target_fd_;
    target_fd_ = -1;
    return fd;
  }
  copy_ = true;
  return CreateSpool(target_, spool_name_);
}

int TOutputFile::CreateNew() {
  path_ = target_;
  identity_ = IdentityOf(target_);
  const int fd = CreateHiddenBeside(path_, temporary_);
  if (fd < 0) RaiseCreateError(target_, errno);
  temporary_cleanup_.Hold(temporary_);
  if (::fchmod(fd, NewFileMode()) != 0) {
    const int error_number = errno;
    ::close(fd);
    RaiseCreateError(target_, error_number);
  }
  return fd;
}

TOutputFile::~TOutputFile() { RemoveUnplaced(); }

void TOutputFile::RemoveUnplaced() {
  // The compressor first: its thread may still be writing into stream_.
  writer_stream_.reset();
  stream_.reset();
  if (target_fd_ >= 0) ::close(target_fd_);
  target_fd_ = -1;
  if (placed_) return;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  if (created_ && !path_.empty()) {
    // Only the empty file created for this export, not one that took its name since.
    struct stat info;
    if (::stat(path_.c_str(), &info) == 0 && info.st_dev == identity_.Device && info.st_ino == identity_.Inode &&
        info.st_size == 0) {
      ::unlink(path_.c_str());
    }
  }
}

void TOutputFile::Suspend() {
  if (compression_ != cmNone || copy_ || finished_ || suspended_ || temporary_.empty()) return;
  stream_->Close(false);
  stream_.reset();
  suspended_ = true;
}

TOutputStream& TOutputFile::Resume() {
  if (!suspended_) return Stream();
  const int fd = ::open(temporary_.c_str(), O_RDWR | O_CLOEXEC);
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    const int error_number = errno;
    if (fd >= 0) ::close(fd);
    RaiseCreateError(target_, error_number);
  }
  stream_ = std::make_unique<TOutputStream>(fd, target_, info.st_size);
  stream_->StartDeviceWritesEarly();
  suspended_ = false;
  return *stream_;
}

void TOutputFile::FinishCompression() {
  if (!writer_stream_) return;
  if (writer_stream_->Seekable()) {
    // A writer that seeks wrote a spool: its final bytes are compressed now.
    TOutputStream compressed(std::make_unique<TStreamCompressor>(compression_, compression_level_, *stream_,
                                                                 TStreamCompressor::TwoCoresAvailable()),
                             target_);
    TOutputStream& spool = *writer_stream_;
    const std::int64_t size = spool.Size();
    std::vector<char> block(kCopyBlock);
    for (std::int64_t offset = 0; offset < size;) {
      const auto count = static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlock, size - offset));
      spool.ReadAt(offset, block.data(), count);
      compressed.Write(block.data(), count);
      offset += static_cast<std::int64_t>(count);
    }
    compressed.Close();
  } else {
    writer_stream_->Close();
  }
  writer_stream_.reset();
}

void TOutputFile::Finish() {
  if (finished_) return;
  FinishCompression();
  if (suspended_) {
    // Forced to the device through a descriptor of its own, held only for that.
    const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) RaiseCreateError(target_, errno);
    TOutputStream(fd, target_).Close();
    finished_ = true;
    return;
  }
  // A spool is read back at Place: forcing it to the device would only cost time.
  if (copy_) {
    stream_->Flush();
  } else {
    stream_->Close();
  }
  finished_ = true;
}

void TOutputFile::Place() {
  Finish();
  if (placed_) return;
  if (copy_) {
    CopySpoolToTarget();
    created_cleanup_.Release();
  } else if (!direct_) {
    TDeferCleanupSignals defer;
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) RaiseCreateError(target_, errno);
    temporary_.clear();
    temporary_cleanup_.Release();
    created_cleanup_.Release();
  }
  placed_ = true;
}

void TOutputFile::ReserveForCopy(int fd, std::int64_t size) {
  if (size == 0) return;
  off_t offset = 0;
  if (descriptor_) {
    // The copy goes where the descriptor stands: at the end for an append.
    struct stat info;
    const int flags = ::fcntl(fd, F_GETFL);
    offset = (flags >= 0 && (flags & O_APPEND) != 0 && ::fstat(fd, &info) == 0) ? info.st_size
                                                                                : ::lseek(fd, 0, SEEK_CUR);
    if (offset < 0) offset = 0;
  }
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, size) == 0) return;
  const int error_number = errno;
  // A descriptor handed over on a file system without reservation is written
  // as it stands; a file overwritten in place was refused at the start instead.
  if (descriptor_ && (error_number == EOPNOTSUPP || error_number == ENOSYS)) return;
  RaiseSystemError("Cannot write to \"" + target_ + "\"", error_number);
}

void TOutputFile::CopySpoolToTarget() {
  while (target_fd_ < 0) {
    target_fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (target_fd_ < 0 && errno != EINTR) RaiseCreateError(target_, errno);
  }
  TOutputStream target(target_fd_, target_,
                       descriptor_ ? TOutputStream::wmSequential : TOutputStream::wmPositioned);
  target_fd_ = -1;
  const std::int64_t size = stream_->Size();
  // A full device is found before the first byte of the old content goes.
  if (regular_) ReserveForCopy(target.Descriptor(), size);
  // No terminating signal cuts the copy into a regular file in the middle; one
  // that comes meanwhile ends the process once the copy is complete. A copy
  // into a pipe stays interruptible: its reader may never read.
  std::optional<TDeferCleanupSignals> defer;
  if (regular_) defer.emplace();
  std::vector<char> block(kCopyBlock);
  for (std::int64_t offset = 0; offset < size;) {
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlock, size - offset));
    stream_->ReadAt(offset, block.data(), count);
    target.Write(block.data(), count);
    offset += static_cast<std::int64_t>(count);
    if (copy_hook != nullptr) copy_hook();
  }
  target.Flush();
  // A regular file written into keeps nothing of its old contents past the new
  // end; a descriptor's file keeps what stands before and after its offset.
  if (regular_ && !descriptor_ && ::ftruncate(target.Descriptor(), size) != 0) {
    RaiseSystemError("Cannot write to \"" + target_ + "\"", errno);
  }
  target.Close();
}

}  // namespace velmora
