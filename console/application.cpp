#include "console/application.h"

#include <cerrno>
#include <exception>
#include <optional>

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
    // Standard error has no one to report its own failure to.
    if (output_ != stderr) {
      std::fprintf(stderr, "Cannot write to standard output: %s\n", SystemErrorText(error_number).c_str());
    }
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
  // Read before the banner: when an item writes to standard output, every
  // line of the run, the banner first, goes to standard error instead.
  std::optional<TIniFile> settings;
  std::string read_error;
  if (!command_line.Help && FileExists(command_line.ParameterFile)) {
    try {
      settings.emplace(command_line.ParameterFile);
      if (RunWritesToStandardOutput(*settings)) output_ = stderr;
    } catch (const std::exception& error) {
      read_error = error.what();
    }
  }
  PrintLine(BannerLine());
  PrintLine("");
  PrintLine("");
  if (command_line.Help) {
    for (const std::string& line : HelpLines(program_path, command_line.LongHelp)) PrintLine(line);
    return 0;
  }
  if (!FileExists(command_line.ParameterFile)) {
    PrintFailure("No parameter file specified");
    return 1;
  }
  if (!settings.has_value()) {
    PrintFailure("ERROR: " + read_error);
    return 1;
  }
  try {
    TExportRun run(*settings, *this);
    run.Run();
  } catch (const std::exception& error) {
    PrintFailure(std::string("ERROR: ") + error.what());
  }
  return failed_ ? 1 : 0;
}

}  // namespace velmora
