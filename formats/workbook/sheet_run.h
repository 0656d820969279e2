#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/record_loop.h"
#include "formats/workbook/aggregate_stats.h"
#include "formats/workbook/tabulo_workbook.h"

namespace velmora {

// One sheet's run: its header block, the records through the engine's record
// loop (a full sheet breaks to a continuation sheet inside it), the aggregate
// row and the footer block.
class TTabuloWorkbook::TSheetRun : private TRecordSteps {
 public:
  TSheetRun(TTabuloWorkbook& owner, TxlsWorkbookSink& writer, TxlsSheet& sheet, int index)
      : owner_(owner), writer_(writer), sheet_(sheet), index_(index), columns_(sheet.Columns()) {}

  // Writes the sheet and its continuation sheets; false when the export was aborted.
  bool Run();
  // The records of the sheet's window passed.
  int RecordCounter() const { return record_counter_; }

 private:
  // The steps of the record loop.
  void LeadingRows() override;
  void WalkStarted() override;
  TTabuloRow& Row() override { return row_; }
  void FillRow() override;
  bool AcceptRow(TTabuloRow& row) override;
  void BreakIfFull() override { EnsureRowRoom(); }
  bool AtEnd(const TDataSet* data_set) const override {
    return TRecordSteps::AtEnd(data_set) || owner_.PartIsFull();
  }
  void WriteDataRow() override {
    DataRow();
    owner_.PartRecordWritten();
  }
  int CountExported(int) override { return ++owner_.total_records_; }
  void RecordExported(int record_number) override;
  void AfterRecords() override { in_data_ = false; }

  void RegisterXFs();
  void StartPart();
  void EndPart();
  // Measures a data cell written after the rows the width pass read.
  void MeasureCell(int column_index, const TCellValue& value);
  // Moves to a continuation sheet when the current one is full.
  void EnsureRowRoom();
  void TextBlock(const TStringList& lines, int rows, const TxlsFormat& style, const TxlsCellTextEvent& event);
  void CaptionRow();
  void BeforeDataCells();
  void DataRow();
  void DataCell(int column_index, const TCellValue& value);
  void NumberCell(int column_index, std::uint16_t xf, const TCellValue& value);
  void MomentCell(int column_index, std::uint16_t xf, const TCellValue& value);
  std::uint16_t DataCellXF(int column_index);
  void AggregateRow();
  void StringCell(int column, std::uint16_t xf, std::string_view text) {
    writer_.WriteStringCell(row_count_, column, xf, text);
  }
  std::uint16_t XF(std::string_view format, const TxlsFormat* style) {
    return writer_.Pools().GetXFIndex(format, style, sheet_.Options.DataFormat.Font);
  }
  int DataColumn(int column_index) const { return sheet_.StartDataCol + column_index; }

  TTabuloWorkbook& owner_;
  TxlsWorkbookSink& writer_;
  TxlsSheet& sheet_;
  const int index_;
  TTabuloColumns& columns_;
  TTabuloRow row_;
  int row_count_ = 0;
  int col_count_ = 0;
  int part_ = 1;
  int data_part_ = 0;        // the part the data rows began on
  int first_data_row_ = 0;   // on the current part
  long long data_rows_ = 0;  // written over all parts
  int record_counter_ = 0;   // the sheet's record number in its window
  bool in_data_ = false;
  std::vector<std::string> formats_;  // number format code per column
  std::vector<std::uint16_t> field_xfs_;
  std::vector<std::vector<std::uint16_t>> strip_xfs_;  // [strip][column]
  std::vector<TAggregateStats> stats_;
  // What measuring a moment column learnt: the longest display text measured
  // and the bound of the texts with a fraction of so many digits.
  struct TMomentMeasure {
    bool DigitsOnly = false;
    std::size_t Longest = 0;
    std::size_t FractionDigits = 0;
    std::size_t Bound = 0;
  };
  std::vector<TMomentMeasure> moment_measures_;
  std::vector<bool> narrow_numbers_;  // per column: see ShowsNarrowNumbers
  // Per column of fixed shapes (see ShowsFixedShapes): the number shapes measured.
  std::vector<std::vector<bool>> number_shapes_;
  std::string text_;
  std::string given_text_;        // a handler's text of the cell being written
  std::vector<int> part_widths_;  // the column widths the current part began with
};

}  // namespace velmora
