#include "formats/xls/xls_spool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/signal_cleanup.h"

namespace velmora {

std::unique_ptr<TOutputStream> CreateTemporaryStream(std::string_view purpose) {
  const char* variable = std::getenv("TMPDIR");
  const std::string directory = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  std::string name = directory + "/velmora-" + std::string(purpose) + "-XXXXXX";
  // No terminating signal between creating the file and removing its name.
  TDeferCleanupSignals defer;
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) RaiseSystemError("Cannot create a temporary file in \"" + directory + "\"", errno);
  ::unlink(name.c_str());
  return std::make_unique<TOutputStream>(fd, name);
}

void CopyStream(TOutputStream& from, std::int64_t position, std::int64_t size, TOutputStream& to) {
  constexpr std::int64_t kChunk = 1 << 20;
  std::vector<char> chunk(static_cast<std::size_t>(std::min(size, kChunk)));
  while (size > 0) {
    const std::size_t take = static_cast<std::size_t>(std::min(size, kChunk));
    from.ReadAt(position, chunk.data(), take);
    to.Write(chunk.data(), take);
    position += static_cast<std::int64_t>(take);
    size -= static_cast<std::int64_t>(take);
  }
}

}  // namespace velmora
