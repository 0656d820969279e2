// The command line of the velmora binary, run as a process: banner, help,
// version, the parameter file's name and the exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_support.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using consoletest::kBanner;
using consoletest::RunProgram;
using consoletest::RunVelmora;
using consoletest::TVelmoraResult;
using testsupport::TTempDir;
using testsupport::WriteFile;
using Lines = std::vector<std::string>;

class CommandLineRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (consoletest::VelmoraBinary().empty()) GTEST_SKIP() << "VELMORA_BINARY is not set";
  }
  TTempDir dir_{"console-cli"};
};

TEST_F(CommandLineRunTest, HelpSwitchesPrintTheHelpAndSucceed) {
  const Lines help = {kBanner,
                      "",
                      "",
                      "Syntax: velmora [Parameter file]",
                      "The default parameter file is velmora.cfg",
                      "See help file to learn how to work with the parameter files"};
  // The long switches also say what the exit status means and where the manual is.
  Lines long_help = help;
  long_help.push_back("Exit status: 0 when every item was exported, 1 otherwise");
  long_help.push_back("The parameter and template files are described in the manual page: man velmora");
  for (const char* switch_text : {"help", "HELP", "hElP", "/h", "?", "--help", "-h"}) {
    const TVelmoraResult result = RunVelmora({switch_text, "ignored.cfg"}, dir_.Path());
    const bool long_form = std::string_view(switch_text).starts_with("-");
    EXPECT_EQ(result.lines, long_form ? long_help : help) << switch_text;
    EXPECT_EQ(result.exit_status, 0) << switch_text;
    EXPECT_EQ(result.errors, "") << switch_text;
  }
}

TEST_F(CommandLineRunTest, VersionPrintsTheBannerLineOnly) {
  const TVelmoraResult result = RunVelmora({"--version"}, dir_.Path());
  EXPECT_EQ(result.output, std::string(kBanner) + "\n");
  EXPECT_EQ(result.exit_status, 0);
}

TEST_F(CommandLineRunTest, UnwritableOutputFailsTheRun) {
  const testsupport::TCommandResult result = testsupport::RunCommand(
      {"/bin/sh", "-c", "\"$0\" --help > /dev/full", consoletest::VelmoraBinary()});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.output.find("Cannot write to standard output: No space left on device"), std::string::npos)
      << result.output;
}

TEST_F(CommandLineRunTest, MissingParameterFileFails) {
  // "/H" is not the help switch: it is a file name with a "/" in it.
  for (const char* name : {"/H", "missing.cfg", "./missing.cfg", "Help.cfg"}) {
    const TVelmoraResult result = RunVelmora({name}, dir_.Path());
    EXPECT_EQ(result.lines, (Lines{kBanner, "", "", "No parameter file specified"})) << name;
    EXPECT_EQ(result.exit_status, 1) << name;
  }
}

TEST_F(CommandLineRunTest, DirectoryIsNoParameterFile) {
  std::filesystem::create_directory(dir_.File("settings.cfg"));
  const TVelmoraResult result = RunVelmora({"settings.cfg"}, dir_.Path());
  EXPECT_EQ(result.lines, (Lines{kBanner, "", "", "No parameter file specified"}));
  EXPECT_EQ(result.exit_status, 1);
}

// A pipe as parameter file made the program wait for a writer for ever; a huge
// file is no parameter file either.
TEST_F(CommandLineRunTest, ParameterFileThatIsNoSettingsFileIsRefused) {
  ASSERT_EQ(::mkfifo(dir_.File("pipe.cfg").c_str(), 0600), 0);
  WriteFile(dir_.File("huge.cfg"), "");
  std::filesystem::resize_file(dir_.File("huge.cfg"), 16 * 1024 * 1024 + 1);
  const struct {
    const char* Name;
    const char* Reason;
  } cases[] = {{"pipe.cfg", "not a regular file"}, {"huge.cfg", "larger than 16777216 bytes"}};
  for (const auto& test_case : cases) {
    const TVelmoraResult result = RunVelmora({test_case.Name}, dir_.Path());
    EXPECT_EQ(result.lines, (Lines{kBanner, "", "",
                                   "ERROR: Cannot read file \"" + dir_.File(test_case.Name) + "\": " +
                                       test_case.Reason}));
    EXPECT_EQ(result.exit_status, 1);
  }
}

// A bare name is looked up in the current directory, not beside the program.
TEST_F(CommandLineRunTest, BareNameIsTakenFromTheCurrentDirectory) {
  WriteFile(dir_.File("empty.cfg"), "[Connection]\nHost=never.invalid\n");
  const TVelmoraResult result = RunVelmora({"empty.cfg", "more", "arguments"}, dir_.Path());
  EXPECT_EQ(result.lines, (Lines{kBanner, "", "", "No table or query specified"}));
  EXPECT_EQ(result.exit_status, 1);
}

// Without an argument the program reads its own name with ".cfg", beside itself.
TEST_F(CommandLineRunTest, DefaultParameterFileSitsBesideTheProgram) {
  const std::string program = dir_.File("exporter");
  std::filesystem::copy_file(consoletest::VelmoraBinary(), program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  TTempDir elsewhere("console-cwd");

  TVelmoraResult result = RunProgram(program, {}, elsewhere.Path());
  EXPECT_EQ(result.lines, (Lines{kBanner, "", "", "No parameter file specified"}));
  EXPECT_EQ(result.exit_status, 1);

  WriteFile(dir_.File("exporter.cfg"), "[Tables]\n");
  result = RunProgram(program, {}, elsewhere.Path());
  EXPECT_EQ(result.lines, (Lines{kBanner, "", "", "No table or query specified"}));
  EXPECT_EQ(result.exit_status, 1);

  result = RunProgram(program, {"help"}, elsewhere.Path());
  EXPECT_EQ(result.lines.at(3), "Syntax: exporter [Parameter file]");
  EXPECT_EQ(result.lines.at(4), "The default parameter file is exporter.cfg");
}

}  // namespace
}  // namespace velmora
