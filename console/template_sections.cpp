#include "console/template_sections.h"

#include "engine/keyed_sections.h"
#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// FIELDS lists the exported fields by value: one name per entry, in section order.
void ReadFieldList(const TIniFile& template_file, const TDataSet& data_set, TStringList& target) {
  target.Clear();
  const TIniSection* section = template_file.FindSection("FIELDS");
  if (section == nullptr) return;
  for (const TIniEntry& entry : section->Entries) {
    if (!entry.HasValue) continue;
    for (int field_index = 0; field_index < data_set.FieldCount(); ++field_index) {
      if (data_set.Field(field_index).FieldName == entry.Value) target.Add(entry.Value);
    }
  }
}

// HEADER and FOOTER: every entry's value is one line.
void ReadLines(const TIniFile& template_file, std::string_view section_name, TStringList& target) {
  target.Clear();
  const TIniSection* section = template_file.FindSection(section_name);
  if (section == nullptr) return;
  for (const TIniEntry& entry : section->Entries) target.Add(entry.Value);
}

// A record count; a negative one counts nothing and takes the default 0, as
// text that is no integer does.
int ReadCount(const TIniFile& template_file, std::string_view section, std::string_view key) {
  const int count = template_file.ReadInteger(section, key, 0);
  return count < 0 ? 0 : count;
}

void ReadFormats(const TIniFile& template_file, TTabuloFormats& formats) {
  formats.Reset();
  constexpr std::string_view kSection = "FORMATS";
  // An absent number format is left unset, so a machine-read export prints plain numbers.
  formats.SetIntegerFormat(template_file.ReadString(kSection, "Integer", ""));
  formats.SetFloatFormat(template_file.ReadString(kSection, "Float", ""));
  formats.SetDateFormat(template_file.ReadString(kSection, "Date", formats.DateFormat()));
  formats.SetTimeFormat(template_file.ReadString(kSection, "Time", formats.TimeFormat()));
  formats.SetDateTimeFormat(template_file.ReadString(kSection, "DateTime", formats.DateTimeFormat()));
  formats.SetCurrencyFormat(template_file.ReadString(kSection, "Currency", ""));
  formats.SetBooleanTrue(template_file.ReadString(kSection, "BooleanTrue", formats.BooleanTrue()));
  formats.SetBooleanFalse(template_file.ReadString(kSection, "BooleanFalse", formats.BooleanFalse()));
  formats.SetNullString(template_file.ReadString(kSection, "NullString", formats.NullString()));
}

// BinaryAs: "hex", "base64" or "raw" in any letter case; absent or empty is hex.
TBinaryForm ReadBinaryForm(const TIniFile& template_file, std::string_view section) {
  const std::string text(Trim(template_file.ReadString(section, "BinaryAs", "")));
  if (text.empty() || SameText(text, "hex")) return bfHex;
  if (SameText(text, "base64")) return bfBase64;
  if (SameText(text, "raw")) return bfRaw;
  throw EVelmoraError("Invalid value \"" + text + "\" for BinaryAs in [GENERAL]: give hex, base64 or raw");
}

}  // namespace

void ReadGeneralSections(const TIniFile& template_file, const TDataSet& data_set, TTabulo& exporter) {
  constexpr std::string_view kGeneral = "GENERAL";
  exporter.GoToFirstRecord = template_file.ReadBool(kGeneral, "GoToFirstRecord", true);
  exporter.ExportRecCount = ReadCount(template_file, kGeneral, "ExportRecCount");
  exporter.SkipRecCount = ReadCount(template_file, kGeneral, "SkipRecCount");
  exporter.BinaryAs = ReadBinaryForm(template_file, kGeneral);
  if (dynamic_cast<TTabuloFormatText*>(&exporter) != nullptr) {
    exporter.AllowCaptions = template_file.ReadBool(kGeneral, "AllowCaptions", true);
  }
  ReadFormats(template_file, exporter.Formats);
  ReadKeyedSection(template_file, "USER_FORMATS", data_set, exporter.UserFormats);
  ReadFieldList(template_file, data_set, exporter.ExportedFields);
  ReadLines(template_file, "HEADER", exporter.Header);
  ReadLines(template_file, "FOOTER", exporter.Footer);
  ReadKeyedSection(template_file, "CAPTIONS", data_set, exporter.Captions);
}

bool StreamsRows(const TExportFormat& format, const TIniFile& template_file) {
  if (template_file.ReadBool("GENERAL", "StoreResult", false)) return false;
  try {
    return !format.ReadsAhead(template_file);
  } catch (const EVelmoraError&) {
    // Not swallowed: the same settings are read again for the export itself,
    // which reports the refusal; until then the safe mode is the stored one.
    return false;
  }
}

TResultMode ResultModeOf(const TExportFormat& format, const TIniFile& template_file, bool store_result) {
  if (store_result || template_file.ReadBool("GENERAL", "StoreResult", false)) return rmInMemory;
  return StreamsRows(format, template_file) ? rmStreamed : rmSpooled;
}

}  // namespace velmora
