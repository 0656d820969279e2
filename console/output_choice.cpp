#include "console/output_choice.h"

#include <climits>

#include "engine/keyed_sections.h"
#include "formats/dbf/tabulo_dbf.h"
#include "formats/format_registry.h"
#include "formats/xls/tabulo_xls.h"
#include "formats/xlsx/tabulo_xlsx.h"
#include "platform/compressed_stream.h"
#include "platform/file_system.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// A value of the parameter file that is blank counts as no entry.
std::string FindNonBlank(const TIniFile& parameter_file, std::string_view section, std::string_view key) {
  std::string value;
  if (!parameter_file.FindExactKey(section, key, value) || Trim(value).empty()) return "";
  return value;
}

}  // namespace

TItemFileSettings ReadItemFileSettings(const TIniFile& parameter_file, std::string_view key) {
  TItemFileSettings settings;
  settings.OwnFile = FindNonBlank(parameter_file, "Files", key);
  settings.AllFile = FindNonBlank(parameter_file, "Files", "All");
  settings.OwnTemplate = FindNonBlank(parameter_file, "Templates", key);
  settings.AllTemplate = FindNonBlank(parameter_file, "Templates", "All");
  return settings;
}

TOutputChoice ChooseOutput(std::string_view default_file_name, const TItemFileSettings& settings,
                           const TIniFile& own_template) {
  TOutputChoice choice;
  choice.FileName = settings.OwnFile;
  if (choice.FileName.empty() && !settings.AllFile.empty()) {
    // A compression ending stays after the format's: All=out/x.csv.gz gives out/NAME.csv.gz.
    const std::string all_file(WithoutCompressionEnding(settings.AllFile));
    const std::string compression = settings.AllFile.substr(all_file.size());
    const std::string extension = ExtractFileExt(all_file);
    if (!Trim(extension).empty()) {
      // A value without a directory part names the current directory, not the root.
      std::string directory = ExtractFileDir(all_file);
      if (!directory.empty() && directory.back() != '/') directory += '/';
      choice.FileName = directory + ChangeFileExt(default_file_name, extension) + compression;
    }
  }
  if (!choice.FileName.empty()) {
    choice.ExportType = ExportFormatOfFileName(WithoutCompressionEnding(choice.FileName)).Number;
  } else {
    choice.FileName = own_template.ReadString("GENERAL", "FileName", default_file_name);
    choice.ExportType = own_template.ReadInteger("GENERAL", "ExportType", DefaultExportFormat().Number);
  }
  choice.TemplateFile = !settings.OwnTemplate.empty() ? settings.OwnTemplate : settings.AllTemplate;
  return choice;
}

std::string OutputRefusal(const TOutputChoice& choice, const TExportFormat& format) {
  const bool workbook = format.Number == kXLSFormat.Number || format.Number == kXLSXFormat.Number;
  if (const TCompression compression = CompressionOfFileName(choice.FileName); compression != cmNone) {
    std::string reason;
    if (format.Number == kXLSXFormat.Number) {
      reason = "an XLSX workbook is compressed already";
    } else if (workbook) {
      reason = "a workbook is a container its readers open in place";
    } else if (format.Number == kDBFFormat.Number) {
      reason = "a DBF table is read in place, with its memo file beside it";
    }
    if (!reason.empty()) {
      return "Cannot compress \"" + choice.FileName + "\": " + reason + "; name it without \"" +
             std::string(CompressionEnding(compression)) + "\"";
    }
  }
  return "";
}

void ReadOutputSettings(const TIniFile& template_file, TTabuloText& exporter) {
  constexpr std::string_view kGeneral = "GENERAL";
  if (const TCompression compression = CompressionOfFileName(exporter.FileName); compression != cmNone) {
    exporter.CompressionLevel =
        ReadBoundedInteger(template_file, kGeneral, "CompressionLevel", DefaultCompressionLevel(compression),
                           LowestCompressionLevel(compression), HighestCompressionLevel(compression));
  }
  exporter.SplitRows = ReadBoundedInteger(template_file, kGeneral, "SplitRows", 0, 0, INT_MAX);
  exporter.SplitBytes = ReadByteSize(template_file, kGeneral, "SplitBytes", 0);
}

std::string CountLineFileNames(const std::string& file_name, const std::vector<std::string>& parts) {
  if (parts.empty()) return file_name;
  if (parts.size() == 1) return parts.front() + " (1 part)";
  return parts.front() + " ... " + parts.back() + " (" + std::to_string(parts.size()) + " parts)";
}

}  // namespace velmora
