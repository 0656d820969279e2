#include "console/output_choice.h"

#include "formats/format_registry.h"
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
    const std::string extension = ExtractFileExt(settings.AllFile);
    if (!Trim(extension).empty()) {
      // A value without a directory part names the current directory, not the root.
      std::string directory = ExtractFileDir(settings.AllFile);
      if (!directory.empty() && directory.back() != '/') directory += '/';
      choice.FileName = directory + ChangeFileExt(default_file_name, extension);
    }
  }
  if (!choice.FileName.empty()) {
    choice.ExportType = ExportFormatOfFileName(choice.FileName).Number;
  } else {
    choice.FileName = own_template.ReadString("GENERAL", "FileName", default_file_name);
    choice.ExportType = own_template.ReadInteger("GENERAL", "ExportType", DefaultExportFormat().Number);
  }
  choice.TemplateFile = !settings.OwnTemplate.empty() ? settings.OwnTemplate : settings.AllTemplate;
  return choice;
}

}  // namespace velmora
