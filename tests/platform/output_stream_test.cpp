// The buffered output stream and the output file that appears only when complete.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error.h"
#include "platform/output_file.h"
#include "support/test_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
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

TEST_F(OutputStreamTest, ReplacingKeepsTheModeOfTheOldFile) {
  const std::string path = directory_.File("mode.txt");
  WriteFile(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TOutputFile file(path);
  file.Stream().Write("new");
  file.Commit();
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(OutputStreamTest, ASymbolicLinkIsWrittenThroughAndStaysALink) {
  fs::create_directories(directory_.File("real"));
  const std::string real = directory_.File("real/target.csv");
  WriteFile(real, "old");
  const std::string link = directory_.File("link.csv");
  fs::create_symlink("real/target.csv", link);
  TOutputFile file(link);
  file.Stream().Write("new");
  file.Commit();
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(real), "new");
  EXPECT_EQ(fs::directory_iterator(directory_.File("real"))->path().filename(), "target.csv");
}

TEST_F(OutputStreamTest, NonRegularTargetsAreWrittenInPlace) {
  TOutputFile file("/dev/null");
  file.Stream().Write("discarded");
  file.Commit();
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace velmora
