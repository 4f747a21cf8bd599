#include "platform/sound/capture/pulse_source_recording.h"

#include <cstring>
#include <pulse/pulseaudio.h>

namespace kovali {

PulseSourceRecording::PulseSourceRecording(PulseDeviceWatcher& watcher, const std::string& sourceName,
                                           const AudioFormat& format, MultiRoomCapture::Sink sink)
    : watcher_(watcher), format_(format), sink_(std::move(sink)) {
  failure_ = watcher_.locked([&] { return open(sourceName); });
}

PulseSourceRecording::~PulseSourceRecording() {
  watcher_.locked([&] { close(); });
}

std::optional<std::string> PulseSourceRecording::open(const std::string& sourceName) {
  auto* context = watcher_.readyContext();
  if (!context) return pa_strerror(PA_ERR_CONNECTIONREFUSED);
  const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(format_.sampleRate),
                                  static_cast<std::uint8_t>(format_.channels)};
  if (!pa_sample_spec_valid(&sampleSpec)) return pa_strerror(PA_ERR_INVALID);
  stream_ = pa_stream_new(context, "Kovali multi-room input", &sampleSpec, nullptr);
  if (!stream_) return pa_strerror(pa_context_errno(context));
  pa_stream_set_read_callback(stream_, &PulseSourceRecording::readable, this);
  pa_stream_set_state_callback(stream_, &PulseSourceRecording::stateChanged, this);
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(20'000, &sampleSpec));
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY);
  if (pa_stream_connect_record(stream_, sourceName.c_str(), &attributes, flags) < 0) {
    const std::string reason = pa_strerror(pa_context_errno(context));
    close();
    return reason;
  }
  // The server refuses a source it does not have (or cannot record) only in its answer.
  for (;;) {
    const auto state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) return std::nullopt;
    if (!PA_STREAM_IS_GOOD(state)) {
      const std::string reason = pa_strerror(pa_context_errno(context));
      close();
      return reason;
    }
    watcher_.wait();
  }
}

void PulseSourceRecording::close() {
  if (!stream_) return;
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  if (pa_stream_get_state(stream_) != PA_STREAM_UNCONNECTED) pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

void PulseSourceRecording::stateChanged(pa_stream* stream, void* self) {
  const auto state = pa_stream_get_state(stream);
  auto* recording = static_cast<PulseSourceRecording*>(self);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) recording->ended_ = true;
  recording->watcher_.wake();
}

void PulseSourceRecording::readable(pa_stream* stream, std::size_t, void* self) {
  auto* recording = static_cast<PulseSourceRecording*>(self);
  const auto frameBytes = sizeof(float) * static_cast<std::size_t>(recording->format_.channels);
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
    auto buffer = std::make_shared<PCMBuffer>();
    buffer->format = recording->format_;
    // A hole in the recording (no data) is heard as silence.
    buffer->samples.assign(bytes / frameBytes * static_cast<std::size_t>(recording->format_.channels), 0.0f);
    if (data) std::memcpy(buffer->samples.data(), data, buffer->samples.size() * sizeof(float));
    pa_stream_drop(stream);
    if (!buffer->samples.empty()) recording->sink_(std::move(buffer));
  }
}

}  // namespace kovali
