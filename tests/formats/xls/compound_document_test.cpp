// The compound document around the workbook stream: sector counts, the header
// byte for byte, and the allocation chains walked the way a reader walks them.
#include "formats/xls/compound_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/output_file.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::HexBytes;
using testsupport::ReadFile;

constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFatMark = 0xFFFFFFFD;
constexpr std::uint32_t kDifatMark = 0xFFFFFFFC;

std::uint32_t UInt32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t index = 0; index < 4; ++index) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + index))) << (8 * index);
  }
  return value;
}

std::size_t SectorOffset(std::uint32_t sector) {
  return 512 + static_cast<std::size_t>(sector) * 512;
}

// Record bytes that differ from their neighbours, so a shifted or lost byte shows.
std::string RecordBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t index = 0; index < size; ++index) bytes[index] = static_cast<char>((index * 131 + index / 509) & 0xFF);
  return bytes;
}

// Writes a document around the given record stream and gives back the file's bytes.
std::string MakeDocument(const testsupport::TTempDir& directory, const std::string& records) {
  const std::string path = directory.File("book.xls");
  TOutputFile file(path);
  BeginCompoundDocument(file.Stream());
  file.Stream().Write(records);
  WriteCompoundDocument(file.Stream());
  EXPECT_EQ(file.Stream().Position(), file.Stream().Size());
  file.Commit();
  return ReadFile(path);
}

TEST(CompoundLayoutTest, SectorCountsAroundEveryBoundary) {
  const struct {
    std::int64_t record_size;
    std::uint32_t stream_size, stream_sectors, fat_sectors, difat_sectors;
  } cases[] = {
      // Small streams are padded to twelve sectors.
      {0, 6144, 12, 1, 0},
      {300, 6144, 12, 1, 0},
      {6144, 6144, 12, 1, 0},
      {6145, 6656, 13, 1, 0},
      // One FAT sector covers 126 stream sectors, itself and the directory.
      {126 * 512, 64512, 126, 1, 0},
      {126 * 512 + 1, 65024, 127, 2, 0},
      {253 * 512, 129536, 253, 2, 0},
      {254 * 512, 130048, 254, 3, 0},
      // The header lists 109 FAT sectors; the 110th needs a DIFAT sector, which
      // the FAT must cover too.
      {13842 * 512, 7087104, 13842, 109, 0},
      {13843 * 512, 7087616, 13843, 110, 1},
      {13968 * 512, 7151616, 13968, 110, 1},
      {13969 * 512, 7152128, 13969, 111, 1},
      // One DIFAT sector lists 127 FAT sectors (its last slot is the link).
      {29970 * 512, 15344640, 29970, 236, 1},
      {29971 * 512, 15345152, 29971, 237, 2},
  };
  for (const auto& example : cases) {
    const TCompoundLayout layout = CompoundLayout(example.record_size);
    EXPECT_EQ(layout, (TCompoundLayout{example.stream_size, example.stream_sectors, example.fat_sectors,
                                       example.difat_sectors}))
        << example.record_size;
  }
  const TCompoundLayout tiny = CompoundLayout(300);
  EXPECT_EQ(tiny.DirectorySector(), 13u);
  EXPECT_EQ(tiny.FileSize(), 7680);
}

// Each count is the smallest that works: a FAT sector fewer cannot cover all
// sectors, a DIFAT sector fewer cannot list all FAT sectors.
void ExpectSmallestCounts(const TCompoundLayout& layout) {
  const std::uint64_t stream = layout.StreamSectors, fat = layout.FatSectors, difat = layout.DifatSectors;
  ASSERT_LE(stream + fat + difat + 1, 128 * fat) << stream;
  ASSERT_GE(109 + 127 * difat, fat) << stream;
  if (difat > 0) {
    ASSERT_LT(109 + 127 * (difat - 1), fat) << stream;
  }
  if (fat > 1) {
    const std::uint64_t fewer = fat - 1;
    const std::uint64_t difat_for_fewer = fewer <= 109 ? 0 : (fewer - 109 + 126) / 127;
    ASSERT_GT(stream + fewer + difat_for_fewer + 1, 128 * fewer) << stream;
  }
}

TEST(CompoundLayoutTest, CountsAreTheSmallestThatCoverEverySector) {
  for (std::int64_t sectors = 12; sectors <= 70000; ++sectors) {
    ExpectSmallestCounts(CompoundLayout(sectors * 512));
  }
  const TCompoundLayout largest = CompoundLayout(kMaxWorkbookStreamSize);
  ExpectSmallestCounts(largest);
  EXPECT_EQ(largest.StreamSize, kMaxWorkbookStreamSize);
  EXPECT_LT(largest.DirectorySector(), 0xFFFFFFFAu);
  EXPECT_VELMORA_ERROR(CompoundLayout(kMaxWorkbookStreamSize + 1),
                       "Workbook stream of 2147483137 bytes is larger than a compound document holds");
}

TEST(CompoundHeaderTest, TinyWorkbookHeaderByteForByte) {
  const std::string header = CompoundHeader(CompoundLayout(300));
  ASSERT_EQ(header.size(), 512u);
  EXPECT_EQ(HexBytes(header.substr(0, 80)),
            "d0cf11e0a1b11ae1"                  // signature
            "00000000000000000000000000000000"  // class id
            "3e000300feff0900"                  // versions, byte order, sector size
            "0600000000000000"                  // mini sector size, reserved
            "00000000"                          // directory sectors
            "01000000"                          // FAT sectors
            "0d000000"                          // first directory sector
            "00000000"                          // transaction signature
            "00100000"                          // mini stream cut-off
            "feffffff00000000"                  // no mini FAT, none counted
            "feffffff00000000"                  // no DIFAT sector
            "0c000000");                        // FAT sector 12
  EXPECT_EQ(header.substr(80), std::string(432, '\xFF'));
}

