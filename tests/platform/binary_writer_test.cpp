// Little-endian values into buffers and streams, and back.
#include <gtest/gtest.h>
#include <fcntl.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/binary_writer.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::HexBytes;
using namespace std::string_literals;

// Every kind of value once, in the order a record header and body would hold them.
void WriteSample(TBinaryWriter& writer) {
  writer.UInt8(0xAB)
      .UInt16(0x0809)
      .UInt32(static_cast<std::uint32_t>(-2))
      .UInt64(0x0102030405060708ull)
      .Double(1.0)
      .Double(-0.1)
      .Bytes("xy")
      .Zeros(3);
}

TEST(BinaryWriter, WritesLeastSignificantByteFirst) {
  std::string buffer = "<";
  TBinaryWriter writer(buffer);
  WriteSample(writer);
  EXPECT_EQ(HexBytes(buffer),
            "3c" "ab" "0908" "feffffff" "0807060504030201" "000000000000f03f" "9a9999999999b9bf" "7879" "000000");
}

TEST(BinaryWriter, ReadsBackWhatItWrote) {
  const double doubles[] = {0.0, -0.0, 0.1, -1e308, std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::infinity()};
  std::string buffer;
  TBinaryWriter writer(buffer);
  for (const double value : doubles) writer.Double(value).UInt16(0xFFFE).UInt32(0x80000001u).UInt64(~0ull);
  std::size_t offset = 0;
  for (const double value : doubles) {
    const double back = ReadDoubleLE(buffer, offset);
    EXPECT_EQ(back, value);
    EXPECT_EQ(std::signbit(back), std::signbit(value));
    EXPECT_EQ(ReadUInt16LE(buffer, offset + 8), 0xFFFE);
    EXPECT_EQ(ReadUInt32LE(buffer, offset + 10), 0x80000001u);
    EXPECT_EQ(ReadUInt64LE(buffer, offset + 14), ~0ull);
    offset += 22;
  }
  EXPECT_EQ(offset, buffer.size());
}

TEST(BinaryWriter, PatchesAndReadsOnlyInsideTheBytes) {
  std::string record = "\x09\x08\0\0body"s;
  PatchUInt16LE(record, 2, 4);
  EXPECT_EQ(HexBytes(record), "09080400626f6479");
  PatchUInt32LE(record, 4, 0x11223344);
  EXPECT_EQ(HexBytes(record), "0908040044332211");
  EXPECT_VELMORA_ERROR(PatchUInt32LE(record, 5, 0), "Cannot write 4 bytes at offset 5 of 8 bytes");
  EXPECT_VELMORA_ERROR(ReadUInt16LE(record, 7), "Cannot read 2 bytes at offset 7 of 8 bytes");
  // An offset so large that offset + size wraps around.
  const std::size_t far = std::string::npos - 1;
  EXPECT_VELMORA_ERROR(ReadUInt64LE(record, far),
                       "Cannot read 8 bytes at offset " + std::to_string(far) + " of 8 bytes");
}

TEST(BinaryWriter, StreamGetsTheSameBytesAndPatchesAHeaderCount) {
  testsupport::TTempDir directory("binary");
  const std::string path = directory.File("data.bin");
  std::string expected;
  TBinaryWriter to_buffer(expected);
  WriteSample(to_buffer);
  {
    TOutputStream stream(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600), path);
    TBinaryWriter to_stream(stream);
    to_stream.UInt32(0);  // record count, known at the end
    WriteSample(to_stream);
    to_stream.Zeros(100000);  // past the stream's buffer
    // The count still sits in the unwritten buffer when it is read back.
    const std::uint32_t count = ReadUInt32LE(stream, 0) + 7;
    stream.Seek(0);
    to_stream.UInt32(count);
    EXPECT_EQ(ReadUInt16LE(stream, 5), 0x0809);
    stream.Close();
  }
  std::string file = testsupport::ReadFile(path);
  ASSERT_EQ(file.size(), 4 + expected.size() + 100000);
  EXPECT_EQ(ReadUInt32LE(file, 0), 7u);
  EXPECT_EQ(HexBytes(file.substr(4, expected.size())), HexBytes(expected));
  EXPECT_EQ(file.find_first_not_of('\0', 4 + expected.size()), std::string::npos);
}

}  // namespace
}  // namespace velmora
