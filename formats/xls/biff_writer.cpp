#include "formats/xls/biff_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "formats/xls/biff_records.h"
#include "formats/xls/compound_document.h"
#include "formats/xls/xls_text.h"
#include "platform/error.h"

namespace velmora {

void AppendDouble(std::string& out, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  AppendUInt32(out, static_cast<std::uint32_t>(bits));
  AppendUInt32(out, static_cast<std::uint32_t>(bits >> 32));
}

namespace {

constexpr std::uint16_t kGlobalsBof = 0x0005;
constexpr std::uint16_t kWorksheetBof = 0x0010;
constexpr std::size_t kMaxHeaderUnits = 255;
constexpr std::size_t kMaxCellUnits = 32767;
constexpr int kMaxColumnWidth = 255;
constexpr std::int64_t kColInfoRecordSize = 4 + 11;

// A COLINFO width: 1/256 of the default font's digit width, for the column's
// characters and the cell's margins (5 pixels beside 7-pixel digits), so that
// a column of n characters shows n digits whole, as readers size the columns
// of the other workbook format.
std::uint16_t ColumnWidthUnits(int characters) {
  constexpr int kMarginUnits = 5 * 256 / 7;
  const int width = std::clamp(characters, 0, kMaxColumnWidth);
  return static_cast<std::uint16_t>(width == 0 ? 0 : width * 256 + kMarginUnits);
}

std::string BofBody(std::uint16_t type) {
  std::string body;
  AppendUInt16(body, 0x0600);
  AppendUInt16(body, type);
  AppendUInt16(body, 0x0DBB);
  AppendUInt16(body, 0x07CC);
  AppendUInt32(body, 0);
  AppendUInt32(body, 0x00000206);
  return body;
}

std::string WordBody(std::uint16_t value) {
  std::string body;
  AppendUInt16(body, value);
  return body;
}

std::string Bytes(std::initializer_list<unsigned> values) {
  std::string bytes;
  for (const unsigned value : values) bytes += static_cast<char>(value);
  return bytes;
}

// The built-in XFs: 0 the Normal style, 1 to 14 cell styles, 15 the default cell.
std::string BuiltInXF(int index) {
  if (index == 15) return Bytes({1, 0, 0, 0, 1, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20});
  const unsigned font = index == 1 || index == 2 ? 1 : index == 3 || index == 4 ? 2 : 0;
  const unsigned used = index == 0 ? 0 : 0xF4;
  return Bytes({font, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0, used, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20});
}

}  // namespace

std::string WorkbookGlobalsHead(const TxlsFont& data_font) {
  std::string out;
  AppendRecord(out, kBofRecord, BofBody(kGlobalsBof));
  std::string write_access = "Brisvane 2.80";
  write_access = WordBody(static_cast<std::uint16_t>(write_access.size())) + '\0' + write_access;
  write_access.resize(112, ' ');
  AppendRecord(out, kWriteAccessRecord, write_access);
  AppendRecord(out, kCodepageRecord, WordBody(1252));
  AppendRecord(out, kDsfRecord, WordBody(0));
  AppendRecord(out, kFnGroupCountRecord, WordBody(14));
  AppendRecord(out, kWindowProtectRecord, WordBody(0));
  AppendRecord(out, kProtectRecord, WordBody(0));
  AppendRecord(out, kPasswordRecord, WordBody(0));
  AppendRecord(out, kProt4RevRecord, WordBody(0));
  AppendRecord(out, kProt4RevPassRecord, WordBody(0));
  std::string window1;
  for (const std::uint16_t value : {120, 120, 23820, 15720, 0x0038, 0, 0, 1, 600}) AppendUInt16(window1, value);
  AppendRecord(out, kWindow1Record, window1);
  AppendRecord(out, kBackupRecord, WordBody(0));
  AppendRecord(out, kHideObjRecord, WordBody(0));
  AppendRecord(out, kDateModeRecord, WordBody(0));
  AppendRecord(out, kPrecisionRecord, WordBody(1));
  AppendRecord(out, kRefreshAllRecord, WordBody(0));
  AppendRecord(out, kBookBoolRecord, WordBody(0));
  AppendRecord(out, kFontRecord, FontRecordBody(TxlsFont()));
  for (int copy = 0; copy < 3; ++copy) AppendRecord(out, kFontRecord, FontRecordBody(data_font));
  for (int index = 0; index < 16; ++index) AppendRecord(out, kXFRecord, BuiltInXF(index));
  const std::pair<std::uint16_t, unsigned> styles[] = {{0x8010, 3}, {0x8011, 6}, {0x8012, 4},
                                                       {0x8013, 7}, {0x8000, 0}, {0x8014, 5}};
  for (const auto& [xf, built_in] : styles) {
    std::string body = WordBody(xf);
    body += static_cast<char>(built_in);
    body += '\xFF';
    AppendRecord(out, kStyleRecord, body);
  }
  return out;
}

TTabuloXLSWriter::TTabuloXLSWriter(TTabulo& owner, TOutputStream& stream) : TxlsWorkbookSink(owner, stream) {
  record_.reserve(kMaxRecordPayload);
}

std::int64_t TTabuloXLSWriter::WorkbookOffset() const { return Stream().Position() - kCompoundHeaderSize; }

void TTabuloXLSWriter::Record(std::uint16_t id) {
  std::string head;
  AppendUInt16(head, id);
  AppendUInt16(head, static_cast<std::uint16_t>(record_.size()));
  Stream().Write(head);
  Stream().Write(record_);
}

void TTabuloXLSWriter::WordRecord(std::uint16_t id, std::uint16_t value) {
  record_.clear();
  AppendUInt16(record_, value);
  Record(id);
}

void TTabuloXLSWriter::Bof(std::uint16_t type) {
  record_ = BofBody(type);
  Record(kBofRecord);
}

void TTabuloXLSWriter::WriteWorkbookGlobals(const TxlsFont& data_font) {
  BeginCompoundDocument(Stream());
  Stream().Write(WorkbookGlobalsHead(data_font));
  insert_pos_ = Stream().Position();
  record_.clear();
  Record(kEofRecord);
}

void TTabuloXLSWriter::BeginSheet(std::u16string title, std::string_view page_header,
                                  std::string_view page_footer, int first_column, const std::vector<int>& widths) {
  TSheetPlace& sheet = sheets_.emplace_back();
  sheet.Title = std::move(title);
  sheet.BofOffset = WorkbookOffset();
  Bof(kWorksheetBof);
  WordRecord(kCalcModeRecord, 1);
  WordRecord(kCalcCountRecord, 100);
  WordRecord(kRefModeRecord, 1);
  WordRecord(kIterationRecord, 0);
  record_.clear();
  AppendDouble(record_, 0.001);
  Record(kDeltaRecord);
  WordRecord(kSaveRecalcRecord, 1);
  WordRecord(kPrintHeadersRecord, 0);
  WordRecord(kPrintGridlinesRecord, 0);
  WordRecord(kGridSetRecord, 1);
  record_.assign(8, '\0');
  Record(kGutsRecord);
  record_.clear();
  AppendUInt16(record_, 0);
  AppendUInt16(record_, 255);
  Record(kDefaultRowHeightRecord);
  WordRecord(kWsBoolRecord, 0x04C1);
  for (const auto& [id, text] : {std::pair{kHeaderRecord, page_header}, std::pair{kFooterRecord, page_footer}}) {
    record_.clear();
    if (!text.empty()) AppendString16(record_, CutUnits(Utf8ToUtf16(text), kMaxHeaderUnits));
    Record(id);
  }
  WordRecord(kHCenterRecord, 0);
  WordRecord(kVCenterRecord, 0);
  WordRecord(kDefColWidthRecord, 8);
  sheet.ColInfoPos = Stream().Position();
  sheet.Widths = widths;
  for (std::size_t index = 0; index < widths.size(); ++index) {
    const auto column = static_cast<std::uint16_t>(first_column + static_cast<int>(index));
    record_.clear();
    AppendUInt16(record_, column);
    AppendUInt16(record_, column);
    AppendUInt16(record_, ColumnWidthUnits(widths[index]));
    AppendUInt16(record_, kDefaultXF);
    AppendUInt16(record_, 0);
    record_ += '\0';
    Record(kColInfoRecord);
  }
  sheet.DimensionsPos = Stream().Position();
  record_.assign(14, '\0');
  Record(kDimensionsRecord);
}

void TTabuloXLSWriter::WidenColumns(const std::vector<int>& widths) {
  TSheetPlace& sheet = sheets_.back();
  if (widths.size() != sheet.Widths.size() || widths == sheet.Widths) return;
  sheet.Widths = widths;
  sheet.Widened = true;
}

void TTabuloXLSWriter::CellHead(int row, int column, std::uint16_t xf) {
  record_.clear();
  AppendUInt16(record_, static_cast<std::uint16_t>(row));
  AppendUInt16(record_, static_cast<std::uint16_t>(column));
  AppendUInt16(record_, xf);
}

void TTabuloXLSWriter::WriteBlankCell(int row, int column, std::uint16_t xf) {
  CellHead(row, column, xf);
  Record(kBlankRecord);
}

void TTabuloXLSWriter::WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) {
  if (text.empty()) return;
  // Counting UTF-16 units needs the conversion only for long texts.
  if (text.size() > kMaxCellUnits && Utf8ToUtf16(text).size() > kMaxCellUnits) {
    throw EVelmoraError(
        Format("Cell %s: String length more than 32767 characters", CellName(row, column).c_str()));
  }
  const std::uint32_t index = shared_strings_.Add(text);
  CellHead(row, column, xf);
  AppendUInt32(record_, index);
  Record(kLabelSstRecord);
}

