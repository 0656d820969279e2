#pragma once

#include "engine/export_format.h"
#include "formats/workbook/tabulo_workbook.h"

namespace velmora {

// The workbook exporter writing an Office Open XML workbook (.xlsx): the same
// sheets, template sections, styles, strips, aggregates and typed cells as the
// binary workbook, with worksheets of 1,048,576 rows and 16,384 columns.
// Rows stream into the package as they come; memory holds the styles, the
// sheet names and a few blocks of the worksheet being deflated.
class TTabuloXLSX : public TTabuloWorkbook {
 public:
  // The deflate level of the package, 0 (no compression) to 9.
  int CompressionLevel = 1;

  // The package is written front to back: a pipe takes it as it comes.
  bool SeeksBack() const override { return false; }
  TxlsSinkClass GetSinkClass() const override;
  // A worksheet's column widths are written over once its rows are, where
  // the output can be written over: a file, not a pipe or a device.
  bool WidensAfterWriting(const std::string& file_name) const override;
  // The workbook's sections, then [XLSX] CompressionLevel.
  void ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) override;
};

// The registry row of the format.
extern const TExportFormat kXLSXFormat;

}  // namespace velmora
