#pragma once

#include <string>

namespace velmora {

// True when the first face of the file has TrueType outlines and its
// licence lets a document embed it: a face the Unicode font chain takes.
bool IsEmbeddableTrueTypeFile(const std::string& file);

}  // namespace velmora
