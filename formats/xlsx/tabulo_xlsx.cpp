#include "formats/xlsx/tabulo_xlsx.h"

#include "engine/keyed_sections.h"
#include "formats/xlsx/xlsx_writer.h"
#include "platform/file_system.h"

namespace velmora {

namespace {

constexpr std::string_view kSection = "XLSX";

int ReadCompressionLevel(const TIniFile& template_file, int current) {
  return ReadBoundedInteger(template_file, kSection, "CompressionLevel", current, 0, 9);
}

// The workbook's check, and a compression level out of range refused before
// any output.
bool XlsxReadsAhead(const TIniFile& template_file) {
  ReadCompressionLevel(template_file, kDefaultXlsxCompressionLevel);
  return WorkbookReadsAhead(template_file);
}

}  // namespace

TxlsSinkClass TTabuloXLSX::GetSinkClass() const { return &CreateSinkOf<TTabuloXLSXWriter>; }

bool TTabuloXLSX::WidensAfterWriting(const std::string& file_name) const {
  return IsRegularFileTarget(file_name);
}

void TTabuloXLSX::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  const int level = ReadCompressionLevel(template_file, CompressionLevel);
  TTabuloWorkbook::ReadFormatSections(template_file, data_set);
  CompressionLevel = level;
}

const TExportFormat kXLSXFormat{13, "XLSX", {"lsx"}, &CreateExporterOf<TTabuloXLSX>, &XlsxReadsAhead};

}  // namespace velmora
