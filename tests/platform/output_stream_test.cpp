// The buffered output stream and the output file that appears only when complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/output_file.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

// Somebody else: the owner given to files replaced as root, and the user the
// tests run as when they need to be refused.
constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;
using TNames = std::vector<std::string>;

TNames EntriesOf(const std::string& directory) {
  TNames names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
using testsupport::WriteFile;

class OutputStreamTest : public ::testing::Test {
 protected:
  void TearDown() override { TOutputFile::SetDescriptorHookForTesting(nullptr); }
  std::size_t EntryCount() const { return directory_.Entries().size(); }

  testsupport::TTempDir directory_{"stream"};
};

TEST_F(OutputStreamTest, SeekReadBackAndInsertAcrossTheBuffer) {
  const std::string path = directory_.File("data.bin");
  TOutputFile file(path);
  TOutputStream& stream = file.Stream();
  std::string big(200000, 'x');
  for (std::size_t index = 0; index < big.size(); ++index) big[index] = static_cast<char>('a' + index % 26);
  stream.Write("HEAD");
  stream.Write(big);
  EXPECT_EQ(stream.Size(), 200004);
  stream.Seek(0);
  stream.Write("head");
  EXPECT_EQ(stream.Position(), 4);
  char back[4];
  stream.ReadAt(0, back, 4);
  EXPECT_EQ(std::string(back, 4), "head");
  stream.Insert(2, "++");
  EXPECT_EQ(stream.Size(), 200006);
  stream.Seek(stream.Size());
  stream.Write("END");
  EXPECT_FALSE(fs::exists(path));  // nothing under the name before the commit
  file.Commit();
  EXPECT_EQ(ReadFile(path), "he++ad" + big + "END");
  EXPECT_EQ(EntryCount(), 1u);
}

// An export's file starts on its way to the device every few MiB; bytes
// rewritten after that, and those after the last start, still land.
TEST_F(OutputStreamTest, AFileWrittenToTheDeviceAsItGrowsKeepsEveryByte) {
  const std::string path = directory_.File("large.bin");
  TOutputFile file(path);
  TOutputStream& stream = file.Stream();
  std::string piece(100003, ' ');
  for (std::size_t index = 0; index < piece.size(); ++index) piece[index] = static_cast<char>('a' + index % 23);
  std::string expected;
  for (int count = 0; count < 90; ++count) {
    stream.Write(piece);
    expected += piece;
  }
  stream.Seek(1000);
  stream.Write("REWRITTEN");
  expected.replace(1000, 9, "REWRITTEN");
  file.Commit();
  EXPECT_TRUE(ReadFile(path) == expected);
}

TEST_F(OutputStreamTest, InsertTakesTheBytesStillPendingInTheBuffer) {
  const std::string path = directory_.File("pending.bin");
  TOutputFile file(path);
  TOutputStream& stream = file.Stream();
  stream.Write("0123456789");
  stream.Insert(3, "<>");  // all ten bytes are still in the buffer
  stream.Seek(1);
  stream.Write("ab");  // pending again, at an offset inside the file
  stream.Insert(7, "--");
  stream.Write("END");
  file.Commit();
  EXPECT_EQ(ReadFile(path), "0ab<>34--56789END");
}

TEST_F(OutputStreamTest, APipeRefusesSeekReadBackAndInsertInsteadOfAppending) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  auto received = testsupport::ReadPipeInBackground(pipe_ends[0]);
  const std::string refused = "Cannot seek in \"pipe\": Illegal seek";
  {
    TOutputStream stream(pipe_ends[1], "pipe");
    EXPECT_FALSE(stream.Seekable());
    stream.Write("AAAApayload");
    char back[4];
    EXPECT_VELMORA_ERROR(stream.Seek(0), refused);
    EXPECT_VELMORA_ERROR(stream.ReadAt(0, back, 4), refused);
    EXPECT_VELMORA_ERROR(stream.Insert(0, "BBBB"), refused);
    stream.Close();
  }
  EXPECT_EQ(received.get(), "AAAApayload");
}

