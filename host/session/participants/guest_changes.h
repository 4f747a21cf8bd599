#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/participant.h"
#include "model/session_action.h"
#include "platform/runtime/monotonic_time.h"
#include "server/connection_id.h"
#include "session/participants/command_rate.h"

namespace kovali {

/// The guests' changes to the party on their way in. Each guest, however many connections it
/// has, is held to `CommandRate`'s pace for changes, and past it its change is refused. All
/// guests together are held to `perSecond`: past that their changes wait, taken in turn by the
/// address they come from, so a guest who floods waits behind its own changes and more
/// connections or addresses buy no larger share. The DJ's changes never come here.
class GuestChanges {
 public:
  /// All guests' changes together; a party's guests tapping at once stay well within it.
  static constexpr double perSecond = 40;
  static constexpr double burst = 40;
  /// Changes one address may have waiting; past it, its guests' changes are refused.
  static constexpr std::size_t waitingPerAddress = static_cast<std::size_t>(CommandRate::burst);

  struct Change {
    ConnectionID connection;
    std::string envelopeID;
    vinaro::SessionAction action;
    vinaro::Participant sender;
  };

  /// Takes `change` from `address` in line; false, keeping nothing, when its guest is over its
  /// pace or its address has `waitingPerAddress` changes waiting.
  bool offer(Change change, const std::string& address, MonotonicTime now);
  /// The waiting changes whose turn has come by `now`, in the order they are to be applied.
  std::vector<Change> take(MonotonicTime now);
  bool hasWaiting() const { return !turns_.empty(); }
  /// Seconds from `now` until the next waiting change's turn; nothing when none waits.
  std::optional<double> secondsUntilNextTurn(MonotonicTime now) const;
  /// Drops the waiting changes of a connection that has gone.
  void forget(ConnectionID connection);

 private:
  /// Lets go of the paces of guests that have been quiet long enough to be whole again.
  void forgetQuietGuests(MonotonicTime now);

  CommandRate allGuests_ = CommandRate::of(perSecond, burst);
  std::map<std::string, CommandRate> guests_;  // by participant id
  std::size_t lookAtGuests_ = 64;  // guests_ is looked through for quiet ones at this size
  std::map<std::string, std::deque<Change>> waiting_;  // by address, only addresses with some
  std::deque<std::string> turns_;  // the addresses waiting, the next to be served first
};

}  // namespace kovali
