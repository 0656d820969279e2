// Where the bytes of an output file go when it cannot simply be renamed into
// place: descriptors the process holds, pipes, and files overwritten in place
// on a full device, on a file system without reservations, or under a signal.
#include "platform/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/error.h"
#include "platform/signal_cleanup.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::BecomeUnprivileged;
using testsupport::ReadFile;
using testsupport::RunInChild;
using testsupport::WriteFile;

std::string Pattern(char first, std::size_t size) {
  std::string text(size, first);
  for (std::size_t index = 0; index < size; ++index) text[index] = static_cast<char>(first + index % 7);
  return text;
}

// "old" or "new" when the file holds the one or the other whole, else "mixed".
std::string WhichContent(const std::string& path, const std::string& old_content,
                         const std::string& new_content) {
  const std::string now = ReadFile(path);
  return now == old_content ? "old" : now == new_content ? "new" : "mixed";
}

// In a child as root: mounts a file system of the type over directory, in a
// mount namespace of the child's own, so that nothing outlives the child.
bool MountPrivately(const std::string& type, const std::string& options, const std::string& directory) {
  return ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("velmora-test", directory.c_str(), type.c_str(), 0, options.c_str()) == 0;
}

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The unprivileged user of the children must reach the files, and spool there.
    ::chmod(directory_.Path().c_str(), 0755);
    fs::create_directory(spool_);
    ::chmod(spool_.c_str(), 0777);
  }
  void TearDown() override {
    TOutputFile::SetDescriptorHookForTesting(nullptr);
    TOutputFile::SetCopyHookForTesting(nullptr);
  }
  std::string File(const std::string& name) const { return directory_.File(name); }

  testsupport::TTempDir directory_{"output-file"};
  std::string spool_ = directory_.File("spool");
};

TEST_F(OutputFileTest, APipeTakesTheBytesOfASequentialWriterAsTheyCome) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  const std::string data = Pattern('a', 70000);  // more than the stream buffers, less than the pipe holds
  TOutputFile file("/dev/fd/" + std::to_string(pipe_ends[1]), snSequential);
  file.Stream().Write(data.substr(0, 40000));
  file.Stream().Write(data.substr(40000));
  ::fcntl(pipe_ends[0], F_SETFL, O_NONBLOCK);
  char first[16];
  EXPECT_EQ(::read(pipe_ends[0], first, sizeof first), 16);  // before the commit
  ::fcntl(pipe_ends[0], F_SETFL, 0);
  auto received = testsupport::ReadPipeInBackground(pipe_ends[0]);
  file.Commit();
  ::close(pipe_ends[1]);
  EXPECT_EQ(received.get(), data.substr(16));
  // A FIFO nobody reads yet: the sequential writer waits for its reader.
  const std::string fifo = File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto from_fifo = testsupport::ReadPipeInBackground(fifo);
  TOutputFile into_fifo(fifo, snSequential);
  EXPECT_TRUE(into_fifo.WritesDirectly());
  into_fifo.Stream().Write("rows as they come");
  into_fifo.Commit();
  EXPECT_EQ(from_fifo.get(), "rows as they come");
}

TEST_F(OutputFileTest, AFullTemporaryDirectoryIsNamedInTheMessageNotTheTarget) {
  ::setenv("TMPDIR", spool_.c_str(), 1);
  TOutputFile::SetDescriptorHookForTesting([](const std::string&) { return ::open("/dev/full", O_WRONLY); });
  std::string message;
  try {
    TOutputFile file("/dev/null", snSeeks);
    file.Stream().Write(Pattern('a', 100000));
    file.Commit();
  } catch (const EVelmoraError& error) {
    message = error.what();
  }
  ::unsetenv("TMPDIR");
  EXPECT_TRUE(message.starts_with("Cannot write to \"" + spool_ + "/velmora-spool-")) << message;
  EXPECT_TRUE(message.ends_with("\": No space left on device")) << message;
}

