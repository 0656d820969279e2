#include "engine/keyed_sections.h"
#include "formats/xls/tabulo_xls.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// True when text begins with prefix, letter case ignored.
bool HasPrefixText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

}  // namespace

void TTabuloXLS::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  ReadWidthSection(template_file, data_set, *this);
  Options.PageHeader = template_file.ReadString("XLS", "PageHeader", Options.PageHeader);
  Options.PageFooter = template_file.ReadString("XLS", "PageFooter", Options.PageFooter);
  Options.SetSheetTitle(template_file.ReadString("XLS", "SheetTitle", Options.SheetTitle()));
  const int strip_type = template_file.ReadInteger("XLS", "StripType", StripType);
  StripType = strip_type >= ssNone && strip_type <= ssRow ? static_cast<TxlsStripType>(strip_type) : ssNone;

  constexpr std::string_view kFieldPrefix = "XLS_FIELD_";
  constexpr std::string_view kOptionPrefix = "XLS_OPTION_";
  constexpr std::string_view kStylePrefix = "XLS_STYLE_";
  for (const std::string& section : template_file.SectionNames()) {
    if (HasPrefixText(section, kFieldPrefix)) {
      TxlsFieldFormat& format = FieldFormats.Add();
      format.SetDefault();
      format.FieldName = section.substr(kFieldPrefix.size());
      format.LoadFromIni(template_file, section);
    } else if (HasPrefixText(section, kOptionPrefix)) {
      const std::string_view area = std::string_view(section).substr(kOptionPrefix.size());
      TxlsFormat* target = SameText(area, "Header")      ? &Options.HeaderFormat
                           : SameText(area, "Caption")   ? &Options.CaptionsFormat
                           : SameText(area, "Aggregate") ? &Options.AggregateFormat
                           : SameText(area, "Footer")    ? &Options.FooterFormat
                                                         : nullptr;
      if (target != nullptr) target->LoadFromIni(template_file, section);
    } else if (HasPrefixText(section, kStylePrefix) && StripType != ssNone) {
      StripStyles.Add().LoadFromIni(template_file, section);
    }
  }
}

// The template sets no sheet and no width pass: the one sheet is written in order.
const TExportFormat kXLSFormat{0, "XLS", {"xls"}, &CreateExporterOf<TTabuloXLS>, &NeverReadsAhead};

}  // namespace velmora
