// The template section of the JSON exporter: what a JSON or JSON Lines item
// reads besides the general sections.
#include "formats/json/tabulo_json.h"
#include "platform/ini_file.h"

namespace velmora {

TJSONOptions TJSONOptions::Read(const TIniFile& template_file, const TJSONOptions& current) {
  TJSONOptions options = current;
  options.Pretty = template_file.ReadBool("JSON", "Pretty", options.Pretty);
  options.DateFormat = template_file.ReadString("JSON", "DateFormat", options.DateFormat);
  return options;
}

void TTabuloJSON::SetJSONOptions(const TJSONOptions& options) {
  JSONPretty = options.Pretty;
  JSONDateFormat = options.DateFormat;
}

void TTabuloJSON::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  SetJSONOptions(TJSONOptions::Read(template_file, JSONOptions()));
}

// ".jsonl" ends in "onl". No setting makes the export read ahead.
const TExportFormat kJSONFormat{14, "JSON", {"son", "onl"}, &CreateExporterOf<TTabuloJSON>, &NeverReadsAhead};

}  // namespace velmora
