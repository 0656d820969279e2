#include "formats/xls/biff_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "formats/xls/biff_records.h"
#include "formats/xls/compound_document.h"
#include "formats/xls/xls_spool.h"
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
  for (const std::uint16_t value : {120, 120, 23820, 15720, 0x0038, 0, 0, 1, 600})
    AppendUInt16(window1, value);
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

TTabuloXLSWriter::~TTabuloXLSWriter() = default;

TOutputStream& TTabuloXLSWriter::Out() {
  return sheets_ ? *sheets_ : Stream();
}

void TTabuloXLSWriter::Record(std::uint16_t id) {
  const auto size = static_cast<std::uint16_t>(record_.size());
  const char head[4] = {static_cast<char>(id & 0xFF), static_cast<char>(id >> 8),
                        static_cast<char>(size & 0xFF), static_cast<char>(size >> 8)};
  TOutputStream& out = Out();
  out.Write(head, sizeof head);
  out.Write(record_);
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
  // The worksheets wait in a temporary file until the globals before them
  // are complete.
  sheets_ = CreateTemporaryStream("xls-sheets");
}

std::int64_t TTabuloXLSWriter::BytesWritten() const {
  const std::int64_t records =
      Stream().Position() + (sheets_ != nullptr ? sheets_->Position() : 0) + shared_strings_.RecordsSize();
  // A 4-byte allocation entry per 512-byte sector (and the sectors listing
  // the allocation table's sectors), the last sector's padding, and the
  // header and directory sectors.
  return records + records / 127 + 4096;
}

void TTabuloXLSWriter::BeginSheet(std::u16string title, std::string_view page_header,
                                  std::string_view page_footer, int first_column,
                                  const std::vector<int>& widths) {
  TSheetPlace& sheet = sheets_list_.emplace_back();
  sheet.Title = std::move(title);
  sheet.BofOffset = Out().Position();
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
  for (const auto& [id, text] :
       {std::pair{kHeaderRecord, page_header}, std::pair{kFooterRecord, page_footer}}) {
    record_.clear();
    if (!text.empty()) AppendString16(record_, CutUnits(Utf8ToUtf16(text), kMaxHeaderUnits));
    Record(id);
  }
  WordRecord(kHCenterRecord, 0);
  WordRecord(kVCenterRecord, 0);
  WordRecord(kDefColWidthRecord, 8);
  sheet.ColInfoPos = Out().Position();
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
  sheet.DimensionsPos = Out().Position();
  record_.assign(14, '\0');
  Record(kDimensionsRecord);
}

void TTabuloXLSWriter::WidenColumns(const std::vector<int>& widths) {
  TSheetPlace& sheet = sheets_list_.back();
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

namespace {

// A cell record of a fixed size, built in place: the record head, then row,
// column and XF, then the value's bytes.
template <std::size_t kValueSize>
struct TCellRecord {
  TCellRecord(std::uint16_t id, int row, int column, std::uint16_t xf) {
    Put(0, id);
    Put(2, static_cast<std::uint16_t>(6 + kValueSize));
    Put(4, static_cast<std::uint16_t>(row));
    Put(6, static_cast<std::uint16_t>(column));
    Put(8, xf);
  }
  void Put(std::size_t offset, std::uint16_t value) {
    Bytes[offset] = static_cast<char>(value & 0xFF);
    Bytes[offset + 1] = static_cast<char>(value >> 8);
  }
  char* Value() { return Bytes + 10; }
  char Bytes[10 + kValueSize];
};

}  // namespace

void TTabuloXLSWriter::WriteBlankCell(int row, int column, std::uint16_t xf) {
  TCellRecord<0> cell(kBlankRecord, row, column, xf);
  Out().Write(cell.Bytes, sizeof cell.Bytes);
}

void TTabuloXLSWriter::WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) {
  if (text.empty()) return;
  // Counting UTF-16 units needs the conversion only for long texts.
  if (text.size() > kMaxCellUnits && Utf8ToUtf16(text).size() > kMaxCellUnits) {
    throw EVelmoraError(
        Format("Cell %s: String length more than 32767 characters", CellName(row, column).c_str()));
  }
  const std::uint32_t index = SharedStringIndex(column, text);
  TCellRecord<4> cell(kLabelSstRecord, row, column, xf);
  cell.Put(10, static_cast<std::uint16_t>(index & 0xFFFF));
  cell.Put(12, static_cast<std::uint16_t>(index >> 16));
  Out().Write(cell.Bytes, sizeof cell.Bytes);
}