void TTabuloXLSWriter::WriteNumberCell(int row, int column, std::uint16_t xf, double value) {
  CellHead(row, column, xf);
  AppendDouble(record_, value);
  Record(kNumberRecord);
}

void TTabuloXLSWriter::WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) {
  CellHead(row, column, xf);
  record_ += static_cast<char>(value ? 1 : 0);
  record_ += '\0';
  Record(kBoolErrRecord);
}

void TTabuloXLSWriter::WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate,
                                          std::uint16_t xf, const TFormulaResult& result) {
  CellHead(row, column, xf);
  if (result.DivisionByZero) {
    // An error result: type 2, the error code, then FFFFh in the top bytes.
    record_ += Bytes({2, 0, 7, 0, 0, 0, 0xFF, 0xFF});
  } else {
    AppendDouble(record_, result.Value);
  }
  AppendUInt16(record_, 0x0002);
  AppendUInt32(record_, 0);
  AppendUInt16(record_, 13);
  record_ += '\x25';
  AppendUInt16(record_, static_cast<std::uint16_t>(first_row));
  AppendUInt16(record_, static_cast<std::uint16_t>(last_row));
  for (int repeat = 0; repeat < 2; ++repeat) {
    record_ += static_cast<char>(column);
    record_ += '\xC0';
  }
  record_ += '\x42';
  record_ += '\x01';
  AppendUInt16(record_, static_cast<std::uint16_t>(aggregate + 3));
  Record(kFormulaRecord);
}

