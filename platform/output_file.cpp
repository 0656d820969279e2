#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"

namespace velmora {

namespace {

TOutputFile::TDescriptorHook descriptor_hook = nullptr;

[[noreturn]] void RaiseCreateError(const std::string& target, int error_number) {
  throw EVelmoraError("Cannot create file \"" + target + "\". " + SystemErrorText(error_number));
}

// The path a chain of symbolic links ends in (which need not exist yet), or
// empty when path is no link.
std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return depth == 0 ? std::string() : current;
    }
    std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) return depth == 0 ? std::string() : current;
    std::string next(buffer.data(), static_cast<std::size_t>(length));
    if (next.empty() || next[0] != '/') {
      const std::string directory = ExtractFileDir(current);
      next = (directory.empty() ? std::string(".") : directory) + "/" + next;
    }
    current = next;
  }
  return current;  // a loop of links: creating the file will report it
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void TOutputFile::SetDescriptorHookForTesting(TDescriptorHook hook) {
  descriptor_hook = hook;
}

TOutputFile::TOutputFile(std::string target) : target_(std::move(target)) {
  if (target_.empty()) RaiseCreateError(target_, ENOENT);
  // A symbolic link is written through: the file it points to is replaced, and
  // the link stays a link.
  std::string path = target_;
  if (const std::string resolved = ResolveLinks(target_); !resolved.empty()) path = resolved;
  path_ = path;
  struct stat existing;
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) RaiseCreateError(target_, EISDIR);

  int fd = -1;
  if (exists && !S_ISREG(existing.st_mode)) {
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) RaiseCreateError(target_, errno);
  } else {
    std::string directory = ExtractFileDir(path);
    if (directory.empty()) directory = ".";
    std::string pattern = directory + "/." + ExtractFileName(path) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) RaiseCreateError(target_, errno);
    temporary_ = name.data();
    // The finished file gets the mode of the file it replaces, or that of a new file.
    ::fchmod(fd, exists ? (existing.st_mode & 07777) : NewFileMode());
  }
  if (descriptor_hook != nullptr) {
    const int replacement = descriptor_hook(target_);
    if (replacement >= 0) {
      ::close(fd);
      fd = replacement;
    }
  }
  stream_ = std::make_unique<TOutputStream>(fd, target_);
}

TOutputFile::~TOutputFile() {
  if (committed_) return;
  stream_.reset();
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void TOutputFile::Commit() {
  stream_->Close();
  if (!temporary_.empty() && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    RaiseCreateError(target_, errno);
  }
  committed_ = true;
}

}  // namespace velmora
