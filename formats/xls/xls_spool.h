#pragma once

#include <memory>
#include <string_view>

#include "platform/output_stream.h"

namespace velmora {

// A stream over a new file in $TMPDIR (or /tmp) that is removed from the
// directory as soon as it is open, so no exit, crash or signal leaves it
// behind. Its name (for messages, a full device among them) is the path it
// was created under, which names the directory. Raises "Cannot create a
// temporary file in "DIR"" with the system's reason.
std::unique_ptr<TOutputStream> CreateTemporaryStream(std::string_view purpose);

// Appends size bytes of from, from its offset position on, to to.
void CopyStream(TOutputStream& from, std::int64_t position, std::int64_t size, TOutputStream& to);

}  // namespace velmora
