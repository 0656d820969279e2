#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tabulo_writer.h"
#include "formats/workbook/workbook_sink.h"
#include "platform/signal_cleanup.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace velmora {

// The rows and columns one worksheet of an Office Open XML workbook holds.
constexpr int kMaxXlsxSheetRows = 1048576;
constexpr int kMaxXlsxSheetColumns = 16384;

// Writes an Office Open XML workbook (.xlsx) for the sheet runs of the
// workbook exporter. The spreadsheet library writes in constant-memory mode:
// each row goes to a temporary file as soon as the next one starts, so memory
// holds one row and the styles. The library writes the finished package into
// a private temporary file, which Finish copies into the writer's stream (a
// pipe or the output file set's file alike) and removes.
class TTabuloXLSXWriter : public TxlsWorkbookSink {
 public:
  TTabuloXLSXWriter(TTabulo& owner, TOutputStream& stream);
  ~TTabuloXLSXWriter() override;

  int MaxSheetRows() const override { return kMaxXlsxSheetRows; }
  int MaxSheetColumns() const override { return kMaxXlsxSheetColumns; }
  TxlsStylePools& Pools() override { return pools_; }

  void WriteWorkbookGlobals(const TxlsFont& data_font) override;
  // Page header and footer are cut to 255 characters, widths to 255.
  void BeginSheet(std::u16string title, std::string_view page_header, std::string_view page_footer,
                  int first_column, const std::vector<int>& widths) override;
  void WidenColumns(const std::vector<int>& widths) override;
  void WriteBlankCell(int row, int column, std::uint16_t xf) override;
  // Text that is not UTF-8 is repaired (U+FFFD) before it is stored.
  void WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) override;
  void WriteNumberCell(int row, int column, std::uint16_t xf, double value) override;
  void WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) override;
  void WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate, std::uint16_t xf,
                          const TFormulaResult& result) override;
  void EndSheet(int, int) override {}
  void Finish() override;

 private:
  // The library's format of an XF number, made on first use.
  lxw_format* CellFormat(std::uint16_t xf);
  // Raises with the library's message when a call failed.
  void Check(int error, int row, int column) const;
  void Discard();

  TxlsStylePools pools_;
  TxlsFont data_font_;
  lxw_workbook* workbook_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::string package_path_;  // the library's output, copied into the stream by Finish
  TSignalCleanupPath package_cleanup_;
  std::map<std::uint16_t, lxw_format*> formats_;
  std::string text_;
  int first_column_ = 0;  // of the current worksheet's widths
};

}  // namespace velmora
