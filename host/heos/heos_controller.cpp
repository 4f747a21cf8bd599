#include "heos/heos_controller.h"

#include <algorithm>

#include <QPointer>

#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {
namespace {

const std::string kNotAvailable = "HEOS control isn't available on Linux yet.";
constexpr double kVolumeSendDelay = 0.15;

std::int64_t clampedLevel(std::int64_t level) { return std::clamp<std::int64_t>(level, 0, 100); }

bool contains(const std::vector<std::int64_t>& ids, std::int64_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

template <class T>
std::optional<T> decodedPreference(const Preferences& preferences, const QString& key) {
  const auto bytes = preferences.dataValue(key);
  if (!bytes) return std::nullopt;
  auto value = vinaro::wire::tryDecode<T>(std::string_view(bytes->constData(), bytes->size()));
  if (!value) return std::nullopt;
  return std::move(value).value();
}

template <class T>
void storePreference(Preferences& preferences, const QString& key, const T& value) {
  const std::string json = vinaro::wire::encode(value);
  preferences.setValue(key, QByteArray(json.data(), static_cast<qsizetype>(json.size())));
}

}  // namespace

HEOSController::HEOSController(Preferences& preferences, QString key, QString presetsKey, Scheduler& scheduler,
                               QObject* parent)
    : QObject(parent),
      preferences_(preferences),
      key_(std::move(key)),
      presetsKey_(std::move(presetsKey)),
      scheduler_(scheduler),
      configuration_(decodedPreference<Configuration>(preferences_, key_).value_or(Configuration{})),
      presets_(decodedPreference<Presets>(preferences_, presetsKey_).value_or(Presets{})) {}

// ---- Derived values -------------------------------------------------------------------------

std::optional<HEOSController::Input> HEOSController::currentInput() const {
  const auto& c = configuration_;
  if (!c.sourceID || !c.inputMid) return std::nullopt;  // what plays on the zones is not known
  const auto listed = std::find_if(inputs_.begin(), inputs_.end(), [&](const Input& input) {
    return input.sourceID == *c.sourceID && input.mid == *c.inputMid;
  });
  if (listed != inputs_.end()) return *listed;
  return Input{*c.sourceID, *c.inputMid, c.inputName.value_or(*c.inputMid)};
}

std::vector<std::int64_t> HEOSController::selectedZones() const {
  if (!configuration_.zones) return {};  // nothing chosen, and nothing is known to play
  if (players_.empty()) return *configuration_.zones;
  std::vector<std::int64_t> zones;
  for (const auto& player : players_) {
    if (contains(*configuration_.zones, player.id)) zones.push_back(player.id);
  }
  return zones;
}

std::optional<std::int64_t> HEOSController::leaderID() const {
  // Without the device's groups the first chosen zone leads.
  const auto zones = selectedZones();
  if (zones.empty()) return std::nullopt;
  return zones.front();
}

std::int64_t HEOSController::volume() const { return configuration_.volume.value_or(40); }

bool HEOSController::isPlayingParty() const {
  // The zones' play states come from the device, and no device is connected.
  return false;
}

std::string HEOSController::stateText() const {
  if (lastError_) return *lastError_;
  if (!isPlayingParty()) return "Stopped.";
  std::vector<std::string> names;
  for (const auto zone : selectedZones()) names.push_back(zoneName(zone));
  return "Playing in " + joinedList(names) + ".";
}

std::optional<std::string> HEOSController::detailText() const {
  switch (status_.kind) {
    case Status::Kind::connected:
      return std::to_string(players_.size()) + " zones · " + status_.text;
    case Status::Kind::failed:
      return status_.text;
    case Status::Kind::notFound:
      return "Check that this computer is on the same network as the HEOS devices.";
    case Status::Kind::off:
    case Status::Kind::searching:
    case Status::Kind::connecting:
      break;
  }
  return std::nullopt;
}

std::string HEOSController::joinedList(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

std::string HEOSController::zoneName(std::int64_t id) const {
  const auto player = std::find_if(players_.begin(), players_.end(), [&](const Player& p) { return p.id == id; });
  return player != players_.end() ? player->name : std::to_string(id);
}

// ---- Connection -----------------------------------------------------------------------------

void HEOSController::search() {
  const auto attempt = ++connectAttempt_;
  QMetaObject::invokeMethod(
      this, [this, attempt] { if (attempt == connectAttempt_) runConnectAttempt(); }, Qt::QueuedConnection);
}

void HEOSController::runConnectAttempt() {
  // There is neither discovery nor a connection to try, so the attempt ends at once and says so.
  log("search: " + kNotAvailable);
  setStatus(Status::failed(kNotAvailable));
  notifyChange();
}

void HEOSController::setStartWithParty(bool on) {
  if (on == configuration_.startWithParty) return;
  Configuration changed = configuration_;
  changed.startWithParty = on;
  setConfiguration(std::move(changed));
  log(on ? "Use HEOS on" : "Use HEOS off");
  if (on) {
    if (status_.kind == Status::Kind::off) {
      search();
    } else {
      playIfReady(false);
    }
  } else {
    const auto playingZone = isPlayingParty() ? leaderID() : std::nullopt;
    ++connectAttempt_;  // a search not yet run stays undone
    if (playingZone) stop(*playingZone);  // finishes at once: there is no connection to wait for
    setStatus(Status::off());
    setLastError(std::nullopt);
  }
  notifyChange();
}

// ---- Zones, input and play ------------------------------------------------------------------

void HEOSController::playIfReady(bool force) {
  if (configuration_.startWithParty && status_.kind == Status::Kind::connected && (force || partyIsPlaying) &&
      currentInput() && !selectedZones().empty()) {
    requestPlay();
  }
}

void HEOSController::partyDidStart() {
  if (!configuration_.startWithParty || status_.kind != Status::Kind::connected || isPlayingParty() ||
      isApplying_ || !currentInput() || selectedZones().empty()) {
    return;
  }
  log("the party started; starting HEOS");
  requestPlay();
}

void HEOSController::selectInput(const std::string& id) {
  const auto input =
      std::find_if(inputs_.begin(), inputs_.end(), [&](const Input& listed) { return listed.identifier() == id; });
  if (input == inputs_.end()) return;
  const bool wasPlaying = isPlayingParty();
  Configuration changed = configuration_;
  if (!changed.zones) changed.zones = selectedZones();  // the chosen zones stay as they were
  changed.sourceID = input->sourceID;
  changed.inputMid = input->mid;
  changed.inputName = input->name;
  setConfiguration(std::move(changed));
  notifyChange();
  playIfReady(wasPlaying);
}

void HEOSController::setZone(std::int64_t id, bool included) {
  const bool wasPlaying = isPlayingParty();
  const auto oldLeader = leaderID();
  auto zones = selectedZones();
  if (included) {
    if (!contains(zones, id)) zones.push_back(id);
  } else {
    std::erase(zones, id);
  }
  Configuration changed = configuration_;
  if (!changed.inputMid) {
    if (const auto input = currentInput()) {
      changed.sourceID = input->sourceID;
      changed.inputMid = input->mid;
      changed.inputName = input->name;
    }
  }
  // Only listed players can be chosen.
  std::vector<std::int64_t> chosen;
  for (const auto& player : players_) {
    if (contains(zones, player.id)) chosen.push_back(player.id);
  }
  changed.zones = std::move(chosen);
  setConfiguration(std::move(changed));
  notifyChange();
  if (zones.empty() && wasPlaying && oldLeader) {
    stop(*oldLeader);
  } else {
    playIfReady(wasPlaying);
  }
}

void HEOSController::requestPlay() {
  if (isApplying_) {
    replayPending_ = true;
    return;
  }
  QMetaObject::invokeMethod(this, [this] { applyPlay(); }, Qt::QueuedConnection);
}

void HEOSController::applyPlay() {
  if (isApplying_) {
    replayPending_ = true;
    return;
  }
  if (!currentInput() || !leaderID()) {
    setLastError("Choose the input and at least one zone.");
    notifyChange();
    return;
  }
  setIsApplying(true);
  setLastError(std::nullopt);
  notifyChange();
  // Grouping the zones is the first command of a play.
  report(notConnected, "starting HEOS");
  setIsApplying(false);
  notifyChange();
  if (std::exchange(replayPending_, false)) requestPlay();
}

QCoro::Task<> HEOSController::stop(std::int64_t /*leader*/) {
  report(notConnected, "stopping");
  notifyChange();
  co_return;
}

// ---- Volumes --------------------------------------------------------------------------------

void HEOSController::setVolume(std::int64_t level) {
  level = clampedLevel(level);
  pendingZoneVolumes_.clear();
  const bool playing = isPlayingParty();
  Configuration changed = configuration_;
  changed.volume = level;
  setConfiguration(std::move(changed));
  if (playing && leaderID()) {
    volumeTask_.start([this, self = QPointer<HEOSController>(this)](CancellationToken token) -> QCoro::Task<> {
      co_await scheduler_.sleep(kVolumeSendDelay, token);
      if (token.isCancelled() || !self) co_return;
      report(notConnected, "setting the volume");
    });
  }
  notifyChange();
}

void HEOSController::setZoneVolume(std::int64_t id, std::int64_t level) {
  level = clampedLevel(level);
  pendingZoneVolumes_.erase(id);
  ZoneVolumes volumes = zoneVolumes_;
  volumes[id] = level;
  setZoneVolumes(std::move(volumes));
  notifyChange();
  zoneVolumeTasks_[id].start([this, self = QPointer<HEOSController>(this), id](CancellationToken token)
                                 -> QCoro::Task<> {
    co_await scheduler_.sleep(kVolumeSendDelay, token);
    if (token.isCancelled() || !self) co_return;
    report(notConnected, "setting the volume of " + zoneName(id));
  });
}

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

void HEOSController::savePresets() { storePreference(preferences_, presetsKey_, presets_); }

}  // namespace kovali
