#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/compressed_stream.h"
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

// True when target names a descriptor of this process (/dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N): it is written at the
// descriptor's offset, never replaced.
bool NamesOpenDescriptor(const std::string& target);
// True when target names a descriptor of this process (/dev/stdout,
// /dev/fd/N, ...) that has standard output's file open: data written there
// shares the stream of the program's own lines.
bool NamesStandardOutput(const std::string& target);

// What the writer of an output file asks of its stream.
enum TStreamNeed {
  snSeeks,       // it moves back to patch or insert bytes (a header, a count)
  snSequential,  // it writes every byte once, in order
};

// An output file that appears under its name only when it is complete.
//
// The target is opened through the kernel, so its permissions and the link
// protections of shared directories apply as they would to any program of the
// user; a symbolic link is followed as the kernel follows it and stays a link.
// - A new file, or an existing regular file in a writable directory: the data
//   goes to a hidden temporary file beside the real file, which Place renames
//   over it. A replaced file keeps its owner, group and mode.
// - /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N: the descriptor
//   this process holds open is duplicated, never opened again, so the data
//   lands at its current offset (after what a shell's ">>" or an earlier item
//   put there), an append stays an append and nothing is truncated.
// - A pipe, FIFO or device, named either way, takes the bytes as they come
//   when the writer is sequential; a writer that seeks has its data spooled in
//   a nameless temporary file under $TMPDIR (or /tmp), which Place copies to
//   the target. A FIFO nobody reads yet is opened when a reader comes: at once
//   for a sequential writer, else at Place.
// - A regular file named through a descriptor is spooled too, and Place adds
//   the data at the descriptor's offset.
// - A regular file that cannot be replaced by renaming (its directory is not
//   writable, or a new file could not take its owner, group or mode) is
//   overwritten in place, and its old content must survive a failed export:
//   the data is spooled whole first, so a failing export or lost connection
//   never touches the file. Place then reserves the space the new content
//   needs on the target's device (fallocate keeping the size), so that a full
//   device is found before a byte of the old content is overwritten; copies
//   from offset 0 with the terminating signals held back, so that none can
//   end the process in the middle (it is handled once the copy is complete);
//   and truncates to the new size. A file system that cannot reserve space is
//   refused before the first byte ("Cannot replace FILE safely: ..."; see
//   InPlaceRefusal). A write error of the device itself, or SIGKILL or a power
//   loss during the copy, can still leave it half written.
// - A target whose name ends in ".gz" or ".zst" receives the data compressed
//   (see platform/compressed_stream.h), on a second thread where there are two
//   cores; the compressed bytes take the road above as a sequential writer's.
//   A writer that seeks has its data spooled whole first and compressed at
//   Finish. Such a file is no regular file to its writer: it holds no side files.
// Without Place (a failed export) temporary files are removed and a file
// already standing under the name stays as it was; only bytes that went
// straight into a pipe or device are out already. A terminating signal removes
// the temporary files too (see InstallSignalCleanup).
class TOutputFile {
 public:
  // compression_level: for a compressed target, its level (0: the default).
  explicit TOutputFile(std::string target, TStreamNeed need = snSeeks, int compression_level = 0);
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // The stream the writer writes: the compressor's for a compressed target.
  TOutputStream& Stream() { return writer_stream_ ? *writer_stream_ : *stream_; }
  const std::string& Target() const { return target_; }
  const TFileIdentity& Identity() const { return identity_; }
  // False for a pipe, FIFO or device, and for a descriptor (/dev/stdout): none
  // of them has a directory of its own to hold side files.
  bool IsRegularFile() const { return regular_ && !descriptor_; }
  // True when the data is compressed on its way into the target.
  bool Compressed() const { return compression_ != cmNone; }
  // True when Place copies the data into the target rather than renaming.
  bool CopiedIntoPlace() const { return copy_; }
  // True when the data goes straight into the target (a pipe or device
  // written by a sequential writer): nothing is spooled.
  bool WritesDirectly() const { return direct_; }

  // The message that refuses target, an existing regular file that could only
  // be overwritten in place, when its old content could not be kept through a
  // failed export: "Cannot replace FILE safely: REASON". Empty when target
  // can be written (or fails to open with a message of its own). Lets a caller
  // refuse an item before any work; the constructor refuses the same targets.
  static std::string InPlaceRefusal(const std::string& target);

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
  // Tests are called after every block Place copies into a target.
  using TCopyHook = void (*)();
  static void SetCopyHookForTesting(TCopyHook hook);

 private:
  // Each returns the descriptor the data goes to; -1 from OpenTarget for a
  // FIFO without a reader that a sequential writer waits for.
  int OpenTarget(TStreamNeed need);
  int PrepareDescriptor(int number, TStreamNeed need);
  int PrepareExisting(int fd, TStreamNeed need);
  int CreateNew();
  // The target's descriptor for a sequential writer of a pipe or device, else a spool.
  int DirectOrSpool(TStreamNeed need);
  void WaitForReader();
  void CopySpoolToTarget();
  // Reserves the size bytes the copy will write into a regular target.
  void ReserveForCopy(int fd, std::int64_t size);
  void RemoveUnplaced();
  // Ends the compressed stream: the compressor's data, or the spool of a
  // writer that seeks compressed now, reaches stream_.
  void FinishCompression();

  std::string target_;     // the name as given, for messages
  std::string path_;       // what the temporary file is renamed to
  std::string temporary_;  // the hidden temporary file; empty when copying
  std::string spool_name_;  // the spool's path under the temporary directory, for messages
  int target_fd_ = -1;     // the opened target when copying; -1 until a FIFO has a reader
  bool regular_ = true;
  bool copy_ = false;
  bool direct_ = false;
  bool descriptor_ = false;  // the target is a descriptor of this process, written at its offset
  bool created_ = false;   // the kernel created the target through a dangling link
  bool finished_ = false;
  bool suspended_ = false;
  bool placed_ = false;
  TFileIdentity identity_;
  std::unique_ptr<TOutputStream> stream_;  // the bytes that reach the target
  TCompression compression_ = cmNone;
  int compression_level_ = 0;
  // For a compressed target, what the writer writes: a compressing stream
  // over stream_, or a spool for a writer that seeks.
  std::unique_ptr<TOutputStream> writer_stream_;
  std::string writer_spool_name_;
  TSignalCleanupPath temporary_cleanup_;
  TSignalCleanupPath created_cleanup_;
};

}  // namespace velmora
