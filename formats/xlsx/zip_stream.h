#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/output_stream.h"

namespace velmora {

// Writes a ZIP archive front to back into an output stream that may be a
// pipe: every entry is deflated as it comes and followed by a data descriptor
// with its CRC-32 and sizes, so nothing is ever sought back. An entry or an
// archive past 4 GiB gets ZIP64 records (the data descriptor's sizes and the
// central directory), entries below that the classic ones, as readers that
// refuse needless ZIP64 want.
//
// Level 1 deflates with ISA-L, the other levels with zlib. Deflating runs on a
// second thread: the caller fills a block (Buffer()) while
// the previous one is compressed and written, so memory holds three blocks,
// the deflater's state and the central directory, whatever the entry sizes.
// Failures of the second thread (a write error, out of memory) are raised on
// the caller's thread by the next call that hands it work.
class TZipStream {
 public:
  // The size at which a filled buffer is handed to the deflating thread.
  static constexpr std::size_t kBlockSize = 256 * 1024;

  // level: 0 (stored in deflate blocks) to 9.
  TZipStream(TOutputStream& stream, int level);
  // Stops the second thread; an archive not finished is left incomplete.
  ~TZipStream();
  TZipStream(const TZipStream&) = delete;
  TZipStream& operator=(const TZipStream&) = delete;

  // Starts an entry (ends the current one first). Names are ASCII paths.
  void BeginEntry(std::string_view name);
  // The current entry's pending bytes: append to it, then call Flow().
  std::string& Buffer() { return block_; }
  // Hands the buffer on once it holds a block.
  void Flow() {
    if (block_.size() >= kBlockSize) Submit(TJob::jkData);
  }
  void Write(std::string_view bytes) {
    block_.append(bytes);
    Flow();
  }
  // Ends the current entry, if any.
  void EndEntry();

  // True when the output can be written over: PatchRegion is honoured.
  bool Seekable() const { return stream_.Seekable(); }
  // Appends bytes that PatchRegion may replace later in the current entry
  // (at most one such region per entry, of at most kMaxRegion bytes). They go
  // into stored deflate blocks of their own (65,535 bytes each at most) after
  // a full flush, so that they stand in the archive as they are and nothing
  // after them refers back. The bound holds the widths of the most columns a
  // worksheet has.
  static constexpr std::size_t kMaxRegion = 4 << 20;
  void WriteRegion(std::string_view bytes);
  // Writes bytes of the region's length over the current entry's region
  // (a seekable output only); the entry's CRC-32 follows them.
  void PatchRegion(std::string_view bytes);
  // Ends the current entry and writes the central directory; returns once
  // every byte went into the stream.
  void Finish();

  // The uncompressed and compressed bytes of the entries finished so far,
  // known once Finish returned.
  std::uint64_t UncompressedBytes() const { return uncompressed_total_; }
  std::uint64_t CompressedBytes() const { return compressed_total_; }

  // The archive's size once the bytes handed to it so far are compressed:
  // what the second thread wrote, and the bytes still on their way, counted
  // at the compression ratio of the bytes before them. Callable at any time
  // from the caller's side; a split export judges a part's size by it.
  std::uint64_t EstimatedSize() const;

 private:
  struct TJob {
    enum TKind { jkNone, jkBegin, jkData, jkRegion, jkPatch, jkEnd, jkFinish };
    TKind Kind = jkNone;
    std::string Bytes;  // the name for jkBegin, else the bytes
  };
  struct TEntry {
    std::string Name;
    std::uint32_t Crc = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint64_t Offset = 0;
    // The replaceable region: the CRC of the bytes before it, its bytes and
    // where they stand in the stream; Crc then runs over the bytes after it.
    bool HasRegion = false;
    std::uint32_t HeadCrc = 0;
    std::string Region;
    // Where each stored block's part of the region begins in the output.
    std::vector<std::int64_t> RegionPositions;
    std::uint64_t TailSize = 0;
  };

  // Caller's side: waits for the slot, raises a failure of the second thread,
  // and hands it the job (the buffer's bytes for jkData).
  void Submit(TJob::TKind kind, std::string_view bytes = {});
  // Waits until the second thread finished every job handed to it.
  void WaitIdle();
  void RaiseWorkerError();

  // Second thread's side.
  void Work();
  void Run(TJob& job);
  void StartEntry(const std::string& name);
  void Deflate(std::string_view bytes, int flush);
  void PlaceRegion(std::string_view bytes);
  void OverwriteRegion(std::string_view bytes);
  void CloseEntry();
  void WriteCentralDirectory();
  void Emit(std::string_view bytes);

  TOutputStream& stream_;
  int level_;
  std::string block_;
  bool in_entry_ = false;     // caller's view
  std::uint64_t handed_ = 0;  // data bytes handed to the second thread, caller's view

  std::mutex mutex_;
  std::condition_variable changed_;
  TJob slot_;
  bool slot_full_ = false;
  bool busy_ = false;  // the second thread runs a job
  bool stopping_ = false;
  std::exception_ptr error_;

  // Owned by the second thread while it runs.
  struct TDeflater;
  std::unique_ptr<TDeflater> deflater_;
  std::vector<TEntry> entries_;
  TEntry current_;
  std::uint64_t offset_ = 0;  // bytes of the archive written
  // What the caller's side reads of the second thread's progress: the bytes
  // of the archive written and the data bytes compressed into them.
  std::atomic<std::uint64_t> written_{0};
  std::atomic<std::uint64_t> deflated_{0};
  std::string out_;
  std::uint64_t uncompressed_total_ = 0;
  std::uint64_t compressed_total_ = 0;

  std::thread worker_;
};

}  // namespace velmora
