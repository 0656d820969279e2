#include "platform/output_claims.h"

#include <filesystem>
#include <system_error>

#include "platform/error.h"
#include "platform/output_file.h"

namespace velmora {

std::string OutputFileIdentity(const std::string& file_name) {
  // A descriptor is written at its offset: a second user adds to the first.
  if (NamesOpenDescriptor(file_name)) return "";
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path path = fs::absolute(file_name, error);
  if (error) return file_name;
  const fs::file_status status = fs::status(path, error);
  if (!error && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) return "";
  const fs::path resolved = fs::weakly_canonical(path, error);
  return (error ? path.lexically_normal() : resolved).string();
}

TOutputClaims::TOutputClaims() : registry_(std::make_shared<TRegistry>()) {}

TOutputClaims::TOutputClaims(const TOutputClaims& registry) : registry_(registry.registry_) {}

void TOutputClaims::BeginUser(std::string user) {
  {
    const std::lock_guard lock(registry_->Mutex);
    user_ = ++registry_->LastUser;
  }
  user_name_ = std::move(user);
  refused_ = false;
}

const TOutputClaims::TClaim* TOutputClaims::Earlier(const std::string& identity) const {
  if (identity.empty()) return nullptr;
  const auto claim = registry_->Claims.find(identity);
  return claim == registry_->Claims.end() || claim->second.User == user_ ? nullptr : &claim->second;
}

const std::string* TOutputClaims::EarlierName(const std::string& file_name) const {
  const std::string identity = OutputFileIdentity(file_name);
  const std::lock_guard lock(registry_->Mutex);
  // The claim itself stays in the registry, which never removes one.
  const TClaim* claim = Earlier(identity);
  return claim == nullptr ? nullptr : &claim->FileName;
}

void TOutputClaims::Claim(const std::string& file_name, const std::string* shared_content) {
  const std::string identity = OutputFileIdentity(file_name);
  if (identity.empty()) return;
  const std::lock_guard lock(registry_->Mutex);
  if (const TClaim* claim = Earlier(identity); claim != nullptr) {
    if (claim->Shared && shared_content != nullptr && claim->Content == *shared_content) return;
    refused_ = true;
    throw EVelmoraError("Output file " + file_name + " is already used by an earlier item (" +
                        claim->UserName + " wrote it as " + claim->FileName + ")");
  }
  registry_->Claims.try_emplace(identity,
                                TClaim{user_, user_name_, file_name, shared_content != nullptr,
                                       shared_content != nullptr ? *shared_content : std::string()});
}

}  // namespace velmora
