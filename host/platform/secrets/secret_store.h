#pragma once

#include <optional>
#include <string>

#include "protocol/expected.h"

namespace kovali {

/// Why a secret could not be read or stored.
struct SecretError {
  enum class Kind {
    noService,  // the store cannot be used on this machine at all (no keychain service)
    failed,     // the store answered but refused or broke
  };

  Kind kind = Kind::failed;
  std::string description;  // a complete sentence

  static SecretError noService(std::string description) { return {Kind::noService, std::move(description)}; }
  static SecretError failed(std::string description) { return {Kind::failed, std::move(description)}; }

  bool operator==(const SecretError&) const = default;
};

/// The stored text, nothing when there is no such item, or the failure.
using SecretReadResult = vinaro::Expected<std::optional<std::string>, SecretError>;

/// A per-user store of small secrets (the DJ PIN), each addressed by a service and an account.
/// Calls are synchronous and run on the main thread; they may block it for as long as the
/// store takes to answer.
class SecretStore {
 public:
  virtual ~SecretStore() = default;

  /// The item's text. Bytes that are not valid UTF-8 read as no item.
  virtual SecretReadResult read(const std::string& service, const std::string& account) = 0;

  /// Stores `value` under the address, replacing what was there. Nothing on success.
  [[nodiscard]] virtual std::optional<SecretError> write(const std::string& service, const std::string& account,
                                                         const std::string& value) = 0;

  /// Deletes the item; deleting an item that does not exist succeeds. Nothing on success.
  [[nodiscard]] virtual std::optional<SecretError> remove(const std::string& service, const std::string& account) = 0;
};

}  // namespace kovali
