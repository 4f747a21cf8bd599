#include "heos/heos_controller.h"

#include <algorithm>

#include <QPointer>

#include "heos/player_ids.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {
namespace {

template <class T>
std::optional<T> decodedPreference(const Preferences& preferences, const QString& key) {
  const auto bytes = preferences.dataValue(key);
  if (!bytes) return std::nullopt;
  auto value = vinaro::wire::tryDecode<T>(std::string_view(bytes->constData(), bytes->size()));
  if (!value) return std::nullopt;
  return std::move(value).value();
}

/// The stored presets; one that does not read is left out (and logged), so saving the others
/// later never loses the rest.
HEOSController::Presets loadedPresets(const Preferences& preferences, const QString& key) {
  const auto bytes = preferences.dataValue(key);
  if (!bytes) return {};
  const auto list = nlohmann::json::parse(bytes->constData(), bytes->constData() + bytes->size(), nullptr, false);
  if (!list.is_array()) {
    qCWarning(lcHEOS) << "the saved presets are not a list; starting without presets";
    return {};
  }
  HEOSController::Presets presets;
  for (std::size_t i = 0; i < list.size(); ++i) {
    try {
      presets.push_back(vinaro::wire::read<HEOSController::Preset>(list[i]));
    } catch (const std::exception& error) {
      qCWarning(lcHEOS) << "saved preset" << i << "does not read and is left out:" << error.what();
    }
  }
  return presets;
}

template <class T>
void storePreference(Preferences& preferences, const QString& key, const T& value) {
  const std::string json = vinaro::wire::encode(value);
  preferences.setValue(key, QByteArray(json.data(), static_cast<qsizetype>(json.size())));
}

}  // namespace

HEOSController::HEOSController(Preferences& preferences, QString key, QString presetsKey, Scheduler& scheduler,
                               HEOSNetwork network, QObject* parent)
    : QObject(parent),
      preferences_(preferences),
      key_(std::move(key)),
      presetsKey_(std::move(presetsKey)),
      scheduler_(scheduler),
      network_(std::move(network)),
      configuration_(decodedPreference<Configuration>(preferences_, key_).value_or(Configuration{})),
      presets_(loadedPresets(preferences_, presetsKey_)) {}

// ---- State ----------------------------------------------------------------------------------

void HEOSController::setStatus(Status status) {
  if (setIfChanged(status_, std::move(status))) emit statusChanged();
}

void HEOSController::setConfiguration(Configuration configuration) {
  if (!setIfChanged(configuration_, std::move(configuration))) return;
  emit configurationChanged();
  storePreference(preferences_, key_, configuration_);
}

void HEOSController::setPlayers(Players players) {
  if (setIfChanged(players_, std::move(players))) emit playersChanged();
}

void HEOSController::setGroups(Groups groups) {
  if (setIfChanged(groups_, std::move(groups))) emit groupsChanged();
}

void HEOSController::setPlayStates(PlayStates states) {
  if (setIfChanged(playStates_, std::move(states))) emit playStatesChanged();
}

void HEOSController::setNowPlaying(NowPlaying nowPlaying) {
  if (setIfChanged(nowPlaying_, std::move(nowPlaying))) emit nowPlayingChanged();
}

void HEOSController::setReportedVolume(std::optional<std::int64_t> volume) {
  if (setIfChanged(reportedVolume_, volume)) emit reportedVolumeChanged();
}

void HEOSController::setZoneVolumes(ZoneVolumes volumes) {
  if (setIfChanged(zoneVolumes_, std::move(volumes))) emit zoneVolumesChanged();
}

void HEOSController::setInputs(Inputs inputs) {
  if (setIfChanged(inputs_, std::move(inputs))) emit inputsChanged();
}

void HEOSController::setIsApplying(bool applying) {
  if (setIfChanged(isApplying_, applying)) emit isApplyingChanged();
}

void HEOSController::setLastError(std::optional<std::string> error) {
  if (setIfChanged(lastError_, std::move(error))) emit lastErrorChanged();
}

void HEOSController::setPresets(Presets presets) {
  if (setIfChanged(presets_, std::move(presets))) emit presetsChanged();
}

void HEOSController::notifyChange() { emit changed(); }

void HEOSController::log(const std::string& line) {
  qCInfo(lcHEOS, "%s", line.c_str());
  emit logged(line);
}

void HEOSController::report(const std::string& description, const std::string& action) {
  setLastError(description);
  log(action + " failed: " + description);
}

void HEOSController::attach(HEOSSocketHandle commands, HEOSSocketHandle events) {
  commands_ = std::move(commands);
  events_ = std::move(events);
  if (events_) connect(events_.get(), &HEOSSocket::eventArrived, this, &HEOSController::handleEvent);
}

QCoro::Task<HEOSResponse> HEOSController::command(std::string name, HEOSParameters parameters) {
  if (!commands_) throw HEOSError::host(notConnected);
  // Browsing, playing an input and grouping take the device longer.
  const bool slow = name == "browse/browse" || name == "browse/play_input" || name == "group/set_group";
  co_return co_await commands_->request(heosCommandLine(name, parameters), slow ? 15 : 10);
}

void HEOSController::savePresets() { storePreference(preferences_, presetsKey_, presets_); }

}  // namespace kovali
