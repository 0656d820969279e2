#pragma once

#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "platform/output_claims.h"

namespace velmora {

// Where one item goes and how it is written.
struct TOutputChoice {
  std::string FileName;  // as configured; printed in the count line
  int ExportType = 0;    // a number of the format registry; 0 is the workbook
  std::string TemplateFile;  // "" when the item has none
};

// What the parameter file says about one item, looked up by its key.
struct TItemFileSettings {
  std::string OwnFile;      // Files entry of the key, "" for none
  std::string AllFile;      // Files entry All, "" for none
  std::string OwnTemplate;  // Templates entry of the key, "" for none
  std::string AllTemplate;  // Templates entry All, "" for none
};

// Reads the Files and Templates entries of the key (exact match) and of All.
TItemFileSettings ReadItemFileSettings(const TIniFile& parameter_file, std::string_view key);

// The output file, export type and template of an item whose default file name
// is default_file_name (its name with ".xls"). With no file from the parameter
// file, FileName and ExportType come from the GENERAL section of own_template,
// the item's own template (never the All template).
TOutputChoice ChooseOutput(std::string_view default_file_name, const TItemFileSettings& settings,
                           const TIniFile& own_template);

}  // namespace velmora
