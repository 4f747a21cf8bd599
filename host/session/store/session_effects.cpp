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

SessionEffects::Before SessionEffects::Before::of(const SessionState& state) {
  return Before{state.playback.current, kovali::queueHead(state), state.playback.status};
}

SessionEffects SessionEffects::of(const SessionState& before, const SessionState& after) {
  SessionEffects effects = ofAccepted(Before::of(before), after);
  effects.save = before != after;
  return effects;
}

SessionEffects SessionEffects::ofAccepted(const Before& before, const SessionState& after) {
  const bool playing = isPlaying(after);
  return SessionEffects{
      .save = true,  // every accepted change counts on
      .syncPlayer = before.current != after.playback.current || before.queueHead != queueHead(after) ||
                    before.status != after.playback.status,
      .playing = playing,
      .partyStarted = playing && before.status != PlaybackStatus::playing,
      // The requests the host gave up on are the store's to exclude.
      .autoPlay = after.autoPlayCandidate({}).has_value(),
  };
}

}  // namespace kovali
