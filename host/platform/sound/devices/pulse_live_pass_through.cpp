#include "platform/sound/devices/pulse_live_pass_through.h"

#include <QMetaObject>
#include <pulse/pulseaudio.h>

namespace kovali {

namespace {

constexpr int sampleRate = 48000;
constexpr int channels = 2;
constexpr std::size_t frameBytes = sizeof(float) * channels;

std::uint32_t bytesFor(double seconds) { return static_cast<std::uint32_t>(seconds * sampleRate) * frameBytes; }

pa_stream* newStream(pa_context* context, const char* name) {
  const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, sampleRate, channels};
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
  auto* stream = pa_stream_new_with_proplist(context, name, &sampleSpec, nullptr, properties);
  pa_proplist_free(properties);
  return stream;
}

}  // namespace

PulseLivePassThrough::PulseLivePassThrough(PulseDeviceWatcher& watcher, const std::string& sourceName)
    : watcher_(watcher) {
  auto failure = watcher_.locked([&] { return open(sourceName); });
  if (failure) settle(std::move(failure));
}

PulseLivePassThrough::~PulseLivePassThrough() {
  watcher_.locked([&] {
    closeStreams();
    *alive_ = nullptr;
  });
}

std::optional<std::string> PulseLivePassThrough::open(const std::string& sourceName) {
  auto* context = watcher_.readyContext();
  if (!context) return pa_strerror(PA_ERR_CONNECTIONREFUSED);
  record_ = newStream(context, "Kovali live input");
  playback_ = newStream(context, "Kovali live input");
  if (!record_ || !playback_) {
    closeStreams();
    return pa_strerror(pa_context_errno(context));
  }
  for (auto* stream : {record_, playback_}) pa_stream_set_state_callback(stream, &PulseLivePassThrough::streamChanged, this);
  pa_stream_set_read_callback(record_, &PulseLivePassThrough::readable, this);

  // Short buffers: people hear themselves speak with little delay.
  pa_buffer_attr recordAttributes{};
  recordAttributes.maxlength = static_cast<std::uint32_t>(-1);
  recordAttributes.fragsize = bytesFor(0.02);
  pa_buffer_attr playbackAttributes{};
  // Some sources deliver seconds at once; past this much the server drops sound rather than lag.
  playbackAttributes.maxlength = bytesFor(3.0);
  playbackAttributes.tlength = bytesFor(0.06);
  playbackAttributes.prebuf = bytesFor(0.02);
  playbackAttributes.minreq = static_cast<std::uint32_t>(-1);
  const auto recordFlags = static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY);
  if (pa_stream_connect_record(record_, sourceName.c_str(), &recordAttributes, recordFlags) < 0 ||
      pa_stream_connect_playback(playback_, nullptr, &playbackAttributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
    closeStreams();
    return pa_strerror(pa_context_errno(context));
  }
  return std::nullopt;
}

void PulseLivePassThrough::closeStreams() {
  for (auto** stream : {&record_, &playback_}) {
    if (!*stream) continue;
    pa_stream_set_state_callback(*stream, nullptr, nullptr);
    pa_stream_set_read_callback(*stream, nullptr, nullptr);
    if (pa_stream_get_state(*stream) != PA_STREAM_UNCONNECTED) pa_stream_disconnect(*stream);
    pa_stream_unref(*stream);
    *stream = nullptr;
  }
}

void PulseLivePassThrough::streamChanged(pa_stream* stream, void* self) {
  auto* through = static_cast<PulseLivePassThrough*>(self);
  const auto state = pa_stream_get_state(stream);
  if (!PA_STREAM_IS_GOOD(state)) {
    through->broke(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
    return;
  }
  if (through->running_ || pa_stream_get_state(through->record_) != PA_STREAM_READY ||
      pa_stream_get_state(through->playback_) != PA_STREAM_READY) {
    return;
  }
  through->running_ = true;
  QMetaObject::invokeMethod(through, [through] { through->settle(std::nullopt); }, Qt::QueuedConnection);
}

void PulseLivePassThrough::broke(const std::string& reason) {
  if (broken_) return;
  broken_ = true;
  if (!running_) {
    QMetaObject::invokeMethod(this, [this, reason] { settle(reason); }, Qt::QueuedConnection);
    return;
  }
  // A source that went away shows in the device list first, so the owner tells it as such.
  watcher_.refreshThen([alive = alive_, reason] {
    auto* through = *alive;
    if (!through) return;
    QMetaObject::invokeMethod(
        through, [through, reason] { emit through->failed(QString::fromStdString(reason)); }, Qt::QueuedConnection);
  });
}

void PulseLivePassThrough::readable(pa_stream* record, std::size_t, void* self) {
  auto* through = static_cast<PulseLivePassThrough*>(self);
  const bool playing = pa_stream_get_state(through->playback_) == PA_STREAM_READY;
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(record, &data, &bytes) == 0 && bytes > 0) {
    if (data && playing) pa_stream_write(through->playback_, data, bytes, nullptr, 0, PA_SEEK_RELATIVE);
    pa_stream_drop(record);
  }
}

}  // namespace kovali
