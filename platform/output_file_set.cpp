#include "platform/output_file_set.h"

#include <unistd.h>

#include <cerrno>

#include "platform/error.h"

namespace velmora {

TOutputStream& TOutputFileSet::Add(const std::string& target, TStreamNeed need) {
  if (committed_) throw EVelmoraError("Cannot create file \"" + target + "\" after the export has ended");
  auto file = std::make_unique<TOutputFile>(target, need);
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
  return !members_.empty() && members_.front().file->IsRegularFile();
}

void TOutputFileSet::RemoveAtCommit(const std::string& target) {
  TRemoval removal{target, IdentityOf(target)};
  for (TMember& member : members_) {
    if (member.file->Identity() == removal.identity) member.discarded = true;
  }
  removals_.push_back(std::move(removal));
}

void TOutputFileSet::Commit() {
  if (committed_) return;
  for (TMember& member : members_) {
    if (!member.discarded) member.file->Finish();
  }
  // Copies come first: they are the steps that may still fail (a reader that
  // went away, a full device) while nothing has been renamed yet.
  for (TMember& member : members_) {
    if (!member.discarded && member.file->CopiedIntoPlace()) member.file->Place();
  }
  for (auto member = members_.rbegin(); member != members_.rend(); ++member) {
    if (!member->discarded) member->file->Place();
  }
  for (const TRemoval& removal : removals_) {
    if (::unlink(removal.target.c_str()) != 0 && errno != ENOENT) {
      throw EVelmoraError("Cannot delete file \"" + removal.target + "\". " + SystemErrorText(errno));
    }
  }
  committed_ = true;
}

}  // namespace velmora
