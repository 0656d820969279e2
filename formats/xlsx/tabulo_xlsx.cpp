#include "formats/xlsx/tabulo_xlsx.h"

#include "formats/xlsx/xlsx_writer.h"

namespace velmora {

TTabuloWriterClass TTabuloXLSX::GetWriterClass() const { return &CreateWriterOf<TTabuloXLSXWriter>; }

const TExportFormat kXLSXFormat{13, "XLSX", {"lsx"}, &CreateExporterOf<TTabuloXLSX>, &NeverReadsAhead};

}  // namespace velmora
