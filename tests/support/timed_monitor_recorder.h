#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace kovali {

/// Records a source of the sound server (a sink's monitor, say "music.monitor") as mono at
/// `recordingRate`, noting when the sink played each part, on the steady clock: the moments the
/// speaker captures of the AirPlay rig use, so the two can be compared.
class TimedMonitorRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TimedMonitorRecorder(const char* source);
  ~TimedMonitorRecorder();
  TimedMonitorRecorder(const TimedMonitorRecorder&) = delete;
  TimedMonitorRecorder& operator=(const TimedMonitorRecorder&) = delete;

  /// Empty when recording started, else why not.
  const std::string& error() const { return error_; }

  /// What the sink played from a moment on, and when: a copy, taken while recording goes on.
  struct Stretch {
    std::vector<float> sound;
    std::vector<std::pair<std::size_t, Clock::time_point>> played;  // a piece's first frame, when played

    /// When the sink played frame `frame` of `sound`, from the pieces played within 2 s of it
    /// (the median, as the server's timing reports jitter).
    Clock::time_point timeOf(std::size_t frame) const;
    /// When a tone of `hertz` began to play (see `onsetOf`); nothing when it never did.
    std::optional<Clock::time_point> onset(double hertz) const;
  };
  /// What was played from `from` on.
  Stretch since(Clock::time_point from) const;

 private:
  static void readable(pa_stream* stream, std::size_t bytes, void* self);
  void take(const float* samples, std::size_t frames, std::optional<Clock::time_point> playedAt);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string error_;

  mutable std::mutex lock_;  // guards what follows; the read callback runs on the loop's thread
  std::vector<float> samples_;
  std::vector<std::pair<std::size_t, Clock::time_point>> played_;  // a piece's first frame, when played
};

}  // namespace kovali
