// The files of one export appear together or not at all, also when a signal
// ends the program.
#include "platform/output_file_set.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/output_claims.h"
#include "platform/signal_cleanup.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;
using TNames = std::vector<std::string>;

class OutputFileSetTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return directory_.File(name); }
  TNames Entries() const { return directory_.Entries(); }

  testsupport::TTempDir directory_{"file-set"};
};

TEST_F(OutputFileSetTest, AllFilesAppearTogetherOrNoneAndRemovalsWaitForTheCommit) {
  WriteFile(File("report.htm"), "old main");
  WriteFile(File("report.css"), "old style");
  for (const bool commit : {false, true}) {
    TOutputFileSet files;
    files.Add(File("report.htm")).Write("index");
    files.Add(File("report01.htm")).Write("page 1");
    files.Add(File("report.css")).Write("style");
    files.Add(File("report02.htm")).Write("page 2");
    files.RemoveAtCommit(File("report.htm"));
    EXPECT_EQ(Entries().size(), 6u);  // four temporary files beside the two old ones
    if (commit) files.Commit();
    files.Main().Write(" unused");  // the main stream stays usable, its data is dropped
    if (!commit) {
      EXPECT_EQ(ReadFile(File("report.htm")), "old main");
    }
  }
  EXPECT_EQ(Entries(), (TNames{"report.css", "report01.htm", "report02.htm"}));
  EXPECT_EQ(ReadFile(File("report.css")) + ReadFile(File("report02.htm")), "stylepage 2");
}

TEST_F(OutputFileSetTest, AFailureWhileCompletingOrCopyingAnyFileLeavesTheRenamedOnesAsTheyWere) {
  WriteFile(File("data.dbf"), "old table");
  TOutputFile::SetDescriptorHookForTesting(
      [](const std::string& target) { return target.ends_with(".dbt") ? ::open("/dev/full", O_WRONLY) : -1; });
  const std::pair<std::string, std::string> cases[] = {
      {File("data.dbf"), File("data.dbt")},  // the memo file cannot be completed
      {"/dev/full", File("data.dbf")},       // the copy to the main target fails
  };
  for (const auto& [main, side] : cases) {
    TOutputFileSet files;
    files.Add(main).Write("table");
    files.Add(side).Write("memo");
    EXPECT_THROW(files.Commit(), EVelmoraError) << main;
  }
  TOutputFile::SetDescriptorHookForTesting(nullptr);
  EXPECT_EQ(Entries(), TNames{"data.dbf"});
  EXPECT_EQ(ReadFile(File("data.dbf")), "old table");
}

TEST_F(OutputFileSetTest, OneFileCannotBeAddedTwiceUnderAnyName) {
  WriteFile(File("old.txt"), "old");
  fs::create_symlink("old.txt", File("link.txt"));
  TOutputFileSet files;
  files.Add(File("new.txt"));
  files.Add(File("old.txt"));
  files.RemoveAtCommit(File("gone.txt"));
  const std::pair<std::string, std::string> cases[] = {
      {File("new.txt"), "The export writes it already as \"" + File("new.txt") + "\""},
      {directory_.Path() + "/./new.txt", "The export writes it already as \"" + File("new.txt") + "\""},
      {File("link.txt"), "The export writes it already as \"" + File("old.txt") + "\""},
      {File("gone.txt"), "The export removes it as \"" + File("gone.txt") + "\""},
  };
  for (const auto& [target, reason] : cases) {
    EXPECT_VELMORA_ERROR(files.Add(target), "Cannot create file \"" + target + "\". " + reason);
  }
}

// The files of earlier users of one run's claims, under any spelling, are
// refused before anything is created; a shared style sheet only with other bytes.
TEST_F(OutputFileSetTest, FilesOfAnEarlierUserAreRefusedUnderAnyName) {
  TOutputClaims claims;
  claims.BeginUser("a");
  {
    TOutputFileSet files(&claims);
    files.Add(File("a.csv")).Write("a");
    files.Add(File("p01.html"));
    files.AddShared(File("site.css"), "style");
    files.Add("/dev/null");  // devices are nobody's
    files.Commit();
  }
  fs::create_symlink("a.csv", File("link.csv"));
  claims.BeginUser("b");
  EXPECT_FALSE(claims.Refused());
  TOutputFileSet files(&claims);
  files.Add(File("b.csv"));
  files.AddShared(File("site.css"), "style");
  files.Add("/dev/null");
  const auto refusal = [&](const std::string& target, const std::string& earlier) {
    return "Output file " + target + " is already used by an earlier item (a wrote it as " + File(earlier) +
           ")";
  };
  const std::pair<std::string, std::string> cases[] = {
      {File("a.csv"), "a.csv"},
      {directory_.Path() + "/./a.csv", "a.csv"},
      {File("link.csv"), "a.csv"},
      {directory_.Path() + "/none/../p01.html", "p01.html"},
  };
  for (const auto& [target, earlier] : cases)
    EXPECT_VELMORA_ERROR(files.Add(target), refusal(target, earlier));
  EXPECT_VELMORA_ERROR(files.AddShared(File("site.css"), "other style"),
                       refusal(File("site.css"), "site.css"));
  EXPECT_VELMORA_ERROR(files.Add(File("site.css")), refusal(File("site.css"), "site.css"));
  EXPECT_TRUE(claims.Refused());
  files.Commit();
  EXPECT_EQ(Entries(), (TNames{"a.csv", "b.csv", "link.csv", "p01.html", "site.css"}));
  EXPECT_EQ(ReadFile(File("a.csv")) + ReadFile(File("site.css")), "astyle");
}

