#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/output_stream.h"
#include "platform/signal_cleanup.h"

namespace velmora {

// What a target name stands for: the device and inode of an existing file
// (symbolic links followed), or those of its directory and the name while the
// file does not exist yet. Two names of one identity write the same file.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  std::string Name;  // empty for an existing file
  bool operator==(const TFileIdentity&) const = default;
};
TFileIdentity IdentityOf(const std::string& path);

// An output file that appears under its name only when it is complete.
//
// The target is opened through the kernel, so its permissions and the link
// protections of shared directories apply as they would to any program of the
// user; a symbolic link is followed as the kernel follows it and stays a link.
// - A new file, or an existing regular file in a writable directory: the data
//   goes to a hidden temporary file beside the real file, which Place renames
//   over it. A replaced file keeps its owner, group and mode.
// - A pipe, FIFO or device, or a regular file whose directory the user cannot
//   write (or whose owner a new file could not take): the data is spooled in a
//   nameless temporary file under $TMPDIR (or /tmp), so that the stream can
//   seek, and Place copies it to the target, truncating a regular file only then.
// Without Place (a failed export) the temporary file is removed and a file
// already standing under the name stays as it was. A terminating signal
// removes the temporary file too (see InstallSignalCleanup).
class TOutputFile {
 public:
  explicit TOutputFile(std::string target);
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  TOutputStream& Stream() { return *stream_; }
  const std::string& Target() const { return target_; }
  const TFileIdentity& Identity() const { return identity_; }
  // False for a pipe, FIFO or device.
  bool IsRegularFile() const { return regular_; }
  // True when Place copies the data into the target rather than renaming.
  bool CopiedIntoPlace() const { return copy_; }

  // Completes the data (flushes, forces a temporary file to the device and
  // closes it) without changing anything under the target's name.
  void Finish();
  // Writes out the data of a file written beside its target and closes its
  // descriptor, freeing the buffer too: the data waits under the temporary
  // name, and Stream() is not used until Resume. Finish and Place work on a
  // suspended file by its name. A file copied into place keeps its descriptor.
  void Suspend();
  // Opens a suspended file again, its write position at its end.
  TOutputStream& Resume();
  // Puts the file in place, finishing it first when that is still to do. A
  // failed copy is an error.
  void Place();
  void Commit() { Place(); }

  // Tests replace the descriptor the data goes to (for example one of /dev/full)
  // while the temporary file is still created and cleaned up as usual.
  using TDescriptorHook = int (*)(const std::string& target);
  static void SetDescriptorHookForTesting(TDescriptorHook hook);

 private:
  // Each returns the descriptor the data goes to.
  int PrepareExisting(int fd);
  int CreateBeside(const struct stat& existing);  // -1: write in place instead
  int CreateNew();
  void CopySpoolToTarget();
  void RemoveUnplaced();

  std::string target_;     // the name as given, for messages
  std::string path_;       // what the temporary file is renamed to
  std::string temporary_;  // the hidden temporary file; empty when copying
  int target_fd_ = -1;     // the opened target when copying; -1 until a FIFO has a reader
  bool regular_ = true;
  bool copy_ = false;
  bool created_ = false;   // the kernel created the target through a dangling link
  bool finished_ = false;
  bool suspended_ = false;
  bool placed_ = false;
  TFileIdentity identity_;
  std::unique_ptr<TOutputStream> stream_;
  TSignalCleanupPath temporary_cleanup_;
  TSignalCleanupPath created_cleanup_;
};

}  // namespace velmora
