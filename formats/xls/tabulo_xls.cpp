#include "formats/xls/tabulo_xls.h"

#include "formats/xls/biff_writer.h"

namespace velmora {

TxlsSinkClass TTabuloXLS::GetSinkClass() const { return &CreateSinkOf<TTabuloXLSWriter>; }

const TExportFormat kXLSFormat{0, "XLS", {"xls"}, &CreateExporterOf<TTabuloXLS>, &WorkbookReadsAhead};

}  // namespace velmora
