#pragma once

#include "engine/export_format.h"
#include "formats/workbook/tabulo_workbook.h"

namespace velmora {

// The workbook exporter writing an Office Open XML workbook (.xlsx): the same
// sheets, template sections, styles, strips, aggregates and typed cells as the
// binary workbook, with worksheets of 1,048,576 rows and 16,384 columns.
// Rows stream to the file; memory holds the styles and one row.
class TTabuloXLSX : public TTabuloWorkbook {
 public:
  // The package is put together under the temporary directory and copied in order.
  bool SeeksBack() const override { return false; }
  TxlsSinkClass GetSinkClass() const override;
};

// The registry row of the format.
extern const TExportFormat kXLSXFormat;

}  // namespace velmora
