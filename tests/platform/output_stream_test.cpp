// The buffered output stream and the output file that appears only when complete.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/error.h"
#include "platform/output_file.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class OutputStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() / ("velmora-stream-" + std::to_string(::getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
  }
  void TearDown() override {
    TOutputFile::SetDescriptorHookForTesting(nullptr);
    fs::remove_all(directory_);
  }
  static std::string Content(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()));
  }

  fs::path directory_;
};

TEST_F(OutputStreamTest, SeekReadBackAndInsertAcrossTheBuffer) {
  const fs::path path = directory_ / "data.bin";
  TOutputFile file(path.string());
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
  EXPECT_EQ(Content(path), "he++ad" + big + "END");
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
  const fs::path path = directory_ / "report.txt";
  std::ofstream(path, std::ios::binary) << "old";
  TOutputFile::SetDescriptorHookForTesting([](const std::string&) { return ::open("/dev/full", O_WRONLY); });
  {
    TOutputFile file(path.string());
    file.Stream().Write(std::string(1000, 'x'));
    EXPECT_THROW(file.Commit(), EVelmoraError);
  }
  EXPECT_EQ(Content(path), "old");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(OutputStreamTest, ReplacingKeepsTheModeOfTheOldFile) {
  const fs::path path = directory_ / "mode.txt";
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TOutputFile file(path.string());
  file.Stream().Write("new");
  file.Commit();
  EXPECT_EQ(Content(path), "new");
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(OutputStreamTest, NonRegularTargetsAreWrittenInPlace) {
  TOutputFile file("/dev/null");
  file.Stream().Write("discarded");
  file.Commit();
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace velmora
