#pragma once

#include <cstdint>
#include <string>

#include "platform/output_stream.h"

namespace velmora {

// The compound document that carries a workbook: a 512-byte header, the
// "Workbook" stream from sector 0 on, then the sector allocation table (FAT),
// its extension sectors (DIFAT) and one directory sector holding the root and
// the "Workbook" entry. Sectors are 512 bytes; sector n starts at file offset
// 512 + 512 * n.

constexpr std::int64_t kCompoundHeaderSize = 512;
constexpr std::int64_t kCompoundSectorSize = 512;
// The Workbook stream is padded to at least this size, which is above the mini
// stream cut-off (4096): the stream lives in regular sectors and the document
// needs no mini stream.
constexpr std::int64_t kMinWorkbookStreamSize = 6144;
// Readers of 512-byte-sector documents take stream sizes as signed 32-bit values.
constexpr std::int64_t kMaxWorkbookStreamSize = 0x7FFFFE00;

// Where each part of the document lies, in sectors.
struct TCompoundLayout {
  std::uint32_t StreamSize = 0;    // L: the Workbook stream with its padding, a multiple of 512
  std::uint32_t StreamSectors = 0; // W = L / 512, sectors 0 .. W - 1
  std::uint32_t FatSectors = 0;    // F, sectors W .. W + F - 1
  std::uint32_t DifatSectors = 0;  // D, sectors W + F .. W + F + D - 1

  std::uint32_t DirectorySector() const { return StreamSectors + FatSectors + DifatSectors; }
  std::int64_t FileSize() const {
    return kCompoundHeaderSize + (static_cast<std::int64_t>(DirectorySector()) + 1) * kCompoundSectorSize;
  }
  bool operator==(const TCompoundLayout&) const = default;
};

// The layout for a Workbook record stream of record_size bytes: L is record_size
// rounded up to a sector, at least kMinWorkbookStreamSize; F is the smallest
// count whose 128 entries per sector cover all W + F + D + 1 sectors; D is the
// smallest count whose 127 entries per sector hold the FAT sector numbers beyond
// the 109 the header holds. A record stream above kMaxWorkbookStreamSize raises
// EVelmoraError.
TCompoundLayout CompoundLayout(std::int64_t record_size);

// The 512-byte header of a document with that layout.
std::string CompoundHeader(const TCompoundLayout& layout);

// Starts a document in an empty stream: writes the placeholder for the header,
// so the Workbook records that follow already stand at their final place
// (offsets inside the Workbook stream are stream positions minus
// kCompoundHeaderSize).
void BeginCompoundDocument(TOutputStream& stream);

// Completes a stream begun with BeginCompoundDocument and holding the Workbook
// records from kCompoundHeaderSize to its end: pads the Workbook stream, appends
// FAT, DIFAT and directory sectors and writes the header over the placeholder.
// The write position is the end of the document afterwards.
TCompoundLayout WriteCompoundDocument(TOutputStream& stream);

}  // namespace velmora
