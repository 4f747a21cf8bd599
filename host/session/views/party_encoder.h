#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/session_state.h"
#include "server/outgoing_event.h"

namespace kovali {

/// A state encoded once for every view of it: its text, where its requests are in it, and the
/// full view, whose payload is the text up to the requests, shared by every view, and whose rest
/// is the requests and what follows them; a view that shows fewer of them has a rest of its own.
struct EncodedParty {
  struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
  };
  std::string text;
  Span requests;                  // the requests' array, brackets included, in `text`
  std::vector<Span> eachRequest;  // each request's text in `text`, in the state's order
  OutgoingEvent everything;
};

/// Encodes the party for the phones, keeping each queued song's encoded text from one state to
/// the next: a change to a big party encodes what it changed, and copies the rest of the queue's
/// bytes. The bytes are those `OutgoingEvent::of(state)` gives. Main thread only.
class PartyEncoder {
 public:
  /// `state` encoded; nothing (and a log line) when it holds a non-finite number.
  std::optional<EncodedParty> encode(const vinaro::SessionState& state);

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
