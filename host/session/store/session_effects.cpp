#include "session/store/session_effects.h"

namespace kovali {

using vinaro::PlaybackStatus;
using vinaro::QueueItem;
using vinaro::SessionState;

namespace {

std::optional<QueueItem> queueHead(const SessionState& state) {
  if (state.queue.empty()) return std::nullopt;
  return state.queue.front();
}

bool isPlaying(const SessionState& state) { return state.playback.status == PlaybackStatus::playing; }

}  // namespace

SessionEffects SessionEffects::of(const SessionState& before, const SessionState& after) {
  const bool playing = isPlaying(after);
  return SessionEffects{
      .save = before != after,
      .syncPlayer = before.playback.current != after.playback.current || queueHead(before) != queueHead(after) ||
                    before.playback.status != after.playback.status,
      .playing = playing,
      .partyStarted = playing && !isPlaying(before),
      // The requests the host gave up on are the store's to exclude.
      .autoPlay = after.autoPlayCandidate({}).has_value(),
  };
}

}  // namespace kovali
