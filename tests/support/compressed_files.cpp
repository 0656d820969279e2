#include "support/compressed_files.h"

#include <zlib.h>
#include <zstd.h>

#include <stdexcept>

namespace velmora::testsupport {

namespace {

std::string Gunzip(const std::string& compressed) {
  z_stream stream{};
  // 32 + 15 window bits: a gzip header is looked for.
  if (inflateInit2(&stream, 32 + MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2");
  std::string out;
  char buffer[65536];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  int result = Z_OK;
  while (true) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
    if (result == Z_STREAM_END) {
      if (stream.avail_in == 0) break;
      inflateReset(&stream);  // a further member
      continue;
    }
    if (result != Z_OK) break;
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("damaged or incomplete gzip data");
  return out;
}

std::string Unzstd(const std::string& compressed) {
  ZSTD_DCtx* context = ZSTD_createDCtx();
  std::string out;
  char buffer[65536];
  ZSTD_inBuffer input{compressed.data(), compressed.size(), 0};
  std::size_t left = 1;
  while (input.pos < input.size) {
    ZSTD_outBuffer output{buffer, sizeof buffer, 0};
    left = ZSTD_decompressStream(context, &output, &input);
    if (ZSTD_isError(left)) break;
    out.append(buffer, output.pos);
  }
  // Output the decoder still holds once the input is used up.
  while (!ZSTD_isError(left) && left != 0) {
    ZSTD_outBuffer output{buffer, sizeof buffer, 0};
    left = ZSTD_decompressStream(context, &output, &input);
    if (ZSTD_isError(left) || output.pos == 0) break;
    out.append(buffer, output.pos);
  }
  ZSTD_freeDCtx(context);
  if (ZSTD_isError(left) || left != 0) throw std::runtime_error("damaged or incomplete Zstandard data");
  return out;
}

}  // namespace

std::string Decompressed(const std::string& compressed) {
  if (compressed.size() >= 2 && static_cast<unsigned char>(compressed[0]) == 0x1f &&
      static_cast<unsigned char>(compressed[1]) == 0x8b) {
    return Gunzip(compressed);
  }
  if (compressed.size() >= 4 && compressed.compare(0, 4, "\x28\xb5\x2f\xfd") == 0) return Unzstd(compressed);
  throw std::runtime_error("neither gzip nor Zstandard data");
}

}  // namespace velmora::testsupport
