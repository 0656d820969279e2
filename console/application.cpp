#include "console/application.h"

#include <cerrno>
#include <exception>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"

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
  int status = RunSequence(arguments, program_path, current_directory);
  // A log that could not be written is a failure a cron job must see.
  if (std::fflush(output_) != 0 || std::ferror(output_)) {
    const int error_number = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "Cannot write to standard output: %s\n", SystemErrorText(error_number).c_str());
    status = 1;
  }
  return status;
}

int TApplication::RunSequence(const std::vector<std::string>& arguments, const std::string& program_path,
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
