#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <vector>

#include "platform/error.h"

namespace velmora {

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFileTarget(const std::string& path) {
  struct stat status{};
  if (::stat(path.c_str(), &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode);
}

bool ForceDirectories(const std::string& path) {
  // A name the kernel would refuse is refused before any directory is made.
  if (path.empty() || path.size() >= PATH_MAX) return false;
  // Walk up to the deepest directory that exists, then create downwards: a
  // loop, as the path may hold thousands of levels.
  std::vector<std::string> missing;
  for (std::string current = path; !DirectoryExists(current);) {
    missing.push_back(current);
    std::string parent = ExtractFileDir(current);
    if (parent.empty() || parent == current) break;
    current = std::move(parent);
  }
  for (auto directory = missing.rbegin(); directory != missing.rend(); ++directory) {
    if (::mkdir(directory->c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return DirectoryExists(path);
}

std::string ExtractFileDir(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return "";
  std::size_t end = slash;
  while (end > 0 && path[end - 1] == '/') --end;
  if (end == 0) return "/";
  return std::string(path.substr(0, end));
}

std::string ExtractFileName(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return "";
  return std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
  const std::string current = ExtractFileExt(path);
  std::string result(path.substr(0, path.size() - current.size()));
  result += extension;
  return result;
}

bool ReadWholeFile(const std::string& path, std::size_t max_size, std::string& content) {
  // Non-blocking, so that opening a pipe with no writer does not wait for one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    RaiseSystemError("Cannot open file \"" + path + "\"", errno);
  }
  const auto fail = [&](const std::string& reason) {
    ::close(fd);
    throw EVelmoraError("Cannot read file \"" + path + "\": " + reason);
  };
  struct stat info;
  if (::fstat(fd, &info) != 0) fail(SystemErrorText(errno));
  if (!S_ISREG(info.st_mode)) fail("not a regular file");
  const std::string too_large = "larger than " + std::to_string(max_size) + " bytes";
  if (static_cast<std::uintmax_t>(info.st_size) > max_size) fail(too_large);
  content.clear();
  content.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      fail(SystemErrorText(errno));
    }
    if (count == 0) break;
    content.append(buffer, static_cast<std::size_t>(count));
    // The file may grow while it is read.
    if (content.size() > max_size) fail(too_large);
  }
  ::close(fd);
  return true;
}

std::string ProgramPath() {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return "";
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX + 1);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return ".";
  return std::string(buffer.data());
}

}  // namespace velmora
