#include "formats/xlsx/zip_stream.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <new>
#include <utility>

#include "platform/error.h"

namespace velmora {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
// The most bytes one stored deflate block holds.
constexpr std::size_t kStoredBlock = 65535;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
// Version 2.0 (deflate, data descriptors) and 4.5 (ZIP64) of the format.
constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kVersionZip64 = 45;
// Bit 3: sizes and CRC follow the data in a data descriptor.
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kMethodDeflate = 8;
// Every entry carries 1980-01-01 00:00, the first moment the format knows, so
// that the same rows give the same bytes.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;
constexpr std::size_t kOutChunk = 256 * 1024;

void Put16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}
void Put32(std::string& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}
void Put64(std::string& out, std::uint64_t value) {
  Put32(out, static_cast<std::uint32_t>(value & kMax32));
  Put32(out, static_cast<std::uint32_t>(value >> 32));
}
// A 32-bit field that holds the value, or the mark that the ZIP64 extra field does.
std::uint32_t Field32(std::uint64_t value) {
  return value >= kMax32 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

}  // namespace

// Raw deflate (the archive carries its own CRC) through one of two
// compressors: level 1 through ISA-L's, which gives zlib's level-1 size in
// about a third of its time, every other level through zlib's.
struct TZipStream::TDeflater {
  enum TFlush { dfNone, dfFull, dfFinish };

  explicit TDeflater(int level) : fast_(level == 1) {
    if (fast_) {
      isal_deflate_init(&isal_);
      level_buffer_.resize(ISAL_DEF_LVL1_DEFAULT);
      SetIsalParameters();
      return;
    }
    if (deflateInit2(&z_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw EVelmoraError("Cannot start the deflate compressor: out of memory");
    }
    z_started_ = true;
  }
  ~TDeflater() {
    if (z_started_) deflateEnd(&z_);
  }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  // Starts a new deflate stream.
  void Reset() {
    if (fast_) {
      isal_deflate_reset(&isal_);
      SetIsalParameters();
    } else if (deflateReset(&z_) != Z_OK) {
      throw EVelmoraError("Cannot reset the deflate compressor");
    }
  }

  // Compresses bytes, handing every piece of output to emit. A full flush
  // ends on a byte boundary with no reference to the bytes before.
  template <class Emit>
  void Run(std::string_view bytes, TFlush flush, std::string& out, Emit&& emit) {
    if (fast_) {
      RunIsal(bytes, flush, out, emit);
    } else {
      RunZlib(bytes, flush, out, emit);
    }
  }

 private:
  void SetIsalParameters() {
    isal_.level = 1;
    isal_.level_buf = level_buffer_.data();
    isal_.level_buf_size = static_cast<std::uint32_t>(level_buffer_.size());
    isal_.gzip_flag = IGZIP_DEFLATE;
    isal_.hist_bits = ISAL_DEF_MAX_HIST_BITS;
    isal_.end_of_stream = 0;
    isal_.flush = NO_FLUSH;
  }

  template <class Emit>
  void RunIsal(std::string_view bytes, TFlush flush, std::string& out, Emit& emit) {
    isal_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(bytes.data()));
    isal_.avail_in = static_cast<std::uint32_t>(bytes.size());
    isal_.flush = flush == dfFull ? FULL_FLUSH : NO_FLUSH;
    isal_.end_of_stream = flush == dfFinish ? 1 : 0;
    while (true) {
      isal_.next_out = reinterpret_cast<std::uint8_t*>(out.data());
      isal_.avail_out = static_cast<std::uint32_t>(out.size());
      if (isal_deflate(&isal_) != COMP_OK)
        throw EVelmoraError("Cannot deflate the workbook: compressor refused");
      const std::size_t produced = out.size() - isal_.avail_out;
      if (produced > 0) emit(std::string_view(out.data(), produced));
      const bool done = flush == dfFinish ? isal_.internal_state.state == ZSTATE_END
                                          : isal_.avail_in == 0 && isal_.avail_out != 0;
      if (done) break;
    }
    isal_.flush = NO_FLUSH;
  }

