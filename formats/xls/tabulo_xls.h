#pragma once

#include "engine/export_format.h"
#include "formats/workbook/tabulo_workbook.h"

namespace velmora {

// The workbook exporter writing a BIFF8 workbook (.xls) in a compound
// document: worksheets of 65,536 rows and 256 columns.
class TTabuloXLS : public TTabuloWorkbook {
 public:
  TxlsSinkClass GetSinkClass() const override;
  // The column records are written with the sheets, once their rows are.
  bool WidensAfterWriting(const std::string&) const override { return true; }
};

// The registry row of the format.
extern const TExportFormat kXLSFormat;

}  // namespace velmora
