#pragma once

#include <functional>
#include <string>

#include "engine/tabulo.h"
#include "formats/workbook/sheet_widths.h"
#include "formats/xls/xls_styles.h"

namespace velmora {

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
  // What the width pass measured of the columns, for the rows written after
  // the rows it read.
  TSheetWidths& Widths() { return widths_; }
  // The records the sheet passes.
  TRecordWindow RecordWindow() const {
    return TRecordWindow{GoToFirstRecord, SkipRecCount, ExportRecCount, CurrentRecordOnly};
  }

 private:
  TTabuloColumns columns_;
  TSheetWidths widths_;
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

}  // namespace velmora
