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

std::vector<std::string> HelpLines(const std::string& program_path) {
  const std::string name = ExtractFileName(program_path);
  return {
      "Syntax: " + name + " [Parameter file]",
      "The default parameter file is " + ChangeFileExt(name, ".cfg"),
      "See help file to learn how to work with the parameter files",
  };
}

}  // namespace velmora
