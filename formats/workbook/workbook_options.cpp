#include "formats/workbook/workbook_options.h"

#include "engine/keyed_sections.h"
#include "formats/workbook/tabulo_workbook.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// True when text begins with prefix, letter case ignored.
bool HasPrefixText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// The style keys of a section onto style, then the checks of what they cannot carry.
void ReadStyle(const TIniFile& template_file, const std::string& section, TxlsFormat& style) {
  style.LoadFromIni(template_file, section);
  if (style.Font.Name.size() > kMaxFontNameBytes) {
    RefuseTemplateValue(template_file, section, "FontName",
                        Format("give a font name of at most %d bytes", static_cast<int>(kMaxFontNameBytes)));
  }
}

}  // namespace

TXLSSectionOptions TXLSSectionOptions::Read(const TIniFile& template_file, TXLSSectionOptions current) {
  TXLSSectionOptions options = std::move(current);
  TXLSOptions& page = options.Options;
  page.PageHeader = template_file.ReadString("XLS", "PageHeader", page.PageHeader);
  page.PageFooter = template_file.ReadString("XLS", "PageFooter", page.PageFooter);
  page.SetSheetTitle(template_file.ReadString("XLS", "SheetTitle", page.SheetTitle()));
  const int strip_type = template_file.ReadInteger("XLS", "StripType", options.StripType);
  options.StripType =
      strip_type >= ssNone && strip_type <= ssRow ? static_cast<TxlsStripType>(strip_type) : ssNone;

  constexpr std::string_view kFieldPrefix = "XLS_FIELD_";
  constexpr std::string_view kOptionPrefix = "XLS_OPTION_";
  constexpr std::string_view kStylePrefix = "XLS_STYLE_";
  for (const std::string& section : template_file.SectionNames()) {
    if (HasPrefixText(section, kFieldPrefix)) {
      TxlsFieldFormat& format = options.FieldFormats.Add();
      format.SetDefault();
      format.FieldName = section.substr(kFieldPrefix.size());
      ReadStyle(template_file, section, format);
    } else if (HasPrefixText(section, kOptionPrefix)) {
      const std::string_view area = std::string_view(section).substr(kOptionPrefix.size());
      TxlsFormat* target = SameText(area, "Header")      ? &page.HeaderFormat
                           : SameText(area, "Caption")   ? &page.CaptionsFormat
                           : SameText(area, "Aggregate") ? &page.AggregateFormat
                           : SameText(area, "Footer")    ? &page.FooterFormat
                                                         : nullptr;
      if (target != nullptr) ReadStyle(template_file, section, *target);
    } else if (HasPrefixText(section, kStylePrefix) && options.StripType != ssNone) {
      ReadStyle(template_file, section, options.StripStyles.Add());
    }
  }
  return options;
}

bool WorkbookReadsAhead(const TIniFile& template_file) {
  TXLSSectionOptions::Read(template_file, TXLSSectionOptions());
  return false;
}

void TTabuloWorkbook::ReadFormatSections(const TIniFile& template_file, const TDataSet& data_set) {
  ReadWidthSection(template_file, data_set, *this);
  // Read whole before it replaces the options: a refused value changes none.
  TXLSSectionOptions current;
  current.Options = Options;
  current.FieldFormats.Assign(FieldFormats);
  current.StripStyles.Assign(StripStyles);
  current.StripType = StripType;
  TXLSSectionOptions options = TXLSSectionOptions::Read(template_file, std::move(current));
  Options = std::move(options.Options);
  FieldFormats = std::move(options.FieldFormats);
  StripStyles = std::move(options.StripStyles);
  StripType = options.StripType;
}

}  // namespace velmora
