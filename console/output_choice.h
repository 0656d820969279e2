#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/export_format.h"
#include "engine/tabulo.h"
#include "platform/ini_file.h"
#include "platform/output_claims.h"

namespace velmora {

// Where one item goes and how it is written.
struct TOutputChoice {
  std::string FileName;      // as configured; printed in the count line
  int ExportType = 0;        // a number of the format registry; 0 is the workbook
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
// A name ending in ".gz" or ".zst" is compressed, and its format is chosen by
// the ending before that one ("orders.csv.gz" is CSV).
TOutputChoice ChooseOutput(std::string_view default_file_name, const TItemFileSettings& settings,
                           const TIniFile& own_template);

// Why an item of format cannot be written as the choice asks, before any
// file is touched: a compression ending on a format whose readers open the
// file in place (the workbooks, a DBF table with its memo file). Empty when
// nothing stands in the way.
std::string OutputRefusal(const TOutputChoice& choice, const TExportFormat& format);

// Reads [GENERAL] CompressionLevel (within the range of the file's
// compression; read only for a compressed file), SplitRows and SplitBytes
// onto exporter; refuses values that cannot give a sound output.
void ReadOutputSettings(const TIniFile& template_file, TTabuloText& exporter);

// The file names of the count line: FILE for one file, "FIRST ... LAST (N parts)"
// for a split export.
std::string CountLineFileNames(const std::string& file_name, const std::vector<std::string>& parts);

}  // namespace velmora
