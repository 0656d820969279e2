// The temporary file a stored result's rows wait in: a directory that cannot
// take it is named in the error, with the system's text.
#include "platform/spool_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "support/expect_error.h"
#include "support/test_files.h"

namespace velmora {
namespace {

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
