#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

#include "model/session_state.h"
#include "server/outgoing_event.h"

namespace kovali {

/// The party as each phone may see it, each distinct view encoded once for one broadcast. A DJ
/// sees everything; a guest sees every pending request but only their own resolved ones. So the
/// guests without resolved requests share one view, each guest with some has their own, and
/// while nothing is resolved everyone shares the DJ's.
class StateViews {
 public:
  /// Views of `state`, which must stay as it is while this object lives; `everything`, when it
  /// holds one, is its full view already encoded.
  explicit StateViews(const vinaro::SessionState& state, const std::optional<OutgoingEvent>& everything = {});

  /// The state event for `participant`'s phone, encoded on first use; nothing when it cannot be
  /// encoded.
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

  const vinaro::SessionState& state_;
  std::set<std::string> resolvedRequesters_;
  std::map<Key, std::optional<OutgoingEvent>> views_;
};

}  // namespace kovali
