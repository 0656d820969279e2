#include "formats/xls/compound_document.h"

#include <algorithm>
#include <cassert>
#include <string_view>

#include "platform/error.h"

namespace velmora {

namespace {

// ---------------------------------------------------------------------------
// Little-endian stores into a byte buffer

void PutUInt16(std::string& buffer, std::size_t offset, std::uint16_t value) {
  buffer[offset] = static_cast<char>(value & 0xFF);
  buffer[offset + 1] = static_cast<char>(value >> 8);
}

void PutUInt32(std::string& buffer, std::size_t offset, std::uint32_t value) {
  for (std::size_t index = 0; index < 4; ++index) {
    buffer[offset + index] = static_cast<char>(value >> (8 * index) & 0xFF);
  }
}

// ---------------------------------------------------------------------------
// Sector numbers and counts

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSectorMark = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSectorMark = 0xFFFFFFFC;

constexpr std::uint32_t kEntriesPerFatSector = 128;
// The last of the 128 slots of a DIFAT sector links to the next DIFAT sector.
constexpr std::uint32_t kEntriesPerDifatSector = 127;
constexpr std::uint32_t kHeaderDifatEntries = 109;

constexpr std::size_t kSector = static_cast<std::size_t>(kCompoundSectorSize);
constexpr std::size_t kDirectoryEntrySize = 128;

std::uint32_t DifatSectorsFor(std::uint32_t fat_sectors) {
  if (fat_sectors <= kHeaderDifatEntries) return 0;
  return (fat_sectors - kHeaderDifatEntries + kEntriesPerDifatSector - 1) / kEntriesPerDifatSector;
}

// The FAT entry of sector index: the Workbook chain, the FAT and DIFAT marks,
// the end of the one-sector directory chain, free slots after it.
std::uint32_t FatEntry(const TCompoundLayout& layout, std::uint32_t index) {
  const std::uint32_t stream_end = layout.StreamSectors;
  const std::uint32_t fat_end = stream_end + layout.FatSectors;
  const std::uint32_t difat_end = fat_end + layout.DifatSectors;
  if (index + 1 < stream_end) return index + 1;
  if (index < stream_end) return kEndOfChain;
  if (index < fat_end) return kFatSectorMark;
  if (index < difat_end) return kDifatSectorMark;
  if (index == difat_end) return kEndOfChain;
  return kFreeSector;
}

// ---------------------------------------------------------------------------
// Sectors

void WriteFatSectors(TOutputStream& stream, const TCompoundLayout& layout) {
  std::string sector(kSector, '\0');
  for (std::uint32_t fat_index = 0; fat_index < layout.FatSectors; ++fat_index) {
    for (std::uint32_t slot = 0; slot < kEntriesPerFatSector; ++slot) {
      PutUInt32(sector, slot * 4, FatEntry(layout, fat_index * kEntriesPerFatSector + slot));
    }
    stream.Write(sector);
  }
}

// DIFAT sector k holds the numbers of FAT sectors 109 + 127k onwards, then the
// number of DIFAT sector k + 1, or end of chain in the last one.
void WriteDifatSectors(TOutputStream& stream, const TCompoundLayout& layout) {
  const std::uint32_t first_difat = layout.StreamSectors + layout.FatSectors;
  std::string sector(kSector, '\0');
  for (std::uint32_t difat_index = 0; difat_index < layout.DifatSectors; ++difat_index) {
    for (std::uint32_t slot = 0; slot < kEntriesPerDifatSector; ++slot) {
      const std::uint32_t fat_index = kHeaderDifatEntries + difat_index * kEntriesPerDifatSector + slot;
      PutUInt32(sector, slot * 4, fat_index < layout.FatSectors ? layout.StreamSectors + fat_index : kFreeSector);
    }
    const bool last = difat_index + 1 == layout.DifatSectors;
    PutUInt32(sector, kEntriesPerDifatSector * 4, last ? kEndOfChain : first_difat + difat_index + 1);
    stream.Write(sector);
  }
}

enum TDirectoryEntryType : std::uint8_t { detUnused = 0, detStream = 2, detRoot = 5 };

struct TDirectoryEntry {
  std::u16string_view Name;
  TDirectoryEntryType Type = detUnused;
  std::uint8_t Color = 0;  // 0 red, 1 black
  std::uint32_t Child = kFreeSector;
  std::uint32_t StartSector = 0;
  std::uint32_t Size = 0;
};

// One 128-byte entry. An unused entry is all zero but for its three links, which
// say "no entry".
void PutDirectoryEntry(std::string& sector, std::size_t offset, const TDirectoryEntry& entry) {
  for (std::size_t index = 0; index < entry.Name.size(); ++index) {
    PutUInt16(sector, offset + 2 * index, static_cast<std::uint16_t>(entry.Name[index]));
  }
  if (!entry.Name.empty()) {
    PutUInt16(sector, offset + 64, static_cast<std::uint16_t>(2 * (entry.Name.size() + 1)));
  }
  sector[offset + 66] = static_cast<char>(entry.Type);
  sector[offset + 67] = static_cast<char>(entry.Color);
  PutUInt32(sector, offset + 68, kFreeSector);  // left sibling
  PutUInt32(sector, offset + 72, kFreeSector);  // right sibling
  PutUInt32(sector, offset + 76, entry.Child);
  PutUInt32(sector, offset + 116, entry.StartSector);
  PutUInt32(sector, offset + 120, entry.Size);
}

void WriteDirectorySector(TOutputStream& stream, const TCompoundLayout& layout) {
  std::string sector(kSector, '\0');
  PutDirectoryEntry(sector, 0,
                    {.Name = u"Root Entry", .Type = detRoot, .Color = 0, .Child = 1, .StartSector = kEndOfChain});
  PutDirectoryEntry(sector, kDirectoryEntrySize,
                    {.Name = u"Workbook", .Type = detStream, .Color = 1, .StartSector = 0,
                     .Size = layout.StreamSize});
  PutDirectoryEntry(sector, 2 * kDirectoryEntrySize, {});
  PutDirectoryEntry(sector, 3 * kDirectoryEntrySize, {});
  stream.Write(sector);
}

void WriteZeros(TOutputStream& stream, std::int64_t count) {
  const std::string zeros(kSector, '\0');
  while (count > 0) {
    const std::int64_t chunk = std::min<std::int64_t>(count, kCompoundSectorSize);
    stream.Write(zeros.data(), static_cast<std::size_t>(chunk));
    count -= chunk;
  }
}

}  // namespace

TCompoundLayout CompoundLayout(std::int64_t record_size) {
  if (record_size < 0 || record_size > kMaxWorkbookStreamSize) {
    throw EVelmoraError(Format("Workbook stream of %lld bytes is larger than a compound document holds",
                               static_cast<long long>(record_size)));
  }
  const std::int64_t padded = (record_size + kCompoundSectorSize - 1) / kCompoundSectorSize * kCompoundSectorSize;
  TCompoundLayout layout;
  layout.StreamSize = static_cast<std::uint32_t>(std::max(padded, kMinWorkbookStreamSize));
  layout.StreamSectors = layout.StreamSize / kCompoundSectorSize;
  // W + F + D + 1 <= 128 F, so F is at least (W + 1) / 127; from there the
  // covered count grows by at least 126 per added FAT sector.
  std::uint32_t fat_sectors = (layout.StreamSectors + 1 + kEntriesPerFatSector - 2) / (kEntriesPerFatSector - 1);
  fat_sectors = std::max<std::uint32_t>(fat_sectors, 1);
  while (layout.StreamSectors + fat_sectors + DifatSectorsFor(fat_sectors) + 1 >
         kEntriesPerFatSector * fat_sectors) {
    ++fat_sectors;
  }
  layout.FatSectors = fat_sectors;
  layout.DifatSectors = DifatSectorsFor(fat_sectors);
  return layout;
}

std::string CompoundHeader(const TCompoundLayout& layout) {
  std::string header(static_cast<std::size_t>(kCompoundHeaderSize), '\xFF');
  header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  header.replace(8, 16, 16, '\0');  // class id
  PutUInt16(header, 24, 0x003E);    // minor version
  PutUInt16(header, 26, 0x0003);    // major version: 512-byte sectors
  PutUInt16(header, 28, 0xFFFE);    // byte order mark
  PutUInt16(header, 30, 9);         // sector size 2^9
  PutUInt16(header, 32, 6);         // mini sector size 2^6
  header.replace(34, 6, 6, '\0');   // reserved
  PutUInt32(header, 40, 0);         // directory sector count: always 0 with 512-byte sectors
  PutUInt32(header, 44, layout.FatSectors);
  PutUInt32(header, 48, layout.DirectorySector());
  PutUInt32(header, 52, 0);     // transaction signature
  PutUInt32(header, 56, 4096);  // mini stream cut-off
  PutUInt32(header, 60, kEndOfChain);  // no mini FAT ...
  PutUInt32(header, 64, 0);            // ... of no sectors
  PutUInt32(header, 68, layout.DifatSectors > 0 ? layout.StreamSectors + layout.FatSectors : kEndOfChain);
  PutUInt32(header, 72, layout.DifatSectors);
  const std::uint32_t header_fat_count = std::min(layout.FatSectors, kHeaderDifatEntries);
  for (std::uint32_t fat_index = 0; fat_index < header_fat_count; ++fat_index) {
    PutUInt32(header, 76 + 4 * fat_index, layout.StreamSectors + fat_index);
  }
  return header;
}

void BeginCompoundDocument(TOutputStream& stream) {
  assert(stream.Size() == 0);
  WriteZeros(stream, kCompoundHeaderSize);
}

TCompoundLayout WriteCompoundDocument(TOutputStream& stream) {
  assert(stream.Size() >= kCompoundHeaderSize);
  const TCompoundLayout layout = CompoundLayout(stream.Size() - kCompoundHeaderSize);
  stream.Seek(stream.Size());
  WriteZeros(stream, kCompoundHeaderSize + layout.StreamSize - stream.Size());
  WriteFatSectors(stream, layout);
  WriteDifatSectors(stream, layout);
  WriteDirectorySector(stream, layout);
  stream.Seek(0);
  stream.Write(CompoundHeader(layout));
  stream.Seek(stream.Size());
  return layout;
}

}  // namespace velmora
