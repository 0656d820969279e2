#include "platform/compressed_stream.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>
#include <zstd.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

constexpr std::size_t kOutputBlock = 256 * 1024;
// Blocks of 64 KiB waiting for the compressing thread: enough to even out
// the two sides, little memory.
constexpr std::size_t kQueuedBlocks = 8;

bool EndsWithText(std::string_view text, std::string_view ending) {
  return text.size() > ending.size() && SameText(text.substr(text.size() - ending.size()), ending);
}

}  // namespace

TCompression CompressionOfFileName(std::string_view file_name) {
  if (EndsWithText(file_name, ".gz")) return cmGzip;
  if (EndsWithText(file_name, ".zst")) return cmZstd;
  return cmNone;
}

std::string_view CompressionEnding(TCompression compression) {
  switch (compression) {
    case cmGzip:
      return ".gz";
    case cmZstd:
      return ".zst";
    case cmNone:
      break;
  }
  return "";
}

std::string_view WithoutCompressionEnding(std::string_view file_name) {
  return file_name.substr(0, file_name.size() - CompressionEnding(CompressionOfFileName(file_name)).size());
}

int LowestCompressionLevel(TCompression) {
  return 1;
}

int HighestCompressionLevel(TCompression compression) {
  return compression == cmZstd ? 19 : 9;
}

int DefaultCompressionLevel(TCompression compression) {
  return compression == cmZstd ? 3 : 6;
}

// ---------------------------------------------------------------------------
// Codecs

// One compressed stream: bytes in, compressed pieces handed to the target.
class TStreamCompressor::TCodec {
 public:
  explicit TCodec(TOutputStream& target) : target_(target), out_(kOutputBlock, '\0') {}
  virtual ~TCodec() = default;
  // Compresses bytes; with finish, ends the stream after them.
  virtual void Run(std::string_view bytes, bool finish) = 0;

 protected:
  void Emit(std::size_t produced) {
    if (produced > 0) target_.Write(out_.data(), produced);
  }
  TOutputStream& target_;
  std::string out_;
};

namespace {

[[noreturn]] void RaiseCompressorError(const TOutputStream& target, const std::string& reason) {
  throw EVelmoraError("Cannot compress \"" + target.Name() + "\": " + reason);
}

// gzip at level 1 through ISA-L's deflate, which gives about zlib's level-1
// size in a third of its time; every other level through zlib.
class TIsalGzipCodec : public TStreamCompressor::TCodec {
 public:
  explicit TIsalGzipCodec(TOutputStream& target) : TCodec(target), level_buffer_(ISAL_DEF_LVL1_DEFAULT) {
    isal_deflate_init(&state_);
    state_.level = 1;
    state_.level_buf = level_buffer_.data();
    state_.level_buf_size = static_cast<std::uint32_t>(level_buffer_.size());
    state_.gzip_flag = IGZIP_GZIP;
    state_.hist_bits = ISAL_DEF_MAX_HIST_BITS;
    state_.flush = NO_FLUSH;
  }

  void Run(std::string_view bytes, bool finish) override {
    state_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(bytes.data()));
    state_.avail_in = static_cast<std::uint32_t>(bytes.size());
    state_.end_of_stream = finish ? 1 : 0;
    while (true) {
      state_.next_out = reinterpret_cast<std::uint8_t*>(out_.data());
      state_.avail_out = static_cast<std::uint32_t>(out_.size());
      if (isal_deflate(&state_) != COMP_OK) RaiseCompressorError(target_, "the compressor refused the data");
      Emit(out_.size() - state_.avail_out);
      const bool done =
          finish ? state_.internal_state.state == ZSTATE_END : state_.avail_in == 0 && state_.avail_out != 0;
      if (done) break;
    }
  }

 private:
  isal_zstream state_{};
  std::vector<std::uint8_t> level_buffer_;
};

