// The package container alone: written through a pipe (nothing can be sought
// back), at every kind of compression level, it must read back entry by entry
// with Python's zipfile module (which checks each CRC) and unzip; and a write
// that fails on the deflating thread must fail the caller.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "formats/xlsx/zip_stream.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

using testsupport::FindExecutable;
using testsupport::RunCommand;
using testsupport::TTempDir;

constexpr const char* kPython = "/usr/bin/python3";

// Prints each entry's name, size and whether it equals the file given for it,
// then the result of the CRC check over the whole archive.
constexpr const char* kArchiveChecker = R"(import sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
pairs = sys.argv[2:]
for name, path in zip(pairs[0::2], pairs[1::2]):
    info = archive.getinfo(name)
    print(name, info.file_size, info.compress_type, archive.read(name) == open(path, 'rb').read())
print('names', archive.namelist())
print('testzip', archive.testzip())
)";

// Bytes deflate cannot shrink, then text it can.
std::string MixedBytes(std::size_t size) {
  std::string bytes;
  std::uint32_t state = 12345;
  for (std::size_t index = 0; index < size / 2; ++index) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>(state >> 24);
  }
  while (bytes.size() < size) bytes += "<row r=\"1\"><c><v>42</v></c></row>";
  bytes.resize(size);
  return bytes;
}

TEST(ZipStreamInteropTest, ArchiveWrittenThroughAPipeReadsBackEntryByEntry) {
  if (RunCommand({kPython, "-c", "import zipfile"}).exit_status != 0)
    GTEST_SKIP() << "python3 is not installed";
  TTempDir directory("zip");
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"empty.xml", ""},
      {"[Content_Types].xml", "<Types/>"},
      {"xl/block.bin", MixedBytes(TZipStream::kBlockSize)},
      {"xl/worksheets/sheet1.xml", MixedBytes(3 * TZipStream::kBlockSize + 777)},
  };
  std::vector<std::string> arguments = {kPython, "-c", kArchiveChecker, ""};
  std::string expected;
  for (std::size_t index = 0; index < entries.size(); ++index) {
    const std::string path = directory.File("entry" + std::to_string(index));
    testsupport::WriteFile(path, entries[index].second);
    arguments.push_back(entries[index].first);
    arguments.push_back(path);
    expected += entries[index].first + " " + std::to_string(entries[index].second.size()) + " 8 True\n";
  }
  expected +=
      "names ['empty.xml', '[Content_Types].xml', 'xl/block.bin', 'xl/worksheets/sheet1.xml']\n"
      "testzip None\n";
  for (const int level : {0, 1, 9}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto received = testsupport::ReadPipeInBackground(fds[0]);
    {
      TOutputStream stream(fds[1], "pipe");
      TZipStream zip(stream, level);
      for (const auto& [name, bytes] : entries) {
        zip.BeginEntry(name);
        // In pieces of an odd size, as rows come.
        for (std::size_t at = 0; at < bytes.size(); at += 1001)
          zip.Write(std::string_view(bytes).substr(at, 1001));
      }
      zip.Finish();
      EXPECT_EQ(zip.UncompressedBytes(), 4 * TZipStream::kBlockSize + 777 + 8);
      stream.Close();
    }
    const std::string archive_path = directory.File("level" + std::to_string(level) + ".zip");
    testsupport::WriteFile(archive_path, received.get());
    arguments[3] = archive_path;
    const auto result = RunCommand(arguments);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_EQ(result.output, expected) << "level " << level;
    if (const std::string unzip = FindExecutable("unzip"); !unzip.empty()) {
      const auto tested = RunCommand({unzip, "-tq", archive_path});
      EXPECT_EQ(tested.exit_status, 0) << tested.output;
    }
  }
}

// A region written over after more data followed (a worksheet's columns,
// widened at its end): the entry reads back with the new bytes and a CRC
// that matches them, at a level that compresses and at one that stores.
TEST(ZipStreamInteropTest, RegionWrittenOverAfterMoreDataReadsBackWithItsNewBytes) {
  if (RunCommand({kPython, "-c", "import zipfile"}).exit_status != 0)
    GTEST_SKIP() << "python3 is not installed";
  TTempDir directory("zip-region");
  const std::string head = MixedBytes(5000), tail = MixedBytes(2 * TZipStream::kBlockSize + 3);
  const std::string first(300, 'a'), second = std::string(200, 'b') + std::string(100, ' ');
  const std::string expected_path = directory.File("expected");
  testsupport::WriteFile(expected_path, head + second + tail);
  for (const int level : {0, 1}) {
    const std::string path = directory.File("region" + std::to_string(level) + ".zip");
    {
      TOutputStream stream(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), path);
      TZipStream zip(stream, level);
      ASSERT_TRUE(zip.Seekable());
      zip.BeginEntry("before.xml");
      zip.Write("<before/>");
      zip.BeginEntry("sheet.xml");
      zip.Write(head);
      zip.WriteRegion(first);
      zip.Write(tail);
      zip.PatchRegion(second);
      zip.Finish();
      stream.Close(false);
    }
    const auto result = RunCommand({kPython, "-c", kArchiveChecker, path, "sheet.xml", expected_path});
    EXPECT_EQ(result.output, "sheet.xml " + std::to_string(head.size() + 300 + tail.size()) +
                                 " 8 True\nnames ['before.xml', 'sheet.xml']\ntestzip None\n")
        << "level " << level;
  }
}

// The deflating thread writes; its failure (here a full device) reaches the
// caller with the system's message instead of a short file taken for success.
TEST(ZipStreamInteropTest, WriteFailureOnTheDeflatingThreadFailsTheCaller) {
  const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "/dev/full is not there";
  TOutputStream stream(fd, "full device");
  const std::string bytes = MixedBytes(8 * TZipStream::kBlockSize);
  try {
    TZipStream zip(stream, 0);
    zip.BeginEntry("sheet.xml");
    zip.Write(bytes);
    zip.Finish();
    ADD_FAILURE() << "the archive went to a full device without an error";
  } catch (const EVelmoraError& error) {
    EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace velmora
