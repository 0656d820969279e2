#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tabulo_writer.h"
#include "formats/xls/xls_pools.h"

namespace velmora {

// Cached result of an aggregate formula: a number, or the division-by-zero
// error of an average over no number.
struct TFormulaResult {
  double Value = 0;
  bool DivisionByZero = false;
};

// The writer of a workbook format, and what the sheet runs of the workbook
// exporter write cells through, so that one walk over sheets, strips,
// aggregates and continuation sheets serves every spreadsheet file format.
// Rows come in ascending order and the cells of a row left to right; styles
// are the XF numbers of Pools().
class TxlsWorkbookSink : public TTabuloWriter {
 public:
  using TTabuloWriter::TTabuloWriter;

  // The rows and columns one worksheet holds.
  virtual int MaxSheetRows() const = 0;
  virtual int MaxSheetColumns() const = 0;
  virtual TxlsStylePools& Pools() = 0;

  // Starts the workbook; data_font is the font of cells without a style.
  virtual void WriteWorkbookGlobals(const TxlsFont& data_font) = 0;
  // Starts a worksheet. title is the sheet's name as readers need it; widths
  // are in characters, for the columns from first_column on.
  virtual void BeginSheet(std::u16string title, std::string_view page_header, std::string_view page_footer,
                          int first_column, const std::vector<int>& widths) = 0;
  // Sets the widths of the current worksheet's columns again, as for
  // BeginSheet, once its rows showed wider values than the first rows did.
  virtual void WidenColumns(const std::vector<int>& widths) = 0;
  virtual void WriteBlankCell(int row, int column, std::uint16_t xf) = 0;
  // Writes nothing for an empty text. Raises "Cell R%d,C%d: String length
  // more than 32767 bytes" for a text longer than a cell holds.
  virtual void WriteStringCell(int row, int column, std::uint16_t xf, std::string_view text) = 0;
  virtual void WriteNumberCell(int row, int column, std::uint16_t xf, double value) = 0;
  virtual void WriteBooleanCell(int row, int column, std::uint16_t xf, bool value) = 0;
  // A SUM, AVERAGE, MIN or MAX formula (TxlsAggregate 1 to 4) over rows
  // first_row .. last_row of the cell's column, carrying its computed result.
  virtual void WriteAggregateCell(int row, int column, int first_row, int last_row, int aggregate,
                                  std::uint16_t xf, const TFormulaResult& result) = 0;
  // Ends the current worksheet; rows and columns are its used counts.
  virtual void EndSheet(int rows, int columns) = 0;
  // Completes the workbook in the output stream.
  virtual void Finish() = 0;
};

// Creates the sink of a workbook format for one Execute.
using TxlsSinkClass = std::unique_ptr<TxlsWorkbookSink> (*)(TTabulo& owner, TOutputStream& stream);
template <class Sink>
std::unique_ptr<TxlsWorkbookSink> CreateSinkOf(TTabulo& owner, TOutputStream& stream) {
  return std::make_unique<Sink>(owner, stream);
}

}  // namespace velmora
