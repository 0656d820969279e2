#include "formats/xls/xls_spool.h"

#include <cerrno>
#include <string>

#include "platform/error.h"
#include "platform/spool_file.h"

namespace velmora {

std::unique_ptr<TOutputStream> CreateTemporaryStream(std::string_view purpose) {
  const std::string directory = TemporaryDirectory();
  std::string name;
  const int fd = CreateRemovedFile(directory, purpose, name);
  if (fd < 0) RaiseSystemError("Cannot create a temporary file in \"" + directory + "\"", errno);
  return std::make_unique<TOutputStream>(fd, name);
}

}  // namespace velmora
