#include "platform/sound/devices/pulse_audio_system.h"

#include <algorithm>
#include <memory>

#include <QMetaObject>
#include <pulse/pulseaudio.h>

namespace kovali {

PulseAudioSystem::PulseAudioSystem(QObject* parent)
    : AudioSystem(parent),
      watcher_("kovaliapp.audio", [this] {
        QMetaObject::invokeMethod(this, [this] { emit changed(); }, Qt::QueuedConnection);
      }) {}

PulseAudioSystem::~PulseAudioSystem() = default;

std::vector<AudioSystem::Output> PulseAudioSystem::outputs() const {
  return watcher_.locked([&] {
    std::vector<Output> outputs;
    for (const auto& sink : watcher_.snapshot().sinks) {
      outputs.push_back({sink.index, sink.name, sink.description, sink.channels, sink.transport});
    }
    return outputs;
  });
}

std::optional<std::uint32_t> PulseAudioSystem::defaultOutput() const {
  return watcher_.locked([&]() -> std::optional<std::uint32_t> {
    const auto& snapshot = watcher_.snapshot();
    const auto sink = std::find_if(snapshot.sinks.begin(), snapshot.sinks.end(),
                                   [&](const auto& s) { return s.name == snapshot.defaultSink; });
    if (sink == snapshot.sinks.end()) return std::nullopt;
    return sink->index;
  });
}

void PulseAudioSystem::setDefaultOutput(std::uint32_t id, SwitchDone done) {
  struct Call {
    PulseAudioSystem* system;
    SwitchDone done;
  };
  const auto failure = watcher_.locked([&]() -> std::optional<std::string> {
    auto* context = watcher_.readyContext();
    if (!context) return pa_strerror(PA_ERR_CONNECTIONREFUSED);
    const auto& sinks = watcher_.snapshot().sinks;
    const auto sink = std::find_if(sinks.begin(), sinks.end(), [&](const auto& s) { return s.index == id; });
    if (sink == sinks.end()) return pa_strerror(PA_ERR_NOENTITY);
    auto* call = new Call{this, std::move(done)};
    auto* operation = pa_context_set_default_sink(
        context, sink->name.c_str(),
        [](pa_context* c, int success, void* userdata) {
          std::unique_ptr<Call> answered(static_cast<Call*>(userdata));
          answered->system->finish(std::move(answered->done),
                                   success ? std::nullopt : std::optional<std::string>(pa_strerror(pa_context_errno(c))));
        },
        call);
    if (!operation) {
      done = std::move(call->done);
      delete call;
      return pa_strerror(pa_context_errno(context));
    }
    pa_operation_unref(operation);
    return std::nullopt;
  });
  if (failure) finish(std::move(done), failure);
}

void PulseAudioSystem::finish(SwitchDone done, std::optional<std::string> failure) {
  QMetaObject::invokeMethod(
      this, [done = std::move(done), failure = std::move(failure)] { done(failure); }, Qt::QueuedConnection);
}

}  // namespace kovali
