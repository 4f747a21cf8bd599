#include "support/timed_monitor_recorder.h"

#include <algorithm>

#include "support/sound_recording.h"

namespace kovali {

TimedMonitorRecorder::TimedMonitorRecorder(const char* source)
    : stream_(source, recordingRate, [this](const float* samples, std::size_t frames, auto playedAt) {
        take(samples, frames, playedAt);
      }) {}

void TimedMonitorRecorder::take(const float* samples, std::size_t frames, std::optional<Clock::time_point> playedAt) {
  const std::lock_guard guard(lock_);
  if (playedAt) played_.emplace_back(samples_.size(), *playedAt);
  for (std::size_t i = 0; i < frames; ++i) samples_.push_back((samples[2 * i] + samples[2 * i + 1]) / 2);
}

TimedMonitorRecorder::Stretch TimedMonitorRecorder::since(Clock::time_point from) const {
  const std::lock_guard guard(lock_);
  Stretch stretch;
  const auto first = std::find_if(played_.begin(), played_.end(), [&](const auto& piece) { return piece.second >= from; });
  if (first == played_.end()) return stretch;
  stretch.sound.assign(samples_.begin() + static_cast<std::ptrdiff_t>(first->first), samples_.end());
  for (auto piece = first; piece != played_.end(); ++piece) {
    stretch.played.emplace_back(piece->first - first->first, piece->second);
  }
  return stretch;
}

TimedMonitorRecorder::Clock::time_point TimedMonitorRecorder::Stretch::timeOf(std::size_t frame) const {
  return playedTimeOf(played, frame, recordingRate);
}

std::optional<TimedMonitorRecorder::Clock::time_point> TimedMonitorRecorder::Stretch::onset(double hertz) const {
  const double seconds = onsetOf(sound, hertz, recordingRate);
  if (seconds < 0) return std::nullopt;
  return timeOf(static_cast<std::size_t>(seconds * recordingRate));
}

}  // namespace kovali
