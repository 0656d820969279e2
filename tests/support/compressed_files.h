// Reading compressed output files back in the tests: whole gzip and Zstandard
// files decompressed in the process, by the libraries' own decoders.
#pragma once

#include <string>

namespace velmora::testsupport {

// The bytes of a gzip file (every member) or a Zstandard file (every frame),
// chosen by the file's magic number; raises std::runtime_error for data that
// is neither, damaged or cut short.
std::string Decompressed(const std::string& compressed);

}  // namespace velmora::testsupport
