#include "formats/xls/xls_spool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/signal_cleanup.h"
#include "platform/spool_file.h"

namespace velmora {

std::unique_ptr<TOutputStream> CreateTemporaryStream(std::string_view purpose) {
  const std::string directory = TemporaryDirectory();
  std::string name = directory + "/velmora-" + std::string(purpose) + "-XXXXXX";
  // No terminating signal between creating the file and removing its name.
  TDeferCleanupSignals defer;
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) RaiseSystemError("Cannot create a temporary file in \"" + directory + "\"", errno);
  ::unlink(name.c_str());
  return std::make_unique<TOutputStream>(fd, name);
}

}  // namespace velmora
