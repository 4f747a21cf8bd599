#pragma once

#include "model/session_state.h"

namespace kovali {

/// What an accepted change of the party asks of the host beyond keeping the new state; the
/// session store carries it out. Whether the phones hear of it is the caller's choice.
struct SessionEffects {
  bool save = false;          // the saved session must follow
  bool syncPlayer = false;    // what plays, what comes next, or whether it plays changed
  bool playing = false;       // the party plays now
  bool partyStarted = false;  // the party went from not playing to playing
  bool autoPlay = false;      // a request may now be due for automatic play

  /// What the consequences of a change depend on in the state before it, kept while the state
  /// changes in place.
  struct Before {
    std::optional<vinaro::QueueItem> current;
    std::optional<vinaro::QueueItem> queueHead;
    vinaro::PlaybackStatus status = vinaro::PlaybackStatus::stopped;

    static Before of(const vinaro::SessionState& state);
  };

  /// The consequences of going from `before` to `after`; decides, does nothing.
  static SessionEffects of(const vinaro::SessionState& before, const vinaro::SessionState& after);
  /// The consequences of a change the reducer accepted, from a state like `before` to `after`.
  static SessionEffects ofAccepted(const Before& before, const vinaro::SessionState& after);

  bool operator==(const SessionEffects&) const = default;
};

}  // namespace kovali
