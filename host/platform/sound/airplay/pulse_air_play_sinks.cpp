#include "platform/sound/airplay/pulse_air_play_sinks.h"

#include <QDir>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <memory>
#include <pulse/pulseaudio.h>

#include "platform/runtime/logging.h"

namespace kovali {

namespace {

constexpr const char* discoveryModule = "module-raop-discover";

/// Whether a PulseAudio installed here lacks the AirPlay modules (they come in a package of
/// their own).
bool raopModulesMissing() {
  for (const auto& root : {QStringLiteral("/usr/lib"), QStringLiteral("/usr/lib/x86_64-linux-gnu"),
                           QStringLiteral("/usr/lib/aarch64-linux-gnu")}) {
    const auto versions = QDir(root).entryList({QStringLiteral("pulse-*")}, QDir::Dirs);
    for (const auto& version : versions) {
      if (QDir(root + "/" + version + "/modules").exists(QStringLiteral("module-raop-discover.so"))) return false;
    }
  }
  return true;
}

std::string loadFailure(bool onPipeWire, const std::string& reason) {
  if (!onPipeWire && raopModulesMissing()) {
    return "Multi-room needs the sound server's AirPlay support: install the pulseaudio-module-raop package.";
  }
  return "The sound server could not look for AirPlay speakers (" + reason +
         "). Make sure avahi-daemon is running.";
}

}  // namespace

struct PulseAirPlaySinks::DiscoveryCall {
  PulseAirPlaySinks* sinks;
  Done done;
  bool onPipeWire = false;
  bool loaded = false;  // the module is there already
};

PulseAirPlaySinks::PulseAirPlaySinks(QObject* parent)
    : QObject(parent), watcher_("kovaliapp.airplay", [this] {
        QMetaObject::invokeMethod(this, [this] { emit changed(); }, Qt::QueuedConnection);
      }) {}

PulseAirPlaySinks::~PulseAirPlaySinks() = default;

std::vector<PulseAirPlaySinks::Sink> PulseAirPlaySinks::sinks() const {
  return watcher_.locked([&] {
    std::vector<Sink> sinks;
    for (const auto& sink : watcher_.snapshot().sinks) {
      if (sink.transport == SoundTransport::airPlay) sinks.push_back({sink.name, sink.description, sink.volume, sink.index});
    }
    return sinks;
  });
}

void PulseAirPlaySinks::setVolume(const std::string& sinkName, float volume) {
  watcher_.locked([&] {
    auto* context = watcher_.readyContext();
    const auto& sinks = watcher_.snapshot().sinks;
    const auto sink = std::find_if(sinks.begin(), sinks.end(), [&](const auto& s) { return s.name == sinkName; });
    if (!context || sink == sinks.end() || sink->channels < 1) return;
    pa_cvolume levels;
    const auto level = static_cast<double>(std::clamp(volume, 0.0f, 1.0f)) * PA_VOLUME_NORM;
    pa_cvolume_set(&levels, static_cast<unsigned>(sink->channels), static_cast<pa_volume_t>(std::lround(level)));
    if (auto* operation = pa_context_set_sink_volume_by_name(context, sinkName.c_str(), &levels, nullptr, nullptr)) {
      pa_operation_unref(operation);
    }
  });
}

void PulseAirPlaySinks::startDiscovery(Done done) {
  const bool asked = watcher_.locked([&] {
    auto* context = watcher_.readyContext();
    if (!context) return false;
    auto* call = new DiscoveryCall{this, std::move(done)};
    if (auto* operation = pa_context_get_server_info(context, &PulseAirPlaySinks::serverRead, call)) {
      pa_operation_unref(operation);
      return true;
    }
    done = std::move(call->done);
    delete call;
    return false;
  });
  if (!asked) finish(std::move(done), "The sound server could not be reached to look for AirPlay speakers.");
}

void PulseAirPlaySinks::serverRead(pa_context* context, const pa_server_info* info, void* userdata) {
  auto* call = static_cast<DiscoveryCall*>(userdata);
  call->onPipeWire = info && info->server_name && std::string_view(info->server_name).find("PipeWire") != std::string_view::npos;
  if (auto* operation = pa_context_get_module_info_list(context, &PulseAirPlaySinks::moduleRead, call)) {
    pa_operation_unref(operation);
    return;
  }
  std::unique_ptr<DiscoveryCall> failed(call);
  failed->sinks->finish(std::move(failed->done), loadFailure(failed->onPipeWire, pa_strerror(pa_context_errno(context))));
}

void PulseAirPlaySinks::moduleRead(pa_context* context, const pa_module_info* info, int last, void* userdata) {
  auto* call = static_cast<DiscoveryCall*>(userdata);
  if (!last) {
    if (info && info->name && std::string_view(info->name) == discoveryModule) call->loaded = true;
    return;
  }
  if (call->loaded) {
    std::unique_ptr<DiscoveryCall> answered(call);
    return answered->sinks->finish(std::move(answered->done), std::nullopt);
  }
  if (auto* operation = pa_context_load_module(context, discoveryModule, "", &PulseAirPlaySinks::moduleLoaded, call)) {
    pa_operation_unref(operation);
    return;
  }
  std::unique_ptr<DiscoveryCall> failed(call);
  failed->sinks->finish(std::move(failed->done), loadFailure(failed->onPipeWire, pa_strerror(pa_context_errno(context))));
}

void PulseAirPlaySinks::moduleLoaded(pa_context* context, std::uint32_t index, void* userdata) {
  std::unique_ptr<DiscoveryCall> call(static_cast<DiscoveryCall*>(userdata));
  if (index == PA_INVALID_INDEX) {
    return call->sinks->finish(std::move(call->done), loadFailure(call->onPipeWire, pa_strerror(pa_context_errno(context))));
  }
  call->sinks->loadedModule_ = index;
  qCInfo(lcMultiroom, "loaded the sound server's AirPlay discovery (module %u)", index);
  call->sinks->finish(std::move(call->done), std::nullopt);
}

void PulseAirPlaySinks::stopDiscovery() {
  watcher_.locked([&] {
    auto* context = watcher_.readyContext();
    const auto index = std::exchange(loadedModule_, std::nullopt);
    if (!context || !index) return;
    if (auto* operation = pa_context_unload_module(context, *index, nullptr, nullptr)) pa_operation_unref(operation);
    qCInfo(lcMultiroom, "unloaded the sound server's AirPlay discovery (module %u)", *index);
  });
}

void PulseAirPlaySinks::finish(Done done, std::optional<std::string> failure) {
  QMetaObject::invokeMethod(
      this, [done = std::move(done), failure = std::move(failure)] { done(failure); }, Qt::QueuedConnection);
}

}  // namespace kovali
