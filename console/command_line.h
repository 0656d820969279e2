#pragma once

#include <string>
#include <vector>

namespace velmora {

extern const char* const kProductName;
extern const char* const kProductVersion;

// What the command line asks for. Only the first argument is looked at.
struct TCommandLine {
  bool Help = false;     // "help" in any letter case, "/h", "?", "--help", "-h"
  bool LongHelp = false;  // "--help", "-h": the help and where the manual is
  bool Version = false;  // "--version"
  std::string ParameterFile;

  // program_path is the program's own full path; current_directory is put in
  // front of a file name that holds neither "/" nor "\".
  static TCommandLine Parse(const std::vector<std::string>& arguments, const std::string& program_path,
                            const std::string& current_directory);
};

// "Velmora, version 1.5.0.1".
std::string BannerLine();
// The three lines of the help text for the program of that path.
// The help text; with long_form, also the exit status and the manual page.
std::vector<std::string> HelpLines(const std::string& program_path, bool long_form);

}  // namespace velmora