// Bytes of one stream written into another, pending bytes of both
// included: between files (where the kernel copies them), and into a pipe.
TEST_F(OutputStreamTest, WriteFromCopiesAPieceOfAnotherStreamAtTheWritePosition) {
  std::string source_bytes(300000, 0);
  for (std::size_t index = 0; index < source_bytes.size(); ++index)
    source_bytes[index] = static_cast<char>(index * 7);
  const std::string source_path = directory_.File("source.bin");
  TOutputStream source(::open(source_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600),
                       source_path);
  source.Write(source_bytes);  // the last 300000 % 64 KiB still pending
  const std::string piece = source_bytes.substr(1000, 250000);

  const std::string path = directory_.File("copy.bin");
  TOutputFile file(path);
  file.Stream().Write("head");
  file.Stream().WriteFrom(source, 1000, 250000);
  EXPECT_VELMORA_ERROR(file.Stream().WriteFrom(source, 299999, 2),
                       "Cannot read beyond the end of \"" + source_path + "\"");
  file.Stream().Write("tail");
  EXPECT_EQ(file.Stream().Size(), 250008);
  file.Commit();
  EXPECT_EQ(ReadFile(path), "head" + piece + "tail");

  int pipe_ends[2];
  ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
  auto received = testsupport::ReadPipeInBackground(pipe_ends[0]);
  {
    TOutputStream pipe(pipe_ends[1], "pipe");
    pipe.Write("head");
    pipe.WriteFrom(source, 1000, 250000);
    pipe.Close();
  }
  EXPECT_EQ(received.get(), "head" + piece);
}

TEST_F(OutputStreamTest, WritingToAFullDeviceFailsWithTheSystemMessage) {
  TOutputStream stream(::open("/dev/full", O_WRONLY), "/dev/full");
  stream.Write("some bytes");
  try {
    stream.Close();
    FAIL() << "a full device must fail the write";
  } catch (const EVelmoraError& error) {
    EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
  }
}

