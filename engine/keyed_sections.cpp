#include "engine/keyed_sections.h"

#include "platform/error.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// True when text is a decimal number above limit, however many digits it has.
bool IsNumberAbove(std::string_view text, int limit) {
  text = Trim(text);
  if (text.empty()) return false;
  long long value = 0;
  for (const char digit : text) {
    if (digit < '0' || digit > '9') return false;
    if (value <= limit) value = value * 10 + (digit - '0');
  }
  return value > limit;
}

}  // namespace

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
  for (const std::string& line : exporter.ColumnsWidth) {
    const std::size_t equals = line.find('=');
    const std::string_view width = std::string_view(line).substr(equals + 1);
    if (IsNumberAbove(width, kMaxColumnWidth)) {
      throw EVelmoraError(Format("Column width %s of field %s is more than %d", std::string(width).c_str(),
                                 line.substr(0, equals).c_str(), kMaxColumnWidth));
    }
  }
}

void ReadAlignSection(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter) {
  ReadKeyedSection(template_file, "ALIGN", data_set, exporter.ColumnsAlign);
}

void RefuseTemplateValue(const TIniFile& template_file, std::string_view section, std::string_view key,
                         const std::string& reason) {
  throw EVelmoraError(Format("Invalid value \"%s\" for %s in [%s]: %s",
                             template_file.ReadString(section, key, "").c_str(), std::string(key).c_str(),
                             std::string(section).c_str(), reason.c_str()));
}

int ReadBoundedInteger(const TIniFile& template_file, std::string_view section, std::string_view key,
                       int current, int lowest, int highest) {
  const int value = template_file.ReadInteger(section, key, current);
  if (value < lowest || value > highest) {
    RefuseTemplateValue(template_file, section, key, Format("give a number from %d to %d", lowest, highest));
  }
  return value;
}

std::int64_t ReadByteSize(const TIniFile& template_file, std::string_view section, std::string_view key,
                          std::int64_t current) {
  const std::string given = template_file.ReadString(section, key, "");
  std::string_view text = Trim(given);
  if (text.empty()) return current;
  int shift = 0;
  switch (text.back()) {
    case 'K':
    case 'k':
      shift = 10;
      break;
    case 'M':
    case 'm':
      shift = 20;
      break;
    case 'G':
    case 'g':
      shift = 30;
      break;
    default:
      break;
  }
  if (shift > 0) text.remove_suffix(1);
  std::int64_t value = 0;
  bool sound = !text.empty();
  for (const char digit : text) {
    if (digit < '0' || digit > '9' || value > (std::int64_t{1} << 62) / 10) {
      sound = false;
      break;
    }
    value = value * 10 + (digit - '0');
  }
  if (!sound || value > ((std::int64_t{1} << 62) >> shift)) {
    RefuseTemplateValue(template_file, section, key,
                        "give a number of bytes, with K, M or G for KiB, MiB or GiB");
  }
  return value << shift;
}

}  // namespace velmora
