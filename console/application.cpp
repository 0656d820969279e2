#include "console/application.h"

#include <exception>

#include "console/ini_file.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace velmora {

TApplication::TApplication(std::FILE* output) : output_(output) {}

void TApplication::PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), output_);
  std::fputc('\n', output_);
  std::fflush(output_);
}

void TApplication::PrintFailure(const std::string& line) {
  failed_ = true;
  PrintLine(line);
}

int TApplication::Run(const std::vector<std::string>& arguments, const std::string& program_path,
                      const std::string& current_directory) {
  const TCommandLine command_line = TCommandLine::Parse(arguments, program_path, current_directory);
  if (command_line.Version) {
    PrintLine(BannerLine());
    return 0;
  }
  PrintLine(BannerLine());
  PrintLine("");
  PrintLine("");
  if (command_line.Help) {
    for (const std::string& line : HelpLines(program_path)) PrintLine(line);
    return 0;
  }
  if (!FileExists(command_line.ParameterFile)) {
    PrintFailure("No parameter file specified");
    return 1;
  }
  try {
    ExportAll(command_line.ParameterFile);
  } catch (const std::exception& error) {
    PrintFailure(std::string("ERROR: ") + error.what());
  }
  return failed_ ? 1 : 0;
}

void TApplication::ExportAll(const std::string& parameter_file) {
  const TIniFile settings(parameter_file);
  TExportRun run(settings, *this);
  run.Run();
}

}  // namespace velmora
