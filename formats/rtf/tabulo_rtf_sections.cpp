// The template sections of the RTF exporter: what a DOC or RTF item reads
// besides the general sections.
#include <climits>

#include "engine/keyed_sections.h"
#include "formats/rtf/tabulo_rtf.h"
#include "platform/ini_file.h"

namespace velmora {

void TTabuloRTF::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  // Read first: a refused key leaves WIDTH, ALIGN and the options as they were.
  const TRTFOptions options = TRTFOptions::Read(template_file, Options);
  ReadWidthSection(template_file, data_set, *this);
  ReadAlignSection(template_file, data_set, *this);
  Options = options;
}

TRTFOptions TRTFOptions::Read(const TIniFile& template_file, const TRTFOptions& current) {
  TRTFOptions options = current;
  ReadFont(options.DefaultFont, options.DefaultFont, template_file, "RTF_DefaultFont");
  ReadFont(options.HeaderFont, options.HeaderFont, template_file, "RTF_HeaderFont");
  const int orientation = template_file.ReadInteger("RTF", "PageOrientation", INT_MIN);
  if (orientation == poPortrait || orientation == poLandscape) {
    options.PageOrientation = static_cast<TTabuloPageOrientation>(orientation);
    options.OrientationGiven = true;
  }
  options.BorderWidth =
      ReadBoundedInteger(template_file, "RTF", "BorderWidth", options.BorderWidth, 0, kRtfMaxBorderWidth);
  options.PageNumbers = template_file.ReadBool("RTF", "PageNumbers", options.PageNumbers);
  // A font size the template names is kept, unless it names the smallest too.
  const bool size_given = template_file.ReadInteger("RTF_DefaultFont", "FontSize", INT_MIN) != INT_MIN;
  options.MinFontSize = ReadBoundedInteger(template_file, "RTF", "MinFontSize",
                                           size_given ? options.DefaultFont.Size : options.MinFontSize, 1, 1638);
  return options;
}

const TExportFormat kDOCFormat{1, "DOC", {"doc"}, &CreateExporterOf<TTabuloRTF>, &NeverReadsAhead};
const TExportFormat kRTFFormat{2, "RTF", {"rtf"}, &CreateExporterOf<TTabuloRTF>, &NeverReadsAhead};

}  // namespace velmora