std::uint32_t TTabuloXLSWriter::SharedStringIndex(int column, std::string_view text) {
  // A column whose texts hardly ever repeat (a key, a note per row) would
  // only fill the table's index and push the repeating texts of the other
  // columns out of it: its texts get their entries unlooked for, and the
  // column is tried again now and then.
  constexpr std::uint32_t kTrialTexts = 16384;
  constexpr std::uint32_t kUnlookedTexts = 65536;
  if (static_cast<std::size_t>(column) >= repeats_.size())
    repeats_.resize(static_cast<std::size_t>(column) + 1);
  TColumnRepeats& repeats = repeats_[static_cast<std::size_t>(column)];
  if (repeats.Unlooked > 0) {
    --repeats.Unlooked;
    return shared_strings_.AddEntry(text);
  }
  const std::uint32_t count = shared_strings_.Count();
  const std::uint32_t index = shared_strings_.Add(text);
  if (index < count) ++repeats.Repeated;
  if (++repeats.Tried == kTrialTexts) {
    // Fewer than one text in a hundred was there already.
    if (repeats.Repeated * 100 < kTrialTexts) repeats.Unlooked = kUnlookedTexts;
    repeats.Tried = 0;
    repeats.Repeated = 0;
  }
  return index;
}

void TTabuloXLSWriter::WriteNumberCell(int row, int column, std::uint16_t xf, double value) {
  TCellRecord<8> cell(kNumberRecord, row, column, xf);
  // Little-endian, as every number of the file.
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int byte = 0; byte < 8; ++byte) cell.Value()[byte] = static_cast<char>(bits >> (8 * byte) & 0xFF);
  Out().Write(cell.Bytes, sizeof cell.Bytes);
}

void TTabuloXLSWriter::WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) {
  TCellRecord<2> cell(kBoolErrRecord, row, column, xf);
  cell.Value()[0] = static_cast<char>(value ? 1 : 0);
  cell.Value()[1] = '\0';
  Out().Write(cell.Bytes, sizeof cell.Bytes);
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
  sheets_list_.back().Rows = static_cast<std::uint32_t>(rows);
  sheets_list_.back().Columns = static_cast<std::uint16_t>(columns);
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
  // The worksheets' places that were left open.
  for (const TSheetPlace& sheet : sheets_list_) {
    std::string dimensions;
    AppendUInt32(dimensions, 0);
    AppendUInt32(dimensions, sheet.Rows);
    AppendUInt16(dimensions, 0);
    AppendUInt16(dimensions, sheet.Columns);
    sheets_->Seek(sheet.DimensionsPos + 4);
    sheets_->Write(dimensions);
    if (!sheet.Widened) continue;
    for (std::size_t index = 0; index < sheet.Widths.size(); ++index) {
      std::string width;
      AppendUInt16(width, ColumnWidthUnits(sheet.Widths[index]));
      // The width follows the record's header and its two column numbers.
      sheets_->Seek(sheet.ColInfoPos + static_cast<std::int64_t>(index * kColInfoRecordSize) + 8);
      sheets_->Write(width);
    }
  }
  const std::int64_t sheets_size = sheets_->Size();
  sheets_->Seek(sheets_size);

  // The rest of the globals: user styles, the sheet list, COUNTRY, the SST
  // and EOF. The sheet list gives each worksheet's offset, after the whole
  // globals block.
  std::string block;
  pools_.AppendRecords(block);
  std::size_t sheet_list_size = 0;
  for (const TSheetPlace& sheet : sheets_list_) {
    sheet_list_size += 4 + 8 + (FitsCompressed(sheet.Title) ? 1 : 2) * sheet.Title.size();
  }
  constexpr std::int64_t kCountrySize = 4 + 4;
  constexpr std::int64_t kEofSize = 4;
  const std::int64_t globals_size = Stream().Position() - kCompoundHeaderSize +
                                    static_cast<std::int64_t>(block.size() + sheet_list_size) + kCountrySize +
                                    shared_strings_.RecordsSize() + kEofSize;
  for (const TSheetPlace& sheet : sheets_list_) {
    std::string body;
    AppendUInt32(body, static_cast<std::uint32_t>(globals_size + sheet.BofOffset));
    AppendUInt16(body, 0);
    AppendString8(body, sheet.Title);
    AppendRecord(block, kBoundSheetRecord, body);
  }
  std::string country;
  AppendUInt16(country, 1);
  AppendUInt16(country, 1);
  AppendRecord(block, kCountryRecord, country);
  Stream().Write(block);
  shared_strings_.WriteRecords(Stream());
  shared_strings_.Clear();
  Stream().Write(std::string_view("\x0A\x00\x00\x00", kEofSize));  // EOF
  assert(Stream().Position() - kCompoundHeaderSize == globals_size);

  Stream().WriteFrom(*sheets_, 0, sheets_size);
  sheets_.reset();
  record_.clear();
  Record(kEofRecord);
  WriteCompoundDocument(Stream());
  sheets_list_.clear();
}

}  // namespace velmora
