#pragma once

#include <memory>
#include <vector>

#include "engine/tabulo.h"
#include "formats/workbook/workbook_options.h"
#include "formats/workbook/workbook_sheet.h"
#include "formats/workbook/workbook_sink.h"

namespace velmora {

// What the workbook formats share: one worksheet per exported sheet of Sheets,
// or one made from the exporter's own settings when no sheet is defined, each
// written by a sheet run through the format's sink. Numbers, dates and
// booleans become typed cells; a number a double cannot carry exactly, a date
// before March 1900 and an unreadable date keep their text. A format names
// its sink (GetSinkClass); the writer of an Execute is that sink.
class TTabuloWorkbook : public TTabuloFormatText {
 public:
  TTabuloWorkbook();
  ~TTabuloWorkbook() override;

  TXLSOptions Options;
  TxlsFieldFormats FieldFormats;
  TxlsFormats StripStyles;
  TxlsStripType StripType = ssNone;
  std::vector<std::unique_ptr<TxlsSheet>> Sheets;
  int HeaderRows = 0;
  int StartDataCol = 0;
  int FooterRows = 0;

  TxlsExportedRecordEvent OnAdvancedExportedRecord;
  TxlsGetExportTextEvent OnAdvancedGetExportText;
  TxlsBeforeExportRowEvent OnAdvancedBeforeExportRow;
  TxlsCellTextEvent OnGetHeaderParams;
  TxlsCaptionEvent OnGetCaptionParams;
  TxlsCellTextEvent OnGetBeforeDataParams;
  TxlsCellTextEvent OnGetDataParams;  // the text is the cell's number format code
  TxlsAggregateEvent OnGetAggregateParams;
  TxlsCellTextEvent OnGetFooterParams;

  // A new sheet titled "Sheet N", N the number of sheets after adding it.
  TxlsSheet& AddSheet();

  unsigned PublishedSettings() const override {
    return TTabuloFormatText::PublishedSettings() | psColumnsWidth;
  }
  // WIDTH, then the workbook's own sections as TXLSSectionOptions::Read; a
  // refused template changes no option.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;
  // Every sheet reads its data set from the start, and a sheet with computed
  // widths reads it ahead.
  bool MovesBack() const override;
  // Sheets size their columns by their content: a streamed result keeps its
  // first rows for the width pass.
  int ContentWidthCap() const override { return kSheetWidthCap; }
  // Raises "Result file name not present" for an empty FileName.
  void Execute() override;
  // The sink the format writes its workbook with.
  virtual TxlsSinkClass GetSinkClass() const = 0;

 protected:
  void RunExport() override;
  std::unique_ptr<TTabuloWriter> CreateWriter(TOutputStream& stream) final;

 private:
  class TSheetRun;
  std::unique_ptr<TxlsSheet> TemporarySheet();
  // Refuses a sheet that cannot be exported (more than max_columns columns)
  // and builds its columns.
  void CheckSheet(TxlsSheet& sheet, int max_columns);
  // The display formats of number columns the template left at the defaults.
  static void UseSheetNumberFormats(TxlsSheet& sheet);
  // The width pass of a sheet's columns.
  void MeasureColumns(TxlsSheet& sheet, TColumnSettings& settings);
  TxlsWorkbookSink& Sink() const;

  TxlsWorkbookSink* sink_ = nullptr;  // the writer of the running Execute
  int total_records_ = 0;
};

}  // namespace velmora
