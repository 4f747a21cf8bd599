#include "support/timed_monitor_recorder.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>

#include "support/sound_recording.h"

namespace kovali {

namespace {

constexpr double nearbySeconds = 2.0;

void signalLoop(void* loop) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0); }

void contextChanged(pa_context*, void* loop) { signalLoop(loop); }
void streamChanged(pa_stream*, void* loop) { signalLoop(loop); }

std::chrono::duration<double> framesToSeconds(std::size_t frames) {
  return std::chrono::duration<double>(static_cast<double>(frames) / recordingRate);
}

}  // namespace

TimedMonitorRecorder::TimedMonitorRecorder(const char* source) {
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
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, recordingRate, 2};
    stream_ = pa_stream_new(context_, "timed monitor", &format, nullptr);
    pa_stream_set_state_callback(stream_, streamChanged, loop_);
    pa_stream_set_read_callback(stream_, readable, this);
    // Pieces of 20 ms, so each part's time is noted as it is played.
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.fragsize = recordingRate / 50 * 2 * sizeof(float);
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

TimedMonitorRecorder::~TimedMonitorRecorder() {
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

void TimedMonitorRecorder::readable(pa_stream* stream, std::size_t, void* self) {
  auto* recorder = static_cast<TimedMonitorRecorder*>(self);
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
    const std::size_t frames = bytes / (2 * sizeof(float));
    if (data) {
      recorder->take(static_cast<const float*>(data), frames, playedAt);
    } else {
      const std::vector<float> hole(frames * 2, 0.0f);
      recorder->take(hole.data(), frames, playedAt);
    }
    pa_stream_drop(stream);
  }
}

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
  if (played.empty()) return {};
  // Each piece says when frame 0 was played; the pieces near `frame` are the ones to trust.
  const auto nearby = static_cast<std::size_t>(nearbySeconds * recordingRate);
  std::vector<Clock::duration> starts;
  for (const auto& [at, when] : played) {
    if (at + nearby >= frame && at <= frame + nearby) {
      starts.push_back(when.time_since_epoch() - std::chrono::duration_cast<Clock::duration>(framesToSeconds(at)));
    }
  }
  if (starts.empty()) {
    const auto& [at, when] = played.back();
    starts.push_back(when.time_since_epoch() - std::chrono::duration_cast<Clock::duration>(framesToSeconds(at)));
  }
  std::nth_element(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(starts.size() / 2), starts.end());
  return Clock::time_point(starts[starts.size() / 2]) +
         std::chrono::duration_cast<Clock::duration>(framesToSeconds(frame));
}

std::optional<TimedMonitorRecorder::Clock::time_point> TimedMonitorRecorder::Stretch::onset(double hertz) const {
  const double seconds = onsetOf(sound, hertz, recordingRate);
  if (seconds < 0) return std::nullopt;
  return timeOf(static_cast<std::size_t>(seconds * recordingRate));
}

}  // namespace kovali
