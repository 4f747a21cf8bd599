#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/timed_monitor_stream.h"

namespace kovali {

/// Records a source of the sound server (a sink's monitor, say "music.monitor") as mono at
/// `recordingRate`, noting when the sink played each part, on the steady clock, the way the
/// speaker captures of the AirPlay rig are timed, so the two can be compared.
class TimedMonitorRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TimedMonitorRecorder(const char* source);

  /// Empty when recording started, else why not.
  const std::string& error() const { return stream_.error(); }

  /// What the sink played from a moment on, and when: a copy, taken while recording goes on.
  struct Stretch {
    std::vector<float> sound;
    std::vector<PlayedPiece> played;

    /// When the sink played frame `frame` of `sound` (see `playedTimeOf`).
    Clock::time_point timeOf(std::size_t frame) const;
    /// When a tone of `hertz` began to play (see `onsetOf`); nothing when it never did.
    std::optional<Clock::time_point> onset(double hertz) const;
  };
  /// What was played from `from` on.
  Stretch since(Clock::time_point from) const;

 private:
  void take(const float* samples, std::size_t frames, std::optional<Clock::time_point> playedAt);

  mutable std::mutex lock_;  // guards what follows; pieces arrive on the stream's thread
  std::vector<float> samples_;
  std::vector<PlayedPiece> played_;
  TimedMonitorStream stream_;  // last: it is stopped before what it fills goes
};

}  // namespace kovali
