#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "formats/xls/xls_styles.h"

namespace velmora {

class TTabuloXLS;
class TTabuloXLSWriter;

// One worksheet of a workbook: its source, settings and styles. Rows beyond
// what a worksheet holds continue on further sheets named like it with " (2)",
// " (3)" ..., each repeating the caption row.
class TxlsSheet {
 public:
  std::string Title;
  TXLSOptions Options;
  TxlsFieldFormats FieldFormats;
  TxlsFormats StripStyles;
  TxlsStripType StripType = ssNone;
  bool AutoCalcColWidth = false;
  TTabuloSource ExportSource = esDataSet;
  TDataSet* DataSet = nullptr;  // not owned
  TStringList ExportedFields;
  int HeaderRows = 0;  // 0: as many rows as Header lines
  int StartDataCol = 0;
  int FooterRows = 0;  // 0: as many rows as Footer lines
  TStringList Header;
  TStringList Captions;
  TStringList Footer;
  TStringList UserFormats;
  TStringList ColumnsWidth;
  TTabuloFormats Formats;
  bool AllowCaptions = true;
  bool GoToFirstRecord = true;
  int ExportRecCount = 0;
  int SkipRecCount = 0;
  bool CurrentRecordOnly = false;
  bool OnlyVisibleFields = true;
  bool Exported = true;

  TTabuloColumns& Columns() { return columns_; }

 private:
  TTabuloColumns columns_;
};

// Sender, sheet index, column, row, the style the handler may change, the text.
using TxlsCellTextEvent =
    std::function<void(TxlsSheet& sender, int sheet, int col, int row, TxlsFormat& format, std::string& text)>;
using TxlsCaptionEvent =
    std::function<void(TxlsSheet& sender, int sheet, int col, TxlsFormat& format, std::string& caption)>;
using TxlsAggregateEvent = std::function<void(TxlsSheet& sender, int sheet, int col, TxlsFormat& format,
                                              std::string& format_text, std::string& value)>;
using TxlsExportedRecordEvent = std::function<void(TTabulo& sender, int sheet, int rec_no)>;
using TxlsGetExportTextEvent = std::function<void(TxlsSheet& sender, int sheet, int col, std::string& text)>;
using TxlsBeforeExportRowEvent = std::function<void(TTabulo& sender, int sheet, TTabuloRow& row, bool& accept)>;

// The workbook exporter: one worksheet per exported sheet of Sheets, or one
// made from the exporter's own settings when no sheet is defined. Numbers,
// dates and booleans become typed cells; a number a double cannot carry
// exactly, a date before March 1900 and an unreadable date keep their text.
class TTabuloXLS : public TTabuloFormatText {
 public:
  TTabuloXLS();
  ~TTabuloXLS() override;

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
  // WIDTH, XLS, then the sections beginning with "XLS_" in file order.
  // Defined in tabulo_xls_sections.cpp.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;
  // Every sheet reads its data set from the start, and a sheet with computed
  // widths reads it ahead.
  bool MovesBack() const override;
  TTabuloWriterClass GetWriterClass() const override;
  // Raises "Result file name not present" for an empty FileName.
  void Execute() override;

 protected:
  void RunExport() override;

 private:
  class TSheetRun;
  std::unique_ptr<TxlsSheet> TemporarySheet();
  // Refuses a sheet that cannot be exported (more than max_columns columns)
  // and builds its columns.
  void CheckSheet(TxlsSheet& sheet, int max_columns);

  int total_records_ = 0;
};

// The registry row of the format.
extern const TExportFormat kXLSFormat;

}  // namespace velmora
