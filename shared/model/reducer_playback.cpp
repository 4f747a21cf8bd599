#include <cmath>

#include "model/session_reducer.h"

namespace vinaro {

namespace {

/// Makes the first queue item the playing one, from its start.
void startNextItem(SessionState& state, Date now) {
  PlaybackState& playback = state.playback;
  playback.current = std::move(state.queue.front());
  state.queue.erase(state.queue.begin());
  playback.status = PlaybackStatus::playing;
  playback.elapsed = 0;
  playback.elapsedAt = now;
}

}  // namespace

void SessionReducer::play(SessionState& state, Date now) {
  PlaybackState& playback = state.playback;
  if (playback.current) {
    // Re-based on the position the phones show now, so a track that is already playing does
    // not jump back to where it was last re-based; a paused one resumes where it stopped.
    playback.elapsed = playback.position(now);
    playback.elapsedAt = now;
    playback.status = PlaybackStatus::playing;
  } else if (!state.queue.empty()) {
    startNextItem(state, now);
  } else {
    playback.status = PlaybackStatus::stopped;
  }
}

void SessionReducer::pause(SessionState& state, Date now) {
  PlaybackState& playback = state.playback;
  if (!playback.current) return;
  playback.elapsed = playback.position(now);
  playback.elapsedAt = now;
  playback.status = PlaybackStatus::paused;
}

void SessionReducer::advance(SessionState& state, Date now) {
  if (!state.queue.empty()) {
    startNextItem(state, now);
    return;
  }
  state.playback = PlaybackState{PlaybackStatus::stopped, std::nullopt, 0, now};
}

void SessionReducer::observePlayback(const action::PlaybackObserved& observed, SessionState& state, Date now) {
  state.playback.status = observed.status;
  // A NaN or infinite position could not be sent to the phones nor saved.
  state.playback.elapsed = std::isfinite(observed.elapsed) && observed.elapsed >= 0 ? observed.elapsed : 0;
  state.playback.elapsedAt = now;
}

void SessionReducer::setInput(const std::optional<LiveInput>& input, SessionState& state, Date now) {
  if (input) {
    if (state.input) {
      // Switching between inputs keeps what the queue was doing before the first one.
      state.input->id = input->id;
      state.input->name = input->name;
      return;
    }
    const bool queueWasPlaying = state.playback.status == PlaybackStatus::playing;
    pause(state, now);
    state.input = LiveInput{input->id, input->name, queueWasPlaying};
  } else if (state.input) {
    const bool resumesQueue = state.input->queueWasPlaying;
    state.input.reset();
    if (resumesQueue) play(state, now);
  }
}

}  // namespace vinaro
