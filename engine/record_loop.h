#pragma once

#include "engine/dataset.h"
#include "engine/tabulo_row.h"

namespace velmora {

// The steps one pass of the record loop (TTabulo::RunRecordLoop) takes from
// its caller: a plain export passes its own overridable steps, a workbook sheet
// its blocks, cells and sheet breaks. The loop itself walks the record window
// and fires the export's OnSkippedRecord, OnStopExport, OnBeforeExportRow and
// OnExportedRecord, so every format counts and stops the same way.
class TRecordSteps {
 public:
  virtual ~TRecordSteps() = default;

  // The rows before the records (the caption row), before the walk starts.
  virtual void LeadingRows() = 0;
  // Runs once the walk stands where the window starts, before it skips.
  virtual void WalkStarted() {}
  // The end of the data; the base: no data set, or its Eof.
  virtual bool AtEnd(const TDataSet* data_set) const { return data_set == nullptr || data_set->Eof(); }
  // The row the record's values fill, handed to OnBeforeExportRow.
  virtual TTabuloRow& Row() = 0;
  virtual void FillRow() = 0;
  // A further say on a row that OnBeforeExportRow accepted.
  virtual bool AcceptRow(TTabuloRow&) { return true; }
  // Moves to a new sheet before an accepted row when the current one is full.
  virtual void BreakIfFull() {}
  virtual void WriteDataRow() = 0;
  // Counts the row just written and returns the number OnExportedRecord
  // reports; the base reports the record's number in the window.
  virtual int CountExported(int record_number) { return record_number; }
  // After OnExportedRecord, with the record's number in the window.
  virtual void RecordExported(int) {}
  // After the records, also when OnStopExport ended them early.
  virtual void AfterRecords() {}
};

}  // namespace velmora
