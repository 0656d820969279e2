#include "formats/format_registry.h"

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
#include "platform/text_utils.h"

namespace velmora {

namespace {

// One line per format, in the order of their numbers; each row is defined in
// its format's folder.
constexpr const TExportFormat* kFormats[] = {
    &kXLSFormat,   // formats/xls
    &kDOCFormat,   // formats/rtf
    &kRTFFormat,   // formats/rtf
    &kHTMLFormat,  // formats/html
    &kTXTFormat,   // formats/text
    &kXMLFormat,   // formats/xml
    &kDBFFormat,   // formats/dbf
    &kPDFFormat,   // formats/pdf
    &kCSVFormat,   // formats/text
    &kDIFFormat,   // formats/text
    &kSYLKFormat,  // formats/text
    &kTeXFormat,   // formats/latex
    &kSQLFormat,   // formats/sql
    &kXLSXFormat,  // formats/xlsx
    &kJSONFormat,  // formats/json
};

}  // namespace

std::span<const TExportFormat* const> ExportFormats() {
  return kFormats;
}

const TExportFormat* FindExportFormat(int number) {
  for (const TExportFormat* format : kFormats) {
    if (format->Number == number) return format;
  }
  return nullptr;
}

const TExportFormat& ExportFormatOfFileName(std::string_view file_name) {
  const std::string_view ending = file_name.size() >= 3 ? file_name.substr(file_name.size() - 3) : file_name;
  for (const TExportFormat* format : kFormats) {
    for (const std::string_view candidate : format->Endings) {
      if (!candidate.empty() && SameText(ending, candidate)) return *format;
    }
  }
  return DefaultExportFormat();
}

const TExportFormat& DefaultExportFormat() {
  return kXLSFormat;
}

std::unique_ptr<TTabuloText> CreateExporter(int number) {
  const TExportFormat* format = FindExportFormat(number);
  if (format == nullptr) throw EVelmoraError(Format("Export type %d () is not available", number));
  return format->Create();
}

}  // namespace velmora
