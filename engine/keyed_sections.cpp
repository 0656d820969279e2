#include "engine/keyed_sections.h"

namespace velmora {

void ReadKeyedSection(const TIniFile& template_file, std::string_view section_name, const TDataSet& data_set,
                      TStringList& target) {
  target.Clear();
  const TIniSection* section = template_file.FindSection(section_name);
  if (section == nullptr) return;
  for (const TIniEntry& entry : section->Entries) {
    if (!entry.HasValue) continue;
    for (int field_index = 0; field_index < data_set.FieldCount(); ++field_index) {
      if (data_set.Field(field_index).FieldName == entry.Key) target.Add(entry.Key + "=" + entry.Value);
    }
  }
}

void ReadWidthSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter) {
  ReadKeyedSection(template_file, "WIDTH", data_set, exporter.ColumnsWidth);
}

void ReadAlignSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter) {
  ReadKeyedSection(template_file, "ALIGN", data_set, exporter.ColumnsAlign);
}

}  // namespace velmora
