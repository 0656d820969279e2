#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace velmora {

// The output file's path made absolute, with "." and ".." resolved and the
// symbolic links of its existing part followed, so that two spellings of one
// file compare equal, before and after the file exists. Empty for a target that
// exists and is neither a regular file nor a directory (a device, a pipe), and
// for a descriptor of the process (/dev/stdout, /dev/fd/N): writing it twice
// replaces nothing.
std::string OutputFileIdentity(const std::string& file_name);

// The files that the users of one run (the items of a parameter file) write,
// so that no user replaces a file an earlier one wrote: every file a user's
// export adds (main file, pages, index, style sheet, memo file) is claimed.
//
// Items exported at once each claim through a view of their own on one
// registry (TOutputClaims(registry)): the views share the claims, each keeps
// its own user, and claims through different views may come from different
// threads.
class TOutputClaims {
 public:
  TOutputClaims();
  // A view on the claims of registry (itself a registry or a view).
  explicit TOutputClaims(const TOutputClaims& registry);
  TOutputClaims& operator=(const TOutputClaims&) = delete;

  // Claims from now on belong to user, whose name goes into messages.
  void BeginUser(std::string user);
  // The name an earlier user gave file_name under, or nullptr when no earlier
  // user claimed it (the current user's own claims do not count).
  const std::string* EarlierName(const std::string& file_name) const;
  // Claims file_name for the current user. Raises "Output file NAME is already
  // used by an earlier item (USER wrote it as EARLIER NAME)" when an earlier
  // user claimed it, and Refused() tells so until the next user begins. A file
  // claimed with shared_content (a style sheet) may be claimed again with the
  // same bytes: writing it again changes nothing for the earlier user.
  void Claim(const std::string& file_name, const std::string* shared_content = nullptr);
  bool Refused() const { return refused_; }

 private:
  struct TClaim {
    int User = 0;
    std::string UserName;
    std::string FileName;  // as that user spelled it
    bool Shared = false;
    std::string Content;  // of a shared file
  };
  struct TRegistry {
    std::mutex Mutex;
    std::unordered_map<std::string, TClaim> Claims;  // by OutputFileIdentity
    int LastUser = 0;
  };
  // Called with the registry's mutex held.
  const TClaim* Earlier(const std::string& identity) const;

  std::shared_ptr<TRegistry> registry_;
  int user_ = 0;
  std::string user_name_;
  bool refused_ = false;
};

}  // namespace velmora
