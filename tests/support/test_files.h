#pragma once

#include <functional>
#include <future>
#include <string>
#include <vector>

namespace velmora::testsupport {

// A fresh directory under the system's temporary directory, removed with all
// its content when the object goes.
class TTempDir {
 public:
  // prefix names the directory ("velmora-<prefix>-XXXXXX") to tell the owner apart.
  explicit TTempDir(const std::string& prefix = "test");
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + name.
  std::string File(const std::string& name) const;
  // Names of the entries, hidden ones included, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// The whole file as bytes; raises std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

// The full path of an executable found on PATH (or the path itself when it
// holds a "/" and is executable); empty when there is none.
std::string FindExecutable(const std::string& name);

struct TCommandResult {
  int exit_status = -1;  // -1 when the command did not exit normally
  std::string output;    // standard output and standard error together
};

// Runs a program with its arguments (no shell) and collects what it prints.
// After timeout_seconds the program is killed and exit_status is -1.
TCommandResult RunCommand(const std::vector<std::string>& arguments, int timeout_seconds = 60);

// Everything a pipe receives until its last writer closes it, read in the
// background: from read_fd (which it closes), or from the FIFO at path, which
// the reader opens and so waits for a writer.
std::future<std::string> ReadPipeInBackground(int read_fd);
std::future<std::string> ReadPipeInBackground(const std::string& path);

// Runs body in a forked child and returns what it returned (or the message of
// the exception it raised), or "signal N" when a signal ended the child.
std::string RunInChild(const std::function<std::string()>& body);
// In a child running as root: drops to user and group 65534, for whom root's
// directories are not writable. A child of another user is unprivileged
// already. Raises std::runtime_error when it cannot.
void BecomeUnprivileged();

// The lines, each followed by ending: the expected form of a line-based file.
std::string Lines(const std::vector<std::string>& lines, const std::string& ending = "\r\n");
// The text cut at each LF (the LF dropped; a last line without one kept).
std::vector<std::string> SplitLines(const std::string& text);

// Hex digits of the bytes, two per byte: a printable form of arbitrary text.
std::string HexBytes(const std::string& bytes);

}  // namespace velmora::testsupport