TEST_F(OutputStreamTest, AFailedFileLeavesNoTraceAndKeepsTheOldOne) {
  const std::string path = directory_.File("report.txt");
  WriteFile(path, "old");
  TOutputFile::SetDescriptorHookForTesting([](const std::string&) { return ::open("/dev/full", O_WRONLY); });
  {
    TOutputFile file(path);
    file.Stream().Write(std::string(1000, 'x'));
    EXPECT_THROW(file.Commit(), EVelmoraError);
  }
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(OutputStreamTest, ReplacingKeepsTheOwnerGroupAndModeOfTheOldFile) {
  const std::string path = directory_.File("mode.txt");
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  // Only root can give the file to somebody else.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  }
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  TOutputFile file(path);
  file.Stream().Write("new");
  file.Commit();
  EXPECT_EQ(ReadFile(path), "new");
  struct stat after;
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written into
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
}

// Replaces target in a child process, as an unprivileged user when the tests
// run as root; returns the error message, or "written".
std::string ReplaceAsUnprivilegedUser(const std::string& target) {
  return testsupport::RunInChild([&] {
    testsupport::BecomeUnprivileged();
    TOutputFile file(target);
    file.Stream().Write("new");
    file.Commit();
    return std::string("written");
  });
}

TEST_F(OutputStreamTest, AFileTheUserCannotWriteIsRefusedAndOneInAClosedDirectoryIsWrittenInPlace) {
  // The other user must reach the files.
  ASSERT_EQ(::chmod(directory_.Path().c_str(), 0755), 0);
  const std::string open_directory = directory_.File("open");
  const std::string closed_directory = directory_.File("closed");
  fs::create_directory(open_directory);
  fs::create_directory(closed_directory);
  const std::string read_only = open_directory + "/read-only.csv";
  const std::string writable = closed_directory + "/writable.csv";
  WriteFile(read_only, "old");
  WriteFile(writable, "old");
  ASSERT_EQ(::chmod(open_directory.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(closed_directory.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(writable.c_str(), 0666), 0);
  struct stat before;
  ASSERT_EQ(::stat(writable.c_str(), &before), 0);

  EXPECT_EQ(ReplaceAsUnprivilegedUser(read_only),
            "Cannot create file \"" + read_only + "\". Permission denied");
  EXPECT_EQ(ReplaceAsUnprivilegedUser(writable), "written");
  EXPECT_EQ(ReadFile(read_only), "old");
  EXPECT_EQ(ReadFile(writable), "new");
  struct stat after;
  ASSERT_EQ(::stat(writable.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(EntriesOf(open_directory).size() + EntriesOf(closed_directory).size(), 2u);
  ASSERT_EQ(::chmod(closed_directory.c_str(), 0755), 0);  // so that the directory can be removed
}

TEST_F(OutputStreamTest, ALinkPlantedInASharedStickyDirectoryDoesNotRedirectRoot) {
  std::string protection;
  if (::geteuid() != 0 || !ReadWholeFile("/proc/sys/fs/protected_symlinks", 64, protection) ||
      protection.substr(0, 1) != "1") {
    GTEST_SKIP() << "needs root and fs.protected_symlinks = 1";
  }
  const std::string shared = directory_.File("shared");
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const std::string victim = directory_.File("victim.conf");
  WriteFile(victim, "old");
  const std::string link = shared + "/report.csv";
  fs::create_symlink(victim, link);
  ASSERT_EQ(::lchown(link.c_str(), kOtherUser, kOtherGroup), 0);
  EXPECT_VELMORA_ERROR(TOutputFile file(link), "Cannot create file \"" + link + "\". Permission denied");
  EXPECT_EQ(ReadFile(victim), "old");
}

TEST_F(OutputStreamTest, ASymbolicLinkIsWrittenThroughAndStaysALink) {
  const std::string real = directory_.File("real");
  fs::create_directories(real);
  WriteFile(real + "/old.csv", "old");
  // A link to an existing file, and one to a file the kernel creates for it.
  const std::string names[] = {"old.csv", "new.csv"};
  for (const std::string& name : names) {
    fs::create_symlink("real/" + name, directory_.File("link-" + name));
    TOutputFile failed(directory_.File("link-" + name));
    failed.Stream().Write("lost");
  }
  EXPECT_EQ(EntriesOf(real), TNames{"old.csv"});
  EXPECT_EQ(ReadFile(real + "/old.csv"), "old");
  for (const std::string& name : names) {
    TOutputFile file(directory_.File("link-" + name));
    file.Stream().Write("new " + name);
    file.Commit();
    EXPECT_TRUE(fs::is_symlink(directory_.File("link-" + name)));
    EXPECT_EQ(ReadFile(real + "/" + name), "new " + name);
  }
  EXPECT_EQ(EntriesOf(real), (TNames{"new.csv", "old.csv"}));
}

TEST_F(OutputStreamTest, AFileNamedThroughADescriptorIsWrittenIntoAndNotReplaced) {
  // As /dev/stdout names the file a shell redirected the output to: written at
  // the descriptor's offset, never truncated, an append staying an append.
  const std::string path = directory_.File("redirected.txt");
  for (const auto& [name, flags, expected] :
       {std::tuple{"/dev/fd/", O_WRONLY, "newer and longer"},
        std::tuple{"/proc/self/fd/", O_WRONLY | O_APPEND, "older and longernew"}}) {
    WriteFile(path, "older and longer");
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    TOutputFile file(name + std::to_string(fd));
    file.Stream().Write("new");
    file.Commit();
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(std::string(expected).find("new") + 3));
    ::close(fd);
  }
  EXPECT_EQ(EntryCount(), 1u);
  const int read_only = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const std::string named = "/dev/fd/" + std::to_string(read_only);
  EXPECT_VELMORA_ERROR(TOutputFile file(named), "Cannot create file \"" + named + "\". Bad file descriptor");
  ::close(read_only);
}

TEST_F(OutputStreamTest, NonRegularTargetsAreWrittenAtCommit) {
  TOutputFile file("/dev/null");
  EXPECT_FALSE(file.IsRegularFile());
  file.Stream().Write("discarded");
  file.Commit();
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace velmora
