// Reading compressed output files back in the tests with the tools of their
// formats, gzip and zstd, as a user would.
#pragma once

#include <stdexcept>
#include <string>

#include "support/test_files.h"

namespace velmora::testsupport {

// The bytes of the gzip file (".gz" ending) or Zstandard file at path, as
// its tool decompresses them; raises std::runtime_error when the tool finds
// the file damaged or cut short.
inline std::string Decompressed(const std::string& path) {
  const bool gzip = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  const TCommandResult result = RunCommand({gzip ? "gzip" : "zstd", "-dcq", path});
  if (result.exit_status != 0) throw std::runtime_error(path + ": " + result.output);
  return result.output;
}

}  // namespace velmora::testsupport
