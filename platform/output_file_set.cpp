#include "platform/output_file_set.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_claims.h"

namespace velmora {

namespace {

TOutputFileSet::TPlaceHook place_hook = nullptr;

void BeforePlacing(const std::string& target) {
  if (place_hook != nullptr) place_hook(target);
}

// An exclusive advisory lock on a directory while the object lives. The
// directory stays the same inode while its files are renamed and removed,
// which a lock on one of those files would not. A directory this user may not
// open for reading, or a file system without locks, is committed unlocked.
class TDirectoryLock {
 public:
  explicit TDirectoryLock(const std::string& file_name) {
    std::string directory = ExtractFileDir(file_name);
    if (directory.empty()) directory = ".";
    fd_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      if (errno == EACCES) return;
      RaiseSystemError("Cannot lock directory \"" + directory + "\"", errno);
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      const int error_number = errno;
      ::close(fd_);
      fd_ = -1;
      if (error_number == ENOLCK || error_number == EOPNOTSUPP) return;
      RaiseSystemError("Cannot lock directory \"" + directory + "\"", error_number);
    }
  }
  ~TDirectoryLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  TDirectoryLock(const TDirectoryLock&) = delete;
  TDirectoryLock& operator=(const TDirectoryLock&) = delete;

 private:
  int fd_ = -1;
};

// True for a file or link under path; false for nothing there or a directory.
bool FileExistsAt(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

void TOutputFileSet::SetPlaceHookForTesting(TPlaceHook hook) {
  place_hook = hook;
}

TOutputStream& TOutputFileSet::Add(const std::string& target, TStreamNeed need, int compression_level) {
  if (claims_ != nullptr) claims_->Claim(target);
  return AddClaimed(target, need, compression_level);
}

void TOutputFileSet::AddShared(const std::string& target, const std::string& content) {
  if (claims_ != nullptr) claims_->Claim(target, &content);
  AddClaimed(target).Write(content);
}

TOutputStream& TOutputFileSet::AddClaimed(const std::string& target, TStreamNeed need,
                                          int compression_level) {
  if (committed_) throw EVelmoraError("Cannot create file \"" + target + "\" after the export has ended");
  auto file = std::make_unique<TOutputFile>(target, need, compression_level);
  for (const TMember& member : members_) {
    if (member.file->Identity() == file->Identity()) {
      throw EVelmoraError("Cannot create file \"" + target + "\". The export writes it already as \"" +
                          member.file->Target() + "\"");
    }
  }
  for (const TRemoval& removal : removals_) {
    if (removal.identity == file->Identity()) {
      throw EVelmoraError("Cannot create file \"" + target + "\". The export removes it as \"" +
                          removal.target + "\"");
    }
  }
  members_.push_back({std::move(file), false});
  return members_.back().file->Stream();
}

TOutputStream& TOutputFileSet::Main() {
  if (members_.empty()) throw EVelmoraError("The export has no output file");
  return members_.front().file->Stream();
}

bool TOutputFileSet::MainIsFile() const {
  return !members_.empty() && members_.front().file->IsRegularFile() && !members_.front().file->Compressed();
}

void TOutputFileSet::Finish(std::size_t index) {
  members_.at(index).file->Finish();
}

void TOutputFileSet::Suspend(std::size_t index) {
  members_.at(index).file->Suspend();
}

TOutputStream& TOutputFileSet::Resume(std::size_t index) {
  return members_.at(index).file->Resume();
}

void TOutputFileSet::RemoveAtCommit(const std::string& target) {
  TRemoval removal{target, IdentityOf(target)};
  for (TMember& member : members_) {
    if (member.file->Identity() == removal.identity) member.discarded = true;
  }
  removals_.push_back(std::move(removal));
}

void TOutputFileSet::RemoveSeriesAtCommit(std::function<std::string(long long)> name_of, long long first) {
  series_.push_back({std::move(name_of), first});
}

void TOutputFileSet::ResolveSeries() {
  for (const TSeries& series : series_) {
    for (long long number = series.first;; ++number) {
      const std::string name = series.name_of(number);
      if (!FileExistsAt(name)) break;
      if (claims_ != nullptr && claims_->EarlierName(name) != nullptr) continue;
      removals_.push_back({name, IdentityOf(name)});
    }
  }
  series_.clear();
}

void TOutputFileSet::RemoveMarked() const {
  for (const TRemoval& removal : removals_) {
    BeforePlacing(removal.target);
    if (::unlink(removal.target.c_str()) != 0 && errno != ENOENT) {
      throw EVelmoraError("Cannot delete file \"" + removal.target + "\". " + SystemErrorText(errno));
    }
  }
}

void TOutputFileSet::Commit() {
  if (committed_) return;
  for (TMember& member : members_) {
    if (!member.discarded) member.file->Finish();
  }
  // One file alone goes into place in one step that needs no lock.
  std::unique_ptr<TDirectoryLock> lock;
  if (!members_.empty() && members_.front().file->IsRegularFile() &&
      (members_.size() > 1 || !removals_.empty() || !series_.empty())) {
    lock = std::make_unique<TDirectoryLock>(members_.front().file->Target());
  }
  ResolveSeries();
  // Copies come first: they are the steps that may still fail (a reader that
  // went away, a full device) while nothing has been renamed yet.
  for (TMember& member : members_) {
    if (member.discarded || !member.file->CopiedIntoPlace()) continue;
    BeforePlacing(member.file->Target());
    member.file->Place();
  }
  for (auto member = members_.rbegin(); member != members_.rend(); ++member) {
    if (member->discarded || member->file->CopiedIntoPlace()) continue;
    BeforePlacing(member->file->Target());
    member->file->Place();
  }
  RemoveMarked();
  committed_ = true;
}

}  // namespace velmora
