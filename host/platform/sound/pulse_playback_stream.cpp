#include "platform/sound/pulse_playback_stream.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

namespace kovali {

namespace {

constexpr std::size_t frameBytes = sizeof(float) * PulsePlaybackStream::channels;
constexpr pa_usec_t tickMicroseconds = static_cast<pa_usec_t>(PulsePlaybackStream::tickSeconds * 1'000'000);

std::uint32_t bytesFor(double seconds) {
  return static_cast<std::uint32_t>(seconds * PulsePlaybackStream::sampleRate) * frameBytes;
}

}  // namespace

PulsePlaybackStream::PulsePlaybackStream(std::string applicationName, std::string streamName, Handler handler)
    : applicationName_(std::move(applicationName)), streamName_(std::move(streamName)), handler_(std::move(handler)) {
  loop_ = pa_threaded_mainloop_new();
  pa_threaded_mainloop_set_name(loop_, "kovaliapp.player");
  pa_threaded_mainloop_start(loop_);
}

PulsePlaybackStream::~PulsePlaybackStream() {
  {
    PulseLoopLock lock(loop_);
    disconnect();
  }
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

// ---- Connecting -----------------------------------------------------------------------------------

std::optional<std::string> PulsePlaybackStream::connect(const std::string& sink) {
  PulseLoopLock lock(loop_);
  if (isConnected()) return std::nullopt;
  disconnect();
  reportedFailure_ = false;

  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName_.c_str());
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "kovaliapp.host");
  context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), applicationName_.c_str(), properties);
  pa_proplist_free(properties);
  if (!context_) return failure("no connection could be made");
  pa_context_set_state_callback(context_, &PulsePlaybackStream::contextChanged, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    return failure(pa_strerror(pa_context_errno(context_)));
  }
  for (;;) {
    const auto state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) break;
    if (!PA_CONTEXT_IS_GOOD(state)) return failure(pa_strerror(pa_context_errno(context_)));
    pa_threaded_mainloop_wait(loop_);
  }

  const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, sampleRate, channels};
  properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
  stream_ = pa_stream_new_with_proplist(context_, streamName_.c_str(), &sampleSpec, nullptr, properties);
  pa_proplist_free(properties);
  if (!stream_) return failure(pa_strerror(pa_context_errno(context_)));
  pa_stream_set_state_callback(stream_, &PulsePlaybackStream::streamChanged, this);
  pa_stream_set_write_callback(stream_, &PulsePlaybackStream::writable, this);
  pa_stream_set_event_callback(stream_, &PulsePlaybackStream::streamEvent, this);
  pa_stream_set_underflow_callback(stream_, &PulsePlaybackStream::underflowed, this);
  // Half a second in the server's buffer, refilled a tenth of a second at a time: few wake-ups.
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength = bytesFor(0.5);
  attributes.prebuf = static_cast<std::uint32_t>(-1);
  attributes.minreq = bytesFor(0.1);
  attributes.fragsize = static_cast<std::uint32_t>(-1);
  auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                              PA_STREAM_AUTO_TIMING_UPDATE);
  // A stream meant for one speaker must never fall back to another output when that one goes.
  if (!sink.empty()) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_playback(stream_, sink.empty() ? nullptr : sink.c_str(), &attributes, flags, nullptr, nullptr) < 0) {
    return failure(pa_strerror(pa_context_errno(context_)));
  }
  for (;;) {
    const auto state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) break;
    if (!PA_STREAM_IS_GOOD(state)) return failure(pa_strerror(pa_context_errno(context_)));
    pa_threaded_mainloop_wait(loop_);
  }
  timer_ = pa_context_rttime_new(context_, pa_rtclock_now() + tickMicroseconds, &PulsePlaybackStream::ticked, this);
  return std::nullopt;
}

std::optional<std::string> PulsePlaybackStream::failure(const std::string& what) {
  disconnect();
  return "The sound server could not be reached (" + what + ").";
}

void PulsePlaybackStream::disconnect() {
  if (timer_) {
    pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
    timer_ = nullptr;
  }
  if (stream_) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_event_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
}

bool PulsePlaybackStream::isConnected() const {
  return context_ && stream_ && pa_context_get_state(context_) == PA_CONTEXT_READY &&
         pa_stream_get_state(stream_) == PA_STREAM_READY;
}

// ---- Callbacks on the stream's thread ----------------------------------------------------------------

void PulsePlaybackStream::contextChanged(pa_context* context, void* self) {
  auto* stream = static_cast<PulsePlaybackStream*>(self);
  const auto state = pa_context_get_state(context);
  if (!PA_CONTEXT_IS_GOOD(state) && stream->stream_ && !stream->reportedFailure_) {
    stream->reportedFailure_ = true;
    if (stream->handler_.failed) stream->handler_.failed(pa_strerror(pa_context_errno(context)));
  }
  pa_threaded_mainloop_signal(stream->loop_, 0);
}

void PulsePlaybackStream::streamChanged(pa_stream* pulseStream, void* self) {
  auto* stream = static_cast<PulsePlaybackStream*>(self);
  const auto state = pa_stream_get_state(pulseStream);
  if (state == PA_STREAM_FAILED && !stream->reportedFailure_ && pa_context_get_state(stream->context_) == PA_CONTEXT_READY) {
    stream->reportedFailure_ = true;
    if (stream->handler_.failed) stream->handler_.failed(pa_strerror(pa_context_errno(stream->context_)));
  }
  pa_threaded_mainloop_signal(stream->loop_, 0);
}