  template <class Emit>
  void RunZlib(std::string_view bytes, TFlush flush, std::string& out, Emit& emit) {
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z_.avail_in = static_cast<uInt>(bytes.size());
    const int mode = flush == dfFinish ? Z_FINISH : flush == dfFull ? Z_FULL_FLUSH : Z_NO_FLUSH;
    while (true) {
      z_.next_out = reinterpret_cast<Bytef*>(out.data());
      z_.avail_out = static_cast<uInt>(out.size());
      const int result = deflate(&z_, mode);
      if (result == Z_STREAM_ERROR)
        throw EVelmoraError("Cannot deflate the workbook: compressor state broken");
      const std::size_t produced = out.size() - z_.avail_out;
      if (produced > 0) emit(std::string_view(out.data(), produced));
      if (mode == Z_FINISH ? result == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) break;
    }
  }

  bool fast_;
  isal_zstream isal_{};
  std::vector<std::uint8_t> level_buffer_;
  z_stream z_{};
  bool z_started_ = false;
};

TZipStream::TZipStream(TOutputStream& stream, int level) : stream_(stream), level_(level) {
  block_.reserve(kBlockSize + kBlockSize / 4);
  deflater_ = std::make_unique<TDeflater>(level_);
  out_.resize(kOutChunk);
  worker_ = std::thread([this] { Work(); });
}

TZipStream::~TZipStream() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

// ---------------------------------------------------------------------------
// The caller's side

void TZipStream::RaiseWorkerError() {
  if (error_) std::rethrow_exception(error_);
}

void TZipStream::Submit(TJob::TKind kind, std::string_view bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !slot_full_ || error_; });
  RaiseWorkerError();
  slot_.Kind = kind;
  if (kind == TJob::jkData) {
    // The slot's old buffer, emptied, becomes the one the caller fills next.
    std::swap(slot_.Bytes, block_);
    block_.clear();
    handed_ += slot_.Bytes.size();
  } else {
    slot_.Bytes.assign(bytes);
  }
  slot_full_ = true;
  lock.unlock();
  changed_.notify_all();
}

void TZipStream::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return (!slot_full_ && !busy_) || error_; });
  RaiseWorkerError();
}

void TZipStream::BeginEntry(std::string_view name) {
  EndEntry();
  Submit(TJob::jkBegin, name);
  in_entry_ = true;
}

void TZipStream::EndEntry() {
  if (!in_entry_) return;
  if (!block_.empty()) Submit(TJob::jkData);
  Submit(TJob::jkEnd);
  in_entry_ = false;
}

void TZipStream::WriteRegion(std::string_view bytes) {
  if (!block_.empty()) Submit(TJob::jkData);
  Submit(TJob::jkRegion, bytes.substr(0, kMaxRegion));
}

void TZipStream::PatchRegion(std::string_view bytes) {
  if (!block_.empty()) Submit(TJob::jkData);
  Submit(TJob::jkPatch, bytes);
}

void TZipStream::Finish() {
  EndEntry();
  Submit(TJob::jkFinish);
  WaitIdle();
}

// ---------------------------------------------------------------------------
// The second thread's side

void TZipStream::Work() {
  TJob job;
  while (true) {
    bool run = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      busy_ = false;
      changed_.notify_all();
      changed_.wait(lock, [this] { return slot_full_ || stopping_; });
      if (!slot_full_) return;  // stopping with nothing left to do
      // The job's buffer goes back to the slot, to be handed to the caller.
      job.Kind = slot_.Kind;
      std::swap(job.Bytes, slot_.Bytes);
      slot_full_ = false;
      run = !error_;
      busy_ = run;
    }
    changed_.notify_all();
    if (!run) continue;  // after a failure every job is dropped
    try {
      Run(job);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      error_ = std::current_exception();
    }
  }
}

void TZipStream::Run(TJob& job) {
  switch (job.Kind) {
    case TJob::jkBegin:
      StartEntry(job.Bytes);
      break;
    case TJob::jkData:
      current_.Crc = libdeflate_crc32(current_.Crc, job.Bytes.data(), job.Bytes.size());
      current_.UncompressedSize += job.Bytes.size();
      if (current_.HasRegion) current_.TailSize += job.Bytes.size();
      Deflate(job.Bytes, Z_NO_FLUSH);
      deflated_.fetch_add(job.Bytes.size(), std::memory_order_relaxed);
      break;
    case TJob::jkRegion:
      PlaceRegion(job.Bytes);
      break;
    case TJob::jkPatch:
      OverwriteRegion(job.Bytes);
      break;
    case TJob::jkEnd:
      CloseEntry();
      break;
    case TJob::jkFinish:
      WriteCentralDirectory();
      break;
    case TJob::jkNone:
      break;
  }
}

