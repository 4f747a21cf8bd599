#pragma once

#include "protocol/protocol_error.h"

namespace kovali {

/// The refusals that the session store makes itself, word for word as the phones show them.
// Wire text: every message below.
namespace StoreErrors {

inline vinaro::ProtocolError helloFirst() { return vinaro::ProtocolError::badRequest("Send hello first."); }
inline vinaro::ProtocolError djOnly() { return vinaro::ProtocolError::forbidden("Only the DJ can do that."); }
inline vinaro::ProtocolError wrongPIN() { return vinaro::ProtocolError::invalidPin("Wrong PIN."); }
inline vinaro::ProtocolError unsupportedVersion() {
  return vinaro::ProtocolError::unsupportedVersion("Unsupported protocol version.");
}
inline vinaro::ProtocolError savedPlaylistsRetired() {
  return vinaro::ProtocolError::badRequest(
      "Saved playlists are no longer kept on the host. Update Kovali on your iPhone.");
}
inline vinaro::ProtocolError musicUnavailable() {
  return vinaro::ProtocolError::musicUnavailable("Apple Music is not available on the host.");
}

}  // namespace StoreErrors

}  // namespace kovali
