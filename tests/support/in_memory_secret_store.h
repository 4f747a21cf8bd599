#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/secrets/secret_store.h"

namespace kovali {

/// Secrets that live as long as the object. A test can make every call fail, and can see how
/// many writes and removals reached it.
class InMemorySecretStore final : public SecretStore {
 public:
  SecretReadResult read(const std::string& service, const std::string& account) override;
  std::optional<SecretError> write(const std::string& service, const std::string& account,
                                   const std::string& value) override;
  std::optional<SecretError> remove(const std::string& service, const std::string& account) override;

  /// When set, every call fails with it and changes nothing.
  std::optional<SecretError> failure;

  /// The stored items, (service, account) -> text.
  std::map<std::pair<std::string, std::string>, std::string> items;
  int writes = 0;
  int removals = 0;
};

}  // namespace kovali
