#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace kovali {

/// Records a source of the sound server named by PULSE_SERVER (a sink's monitor, say
/// "music.monitor") as float stereo at a given rate, in pieces of 20 ms, and says when the sink
/// played each piece, on the steady clock: the one way the tests time what a sink played.
class TimedMonitorStream {
 public:
  using Clock = std::chrono::steady_clock;
  /// Takes a piece (`frames` interleaved stereo frames) and when its first frame was played, when
  /// the server could tell; called on the stream's own thread.
  using Take = std::function<void(const float* samples, std::size_t frames, std::optional<Clock::time_point> playedAt)>;

  TimedMonitorStream(const char* source, int rate, Take take);
  ~TimedMonitorStream();
  TimedMonitorStream(const TimedMonitorStream&) = delete;
  TimedMonitorStream& operator=(const TimedMonitorStream&) = delete;

  /// Empty when recording started, else why not.
  const std::string& error() const { return error_; }

 private:
  static void readable(pa_stream* stream, std::size_t bytes, void* self);

  Take take_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string error_;
};

/// A recorded piece: its first frame in the recording, and when the sink played it.
using PlayedPiece = std::pair<std::size_t, std::chrono::steady_clock::time_point>;

/// When frame `frame` of a recording at `rate` was played, from its `pieces` (in order): the
/// median of what the pieces within 2 s of it say, as the server's timing reports jitter; the
/// clock's epoch when there are no pieces.
std::chrono::steady_clock::time_point playedTimeOf(const std::vector<PlayedPiece>& pieces, std::size_t frame, int rate);

}  // namespace kovali
