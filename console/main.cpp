#include <cstdio>
#include <string>
#include <vector>

#include "console/application.h"
#include "platform/file_system.h"
#include "platform/locale_settings.h"
#include "platform/signal_cleanup.h"

int main(int argc, char** argv) {
  // An interrupted export leaves none of its temporary files behind.
  velmora::InstallSignalCleanup();
  velmora::LoadFormatSettingsFromEnvironment();
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string program_path = velmora::ProgramPath();
  if (program_path.empty() && argc > 0) program_path = argv[0];
  velmora::TApplication application(stdout);
  return application.Run(arguments, program_path, velmora::CurrentDirectory());
}
