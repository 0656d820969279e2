#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Record ids of the BIFF8 stream.
enum TBiffRecordId : std::uint16_t {
  kFormulaRecord = 0x0006,
  kEofRecord = 0x000A,
  kCalcCountRecord = 0x000C,
  kCalcModeRecord = 0x000D,
  kPrecisionRecord = 0x000E,
  kRefModeRecord = 0x000F,
  kDeltaRecord = 0x0010,
  kIterationRecord = 0x0011,
  kProtectRecord = 0x0012,
  kPasswordRecord = 0x0013,
  kHeaderRecord = 0x0014,
  kFooterRecord = 0x0015,
  kWindowProtectRecord = 0x0019,
  kSelectionRecord = 0x001D,
  kDateModeRecord = 0x0022,
  kPrintHeadersRecord = 0x002A,
  kPrintGridlinesRecord = 0x002B,
  kFontRecord = 0x0031,
  kContinueRecord = 0x003C,
  kWindow1Record = 0x003D,
  kBackupRecord = 0x0040,
  kCodepageRecord = 0x0042,
  kDefColWidthRecord = 0x0055,
  kWriteAccessRecord = 0x005C,
  kSaveRecalcRecord = 0x005F,
  kColInfoRecord = 0x007D,
  kGutsRecord = 0x0080,
  kWsBoolRecord = 0x0081,
  kGridSetRecord = 0x0082,
  kHCenterRecord = 0x0083,
  kVCenterRecord = 0x0084,
  kBoundSheetRecord = 0x0085,
  kCountryRecord = 0x008C,
  kHideObjRecord = 0x008D,
  kFnGroupCountRecord = 0x009C,
  kBookBoolRecord = 0x00DA,
  kXFRecord = 0x00E0,
  kSstRecord = 0x00FC,
  kLabelSstRecord = 0x00FD,
  kDsfRecord = 0x0161,
  kProt4RevRecord = 0x01AF,
  kRefreshAllRecord = 0x01B7,
  kProt4RevPassRecord = 0x01BC,
  kDimensionsRecord = 0x0200,
  kBlankRecord = 0x0201,
  kNumberRecord = 0x0203,
  kBoolErrRecord = 0x0205,
  kDefaultRowHeightRecord = 0x0225,
  kWindow2Record = 0x023E,
  kStyleRecord = 0x0293,
  kFormatRecord = 0x041E,
  kBofRecord = 0x0809,
};

// The largest payload of one record.
constexpr std::size_t kMaxRecordPayload = 8224;

inline void AppendUInt16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

inline void AppendUInt32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>(value >> shift & 0xFF);
}

void AppendDouble(std::string& out, double value);

// The 4-byte header (id, payload length) and the payload.
inline void AppendRecord(std::string& out, std::uint16_t id, std::string_view payload) {
  AppendUInt16(out, id);
  AppendUInt16(out, static_cast<std::uint16_t>(payload.size()));
  out.append(payload);
}

}  // namespace velmora
