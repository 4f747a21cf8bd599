#pragma once

#include <QByteArray>
#include <string>
#include <string_view>

#include "platform/secrets/secret_store.h"

namespace kovali {

/// The ids under which phones see each other. A phone's device id is its credential (it decides
/// the DJ role), so it never leaves the host: each participant appears under a keyed hash of it
/// (HMAC-SHA-256 under a random key of the host), the same across reconnections and, while the
/// key is kept, across relaunches.
class ParticipantIDs {
 public:
  static constexpr const char* service = "kovaliapp";
  static constexpr const char* account = "participantIDKey";

  /// The host's key from `secrets`; a new random one, stored there, when there is none or it is
  /// damaged. When the store cannot be read or written the key lasts for this run (logged).
  static ParticipantIDs load(SecretStore& secrets);

  /// The id other phones know the device `deviceID` by: an upper-case UUID-shaped text.
  std::string of(std::string_view deviceID) const;

  /// Whether no key was found at launch, so a saved session may still hold device ids.
  bool isNew() const { return isNew_; }

 private:
  ParticipantIDs(QByteArray key, bool isNew) : key_(std::move(key)), isNew_(isNew) {}

  QByteArray key_;
  bool isNew_;
};

}  // namespace kovali