// Views on one registry, claimed from threads at once as items that run at
// once claim their files: each file goes to exactly one view, whichever came
// first; a view's own claims never refuse it; every claim stays in the registry.
TEST_F(OutputFileSetTest, ViewsOnOneRegistryShareTheClaimsAcrossThreads) {
  TOutputClaims registry;
  constexpr int kViews = 4;
  constexpr int kFiles = 200;
  std::vector<std::unique_ptr<TOutputClaims>> views;
  for (int view = 0; view < kViews; ++view) {
    views.push_back(std::make_unique<TOutputClaims>(registry));
    views.back()->BeginUser("item" + std::to_string(view));
  }
  std::vector<int> granted(kViews, 0);
  std::vector<std::thread> threads;
  for (int view = 0; view < kViews; ++view) {
    threads.emplace_back([&, view] {
      for (int file = 0; file < kFiles; ++file) {
        try {
          views[view]->Claim(File("f" + std::to_string(file)));
          views[view]->Claim(File("f" + std::to_string(file)));  // its own again
          ++granted[view];
        } catch (const EVelmoraError&) {
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  int total = 0;
  for (const int count : granted) total += count;
  EXPECT_EQ(total, kFiles);
  registry.BeginUser("later");
  for (int file = 0; file < kFiles; ++file) {
    EXPECT_NE(registry.EarlierName(File("f" + std::to_string(file))), nullptr) << file;
  }
}

// The rest of a longer numbered series goes at the commit, up to its first
// gap (a directory is one); a file of the series that an earlier user wrote stays.
TEST_F(OutputFileSetTest, TheRestOfALongerSeriesIsRemovedAtTheCommit) {
  for (const char* name : {"r01.htm", "r02.htm", "r03.htm", "r04.htm", "r06.htm"})
    WriteFile(File(name), "old");
  ASSERT_EQ(::mkdir(File("r05.htm").c_str(), 0700), 0);
  TOutputClaims claims;
  claims.BeginUser("earlier");
  claims.Claim(File("r03.htm"));
  claims.BeginUser("now");
  {
    TOutputFileSet files(&claims);
    files.Add(File("r.htm"));
    files.Add(File("r01.htm")).Write("new");
    files.RemoveSeriesAtCommit(
        [this](long long number) { return File("r0" + std::to_string(number) + ".htm"); }, 2);
    files.RemoveAtCommit(File("r.htm"));
    EXPECT_EQ(Entries().size(), 8u);
    files.Commit();
  }
  EXPECT_EQ(Entries(), (TNames{"r01.htm", "r03.htm", "r05.htm", "r06.htm"}));
  EXPECT_EQ(ReadFile(File("r01.htm")), "new");
}

// Waits until the directory holds a hidden temporary file; false after 20 s.
bool AwaitTemporaryFile(const testsupport::TTempDir& directory) {
  for (int attempt = 0; attempt < 2000; ++attempt) {
    for (const std::string& name : directory.Entries()) {
      if (name.starts_with(".")) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(OutputFileSetTest, ATerminatingSignalRemovesTheTemporaryFilesOfTheExport) {
  const std::string fifo = File("main.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The signal may be ignored where the tests were started from.
      ::signal(signal_number, SIG_DFL);
      InstallSignalCleanup();
      TOutputFileSet files;
      files.Add(fifo).Write("main");
      files.Add(File("side.txt")).Write("side");
      files.Commit();  // waits for a reader of the FIFO that never comes
      ::_exit(0);
    }
    const bool started = AwaitTemporaryFile(directory_);
    ::kill(child, started ? signal_number : SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(started);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(Entries(), TNames{"main.fifo"}) << strsignal(signal_number);
  }
}

// A handler that runs in one thread while another is inside a deferred
// section (between creating a file and registering it, or renaming it into
// place and releasing it) waits for the section to end before removing files.
TEST_F(OutputFileSetTest, ASignalInAnotherThreadWaitsForADeferredSection) {
  const std::string held = File("held.tmp");
  const std::string done = File("section.done");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGTERM, SIG_DFL);
    InstallSignalCleanup();
    WriteFile(held, "x");
    std::thread section([&] {
      TDeferCleanupSignals defer;
      TSignalCleanupPath path;
      path.Hold(held);
      ::kill(::getpid(), SIGTERM);  // blocked here: the main thread takes it
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      WriteFile(done, "");
      path.Release();
    });
    section.join();
    for (;;) ::pause();
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  // The section ran to its end: its file was released, not removed.
  EXPECT_EQ(Entries(), (TNames{"held.tmp", "section.done"}));
}

}  // namespace
}  // namespace velmora
