#pragma once

#include "platform/secrets/secret_store.h"

namespace kovali {

/// Secrets in the user's keychain, reached through qtkeychain: the Secret Service (GNOME Keyring,
/// KeePassXC…), or KWallet on KDE. Items are stored as text under the service and the account.
///
/// qtkeychain answers through the event loop and sends every job through one executor that stays
/// bound to the thread of the process's first job. So the jobs run on one keychain thread that
/// lives as long as the application, and each call blocks the calling thread until its job has
/// ended: no event loop runs meanwhile, so nothing else can happen on the main thread in the
/// middle of a call (as with a plain blocking keychain API). A call that gets no answer within
/// 20 seconds (an unlock prompt left open) fails; its job may still end later.
///
/// A keychain that cannot be reached or has no usable collection reports `noService`; one that
/// refuses access reports `failed`.
class KeychainSecretStore final : public SecretStore {
 public:
  SecretReadResult read(const std::string& service, const std::string& account) override;
  std::optional<SecretError> write(const std::string& service, const std::string& account,
                                   const std::string& value) override;
  std::optional<SecretError> remove(const std::string& service, const std::string& account) override;
};

}  // namespace kovali
