#pragma once

#include <cmath>
#include <string>

#include "protocol/protocol_error.h"

namespace kovali {

/// The refusals that the session store makes itself, word for word as the phones show them.
// Wire text: every message below.
namespace StoreErrors {

inline vinaro::ProtocolError helloFirst() { return vinaro::ProtocolError::badRequest("Send hello first."); }
inline vinaro::ProtocolError djOnly() { return vinaro::ProtocolError::forbidden("Only the DJ can do that."); }
inline vinaro::ProtocolError wrongPIN() { return vinaro::ProtocolError::invalidPin("Wrong PIN."); }
/// An attempt during a PIN lock, which ends in `seconds`.
inline vinaro::ProtocolError tooManyWrongPINs(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  return vinaro::ProtocolError::limitReached("Too many wrong PINs. Try again in " + std::to_string(whole) +
                                             (whole == 1 ? " second." : " seconds."));
}
/// An attempt while wrong PINs come too fast to the host to be compared soon.
inline vinaro::ProtocolError pinGuessingSlowedDown() {
  return vinaro::ProtocolError::limitReached("Too many wrong PINs at this party. Try again later.");
}
inline vinaro::ProtocolError tooManyCommands() {
  return vinaro::ProtocolError::limitReached("Too many changes at once. Wait a moment and try again.");
}
inline vinaro::ProtocolError tooManySearches() {
  return vinaro::ProtocolError::limitReached("Too many searches at once. Wait a moment and try again.");
}
inline vinaro::ProtocolError deviceIDTooLong() {
  return vinaro::ProtocolError::badRequest("The device ID is too long; it may have at most 128 bytes.");
}
inline vinaro::ProtocolError deviceIDWithControlCharacters() {
  return vinaro::ProtocolError::badRequest("The device ID must not contain control characters.");
}
inline vinaro::ProtocolError unsupportedVersion() {
  return vinaro::ProtocolError::unsupportedVersion("Unsupported protocol version.");
}
inline vinaro::ProtocolError savedPlaylistsRetired() {
  return vinaro::ProtocolError::badRequest(
      "Saved playlists are no longer kept on the host. Update Kovali on your iPhone.");
}
inline vinaro::ProtocolError musicUnavailable() {
  return vinaro::ProtocolError::musicUnavailable("The music library is not available on the host.");
}

}  // namespace StoreErrors

}  // namespace kovali
