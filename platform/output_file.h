#pragma once

#include <memory>
#include <string>

#include "platform/output_stream.h"

namespace velmora {

// An output file that appears under its name only when it is complete.
// Writes go to a hidden temporary file in the target's directory; Commit renames
// it over the target. Without Commit (a failed export) the temporary file is
// removed and a file already standing under the name stays as it was.
// A target that exists and is not a regular file (a device, a pipe) is written
// in place: there is nothing to rename over it. A symbolic link is followed,
// so the file it names is replaced and the link stays.
class TOutputFile {
 public:
  explicit TOutputFile(std::string target);
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  TOutputStream& Stream() { return *stream_; }
  const std::string& Target() const { return target_; }
  // Closes the stream and puts the file in place.
  void Commit();

  // Tests replace the descriptor the data goes to (for example one of /dev/full)
  // while the temporary file is still created and cleaned up as usual.
  using TDescriptorHook = int (*)(const std::string& target);
  static void SetDescriptorHookForTesting(TDescriptorHook hook);

 private:
  std::string target_;     // the name as given, for messages
  std::string path_;       // where the file goes: the target with its links followed
  std::string temporary_;  // empty when writing in place
  std::unique_ptr<TOutputStream> stream_;
  bool committed_ = false;
};

}  // namespace velmora
