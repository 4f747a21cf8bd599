#include "model/playback_state.h"

#include <algorithm>

namespace vinaro {

double PlaybackState::position(Date date) const {
  double position = elapsed;
  if (status == PlaybackStatus::playing) position += std::max(0.0, date.secondsSince(elapsedAt));
  if (current && current->track.duration && position > *current->track.duration) {
    position = *current->track.duration;
  }
  return position >= 0 ? position : 0;  // NaN fails the comparison too
}

}  // namespace vinaro