void TZipStream::Emit(std::string_view bytes) {
  stream_.Write(bytes);
  offset_ += bytes.size();
  written_.store(offset_, std::memory_order_relaxed);
}

std::uint64_t TZipStream::EstimatedSize() const {
  const std::uint64_t deflated = deflated_.load(std::memory_order_relaxed);
  const std::uint64_t written = written_.load(std::memory_order_relaxed);
  const std::uint64_t pending = handed_ - std::min(deflated, handed_) + block_.size();
  // Until a block was compressed, the bytes count whole.
  if (deflated == 0) return written + pending;
  const double ratio = std::min(1.0, static_cast<double>(written) / static_cast<double>(deflated));
  return written + static_cast<std::uint64_t>(static_cast<double>(pending) * ratio);
}

void TZipStream::StartEntry(const std::string& name) {
  current_ = TEntry{};
  current_.Name = name;
  current_.Offset = offset_;
  // CRC and sizes are not known yet: zero here, in the data descriptor after the data.
  std::string header;
  Put32(header, kLocalHeaderSignature);
  Put16(header, kVersionDeflate);
  Put16(header, kFlagDataDescriptor);
  Put16(header, kMethodDeflate);
  Put16(header, kDosTime);
  Put16(header, kDosDate);
  Put32(header, 0);
  Put32(header, 0);
  Put32(header, 0);
  Put16(header, static_cast<std::uint16_t>(name.size()));
  Put16(header, 0);
  header += name;
  Emit(header);
  deflater_->Reset();
}

void TZipStream::Deflate(std::string_view bytes, int flush) {
  const auto mode = flush == Z_FINISH       ? TDeflater::dfFinish
                    : flush == Z_FULL_FLUSH ? TDeflater::dfFull
                                            : TDeflater::dfNone;
  deflater_->Run(bytes, mode, out_, [this](std::string_view produced) {
    Emit(produced);
    current_.CompressedSize += produced.size();
  });
}

void TZipStream::PlaceRegion(std::string_view bytes) {
  if (current_.HasRegion) throw EVelmoraError("An archive entry holds one replaceable region only");
  // A full flush ends the compressor's blocks on a byte boundary and forgets
  // the bytes before, so that what follows never refers across the region.
  Deflate({}, Z_FULL_FLUSH);
  current_.HasRegion = true;
  current_.HeadCrc = current_.Crc;
  current_.Crc = 0;
  current_.Region.assign(bytes);
  current_.RegionPositions.clear();
  for (std::size_t start = 0; start < bytes.size(); start += kStoredBlock) {
    const std::string_view part = bytes.substr(start, kStoredBlock);
    std::string block;
    block += '\0';  // a stored block, not the last: BFINAL 0, BTYPE 00, padding
    Put16(block, static_cast<std::uint16_t>(part.size()));
    Put16(block, static_cast<std::uint16_t>(~part.size() & 0xFFFF));
    Emit(block);
    current_.RegionPositions.push_back(stream_.Position());
    Emit(part);
    current_.CompressedSize += block.size() + part.size();
  }
  current_.UncompressedSize += bytes.size();
}

void TZipStream::OverwriteRegion(std::string_view bytes) {
  if (!current_.HasRegion || bytes.size() != current_.Region.size() || !stream_.Seekable()) {
    throw EVelmoraError("Cannot replace the region of an archive entry");
  }
  const std::int64_t end = stream_.Position();
  for (std::size_t part = 0; part < current_.RegionPositions.size(); ++part) {
    stream_.Seek(current_.RegionPositions[part]);
    stream_.Write(bytes.substr(part * kStoredBlock, kStoredBlock));
  }
  stream_.Seek(end);
  current_.Region.assign(bytes);
}