// Overwriting in place: the file system is mounted over a directory of root's
// and the child writes as another user, so that no file can be made beside
// the target.
TEST_F(OutputFileTest, AFileOverwrittenInPlaceKeepsItsWholeOldContentOrIsRefusedBeforeTheFirstByte) {
  const std::string mounted = File("mounted");
  fs::create_directory(mounted);
  const std::string target = mounted + "/table.csv";
  const std::string refusal = "Cannot replace " + target + " safely: " + mounted +
                              " is not writable, and its file system cannot reserve space before the old "
                              "content is overwritten";
  struct TCase {
    const char* type;
    std::size_t new_size;
    std::string expected;  // the refusal checked first, the error, what the file holds
  };
  const TCase cases[] = {
      {"tmpfs", 200 * 1024, "|Cannot write to \"" + target + "\": No space left on device|old"},
      {"tmpfs", 20 * 1024, "||new"},
      {"ramfs", 20 * 1024, refusal + "|" + refusal + "|old"},
  };
  const std::string old_content = Pattern('o', 96 * 1024);
  for (const TCase& test_case : cases) {
    const std::string outcome = RunInChild([&]() -> std::string {
      if (!MountPrivately(test_case.type, "size=128k,mode=0755", mounted)) return "skip";
      WriteFile(target, old_content);
      ::chmod(target.c_str(), 0666);
      ::setenv("TMPDIR", spool_.c_str(), 1);
      BecomeUnprivileged();
      const std::string new_content = Pattern('n', test_case.new_size);
      std::string message;
      try {
        TOutputFile file(target);
        file.Stream().Write(new_content);
        file.Commit();
      } catch (const EVelmoraError& error) {
        message = error.what();
      }
      return TOutputFile::InPlaceRefusal(target) + "|" + message + "|" +
             WhichContent(target, old_content, new_content);
    });
    if (outcome == "skip") GTEST_SKIP() << "needs root to mount a file system";
    EXPECT_EQ(outcome, test_case.expected) << test_case.type << " " << test_case.new_size;
  }
  // A file that can be renamed over, and one that is not there, are no concern.
  WriteFile(File("plain.csv"), "old");
  EXPECT_EQ(TOutputFile::InPlaceRefusal(File("plain.csv")) + TOutputFile::InPlaceRefusal(File("none.csv")),
            "");
}

TEST_F(OutputFileTest, ATerminatingSignalNeverCutsAFileOverwrittenInPlace) {
  const std::string closed = File("closed");
  fs::create_directory(closed);
  const std::string target = closed + "/table.csv";
  const std::string old_content = Pattern('o', 100 * 1024);
  const std::string new_content = Pattern('n', 300 * 1024);
  struct TCase {
    bool during_copy;  // else while the rows are written
    std::string expected;
  };
  for (const TCase& test_case : {TCase{false, "old"}, TCase{true, "new"}}) {
    WriteFile(target, old_content);
    ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(closed.c_str(), 0555), 0);
    const std::string outcome = RunInChild([&]() -> std::string {
      InstallSignalCleanup();
      ::setenv("TMPDIR", spool_.c_str(), 1);
      BecomeUnprivileged();
      TOutputFile file(target);
      file.Stream().Write(new_content);
      if (!test_case.during_copy) ::raise(SIGTERM);
      // By the third block the first ones have reached the file.
      TOutputFile::SetCopyHookForTesting([] {
        static int blocks = 0;
        if (++blocks == 3) ::raise(SIGTERM);
      });
      file.Commit();
      return "survived";
    });
    ASSERT_EQ(::chmod(closed.c_str(), 0755), 0);
    EXPECT_EQ(outcome, "signal " + std::to_string(SIGTERM));
    EXPECT_EQ(WhichContent(target, old_content, new_content), test_case.expected)
        << "during copy " << test_case.during_copy;
  }
  EXPECT_EQ(fs::directory_iterator(spool_) == fs::directory_iterator(), true);
}

}  // namespace
}  // namespace velmora
