#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "model/session_state.h"
#include "server/outgoing_event.h"

namespace kovali {

/// Encodes the party for the phones, keeping each queued song's encoded text from one state to
/// the next: a change to a big party encodes what it changed, and copies the rest of the queue's
/// bytes. The bytes are those `OutgoingEvent::of(state)` gives. Main thread only.
class PartyEncoder {
 public:
  /// The state event of `state`; nothing (and a log line) when it holds a non-finite number.
  std::optional<OutgoingEvent> encode(const vinaro::SessionState& state);

 private:
  struct Kept {
    vinaro::QueueItem item;
    std::string text;
  };
  /// The queue's wire form, its songs' texts kept for the next state and the rest let go.
  std::string encodeQueue(const std::vector<vinaro::QueueItem>& queue);

  std::unordered_map<std::string, Kept> kept_;  // by queue item id, those of the last state
  std::size_t lastBytes_ = 0;
};

}  // namespace kovali