void TZipStream::CloseEntry() {
  Deflate({}, Z_FINISH);
  if (current_.HasRegion) {
    const std::uint32_t region_crc = libdeflate_crc32(0, current_.Region.data(), current_.Region.size());
    const std::uint32_t through_region = static_cast<std::uint32_t>(
        crc32_combine(current_.HeadCrc, region_crc, static_cast<z_off_t>(current_.Region.size())));
    current_.Crc = static_cast<std::uint32_t>(
        crc32_combine(through_region, current_.Crc, static_cast<z_off_t>(current_.TailSize)));
  }
  std::string descriptor;
  Put32(descriptor, kDataDescriptorSignature);
  Put32(descriptor, current_.Crc);
  if (current_.CompressedSize >= kMax32 || current_.UncompressedSize >= kMax32) {
    Put64(descriptor, current_.CompressedSize);
    Put64(descriptor, current_.UncompressedSize);
  } else {
    Put32(descriptor, static_cast<std::uint32_t>(current_.CompressedSize));
    Put32(descriptor, static_cast<std::uint32_t>(current_.UncompressedSize));
  }
  Emit(descriptor);
  uncompressed_total_ += current_.UncompressedSize;
  compressed_total_ += current_.CompressedSize;
  entries_.push_back(std::move(current_));
  current_ = TEntry{};
}

void TZipStream::WriteCentralDirectory() {
  const std::uint64_t directory_offset = offset_;
  std::string record;
  for (const TEntry& entry : entries_) {
    record.clear();
    std::string extra;
    if (entry.UncompressedSize >= kMax32) Put64(extra, entry.UncompressedSize);
    if (entry.CompressedSize >= kMax32) Put64(extra, entry.CompressedSize);
    if (entry.Offset >= kMax32) Put64(extra, entry.Offset);
    const std::uint16_t version = extra.empty() ? kVersionDeflate : kVersionZip64;
    if (!extra.empty()) {
      std::string field;
      Put16(field, kZip64ExtraId);
      Put16(field, static_cast<std::uint16_t>(extra.size()));
      extra.insert(0, field);
    }
    Put32(record, kCentralHeaderSignature);
    Put16(record, version);  // made by: MS-DOS attributes, this version
    Put16(record, version);
    Put16(record, kFlagDataDescriptor);
    Put16(record, kMethodDeflate);
    Put16(record, kDosTime);
    Put16(record, kDosDate);
    Put32(record, entry.Crc);
    Put32(record, Field32(entry.CompressedSize));
    Put32(record, Field32(entry.UncompressedSize));
    Put16(record, static_cast<std::uint16_t>(entry.Name.size()));
    Put16(record, static_cast<std::uint16_t>(extra.size()));
    Put16(record, 0);  // comment
    Put16(record, 0);  // disk
    Put16(record, 0);  // internal attributes
    Put32(record, 0);  // external attributes
    Put32(record, Field32(entry.Offset));
    record += entry.Name;
    record += extra;
    Emit(record);
  }
  const std::uint64_t directory_size = offset_ - directory_offset;
  const std::uint64_t count = entries_.size();
  record.clear();
  if (count >= 0xFFFF || directory_offset >= kMax32 || directory_size >= kMax32) {
    const std::uint64_t zip64_end = offset_;
    Put32(record, kZip64EndSignature);
    Put64(record, 44);  // the record's size after this field
    Put16(record, kVersionZip64);
    Put16(record, kVersionZip64);
    Put32(record, 0);
    Put32(record, 0);
    Put64(record, count);
    Put64(record, count);
    Put64(record, directory_size);
    Put64(record, directory_offset);
    Put32(record, kZip64LocatorSignature);
    Put32(record, 0);
    Put64(record, zip64_end);
    Put32(record, 1);
  }
  Put32(record, kEndSignature);
  Put16(record, 0);
  Put16(record, 0);
  Put16(record, static_cast<std::uint16_t>(count >= 0xFFFF ? 0xFFFF : count));
  Put16(record, static_cast<std::uint16_t>(count >= 0xFFFF ? 0xFFFF : count));
  Put32(record, Field32(directory_size));
  Put32(record, Field32(directory_offset));
  Put16(record, 0);
  Emit(record);
}

}  // namespace velmora
