#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/output_file.h"

namespace velmora {

// The files one export writes: a main file and the side files a format opens
// beside it (page files, an index page, a style sheet, a memo file). Each is
// written as a TOutputFile; Commit puts all of them in place together once the
// whole export has succeeded. Without Commit none of them appears, earlier
// files of those names stay as they were, and files marked for removal stay.
class TOutputFileSet {
 public:
  TOutputFileSet() = default;
  TOutputFileSet(const TOutputFileSet&) = delete;
  TOutputFileSet& operator=(const TOutputFileSet&) = delete;

  // Opens target and returns its stream, valid as long as the set. The first
  // file added is the main file. A file the set already writes or removes
  // (under any name) cannot be added. Each file holds a descriptor until
  // Commit, which also closes the streams: a format does not close them.
  // need tells whether the writer moves back in the file (see TOutputFile).
  TOutputStream& Add(const std::string& target, TStreamNeed need = snSeeks);
  TOutputStream& Main();
  // False when the main target is a pipe, FIFO or device: formats write their
  // side files only beside a real file.
  bool MainIsFile() const;

  // Removes target at Commit. A file of the set with that identity is dropped
  // from it: its stream stays usable but its data is discarded.
  void RemoveAtCommit(const std::string& target);

  // Completes every file first (a failure there leaves every target as it
  // was), then copies the spooled ones to their targets, renames the others
  // into place with the main file last, and removes the marked files.
  void Commit();

 private:
  struct TMember {
    std::unique_ptr<TOutputFile> file;
    bool discarded = false;
  };
  struct TRemoval {
    std::string target;
    TFileIdentity identity;
  };
  std::vector<TMember> members_;
  std::vector<TRemoval> removals_;
  bool committed_ = false;
};

}  // namespace velmora
