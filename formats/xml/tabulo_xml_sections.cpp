// The template section of the XML exporter.
#include "formats/xml/tabulo_xml.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

// The encoding is checked before the result is opened.
bool XMLReadsAhead(const TIniFile& template_file) {
  TXMLOptions::Read(template_file, TXMLOptions());
  return false;
}

}  // namespace

TXMLOptions TXMLOptions::Read(const TIniFile& template_file, const TXMLOptions& current) {
  TXMLOptions options = current;
  options.StandAlone = template_file.ReadBool("XML", "Standalone", options.StandAlone);
  options.Encoding = template_file.ReadString("XML", "Encoding", options.Encoding);
  // Refused while the template is read, before the item's file is touched.
  if (!options.Encoding.empty()) TTabuloXML::CreateEncoder(options.Encoding);
  return options;
}

void TTabuloXML::ReadFormatSections(const TIniFile& template_file, const TDataSet&) {
  Options = TXMLOptions::Read(template_file, Options);
}

const TExportFormat kXMLFormat{5, "XML", {"xml"}, &CreateExporterOf<TTabuloXML>, &XMLReadsAhead};

}  // namespace velmora