TEST(CompoundDocumentTest, TinyWorkbookBecomesSevenThousandSixHundredEightyBytes) {
  const testsupport::TTempDir directory("compound");
  const std::string records = RecordBytes(300);
  const std::string file = MakeDocument(directory, records);
  ASSERT_EQ(file.size(), 7680u);
  EXPECT_EQ(file.substr(0, 512), CompoundHeader(CompoundLayout(300)));
  EXPECT_EQ(file.substr(512, 300), records);
  EXPECT_EQ(file.substr(812, 6144 - 300), std::string(6144 - 300, '\0'));

  // FAT: the stream's chain 0 -> 1 -> ... -> 11, the FAT sector itself, the directory.
  const std::size_t fat = SectorOffset(12);
  for (std::uint32_t sector = 0; sector < 11; ++sector) EXPECT_EQ(UInt32At(file, fat + 4 * sector), sector + 1);
  EXPECT_EQ(UInt32At(file, fat + 44), kEnd);
  EXPECT_EQ(UInt32At(file, fat + 48), kFatMark);
  EXPECT_EQ(UInt32At(file, fat + 52), kEnd);
  EXPECT_EQ(file.substr(fat + 56, 512 - 56), std::string(512 - 56, '\xFF'));

  const std::string directory_sector = file.substr(SectorOffset(13), 512);
  const std::string root_name("R\0o\0o\0t\0 \0E\0n\0t\0r\0y\0", 20);
  const std::string stream_name("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
  EXPECT_EQ(directory_sector.substr(0, 64), root_name + std::string(44, '\0'));
  EXPECT_EQ(HexBytes(directory_sector.substr(64, 16)), "16000500ffffffffffffffff01000000");
  EXPECT_EQ(directory_sector.substr(80, 36), std::string(36, '\0'));
  EXPECT_EQ(HexBytes(directory_sector.substr(116, 12)), "feffffff0000000000000000");
  EXPECT_EQ(directory_sector.substr(128, 64), stream_name + std::string(48, '\0'));
  EXPECT_EQ(HexBytes(directory_sector.substr(192, 16)), "12000201ffffffffffffffffffffffff");
  EXPECT_EQ(HexBytes(directory_sector.substr(244, 12)), "000000000018000000000000");
  // Unused entries: empty, with links that point nowhere.
  for (const std::size_t entry : {256u, 384u}) {
    std::string expected(128, '\0');
    expected.replace(68, 12, 12, '\xFF');
    EXPECT_EQ(directory_sector.substr(entry, 128), expected) << entry;
  }
}

// Follows the header and the DIFAT chain to the FAT, then the FAT's chains, the
// way a reader does.
TEST(CompoundDocumentTest, ReaderWalkThroughTwoDifatSectors) {
  const testsupport::TTempDir directory("compound");
  const std::string records = RecordBytes(29971 * 512 - 100);
  const std::string file = MakeDocument(directory, records);
  const TCompoundLayout layout = CompoundLayout(static_cast<std::int64_t>(records.size()));
  ASSERT_EQ(static_cast<std::int64_t>(file.size()), layout.FileSize());
  EXPECT_EQ(file.compare(512, records.size(), records), 0);

  std::vector<std::uint32_t> fat_sectors;
  for (std::uint32_t slot = 0; slot < 109; ++slot) fat_sectors.push_back(UInt32At(file, 76 + 4 * slot));
  std::vector<std::uint32_t> difat_sectors;
  for (std::uint32_t next = UInt32At(file, 68); next != kEnd; next = UInt32At(file, SectorOffset(next) + 508)) {
    ASSERT_LT(difat_sectors.size(), 2u) << "DIFAT chain does not end";
    difat_sectors.push_back(next);
    for (std::uint32_t slot = 0; slot < 127; ++slot) {
      fat_sectors.push_back(UInt32At(file, SectorOffset(next) + 4 * slot));
    }
  }
  ASSERT_EQ(difat_sectors.size(), UInt32At(file, 72));
  const std::uint32_t fat_count = UInt32At(file, 44);
  // Slots past the FAT sectors are free.
  for (std::size_t index = fat_count; index < fat_sectors.size(); ++index) ASSERT_EQ(fat_sectors[index], kFree);
  fat_sectors.resize(fat_count);

  std::vector<std::uint32_t> fat;
  for (const std::uint32_t sector : fat_sectors) {
    for (std::uint32_t slot = 0; slot < 128; ++slot) fat.push_back(UInt32At(file, SectorOffset(sector) + 4 * slot));
  }
  for (const std::uint32_t sector : fat_sectors) EXPECT_EQ(fat.at(sector), kFatMark) << sector;
  for (const std::uint32_t sector : difat_sectors) EXPECT_EQ(fat.at(sector), kDifatMark) << sector;

  std::uint32_t chain_length = 0;
  for (std::uint32_t sector = 0; sector != kEnd; sector = fat.at(sector)) {
    ASSERT_EQ(sector, chain_length) << "stream chain leaves its sectors";
    ++chain_length;
  }
  const std::uint32_t directory_sector = UInt32At(file, 48);
  EXPECT_EQ(chain_length, layout.StreamSectors);
  EXPECT_EQ(UInt32At(file, SectorOffset(directory_sector) + 128 + 120), chain_length * 512);
  EXPECT_EQ(fat.at(directory_sector), kEnd);
  EXPECT_EQ(SectorOffset(directory_sector + 1), file.size());
  for (std::size_t index = directory_sector + 1; index < fat.size(); ++index) ASSERT_EQ(fat[index], kFree);
}

}  // namespace
}  // namespace velmora
