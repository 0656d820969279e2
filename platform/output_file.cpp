#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"

namespace velmora {

namespace {

TOutputFile::TDescriptorHook descriptor_hook = nullptr;

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

// A file without a name under $TMPDIR (or /tmp) for data bound for a target
// that cannot take it directly. Cleanup signals are deferred by the caller.
int CreateSpool(const std::string& target) {
  const char* variable = std::getenv("TMPDIR");
  const std::string directory = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  std::string name = directory + "/velmora-spool-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    throw EVelmoraError("Cannot create a temporary file in \"" + directory + "\" for \"" + target + "\". " +
                        SystemErrorText(errno));
  }
  ::unlink(name.c_str());
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

void TOutputFile::SetDescriptorHookForTesting(TDescriptorHook hook) {
  descriptor_hook = hook;
}

TOutputFile::TOutputFile(std::string target) : target_(std::move(target)) {
  if (target_.empty()) RaiseCreateError(target_, ENOENT);
  // No terminating signal between creating a file and registering it.
  TDeferCleanupSignals defer;
  try {
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
    int data_fd = -1;
    if (fd >= 0) {
      data_fd = PrepareExisting(fd);
    } else if (error_number == ENOENT) {
      data_fd = CreateNew();
    } else if (error_number == ENXIO && HasType(target_, S_IFIFO, true)) {
      // A FIFO nobody reads yet: Place opens it, and waits for a reader then.
      identity_ = IdentityOf(target_);
      regular_ = false;
      copy_ = true;
      data_fd = CreateSpool(target_);
    } else {
      RaiseCreateError(target_, error_number);
    }
    if (descriptor_hook != nullptr) {
      if (const int replacement = descriptor_hook(target_); replacement >= 0) {
        ::close(data_fd);
        data_fd = replacement;
      }
    }
    stream_ = std::make_unique<TOutputStream>(data_fd, target_);
  } catch (...) {
    RemoveUnplaced();
    throw;
  }
}

int TOutputFile::PrepareExisting(int fd) {
  target_fd_ = fd;
  struct stat info;
  if (::fstat(fd, &info) != 0) RaiseCreateError(target_, errno);
  // Writing at Place may wait for a slow reader or device.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  identity_ = {info.st_dev, info.st_ino, ""};
  regular_ = S_ISREG(info.st_mode);
  if (regular_) {
    path_ = PathOfDescriptor(fd, info);
    if (created_ && !path_.empty()) created_cleanup_.Hold(path_);
    if (!path_.empty() && !NamesAnOpenFile(target_)) {
      if (const int temporary_fd = CreateBeside(info); temporary_fd >= 0) {
        ::close(target_fd_);
        target_fd_ = -1;
        return temporary_fd;
      }
    }
  }
  copy_ = true;
  return CreateSpool(target_);
}

int TOutputFile::CreateBeside(const struct stat& existing) {
  const int fd = CreateHiddenBeside(path_, temporary_);
  if (fd < 0) {
    // A directory the user cannot write: the file is written in place instead.
    if (errno == EACCES || errno == EPERM || errno == EROFS) return -1;
    RaiseCreateError(target_, errno);
  }
  temporary_cleanup_.Hold(temporary_);
  // The new file takes the owner, group and mode of the file it replaces; one
  // that cannot take the owner gives way to writing in place.
  struct stat created;
  const bool owner_taken =
      ::fstat(fd, &created) == 0 && ((created.st_uid == existing.st_uid && created.st_gid == existing.st_gid) ||
                                     ::fchown(fd, existing.st_uid, existing.st_gid) == 0);
  if (owner_taken && ::fchmod(fd, existing.st_mode & 07777) == 0) return fd;
  ::close(fd);
  ::unlink(temporary_.c_str());
  temporary_.clear();
  temporary_cleanup_.Release();
  return -1;
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
  if (copy_ || finished_ || suspended_ || temporary_.empty()) return;
  stream_->Close(false);
  stream_.reset();
  suspended_ = true;
}

TOutputStream& TOutputFile::Resume() {
  if (!suspended_) return *stream_;
  const int fd = ::open(temporary_.c_str(), O_RDWR | O_CLOEXEC);
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    const int error_number = errno;
    if (fd >= 0) ::close(fd);
    RaiseCreateError(target_, error_number);
  }
  stream_ = std::make_unique<TOutputStream>(fd, target_, info.st_size);
  suspended_ = false;
  return *stream_;
}

void TOutputFile::Finish() {
  if (finished_) return;
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
  } else {
    TDeferCleanupSignals defer;
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) RaiseCreateError(target_, errno);
    temporary_.clear();
    temporary_cleanup_.Release();
    created_cleanup_.Release();
  }
  placed_ = true;
}

void TOutputFile::CopySpoolToTarget() {
  while (target_fd_ < 0) {
    target_fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (target_fd_ < 0 && errno != EINTR) RaiseCreateError(target_, errno);
  }
  TOutputStream target(target_fd_, target_);
  target_fd_ = -1;
  const std::int64_t size = stream_->Size();
  std::vector<char> block(kCopyBlock);
  for (std::int64_t offset = 0; offset < size;) {
    const auto count = static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlock, size - offset));
    stream_->ReadAt(offset, block.data(), count);
    target.Write(block.data(), count);
    offset += static_cast<std::int64_t>(count);
  }
  target.Flush();
  // A regular file written into keeps nothing of its old contents past the new end.
  if (regular_ && ::ftruncate(target.Descriptor(), size) != 0) {
    RaiseSystemError("Cannot write to \"" + target_ + "\"", errno);
  }
  target.Close();
}

}  // namespace velmora
