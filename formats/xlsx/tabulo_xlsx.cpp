#include "formats/xlsx/tabulo_xlsx.h"

#include "formats/xlsx/xlsx_writer.h"

namespace velmora {

TxlsSinkClass TTabuloXLSX::GetSinkClass() const { return &CreateSinkOf<TTabuloXLSXWriter>; }

const TExportFormat kXLSXFormat{13, "XLSX", {"lsx"}, &CreateExporterOf<TTabuloXLSX>, &WorkbookReadsAhead};

}  // namespace velmora
