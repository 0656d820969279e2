#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

// Where a stream without a descriptor sends its bytes (a compressor): blocks
// in order, then Finish once the stream is closed.
class TByteSink {
 public:
  virtual ~TByteSink() = default;
  virtual void Put(std::string&& bytes) = 0;
  virtual void Finish() = 0;
};

// A byte stream over an open file descriptor that buffers writes (one system
// call per 64 KiB, not per cell) and still offers what binary formats need:
// the current size, seeking back to patch a header, reading back, and inserting
// bytes in the middle. Every failing system call raises EVelmoraError with the
// operating system's message; a short write is never success. A descriptor
// that cannot seek (a pipe, a terminal) takes only sequential writes: Seek,
// ReadAt and Insert raise instead of writing at the end.
class TOutputStream {
 public:
  // How the bytes reach the descriptor: at offsets counted from the start of
  // the file, or one after another at the descriptor's own offset, as a pipe
  // takes them (a file another program opened for us, perhaps for appending).
  enum TWriteMode { wmPositioned, wmSequential };

  // Takes ownership of fd. name is used in messages. A file that holds
  // existing_size bytes already is written on at its end.
  TOutputStream(int fd, std::string name, std::int64_t existing_size = 0);
  // As above, writing in the mode given; a descriptor that cannot seek is
  // written sequentially whatever the mode.
  TOutputStream(int fd, std::string name, TWriteMode mode);
  // A sequential stream whose blocks go to sink; closing it finishes the sink.
  TOutputStream(std::unique_ptr<TByteSink> sink, std::string name);
  ~TOutputStream();
  TOutputStream(const TOutputStream&) = delete;
  TOutputStream& operator=(const TOutputStream&) = delete;

  void Write(const void* data, std::size_t size);
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
  void WriteByte(unsigned char byte) { Write(&byte, 1); }

  std::int64_t Size() const;
  std::int64_t Position() const { return position_; }
  // Moves the write position; writing there overwrites, writing at the end extends.
  void Seek(std::int64_t position);
  // Reads size bytes at position (which must lie inside the stream).
  void ReadAt(std::int64_t position, void* data, std::size_t size);
  // Writes size bytes of from, read at position (inside it), at the write
  // position: copied by the kernel where both are files that allow it
  // (copy_file_range), else through a buffer.
  void WriteFrom(TOutputStream& from, std::int64_t position, std::int64_t size);
  // Inserts bytes at position, moving the rest of the stream towards the end.
  // The write position afterwards is the end of the stream.
  void Insert(std::int64_t position, std::string_view bytes);

  // For a file Close forces to the device: each few MiB written start on
  // their way there at once, so that writing to the device overlaps the work
  // that makes the bytes and the wait at Close is short. Regular files that
  // take positioned writes only; others ignore it.
  void StartDeviceWritesEarly() { early_device_writes_ = true; }

  // Writes out the buffer.
  void Flush();
  // Flushes, forces the data to the device when it is a regular file (unless
  // told not to), and closes.
  void Close(bool force_to_device = true);
  bool Closed() const { return fd_ < 0 && !sink_; }
  bool Seekable() const { return seekable_; }
  int Descriptor() const { return fd_; }
  const std::string& Name() const { return name_; }

 private:
  void WriteRaw(std::int64_t offset, const char* data, std::size_t size);
  // Starts the device writes of the bytes past device_writes_from_ once they are many.
  void StartDeviceWrites();
  void ReadRaw(std::int64_t offset, char* data, std::size_t size);
  void RequireSeekable() const;

  int fd_;
  std::unique_ptr<TByteSink> sink_;
  std::string name_;
  bool seekable_;
  std::string buffer_;             // pending bytes, to be written at buffer_offset_
  std::int64_t buffer_offset_ = 0;
  std::int64_t position_ = 0;      // logical write position
  std::int64_t file_size_ = 0;     // bytes already on the file
  bool early_device_writes_ = false;
  std::int64_t device_writes_from_ = 0;  // the first byte whose device write is not started
};

}  // namespace velmora
