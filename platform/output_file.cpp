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

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void TOutputFile::SetDescriptorHookForTesting(TDescriptorHook hook) { descriptor_hook = hook; }

TOutputFile::TOutputFile(std::string target) : target_(std::move(target)) {
  if (target_.empty()) RaiseCreateError(target_, ENOENT);
  struct stat existing;
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) RaiseCreateError(target_, EISDIR);

  int fd = -1;
  if (exists && !S_ISREG(existing.st_mode)) {
    fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) RaiseCreateError(target_, errno);
  } else {
    std::string directory = ExtractFileDir(target_);
    if (directory.empty()) directory = ".";
    std::string pattern = directory + "/." + ExtractFileName(target_) + ".XXXXXX";
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
  if (!temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
    RaiseCreateError(target_, errno);
  }
  committed_ = true;
}

}  // namespace velmora
