// The temporary file a stored result's rows wait in: it has no name from the
// start, and a directory that cannot take it is named in the error.
#include "platform/spool_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

TEST(SpoolFileTest, TheTemporaryDirectoryIsTmpdirUnlessItIsUnsetOrEmpty) {
  const char* saved = std::getenv("TMPDIR");
  const std::optional<std::string> kept = saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
  const struct {
    const char* Value;  // null: unset
    const char* Directory;
  } cases[] = {{nullptr, "/tmp"}, {"", "/tmp"}, {"/var/spool/x", "/var/spool/x"}};
  for (const auto& test : cases) {
    if (test.Value == nullptr) {
      ::unsetenv("TMPDIR");
    } else {
      ::setenv("TMPDIR", test.Value, 1);
    }
    EXPECT_EQ(TemporaryDirectory(), test.Directory);
  }
  if (kept) {
    ::setenv("TMPDIR", kept->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

TEST(SpoolFileTest, TheFileHasNoNameAndReadsBackWhatWasWritten) {
  testsupport::TTempDir directory("spool");
  TSpoolFile spool(directory.Path());
  EXPECT_TRUE(directory.Entries().empty());
  const std::string large((std::size_t{1} << 20) + 5, 'L');
  spool.Append("head", 4);
  spool.Append(large.data(), large.size());  // straight to the file, after "head"
  std::memcpy(spool.Extend(4), "tail", 4);
  EXPECT_EQ(spool.Size(), large.size() + 8);
  spool.FinishWriting();
  std::string read(8, '\0');
  spool.ReadAt(0, read.data(), 6);
  spool.ReadAt(large.size() + 4, read.data() + 6, 2);
  EXPECT_EQ(read.substr(0, 8), "headLLta");
}

TEST(SpoolFileTest, ADirectoryThatCannotTakeTheRowsIsNamedWithTheSystemsText) {
  testsupport::TTempDir directory("spool");
  const std::string missing = directory.File("missing");
  EXPECT_VELMORA_ERROR(TSpoolFile spool(missing),
                       "Cannot create a file for the rows in the temporary directory \"" + missing +
                           "\": No such file or directory");
  const std::string full_message =
      "Cannot hold the rows in the temporary directory \"" + directory.Path() + "\": No space left on device";
  for (const std::size_t size : {std::size_t{100}, std::size_t{2} << 20}) {
    SCOPED_TRACE(size);
    TSpoolFile spool(::open("/dev/full", O_WRONLY | O_CLOEXEC), directory.Path());
    const std::string bytes(size, 'x');
    EXPECT_VELMORA_ERROR(
        {
          spool.Append(bytes.data(), bytes.size());
          spool.FinishWriting();
        },
        full_message);
  }
}

}  // namespace
}  // namespace velmora
