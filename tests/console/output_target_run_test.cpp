// Runs whose items write where a file cannot simply be renamed into place:
// standard output, as a shell redirects or pipes it (the data lands where the
// descriptor stands, whole and clean, and the program's own lines go to
// standard error), and a file of a directory the user cannot write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console_support.h"

namespace velmora {
namespace {

class OutputTargetRunTest : public consoletest::ConsoleServerTest {
 protected:
  // Writes run.cfg and runs velmora under the shell with its standard output
  // going as redirect says; standard error goes to errors.txt.
  testsupport::TCommandResult RunRedirected(const std::string& body, const std::string& redirect) {
    Write("run.cfg", SocketConnection() + body);
    const std::string command =
        "cd '" + dir_.Path() + "' && '" + consoletest::VelmoraBinary() + "' run.cfg 2>errors.txt " + redirect;
    return testsupport::RunCommand({"/bin/sh", "-c", command});
  }

  // The file an item writes to a regular file of its own: what standard output must receive.
  std::string ExportedToFile(const std::string& template_text, const std::string& file_name) {
    Write("file.ini", template_text + "FileName=" + file_name + "\n");
    const consoletest::TVelmoraResult result =
        Run("[Queries]\nq=orders\n[SQL_q]\n1=select * from orders order by id\n[Templates]\nq=file.ini\n");
    EXPECT_EQ(result.exit_status, 0) << result.output;
    return Read(file_name);
  }
};

constexpr const char* kQuery = "[Queries]\nq=orders\n[SQL_q]\n1=select * from orders order by id\n";

TEST_F(OutputTargetRunTest, DataOnStandardOutputIsWrittenAtItsOffsetAndStaysClean) {
  struct TCase {
    std::string template_text;  // [GENERAL] without the file name
    std::string redirect;
    std::string earlier;    // what the output file holds before the run
    std::string read_back;  // command that gives the data, in the test's directory
  };
  const std::string csv = "[GENERAL]\nExportType=8\n";
  const std::string dbf = "[GENERAL]\nExportType=6\n";
  const TCase cases[] = {
      {csv, ">> log.txt", std::string(16893, 'L') + "\n", "cat log.txt"},
      {csv, "> log.txt", "", "cat log.txt"},
      {csv, "| gzip > x.csv.gz", "", "gzip -dc x.csv.gz"},
      // A format that patches its header reaches the pipe whole, after the rows.
      {dbf, "| cat > x.dbf", "", "cat x.dbf"},
  };
  for (const TCase& test_case : cases) {
    const std::string expected = ExportedToFile(test_case.template_text, "expected.out");
    Write("log.txt", test_case.earlier);
    Write("stdout.ini", test_case.template_text + "FileName=/dev/stdout\n");
    const testsupport::TCommandResult run =
        RunRedirected(std::string(kQuery) + "[Templates]\nq=stdout.ini\n", test_case.redirect);
    EXPECT_EQ(run.exit_status, 0) << test_case.redirect << ": " << run.output;
    const testsupport::TCommandResult data =
        testsupport::RunCommand({"/bin/sh", "-c", "cd '" + dir_.Path() + "' && " + test_case.read_back});
    EXPECT_EQ(data.output, test_case.earlier + expected) << test_case.redirect;
    const std::vector<std::string> lines = consoletest::SplitLines(Read("errors.txt"));
    EXPECT_EQ(lines, Connected({"orders: 3 records exported to /dev/stdout"})) << test_case.redirect;
  }
}

TEST_F(OutputTargetRunTest, TwoItemsOnStandardOutputFollowOneAnother) {
  Write("stdout.ini", "[GENERAL]\nExportType=8\nFileName=/dev/stdout\n");
  const std::string body =
      "[Queries]\na=first\nb=second\n[SQL_a]\n1=select id from orders where id = 1\n"
      "[SQL_b]\n1=select id from orders where id = 2\n[Templates]\na=stdout.ini\nb=stdout.ini\n";
  const testsupport::TCommandResult run = RunRedirected(body, ">> log.txt");
  EXPECT_EQ(run.exit_status, 0) << run.output;
  EXPECT_EQ(Read("log.txt"), "\"id\"\r\n\"1\"\r\n\"id\"\r\n\"2\"\r\n");
  EXPECT_EQ(
      consoletest::SplitLines(Read("errors.txt")),
      Connected({"first: 1 records exported to /dev/stdout", "second: 1 records exported to /dev/stdout"}));
}

TEST_F(OutputTargetRunTest, AFileThatCannotBeOverwrittenSafelyIsRefusedBeforeTheExport) {
  if (::geteuid() != 0 || testsupport::FindExecutable("unshare").empty() ||
      testsupport::FindExecutable("setpriv").empty()) {
    GTEST_SKIP() << "needs root, unshare and setpriv to mount a file system without space reservation";
  }
  // A memory file system in a mount namespace of the run's own, in a directory
  // of root's, written by an unprivileged user: the file could only be
  // overwritten in place, and nothing can reserve its space first.
  ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
  Write("run.cfg", SocketConnection() + kQuery + "[Files]\nq=memory/table.csv\n");
  std::filesystem::create_directory(dir_.File("memory"));
  const std::string script =
      "cd '" + dir_.Path() +
      "' && mount -t ramfs -o mode=0755 velmora-test memory && printf old > memory/table.csv"
      " && chmod 666 memory/table.csv && setpriv --reuid=65534 --regid=65534 --clear-groups '" +
      consoletest::VelmoraBinary() + "' run.cfg; echo \"exit $?\"; cat memory/table.csv";
  const testsupport::TCommandResult run =
      testsupport::RunCommand({"unshare", "--mount", "--propagation", "private", "/bin/sh", "-c", script});
  const std::string memory = dir_.File("memory");
  EXPECT_EQ(
      consoletest::SplitLines(run.output),
      Connected({"orders: Cannot replace memory/table.csv safely: " + memory +
                     " is not writable, and its file system cannot reserve space before the old content is "
                     "overwritten",
                 "exit 1", "old"}));
}

}  // namespace
}  // namespace velmora