class TZlibGzipCodec : public TStreamCompressor::TCodec {
 public:
  TZlibGzipCodec(TOutputStream& target, int level) : TCodec(target) {
    // 16 + 15 window bits: a gzip header and trailer around the deflate data.
    if (deflateInit2(&state_, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      RaiseCompressorError(target_, "out of memory");
    }
  }
  ~TZlibGzipCodec() override { deflateEnd(&state_); }

  void Run(std::string_view bytes, bool finish) override {
    state_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    state_.avail_in = static_cast<uInt>(bytes.size());
    const int mode = finish ? Z_FINISH : Z_NO_FLUSH;
    while (true) {
      state_.next_out = reinterpret_cast<Bytef*>(out_.data());
      state_.avail_out = static_cast<uInt>(out_.size());
      const int result = deflate(&state_, mode);
      if (result == Z_STREAM_ERROR) RaiseCompressorError(target_, "the compressor state is broken");
      Emit(out_.size() - state_.avail_out);
      if (finish ? result == Z_STREAM_END : state_.avail_in == 0 && state_.avail_out != 0) break;
    }
  }

 private:
  z_stream state_{};
};

class TZstdCodec : public TStreamCompressor::TCodec {
 public:
  TZstdCodec(TOutputStream& target, int level) : TCodec(target), context_(ZSTD_createCCtx()) {
    if (context_ == nullptr) RaiseCompressorError(target_, "out of memory");
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, level));
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_checksumFlag, 1));
  }
  ~TZstdCodec() override { ZSTD_freeCCtx(context_); }

  void Run(std::string_view bytes, bool finish) override {
    ZSTD_inBuffer input{bytes.data(), bytes.size(), 0};
    while (true) {
      ZSTD_outBuffer output{out_.data(), out_.size(), 0};
      const std::size_t left =
          Check(ZSTD_compressStream2(context_, &output, &input, finish ? ZSTD_e_end : ZSTD_e_continue));
      Emit(output.pos);
      if (finish ? left == 0 : input.pos == input.size && output.pos < output.size) break;
    }
  }

 private:
  std::size_t Check(std::size_t result) {
    if (ZSTD_isError(result)) RaiseCompressorError(target_, ZSTD_getErrorName(result));
    return result;
  }
  ZSTD_CCtx* context_;
};

std::unique_ptr<TStreamCompressor::TCodec> CreateCodec(TCompression compression, int level,
                                                       TOutputStream& target) {
  if (level == 0) level = DefaultCompressionLevel(compression);
  if (level < LowestCompressionLevel(compression) || level > HighestCompressionLevel(compression)) {
    RaiseCompressorError(target, "no compression level " + std::to_string(level));
  }
  switch (compression) {
    case cmGzip:
      if (level == 1) return std::make_unique<TIsalGzipCodec>(target);
      return std::make_unique<TZlibGzipCodec>(target, level);
    case cmZstd:
      return std::make_unique<TZstdCodec>(target, level);
    case cmNone:
      break;
  }
  RaiseCompressorError(target, "no compression named");
}

}  // namespace

// ---------------------------------------------------------------------------
// The compressing thread

// Takes blocks from the export and compresses them in order on a thread of
// its own. The first failure stops it; the export learns of it at its next
// block or at the end.
class TStreamCompressor::TWorker {
 public:
  explicit TWorker(TCodec& codec) : codec_(codec), thread_([this] { Work(); }) {}
  ~TWorker() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  void Put(std::string&& bytes) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failure_ || queue_.size() < kQueuedBlocks; });
    if (failure_) std::rethrow_exception(failure_);
    queue_.push_back(std::move(bytes));
    lock.unlock();
    changed_.notify_all();
  }

  // Waits until every block and the end of the stream are written.
  void Finish() {
    std::unique_lock lock(mutex_);
    ending_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return failure_ || ended_; });
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] { return stopping_ || ending_ || !queue_.empty(); });
      if (stopping_) return;
      const bool finish = queue_.empty();
      std::string block = finish ? std::string() : std::move(queue_.front());
      if (!finish) queue_.pop_front();
      lock.unlock();
      changed_.notify_all();
      std::exception_ptr failure;
      try {
        codec_.Run(block, finish);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (failure || finish) {
        failure_ = failure;
        ended_ = finish;
        changed_.notify_all();
        return;
      }
    }
  }

  TCodec& codec_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::exception_ptr failure_;
  bool ending_ = false;
  bool ended_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

TStreamCompressor::TStreamCompressor(TCompression compression, int level, TOutputStream& target,
                                     bool threaded)
    : codec_(CreateCodec(compression, level, target)), target_(target) {
  if (threaded) worker_ = std::make_unique<TWorker>(*codec_);
}

TStreamCompressor::~TStreamCompressor() = default;

bool TStreamCompressor::TwoCoresAvailable() {
  return std::thread::hardware_concurrency() >= 2;
}

void TStreamCompressor::Put(std::string&& bytes) {
  if (finished_) RaiseCompressorError(target_, "the stream has ended");
  if (worker_) {
    worker_->Put(std::move(bytes));
  } else {
    codec_->Run(bytes, false);
  }
}

void TStreamCompressor::Finish() {
  if (finished_) return;
  finished_ = true;
  if (worker_) {
    worker_->Finish();
  } else {
    codec_->Run({}, true);
  }
  target_.Flush();
}

}  // namespace velmora
