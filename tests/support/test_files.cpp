#include "support/test_files.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmora::testsupport {

namespace fs = std::filesystem;

TTempDir::TTempDir(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / ("velmora-" + prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
  }
  path_ = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TTempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

std::vector<std::string> TTempDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string FindExecutable(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    if (directory.empty()) continue;
    const std::string candidate = directory + "/" + name;
    struct stat info;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return "";
}

TCommandResult RunCommand(const std::vector<std::string>& arguments, int timeout_seconds) {
  TCommandResult result;
  if (arguments.empty()) return result;
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));

  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    // Own process group, so a timeout ends the program and everything it started.
    ::setpgid(0, 0);
    ::dup2(pipe_ends[1], STDOUT_FILENO);
    ::dup2(pipe_ends[1], STDERR_FILENO);
    const int null_input = ::open("/dev/null", O_RDONLY);
    if (null_input >= 0) ::dup2(null_input, STDIN_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::setpgid(child, child);
  ::close(pipe_ends[1]);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  bool timed_out = false;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd wait_for{pipe_ends[0], POLLIN, 0};
    const int ready = ::poll(&wait_for, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t count = ::read(pipe_ends[0], buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(pipe_ends[0]);
  if (timed_out) ::kill(-child, SIGKILL);

  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_status = !timed_out && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (timed_out) result.output += "\n[killed after " + std::to_string(timeout_seconds) + " s]";
  return result;
}

std::future<std::string> ReadPipeInBackground(int read_fd) {
  return std::async(std::launch::async, [read_fd] {
    std::string content;
    char buffer[4096];
    for (;;) {
      const ssize_t count = ::read(read_fd, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) break;
      content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(read_fd);
    return content;
  });
}

std::future<std::string> ReadPipeInBackground(const std::string& path) {
  return std::async(std::launch::async, [path] {
    const int read_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (read_fd < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    return ReadPipeInBackground(read_fd).get();
  });
}

std::string RunInChild(const std::function<std::string()>& body) {
  int pipe_ends[2];
  if (::pipe2(pipe_ends, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    std::string outcome;
    try {
      outcome = body();
    } catch (const std::exception& error) {
      outcome = error.what();
    }
    const ssize_t ignored = ::write(pipe_ends[1], outcome.data(), outcome.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipe_ends[1]);
  std::string outcome = ReadPipeInBackground(pipe_ends[0]).get();
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status)) : outcome;
}

void BecomeUnprivileged() {
  constexpr uid_t kOtherUser = 65534;
  constexpr gid_t kOtherGroup = 65534;
  if (::geteuid() == 0 &&
      (::setgroups(0, nullptr) != 0 || ::setgid(kOtherGroup) != 0 || ::setuid(kOtherUser) != 0)) {
    throw std::runtime_error("cannot drop privileges");
  }
}

std::string Lines(const std::vector<std::string>& lines, const std::string& ending) {
  std::string text;
  for (const std::string& line : lines) text += line + ending;
  return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

}  // namespace velmora::testsupport
