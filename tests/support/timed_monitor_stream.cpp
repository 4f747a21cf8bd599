#include "support/timed_monitor_stream.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>

namespace kovali {

namespace {

constexpr double nearbySeconds = 2.0;
constexpr std::size_t channels = 2;

void signalLoop(void* loop) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0); }

void contextChanged(pa_context*, void* loop) { signalLoop(loop); }
void streamChanged(pa_stream*, void* loop) { signalLoop(loop); }

std::chrono::steady_clock::duration framesToTime(std::size_t frames, int rate) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(static_cast<double>(frames) / rate));
}

}  // namespace

TimedMonitorStream::TimedMonitorStream(const char* source, int rate, Take take) : take_(std::move(take)) {
  loop_ = pa_threaded_mainloop_new();
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "kovali-test");
  pa_context_set_state_callback(context_, contextChanged, loop_);
  pa_threaded_mainloop_lock(loop_);
  pa_threaded_mainloop_start(loop_);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
    while (pa_context_get_state(context_) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
      pa_threaded_mainloop_wait(loop_);
    }
  }
  if (pa_context_get_state(context_) == PA_CONTEXT_READY) {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(rate), channels};
    stream_ = pa_stream_new(context_, "timed monitor", &format, nullptr);
    pa_stream_set_state_callback(stream_, streamChanged, loop_);
    pa_stream_set_read_callback(stream_, readable, this);
    // Pieces of 20 ms, so each part's time is noted as it is played.
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(rate / 50 * channels * sizeof(float));
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                      PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_, source, &attributes, flags) >= 0) {
      while (pa_stream_get_state(stream_) == PA_STREAM_CREATING) pa_threaded_mainloop_wait(loop_);
    }
  }
  if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
    error_ = pa_strerror(pa_context_errno(context_));
  }
  pa_threaded_mainloop_unlock(loop_);
}

TimedMonitorStream::~TimedMonitorStream() {
  pa_threaded_mainloop_lock(loop_);
  if (stream_) {
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  pa_threaded_mainloop_unlock(loop_);
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

void TimedMonitorStream::readable(pa_stream* stream, std::size_t, void* self) {
  auto* recorder = static_cast<TimedMonitorStream*>(self);
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) >= 0 && bytes > 0) {
    // The recorded stream's latency is how long ago the oldest unread frame was played; on a
    // monitor it is negative when the sink hands its sound over before playing it.
    std::optional<Clock::time_point> playedAt;
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &latency, &negative) == 0) {
      const auto by = std::chrono::microseconds(latency);
      playedAt = negative ? Clock::now() + by : Clock::now() - by;
    }
    const std::size_t frames = bytes / (channels * sizeof(float));
    if (data) {
      recorder->take_(static_cast<const float*>(data), frames, playedAt);
    } else {
      const std::vector<float> hole(frames * channels, 0.0f);
      recorder->take_(hole.data(), frames, playedAt);
    }
    pa_stream_drop(stream);
  }
}

std::chrono::steady_clock::time_point playedTimeOf(const std::vector<PlayedPiece>& pieces, std::size_t frame,
                                                   int rate) {
  if (pieces.empty()) return {};
  // Each piece says when frame 0 was played; the pieces near `frame` are the ones to trust.
  const auto nearby = static_cast<std::size_t>(nearbySeconds * rate);
  std::vector<std::chrono::steady_clock::duration> starts;
  for (const auto& [at, when] : pieces) {
    if (at + nearby >= frame && at <= frame + nearby) starts.push_back(when.time_since_epoch() - framesToTime(at, rate));
  }
  if (starts.empty()) {
    const auto& [at, when] = frame < pieces.front().first ? pieces.front() : pieces.back();
    starts.push_back(when.time_since_epoch() - framesToTime(at, rate));
  }
  std::nth_element(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(starts.size() / 2), starts.end());
  return std::chrono::steady_clock::time_point(starts[starts.size() / 2]) + framesToTime(frame, rate);
}

}  // namespace kovali
