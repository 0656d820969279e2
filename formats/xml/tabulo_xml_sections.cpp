// The template section of the XML exporter.
#include "formats/xml/tabulo_xml.h"
#include "platform/ini_file.h"

namespace velmora {

void TTabuloXML::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  Options.StandAlone = template_file.ReadBool("XML", "Standalone", Options.StandAlone);
  Options.Encoding = template_file.ReadString("XML", "Encoding", Options.Encoding);
  // Refused while the template is read, before the item's file is touched.
  if (!Options.Encoding.empty()) CreateEncoder(Options.Encoding);
}

const TExportFormat kXMLFormat{5, "XML", {"xml"}, &CreateExporterOf<TTabuloXML>, &NeverReadsAhead};

}  // namespace velmora
