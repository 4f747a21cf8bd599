#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/sound/pulse_loop_lock.h"

struct pa_context;
struct pa_stream;
struct pa_time_event;
struct pa_mainloop_api;
struct pa_proplist;
struct timeval;

namespace kovali {

/// One playback stream of 32-bit float stereo on the sound server (PulseAudio, or PipeWire's
/// pulse server), run by libpulse's threaded main loop: a thread of its own that asks `fill` for
/// sound whenever the server's buffer has room. Everything the handler does runs on that thread
/// with the stream's lock held; other threads take the lock through `locked`.
class PulsePlaybackStream {
 public:
  static constexpr int sampleRate = 48000;
  static constexpr int channels = 2;
  static constexpr double tickSeconds = 0.25;

  struct Handler {
    /// Writes up to `frames` frames at frame `position` of the stream; fewer when it has no more.
    std::function<std::size_t(float* out, std::size_t frames, std::int64_t position)> fill;
    /// Every 0.25 s while connected.
    std::function<void()> tick;
    /// The connection or the stream broke; `connect` makes a new one.
    std::function<void(const std::string& reason)> failed;
    /// The server asks the stream to hold (a call or an alarm takes the output).
    std::function<void()> corkRequested;
    /// The server played everything written so far and found nothing more.
    std::function<void()> drained;
  };

  /// `applicationName` and `streamName` are how the server (and whoever records this stream)
  /// knows it. Starts the thread; connects nothing yet.
  PulsePlaybackStream(std::string applicationName, std::string streamName, Handler handler);
  ~PulsePlaybackStream();
  PulsePlaybackStream(const PulsePlaybackStream&) = delete;
  PulsePlaybackStream& operator=(const PulsePlaybackStream&) = delete;

  /// Connects to the server and opens the stream, held (corked), unless it is connected already:
  /// on the default output (following it when it changes), or on the sink named `sink`, which it
  /// never leaves (the stream fails when that sink goes). Blocks until the server answers. Never
  /// on the stream's own thread. The error is a sentence.
  std::optional<std::string> connect(const std::string& sink = {});

  /// Runs `work()` with the stream's lock held, so that no handler call overlaps it. Never on
  /// the stream's own thread.
  template <class Work>
  auto locked(Work work) {
    PulseLoopLock lock(loop_);
    return work();
  }

  // The calls below need the lock (or run inside the handler).
  bool isConnected() const;
  /// Holds or releases the stream; `done(ok)` runs on the stream's thread once the server agrees.
  void setCorked(bool corked, std::function<void(bool ok)> done = {});
  /// Drops what is written but not yet played.
  void flush();
  /// Asks `fill` for as much as the server takes now (after new sound became available).
  void pump();
  /// Writes the frames from `frame` on again, over what the server holds of them and has not
  /// played yet: `fill` gives the new sound, silence makes up the rest.
  void rewriteFrom(std::int64_t frame);
  /// The stream frame heard now: frames written less the stream's latency; none while the
  /// server's timing is not known.
  std::optional<std::int64_t> playedFrames() const;
  std::int64_t framesWritten() const { return written_; }

 private:
  static void contextChanged(pa_context* context, void* self);
  static void streamChanged(pa_stream* stream, void* self);
  static void writable(pa_stream* stream, std::size_t bytes, void* self);
  static void underflowed(pa_stream* stream, void* self);
  static void streamEvent(pa_stream* stream, const char* name, pa_proplist* properties, void* self);
  static void ticked(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* self);

  void write(std::size_t bytes);
  void disconnect();
  std::optional<std::string> failure(const std::string& what);

  std::string applicationName_;
  std::string streamName_;
  Handler handler_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* timer_ = nullptr;
  std::int64_t written_ = 0;  // frames, counted over the stream's whole life
  bool reportedFailure_ = false;
  bool timingStale_ = false;  // the stream started or stopped since the server last told its timing
};

}  // namespace kovali
