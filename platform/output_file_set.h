#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/output_file.h"

namespace velmora {

class TOutputClaims;

// The files one export writes: a main file and the side files a format opens
// beside it (page files, an index page, a style sheet, a memo file). Each is
// written as a TOutputFile; Commit puts all of them in place together once the
// whole export has succeeded. Without Commit none of them appears, earlier
// files of those names stay as they were, and files marked for removal stay.
class TOutputFileSet {
 public:
  // With claims, every file added is claimed there first, so that the export
  // never writes a file an earlier user of the claims wrote.
  explicit TOutputFileSet(TOutputClaims* claims = nullptr) : claims_(claims) {}
  TOutputFileSet(const TOutputFileSet&) = delete;
  TOutputFileSet& operator=(const TOutputFileSet&) = delete;

  // Opens target and returns its stream, valid as long as the set (or until
  // the file is suspended). The first file added is the main file. A file the
  // set already writes or removes (under any name) cannot be added. Commit
  // closes the streams: a format does not close them. need tells whether the
  // writer moves back in the file (see TOutputFile).
  // A target named NAME.EXT.gz or NAME.EXT.zst is compressed at
  // compression_level (0: the default of its compression).
  TOutputStream& Add(const std::string& target, TStreamNeed need = snSeeks, int compression_level = 0);
  // Adds target holding content, a file that several users of the claims may
  // write as long as each writes the same bytes (a style sheet).
  void AddShared(const std::string& target, const std::string& content);
  TOutputStream& Main();
  // The number of files added; the next one added has this index.
  std::size_t Count() const { return members_.size(); }
  // False when the main target is a pipe, FIFO or device, or compressed:
  // formats write their side files only beside a real file.
  bool MainIsFile() const;

  // A finished side file (a page) gives up its descriptor and buffer until it
  // is resumed, so that an export of many files holds a constant number of
  // them; Commit completes suspended files by name.
  void Suspend(std::size_t index);
  // The stream of a suspended file, open again at its end.
  TOutputStream& Resume(std::size_t index);
  // Completes a file that takes no more data (one part of a split export),
  // freeing its descriptor and buffers; Commit puts it in place with the others.
  void Finish(std::size_t index);

  // Removes target at Commit. A file of the set with that identity is dropped
  // from it: its stream stays usable but its data is discarded.
  void RemoveAtCommit(const std::string& target);
  // Removes at Commit the numbered files name_of(first), name_of(first + 1),
  // ... up to the first number without a file: the rest of a series that an
  // earlier, longer export of the same name left. Files claimed by an earlier
  // user of the claims stay.
  void RemoveSeriesAtCommit(std::function<std::string(long long)> name_of, long long first);

  // Completes every file first (a failure there leaves every target as it
  // was), then copies the spooled ones to their targets, renames the others
  // into place with the main file last, and removes the marked files. When a
  // main file has side files or removals, the steps after the completion hold
  // an exclusive lock on its directory, so that two exports of the same files
  // at once put one export's files in place, then the other's, never a mixture.
  void Commit();

  // Tests slow a commit down: the hook runs before each file is put in place
  // or removed.
  using TPlaceHook = void (*)(const std::string& target);
  static void SetPlaceHookForTesting(TPlaceHook hook);

 private:
  struct TMember {
    std::unique_ptr<TOutputFile> file;
    bool discarded = false;
  };
  struct TRemoval {
    std::string target;
    TFileIdentity identity;
  };
  struct TSeries {
    std::function<std::string(long long)> name_of;
    long long first = 0;
  };
  TOutputStream& AddClaimed(const std::string& target, TStreamNeed need = snSeeks, int compression_level = 0);
  // Turns the series into removals; run under the lock, where no other export
  // adds to or takes from them.
  void ResolveSeries();
  void RemoveMarked() const;

  TOutputClaims* claims_;
  std::vector<TMember> members_;
  std::vector<TRemoval> removals_;
  std::vector<TSeries> series_;
  bool committed_ = false;
};

}  // namespace velmora