void TTabuloXLSWriter::EndSheet(int rows, int columns) {
  sheets_.back().Rows = static_cast<std::uint32_t>(rows);
  sheets_.back().Columns = static_cast<std::uint16_t>(columns);
  record_.clear();
  AppendUInt16(record_, 0x06B6);
  AppendUInt16(record_, 0);
  AppendUInt16(record_, 0);
  AppendUInt32(record_, 0);
  AppendUInt16(record_, 0);
  AppendUInt16(record_, 0);
  AppendUInt32(record_, 0);
  Record(kWindow2Record);
  record_ = Bytes({3, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  Record(kSelectionRecord);
  record_.clear();
  Record(kEofRecord);
}

void TTabuloXLSWriter::Finish() {
  // The deferred globals: user styles, the sheet list, COUNTRY and the SST.
  // The sheet list needs the size of the whole block, so its place is kept
  // and filled once the SST is in; the string table is freed before the
  // block is inserted, so the two never stand beside a copy of each other.
  std::string block;
  pools_.AppendRecords(block);
  const std::size_t sheet_list_at = block.size();
  std::size_t sheet_list_size = 0;
  for (const TSheetPlace& sheet : sheets_) {
    sheet_list_size += 4 + 8 + (FitsCompressed(sheet.Title) ? 1 : 2) * sheet.Title.size();
  }
  block.append(sheet_list_size, '\0');
  std::string country;
  AppendUInt16(country, 1);
  AppendUInt16(country, 1);
  AppendRecord(block, kCountryRecord, country);
  shared_strings_.AppendRecords(block);
  shared_strings_.Clear();
  const std::int64_t inserted = static_cast<std::int64_t>(block.size());
  std::string sheet_list;
  for (const TSheetPlace& sheet : sheets_) {
    std::string body;
    AppendUInt32(body, static_cast<std::uint32_t>(sheet.BofOffset + inserted));
    AppendUInt16(body, 0);
    AppendString8(body, sheet.Title);
    AppendRecord(sheet_list, kBoundSheetRecord, body);
  }
  assert(sheet_list.size() == sheet_list_size);
  block.replace(sheet_list_at, sheet_list.size(), sheet_list);
  Stream().Insert(insert_pos_, block);

  for (const TSheetPlace& sheet : sheets_) {
    std::string dimensions;
    AppendUInt32(dimensions, 0);
    AppendUInt32(dimensions, sheet.Rows);
    AppendUInt16(dimensions, 0);
    AppendUInt16(dimensions, sheet.Columns);
    Stream().Seek(sheet.DimensionsPos + inserted + 4);
    Stream().Write(dimensions);
    if (!sheet.Widened) continue;
    for (std::size_t index = 0; index < sheet.Widths.size(); ++index) {
      std::string width;
      AppendUInt16(width, ColumnWidthUnits(sheet.Widths[index]));
      // The width follows the record's header and its two column numbers.
      Stream().Seek(sheet.ColInfoPos + inserted + static_cast<std::int64_t>(index * kColInfoRecordSize) + 8);
      Stream().Write(width);
    }
  }
  Stream().Seek(Stream().Size());
  record_.clear();
  Record(kEofRecord);
  WriteCompoundDocument(Stream());
  sheets_.clear();
}

}  // namespace velmora
