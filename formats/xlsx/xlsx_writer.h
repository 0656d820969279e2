#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tabulo_writer.h"
#include "formats/workbook/workbook_sink.h"
#include "formats/xlsx/xlsx_styles.h"
#include "formats/xlsx/zip_stream.h"

namespace velmora {

// The rows and columns one worksheet of an Office Open XML workbook holds.
constexpr int kMaxXlsxSheetRows = 1048576;
constexpr int kMaxXlsxSheetColumns = 16384;
// The deflate level of the package when the template names none.
constexpr int kDefaultXlsxCompressionLevel = 1;

// Writes an Office Open XML workbook (.xlsx) for the sheet runs of the
// workbook exporter, straight into the writer's stream: each worksheet part
// is deflated while its rows come (on a second thread), with no temporary
// file, so memory holds a few blocks, the styles and the sheet names whatever
// the number of rows. The parts that depend on the whole workbook (its sheet
// list and styles) follow the worksheets in the package. Texts are inline
// strings; numbers are written in their shortest exact form.
//
// Column widths go before a worksheet's rows. On a seekable output they stand
// in a reserved region of the worksheet that WidenColumns rewrites at the
// sheet's end (up to about 900 columns); on a pipe, and past that, the widths
// known at the sheet's first row are the ones it shows.
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
  // Honoured after the worksheet's first row only as said above.
  void WidenColumns(const std::vector<int>& widths) override;
  void WriteBlankCell(int row, int column, std::uint16_t xf) override;
  // Text that is not UTF-8 is repaired (U+FFFD) as it is stored.
  void WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) override;
  void WriteNumberCell(int row, int column, std::uint16_t xf, double value) override;
  void WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) override;
  void WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate, std::uint16_t xf,
                          const TFormulaResult& result) override;
  void EndSheet(int rows, int columns) override;
  void Finish() override;
  // The archive's size with the cells written so far compressed.
  std::int64_t BytesWritten() const override;

  // The deflate level, 0 to 9; set before WriteWorkbookGlobals.
  void SetCompressionLevel(int level) { level_ = level; }

 private:
  // Opens the sheet's data once, after the columns, and the cell's row, and
  // appends "<c" with the cell's reference when it does not follow the
  // previous cell and its style unless it is the default one.
  void OpenCell(int row, int column, std::uint16_t xf);
  void OpenSheetData();
  // The <cols> element of widths; widest: the longest form any widths take.
  std::string ColumnsText(const std::vector<int>& widths, bool widest) const;
  void WriteSmallPart(std::string_view name, std::string_view content);

  TxlsStylePools pools_;
  TXlsxStyleSheet styles_;
  int level_ = kDefaultXlsxCompressionLevel;
  std::unique_ptr<TZipStream> zip_;
  std::vector<std::string> sheet_names_;  // UTF-8, in sheet order
  // The current worksheet.
  bool in_sheet_ = false;
  bool in_data_ = false;  // <sheetData> opened: the columns are written
  int first_column_ = 0;
  std::vector<int> widths_;
  std::size_t cols_region_ = 0;  // bytes reserved for <cols>, 0 when it cannot be rewritten
  std::string page_header_;
  std::string page_footer_;
  int open_row_ = -1;    // the row element open, -1 none
  int next_column_ = 0;  // the column a cell without reference stands in
  std::string reference_;
};

}  // namespace velmora
