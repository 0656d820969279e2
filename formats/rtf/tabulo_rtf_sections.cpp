// The template sections of the RTF exporter: what a DOC or RTF item reads
// besides the general sections.
#include "engine/keyed_sections.h"
#include "formats/rtf/tabulo_rtf.h"
#include "platform/ini_file.h"

namespace velmora {

void TTabuloRTF::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  ReadWidthSection(template_file, data_set, *this);
  ReadAlignSection(template_file, data_set, *this);
  ReadFont(Options.DefaultFont, Options.DefaultFont, template_file, "RTF_DefaultFont");
  ReadFont(Options.HeaderFont, Options.HeaderFont, template_file, "RTF_HeaderFont");
  // A number that names no orientation keeps the current one.
  const int orientation = template_file.ReadInteger("RTF", "PageOrientation", Options.PageOrientation);
  if (orientation == poPortrait || orientation == poLandscape) {
    Options.PageOrientation = static_cast<TTabuloPageOrientation>(orientation);
  }
}

const TExportFormat kDOCFormat{1, "DOC", {"doc"}, &CreateExporterOf<TTabuloRTF>, &NeverReadsAhead};
const TExportFormat kRTFFormat{2, "RTF", {"rtf"}, &CreateExporterOf<TTabuloRTF>, &NeverReadsAhead};

}  // namespace velmora
