// The template section of the JSON exporter: what a JSON or JSON Lines item
// reads besides the general sections.
#include "formats/json/tabulo_json.h"
#include "platform/ini_file.h"

namespace velmora {

void TTabuloJSON::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  JSONPretty = template_file.ReadBool("JSON", "Pretty", JSONPretty);
  JSONDateFormat = template_file.ReadString("JSON", "DateFormat", JSONDateFormat);
}

// ".jsonl" ends in "onl".
const TExportFormat kJSONFormat{14, "JSON", {"son", "onl"}, &CreateExporterOf<TTabuloJSON>, &NeverReadsAhead};

}  // namespace velmora
