#include "console/command_line.h"

#include "platform/file_system.h"
#include "platform/text_utils.h"

namespace velmora {

const char* const kProductName = "Velmora";
const char* const kProductVersion = "1.5.0.1";

TCommandLine TCommandLine::Parse(const std::vector<std::string>& arguments, const std::string& program_path,
                                 const std::string& current_directory) {
  TCommandLine result;
  if (arguments.empty()) {
    result.ParameterFile = ChangeFileExt(program_path, ".cfg");
    return result;
  }
  const std::string& first = arguments.front();
  if (SameText(first, "help") || first == "/h" || first == "?" || first == "--help" || first == "-h") {
    result.Help = true;
    result.LongHelp = first == "--help" || first == "-h";
  } else if (first == "--version") {
    result.Version = true;
  } else if (first.find_first_of("/\\") == std::string::npos) {
    result.ParameterFile = current_directory + "/" + first;
  } else {
    result.ParameterFile = first;
  }
  return result;
}

std::string BannerLine() {
  return std::string(kProductName) + ", version " + kProductVersion;
}

std::vector<std::string> HelpLines(const std::string& program_path, bool long_form) {
  const std::string name = ExtractFileName(program_path);
  std::vector<std::string> lines = {
      "Syntax: " + name + " [Parameter file]",
      "The default parameter file is " + ChangeFileExt(name, ".cfg"),
      "See help file to learn how to work with the parameter files",
  };
  if (long_form) {
    lines.push_back("Exit status: 0 when every item was exported, 1 otherwise");
    lines.push_back("The parameter and template files are described in the manual page: man velmora");
  }
  return lines;
}

}  // namespace velmora
