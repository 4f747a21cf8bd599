#pragma once

#include <memory>

#include "platform/secrets/secret_store.h"

namespace kovali {

/// Keeps secrets in the preferred store (the keychain) and, while that store reports that it
/// has no service, in the fallback store (a file) instead.
///
/// A copy in the fallback is always the newest: a successful write or removal in the preferred
/// store removes it, and a removal while the preferred store is out of service leaves an empty
/// value in the fallback, so that an older copy in the preferred store does not come back when
/// that store returns. So reads look at the fallback first, and an empty value reads as no item.
class FallbackSecretStore final : public SecretStore {
 public:
  FallbackSecretStore(std::unique_ptr<SecretStore> preferred, std::unique_ptr<SecretStore> fallback);

  SecretReadResult read(const std::string& service, const std::string& account) override;
  std::optional<SecretError> write(const std::string& service, const std::string& account,
                                   const std::string& value) override;
  std::optional<SecretError> remove(const std::string& service, const std::string& account) override;

 private:
  std::unique_ptr<SecretStore> preferred_;
  std::unique_ptr<SecretStore> fallback_;
};

}  // namespace kovali
