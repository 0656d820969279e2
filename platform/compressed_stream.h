#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/output_stream.h"

namespace velmora {

// The compression an output file takes from the ending of its name.
enum TCompression { cmNone, cmGzip, cmZstd };

// cmGzip for a name ending in ".gz", cmZstd for ".zst" (any letter case),
// else cmNone.
TCompression CompressionOfFileName(std::string_view file_name);
// The name without its compression ending: "orders.csv" for "orders.csv.gz".
std::string_view WithoutCompressionEnding(std::string_view file_name);
// ".gz", ".zst" or "".
std::string_view CompressionEnding(TCompression compression);

// The levels a compression takes: gzip 1..9 (6 when none is given), Zstandard
// 1..19 (3 when none is given). Level 0 asks for the default.
int LowestCompressionLevel(TCompression compression);
int HighestCompressionLevel(TCompression compression);
int DefaultCompressionLevel(TCompression compression);

// Compresses the bytes of a stream into target as one gzip member or one
// Zstandard frame. With threaded, the compression runs on a second thread
// while the export goes on producing bytes: a failure there (a full device)
// is raised by the next Put or by Finish. Without Finish (a failed export)
// the output stays incomplete and the thread is stopped.
class TStreamCompressor : public TByteSink {
 public:
  TStreamCompressor(TCompression compression, int level, TOutputStream& target, bool threaded);
  ~TStreamCompressor() override;

  void Put(std::string&& bytes) override;
  // Ends the stream, writes what is left and flushes target.
  void Finish() override;

  // True when a second processor is there to compress on.
  static bool TwoCoresAvailable();

  class TCodec;

 private:
  class TWorker;
  std::unique_ptr<TCodec> codec_;
  std::unique_ptr<TWorker> worker_;  // null when compressing inline
  TOutputStream& target_;
  bool finished_ = false;
};

}  // namespace velmora
