// Finding a HEOS device and keeping the two connections to it: candidates, opening and
// registering, the main unit of a secondary zone, the heartbeat, drops and reconnecting, and
// the switches that start and stop all of it.

#include <algorithm>
#include <climits>

#include <QPointer>
#include <QString>

#include "heos/heos_controller.h"
#include "heos/heos_text.h"
#include "heos/ssdp_discovery.h"

namespace kovali {
namespace {

constexpr double kOpenTimeout = 4;
constexpr double kHeartbeatInterval = 30;
constexpr double kPauseBetweenScans = 1;

const char* const kDevicesUnreachable =
    "HEOS devices were found, but Kovali can't connect to them. Check that no firewall on this computer "
    "blocks Kovali from reaching them on TCP port 1255.";
const char* const kReconnecting = "Lost the connection to HEOS. Reconnecting\u2026";

bool contains(const std::vector<std::string>& items, const std::string& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

}  // namespace

// ---- Switches -------------------------------------------------------------------------------

void HEOSController::search() {
  connectTask_.cancel();
  closeConnections();
  reconnectAttempts_ = 0;
  connectTask_.start([this](CancellationToken token) { return connectToDevice(token); });
}

void HEOSController::setHost(const std::string& host) {
  const std::string text = trimmedText(host);
  Configuration changed = configuration_;
  changed.host = text.empty() ? std::nullopt : std::optional(text);
  setConfiguration(std::move(changed));
  search();
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
    connectTask_.cancel();
    switchOff(playingZone);
  }
  notifyChange();
}

QCoro::Task<> HEOSController::switchOff(std::optional<std::int64_t> zone) {
  QPointer<HEOSController> self(this);
  if (zone) {
    std::optional<std::string> failure;
    try {
      co_await command("player/set_play_state", withParameter(idParameter("pid", *zone), "state", "stop"));
    } catch (const HEOSError& error) {
      failure = error.description();
    }
    if (!self) co_return;
    if (!failure) markStopped(*zone);
    log(failure ? "stopping " + zoneName(*zone) + " failed: " + *failure : "stopped " + zoneName(*zone));
  }
  // Switched on again meanwhile: the connection stays.
  if (configuration_.startWithParty) co_return;
  closeConnections();
  setStatus(Status::off());
  setLastError(std::nullopt);
  notifyChange();
}

void HEOSController::closeConnections() {
  heartbeat_.cancel();
  volumeTask_.cancel();
  memberVolumeTask_.cancel();
  for (auto& [pid, task] : zoneVolumeTasks_) task.cancel();
  zoneVolumeTasks_.clear();
  commands_.reset();
  events_.reset();
  // What the zones play is no longer seen: the last report would tell of a party long gone.
  setPlayStates({});
}

// ---- A connect attempt ----------------------------------------------------------------------

QCoro::Task<> HEOSController::connectToDevice(CancellationToken token) {
  QPointer<HEOSController> self(this);
  std::vector<std::string> candidates = startCandidates();
  if (!configuredHost()) {
    auto found = co_await searchSSDP(network_.scanSeconds, network_.discovery);
    if (!self || token.isCancelled()) co_return;
    if (found.empty()) {
      co_await scheduler_.sleep(kPauseBetweenScans, token);
      if (!self || token.isCancelled()) co_return;
      found = co_await searchSSDP(network_.scanSeconds, network_.discovery);
      if (!self || token.isCancelled()) co_return;
    }
    addDiscovered(candidates, found);
  }
  if (!beginTrying(candidates)) co_return;
  const std::vector<std::string> initial = candidates;
  bool redirected = false;
  while (!candidates.empty()) {
    const std::string host = candidates.front();
    candidates.erase(candidates.begin());
    const auto outcome = co_await tryCandidate(host, redirected, token);
    if (!self || token.isCancelled()) co_return;
    if (outcome.connected) {
      connectionMade(host);
      co_return;
    }
    if (outcome.mainUnit) {
      candidates.insert(candidates.begin(), host);
      candidates.insert(candidates.begin(), *outcome.mainUnit);
      redirected = true;
    }
  }
  noCandidateAnswered(initial);
}

std::optional<std::string> HEOSController::configuredHost() const {
  if (!configuration_.host || configuration_.host->empty()) return std::nullopt;
  return configuration_.host;
}

std::vector<std::string> HEOSController::startCandidates() {
  if (const auto host = configuredHost()) {
    setStatus(Status::connecting());
    notifyChange();
    return {*host};
  }
  setStatus(Status::searching());
  notifyChange();
  if (discoveredHost_) return {*discoveredHost_};
  return {};
}

void HEOSController::addDiscovered(std::vector<std::string>& candidates, const std::vector<std::string>& found) {
  log("discovery found " + (found.empty() ? std::string("nothing") : joinedText(found, ", ")));
  const std::vector<std::string> remembered = candidates;
  for (const auto& address : found) {
    if (!contains(remembered, address)) candidates.push_back(address);
  }
}

bool HEOSController::beginTrying(const std::vector<std::string>& candidates) {
  if (candidates.empty()) {
    setStatus(Status::notFound());
    notifyChange();
    if (configuration_.startWithParty) scheduleReconnect();
    return false;
  }
  setStatus(Status::connecting());
  notifyChange();
  return true;
}

QCoro::Task<HEOSController::CandidateOutcome> HEOSController::tryCandidate(std::string host, bool redirected,
                                                                           CancellationToken token) {
  QPointer<HEOSController> self(this);
  OwnSockets own;
  std::optional<std::string> failure;
  CandidateOutcome outcome;
  try {
    co_await openCommands(host, token, own);
    if (!self || token.isCancelled()) co_return own.closed();
    co_await command("system/register_for_change_events", withParameter(HEOSParameters(), "enable", "off"));
    if (!self || token.isCancelled()) co_return own.closed();
    co_await refreshPlayersAndGroups();
    if (!self || token.isCancelled()) co_return own.closed();
    outcome.mainUnit = redirected ? std::nullopt : mainPlayerAddress(host);
    if (!outcome.mainUnit) {
      co_await refreshDetails(token);
      if (!self || token.isCancelled()) co_return own.closed();
      co_await openEvents(host, token, own);
      if (!self || token.isCancelled()) co_return own.closed();
      outcome.connected = true;
    }
  } catch (const HEOSError& error) {
    failure = error.description();
  }
  if (!self || token.isCancelled()) co_return own.closed();
  if (failure) log(host + ": " + *failure);
  if (outcome.mainUnit) log(host + " is a secondary zone; connecting to " + *outcome.mainUnit + " instead");
  if (!outcome.connected) closeConnections();
  co_return outcome;
}

HEOSController::CandidateOutcome HEOSController::OwnSockets::closed() {
  if (commands) commands->close();
  if (events) events->close();
  return {};
}

QCoro::Task<> HEOSController::openCommands(std::string host, CancellationToken token, OwnSockets& own) {
  QPointer<HEOSController> self(this);
  HEOSSocketHandle socket = makeSocket(host);
  own.commands = socket.get();
  co_await socket->open(kOpenTimeout);
  if (!self || token.isCancelled()) co_return;  // the handle closes the socket
  commands_ = std::move(socket);
  QObject::connect(commands_.get(), &HEOSSocket::dropped, this, &HEOSController::connectionLost);
}

QCoro::Task<> HEOSController::openEvents(std::string host, CancellationToken token, OwnSockets& own) {
  QPointer<HEOSController> self(this);
  HEOSSocketHandle socket = makeSocket(host);
  own.events = socket.get();
  co_await socket->open(kOpenTimeout);
  if (!self || token.isCancelled()) co_return;
  events_ = std::move(socket);
  QObject::connect(events_.get(), &HEOSSocket::eventArrived, this, &HEOSController::handleEvent);
  QObject::connect(events_.get(), &HEOSSocket::dropped, this, &HEOSController::connectionLost);
  co_await events_->request(
      heosCommandLine("system/register_for_change_events", withParameter(HEOSParameters(), "enable", "on")), 10);
}

HEOSSocketHandle HEOSController::makeSocket(const std::string& host) {
  return HEOSSocketHandle(new HEOSSocket(QString::fromStdString(host), network_.port, scheduler_));
}

QCoro::Task<> HEOSController::refreshDetails(CancellationToken token) {
  QPointer<HEOSController> self(this);
  co_await loadInputs(token);
  if (!self || token.isCancelled()) co_return;
  std::vector<std::int64_t> ids;
  for (const auto& player : players_) ids.push_back(player.id);
  for (const auto id : ids) {
    if (!self || token.isCancelled()) co_return;
    co_await refreshPlayer(id);
  }
  if (!self || token.isCancelled()) co_return;
  co_await refreshVolume();
}

std::optional<std::string> HEOSController::mainPlayerAddress(const std::string& host) const {
  std::vector<std::string> mains;
  for (const auto& player : players_) {
    if (player.isMain && player.address) mains.push_back(*player.address);
  }
  if (mains.empty() || contains(mains, host)) return std::nullopt;
  return mains.front();
}

void HEOSController::connectionMade(const std::string& host) {
  if (!configuredHost()) discoveredHost_ = host;
  setStatus(Status::connected(host));
  reconnectAttempts_ = 0;
  setLastError(std::nullopt);
  startHeartbeat();
  log("connected to " + host + ": " + std::to_string(players_.size()) + " zones, " + std::to_string(groups_.size()) +
      " groups, " + std::to_string(inputs_.size()) + " inputs");
  notifyChange();
  if (configuration_.startWithParty && partyIsPlaying && !isPlayingParty() && currentInput() &&
      !selectedZones().empty()) {
    log("the party is playing; starting HEOS");
    requestPlay();
  }
}

void HEOSController::noCandidateAnswered(const std::vector<std::string>& initial) {
  const auto host = configuredHost();
  setStatus(Status::failed(host ? "No HEOS device answered at " + initial.front() + "." : kDevicesUnreachable));
  notifyChange();
  if (configuration_.startWithParty) scheduleReconnect();
}

// ---- Keeping the connection -----------------------------------------------------------------

void HEOSController::connectionLost(const std::string& reason) {
  log("connection lost: " + reason);
  closeConnections();
  if (!configuration_.startWithParty) {
    setStatus(Status::off());
    notifyChange();
    return;
  }
  setStatus(Status::failed(kReconnecting));
  notifyChange();
  scheduleReconnect();
}

double HEOSController::reconnectDelay(int attempt) {
  const int doublings = std::clamp(attempt - 1, 0, 4);  // 5 × 2^4 = 80 is past the cap already
  return std::min(5.0 * (1 << doublings), 60.0);
}

void HEOSController::scheduleReconnect() {
  if (reconnectAttempts_ < INT_MAX) ++reconnectAttempts_;
  const double delay = reconnectDelay(reconnectAttempts_);
  connectTask_.start([this, delay](CancellationToken token) { return reconnectLater(delay, token); });
}

QCoro::Task<> HEOSController::reconnectLater(double delay, CancellationToken token) {
  QPointer<HEOSController> self(this);
  co_await scheduler_.sleep(delay, token);
  if (!self || token.isCancelled()) co_return;
  co_await connectToDevice(token);
}

void HEOSController::startHeartbeat() {
  heartbeat_.start([this](CancellationToken token) { return beat(token); });
}

QCoro::Task<> HEOSController::beat(CancellationToken token) {
  QPointer<HEOSController> self(this);
  for (;;) {
    co_await scheduler_.sleep(kHeartbeatInterval, token);
    if (!self || token.isCancelled()) co_return;
    if (!commands_) continue;
    try {
      co_await commands_->request(heosCommandLine("system/heart_beat"), 10);
    } catch (const HEOSError&) {
      // A dead connection shows itself as a drop.
    }
    if (!self || token.isCancelled()) co_return;
  }
}

}  // namespace kovali
