#include "console/exporter_factory.h"

#include "console/output_choice.h"
#include "formats/dbf/tabulo_dbf.h"
#include "formats/html/tabulo_html.h"
#include "formats/json/tabulo_json.h"
#include "formats/latex/tabulo_latex.h"
#include "formats/pdf/tabulo_pdf.h"
#include "formats/rtf/tabulo_rtf.h"
#include "formats/sql/tabulo_sql.h"
#include "formats/text/tabulo_ascii.h"
#include "formats/xls/tabulo_xls.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "formats/xml/tabulo_xml.h"
#include "platform/error.h"

namespace velmora {

namespace {

using TExporterCreator = std::unique_ptr<TTabuloText> (*)();

// An exporter class constructed with fixed arguments (none for most formats).
template <class Exporter, auto... Arguments>
std::unique_ptr<TTabuloText> Create() {
  return std::make_unique<Exporter>(Arguments...);
}

struct TExporterEntry {
  int ExportType;
  TExporterCreator Create;
};

// One line per export type that has an exporter; a new format adds its line here.
constexpr TExporterEntry kExporters[] = {
    {xtXLS, &Create<TTabuloXLS>},
    {xtDOC, &Create<TTabuloRTF>},
    {xtRTF, &Create<TTabuloRTF>},
    {xtTXT, &Create<TTabuloASCII, etTXT>},
    {xtCSV, &Create<TTabuloASCII, etCSV>},
    {xtDIF, &Create<TTabuloASCII, etDIF>},
    {xtSYLK, &Create<TTabuloASCII, etSYLK>},
    {xtHTML, &Create<TTabuloHTML>},
    {xtPDF, &Create<TTabuloPDF>},
    {xtXML, &Create<TTabuloXML>},
    {xtDBF, &Create<TTabuloDBF>},
    {xtTeX, &Create<TTabuloLaTeX>},
    {xtSQL, &Create<TTabuloSQL>},
    {xtJSON, &Create<TTabuloJSON>},
    {xtXLSX, &Create<TTabuloXLSX>},
};

}  // namespace

std::unique_ptr<TTabuloText> CreateExporter(int export_type) {
  for (const TExporterEntry& entry : kExporters) {
    if (entry.ExportType == export_type) return entry.Create();
  }
  throw EVelmoraError(
      Format("Export type %d (%s) is not available", export_type, ExportTypeName(export_type)));
}

}  // namespace velmora
