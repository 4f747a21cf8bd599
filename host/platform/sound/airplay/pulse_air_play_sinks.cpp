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
constexpr const char* unreachable = "The sound server could not be reached to look for AirPlay speakers.";

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

PulseAirPlaySinks::PulseAirPlaySinks(QObject* parent) : PulseAirPlaySinks(discoveryModule, "", parent) {}

PulseAirPlaySinks::PulseAirPlaySinks(std::string discoveryModule, std::string arguments, QObject* parent)
    : QObject(parent),
      discoveryModule_(std::move(discoveryModule)),
      discoveryArguments_(std::move(arguments)),
      watcher_("kovaliapp.airplay", [this] {
        if (auto* context = watcher_.readyContext()) {
          serverReached(context);
        } else {
          serverLost();
        }
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
    if (!context || !ask(context, done)) return false;
    wanted_ = true;
    stopWanted_ = false;
    return true;
  });
  if (!asked) finish(std::move(done), unreachable);
}

bool PulseAirPlaySinks::ask(pa_context* context, Done& done) {
  auto call = std::make_unique<DiscoveryCall>(DiscoveryCall{this, std::move(done)});
  auto* operation = pa_context_get_server_info(context, &PulseAirPlaySinks::serverRead, call.get());
  if (!operation) {
    done = std::move(call->done);
    return false;
  }
  pa_operation_unref(operation);
  calls_.push_back(std::move(call));
  return true;
}

void PulseAirPlaySinks::serverRead(pa_context* context, const pa_server_info* info, void* userdata) {
  auto* call = static_cast<DiscoveryCall*>(userdata);
  call->onPipeWire = info && info->server_name && std::string_view(info->server_name).find("PipeWire") != std::string_view::npos;
  if (auto* operation = pa_context_get_module_info_list(context, &PulseAirPlaySinks::moduleRead, call)) {
    pa_operation_unref(operation);
    return;
  }
  call->sinks->settle(call, loadFailure(call->onPipeWire, pa_strerror(pa_context_errno(context))));
}

void PulseAirPlaySinks::moduleRead(pa_context* context, const pa_module_info* info, int last, void* userdata) {
  auto* call = static_cast<DiscoveryCall*>(userdata);
  auto* sinks = call->sinks;
  if (!last) {
    if (info && info->name && info->name == sinks->discoveryModule_) call->loaded = true;
    return;
  }
  // Nothing to load when it is there already, or when discovery was stopped meanwhile.
  if (call->loaded || sinks->stopWanted_) return sinks->settle(call, std::nullopt);
  if (auto* operation = pa_context_load_module(context, sinks->discoveryModule_.c_str(),
                                               sinks->discoveryArguments_.c_str(), &PulseAirPlaySinks::moduleLoaded,
                                               call)) {
    pa_operation_unref(operation);
    return;
  }
  sinks->settle(call, loadFailure(call->onPipeWire, pa_strerror(pa_context_errno(context))));
}

void PulseAirPlaySinks::moduleLoaded(pa_context* context, std::uint32_t index, void* userdata) {
  auto* call = static_cast<DiscoveryCall*>(userdata);
  if (index == PA_INVALID_INDEX) {
    return call->sinks->settle(call, loadFailure(call->onPipeWire, pa_strerror(pa_context_errno(context))));
  }
  call->sinks->adopt(context, index);
  call->sinks->settle(call, std::nullopt);
}

void PulseAirPlaySinks::adopt(pa_context* context, std::uint32_t index) {
  // A stop that came during the load, or a second start that loaded it twice, leaves it unwanted.
  if (!stopWanted_ && !loadedModule_) {
    loadedModule_ = index;
    qCInfo(lcMultiroom, "loaded the sound server's AirPlay discovery (module %u)", index);
    return;
  }
  if (auto* operation = pa_context_unload_module(context, index, nullptr, nullptr)) pa_operation_unref(operation);
  qCInfo(lcMultiroom, "unloaded the sound server's AirPlay discovery (module %u), no longer wanted once loaded", index);
}

void PulseAirPlaySinks::stopDiscovery() {
  watcher_.locked([&] {
    wanted_ = false;
    if (!calls_.empty()) stopWanted_ = true;
    auto* context = watcher_.readyContext();
    const auto index = std::exchange(loadedModule_, std::nullopt);
    if (!context || !index) return;
    if (auto* operation = pa_context_unload_module(context, *index, nullptr, nullptr)) pa_operation_unref(operation);
    qCInfo(lcMultiroom, "unloaded the sound server's AirPlay discovery (module %u)", *index);
  });
}

void PulseAirPlaySinks::settle(DiscoveryCall* call, std::optional<std::string> failure) {
  const auto found = std::find_if(calls_.begin(), calls_.end(), [&](const auto& pending) { return pending.get() == call; });
  if (found == calls_.end()) return;
  finish(std::move(call->done), std::move(failure));
  calls_.erase(found);
  if (calls_.empty()) stopWanted_ = false;
}

void PulseAirPlaySinks::serverLost() {
  // A module index means nothing to a server that started again: never unload a stranger.
  loadedModule_.reset();
  stopWanted_ = false;
  serverWasLost_ = true;
  for (auto& call : std::exchange(calls_, {})) finish(std::move(call->done), unreachable);
}

void PulseAirPlaySinks::serverReached(pa_context* context) {
  // A load under way already brings it back.
  if (!std::exchange(serverWasLost_, false) || !wanted_ || !calls_.empty()) return;
  Done logged = [](const std::optional<std::string>& failure) {
    if (failure) qCWarning(lcMultiroom, "the AirPlay discovery was not loaded again: %s", failure->c_str());
  };
  if (ask(context, logged)) {
    qCInfo(lcMultiroom, "the sound server is back: loading its AirPlay discovery again");
  } else {
    qCWarning(lcMultiroom, "the AirPlay discovery was not loaded again: %s", unreachable);
  }
}

void PulseAirPlaySinks::finish(Done done, std::optional<std::string> failure) {
  QMetaObject::invokeMethod(
      this, [done = std::move(done), failure = std::move(failure)] { done(failure); }, Qt::QueuedConnection);
}

}  // namespace kovali
