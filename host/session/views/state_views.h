#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "model/session_state.h"
#include "server/outgoing_event.h"
#include "session/views/party_encoder.h"

namespace kovali {

/// The party as each phone may see it, each distinct view made once for one broadcast. A DJ
/// sees everything; a guest sees every pending request but only their own resolved ones. So the
/// guests without resolved requests share one view, each guest with some has their own, and
/// while nothing is resolved everyone shares the DJ's. Every view is cut from the one encoding
/// of the state and shares its bytes up to the requests: a view of its own costs its requests
/// and what follows them, not a party.
class StateViews {
 public:
  /// Views of `state` from `party`, its encoding (nothing when it could not be encoded); both
  /// must stay as they are while this object lives.
  StateViews(const vinaro::SessionState& state, const std::optional<EncodedParty>& party);

  /// The state event for `participant`'s phone, made on first use; nothing when the state
  /// cannot be encoded.
  const std::optional<OutgoingEvent>& viewFor(const vinaro::Participant& participant);
  /// How many distinct views are at hand so far.
  std::size_t encodedCount() const { return views_.size(); }

 private:
  enum class Kind { everything, pendingOnly, ownResolved };
  struct Key {
    Kind kind = Kind::everything;
    std::string owner;  // the guest, for ownResolved

    auto operator<=>(const Key&) const = default;
  };

  Key keyFor(const vinaro::Participant& participant) const;
  /// The full view with only the requests `participant` sees.
  OutgoingEvent cut(const vinaro::Participant& participant) const;

  const vinaro::SessionState& state_;
  const std::optional<EncodedParty>& party_;
  std::set<std::string> resolvedRequesters_;
  std::map<Key, std::optional<OutgoingEvent>> views_;
};

}  // namespace kovali