void PulsePlaybackStream::writable(pa_stream*, std::size_t bytes, void* self) {
  static_cast<PulsePlaybackStream*>(self)->write(bytes);
}

void PulsePlaybackStream::underflowed(pa_stream*, void* self) {
  auto* stream = static_cast<PulsePlaybackStream*>(self);
  if (stream->handler_.drained) stream->handler_.drained();
}

void PulsePlaybackStream::streamEvent(pa_stream*, const char* name, pa_proplist*, void* self) {
  auto* stream = static_cast<PulsePlaybackStream*>(self);
  if (std::string_view(name) == PA_STREAM_EVENT_REQUEST_CORK && stream->handler_.corkRequested) {
    stream->handler_.corkRequested();
  }
}

void PulsePlaybackStream::ticked(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* self) {
  auto* stream = static_cast<PulsePlaybackStream*>(self);
  pa_context_rttime_restart(stream->context_, event, pa_rtclock_now() + tickMicroseconds);
  if (stream->handler_.tick) stream->handler_.tick();
}

void PulsePlaybackStream::write(std::size_t bytes) {
  // The server may want more than one shared-memory block holds: write block after block.
  while (stream_ && bytes >= frameBytes) {
    void* data = nullptr;
    std::size_t size = bytes;
    if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data || size < frameBytes) return;
    const auto frames = handler_.fill ? handler_.fill(static_cast<float*>(data), size / frameBytes, written_) : 0;
    if (frames == 0) {
      pa_stream_cancel_write(stream_);
      return;
    }
    pa_stream_write(stream_, data, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
    written_ += static_cast<std::int64_t>(frames);
    bytes -= std::min(bytes, frames * frameBytes);
  }
}

// ---- Control (lock held) ------------------------------------------------------------------------------

void PulsePlaybackStream::setCorked(bool corked, std::function<void(bool ok)> done) {
  if (!isConnected()) {
    if (done) done(false);
    return;
  }
  struct Call {
    PulsePlaybackStream* stream;
    std::function<void(bool)> done;
  };
  timingStale_ = true;
  auto* call = new Call{this, std::move(done)};
  auto* operation = pa_stream_cork(
      stream_, corked ? 1 : 0,
      [](pa_stream* pulseStream, int success, void* userdata) {
        std::unique_ptr<Call> pending(static_cast<Call*>(userdata));
        // Until the server tells the timing anew, the latency would still describe the old state.
        auto* update = pa_stream_update_timing_info(
            pulseStream, [](pa_stream*, int, void* self) { static_cast<PulsePlaybackStream*>(self)->timingStale_ = false; },
            pending->stream);
        if (update) pa_operation_unref(update);
        if (pending->done) pending->done(success != 0);
      },
      call);
  if (operation) {
    pa_operation_unref(operation);
  } else {
    if (call->done) call->done(false);
    delete call;
  }
}

void PulsePlaybackStream::flush() {
  if (!isConnected()) return;
  if (auto* operation = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(operation);
}

void PulsePlaybackStream::pump() {
  if (!isConnected()) return;
  const auto bytes = pa_stream_writable_size(stream_);
  if (bytes != static_cast<std::size_t>(-1) && bytes > 0) write(bytes);
}

void PulsePlaybackStream::rewriteFrom(std::int64_t frame) {
  if (!isConnected() || frame >= written_) return;
  const auto frames = static_cast<std::size_t>(written_ - frame);
  std::vector<float> sound(frames * channels, 0.0f);
  written_ = frame;
  if (handler_.fill) handler_.fill(sound.data(), frames, frame);
  // Seeking back over unplayed data replaces it: the server plays the new sound in its place.
  pa_stream_write(stream_, sound.data(), frames * frameBytes, nullptr, -static_cast<std::int64_t>(frames * frameBytes),
                  PA_SEEK_RELATIVE);
  written_ = frame + static_cast<std::int64_t>(frames);
}

std::optional<std::int64_t> PulsePlaybackStream::playedFrames() const {
  if (!isConnected() || timingStale_) return std::nullopt;
  // Before the server really plays (while it still fills its buffer) its clock says nothing yet.
  const auto* timing = pa_stream_get_timing_info(stream_);
  if (!timing || !timing->playing || timing->read_index_corrupt || timing->write_index_corrupt) return std::nullopt;
  // The latency runs down from the server's last report at the stream's rate: libpulse's own
  // interpolation runs slow against PipeWire's pulse server (about a sixth of the time passed
  // between its reports, which come up to 1.5 s apart), which made a speaker play ahead of the others.
  const auto queued = (timing->write_index - timing->read_index) / static_cast<std::int64_t>(frameBytes);
  const auto since = static_cast<std::int64_t>(pa_timeval_age(&timing->timestamp));
  const auto latency = queued + (static_cast<std::int64_t>(timing->sink_usec) - since) * sampleRate / 1'000'000;
  return written_ - latency;
}

}  // namespace kovali
