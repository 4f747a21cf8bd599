// Change events from the device: each updates the mirror of the device and tells the owner.

#include <QPointer>

#include "heos/heos_controller.h"

namespace kovali {
namespace {

std::optional<std::int64_t> integer(const HEOSMessage& message, const char* name) {
  const auto found = message.find(name);
  return found != message.end() ? heosInteger(found->second) : std::nullopt;
}

}  // namespace

void HEOSController::handleEvent(const HEOSResponse& event) {
  const auto message = parseHEOSMessage(event.message);
  const auto pid = integer(message, "pid");
  const auto& name = event.command;
  if (name == "event/players_changed" || name == "event/groups_changed") {
    refreshTopology();
  } else if (name == "event/sources_changed") {
    refreshInputsAndNotify();
  } else if (name == "event/player_state_changed") {
    if (!pid) return;
    PlayStates states = playStates_;
    if (const auto state = message.find("state"); state != message.end()) {
      states[*pid] = state->second;
    } else {
      states.erase(*pid);
    }
    setPlayStates(std::move(states));
    notifyChange();
  } else if (name == "event/player_now_playing_changed") {
    if (pid) refreshNowPlayingAndNotify(*pid);
  } else if (name == "event/group_volume_changed") {
    const auto gid = integer(message, "gid");
    if (!gid) return;
    if (const auto level = integer(message, "level"); level && gid == leaderID()) {
      setReportedVolume(level);
      notifyChange();
    }
    refreshMemberVolumes(*gid);
  } else if (name == "event/player_volume_changed") {
    const auto level = integer(message, "level");
    if (!pid || !level) return;
    recordZoneVolume(*pid, *level);
    // A party on one zone follows that zone's own volume, echo window or not.
    if (pid == leaderID() && selectedZones().size() == 1) {
      setReportedVolume(level);
      notifyChange();
    }
  }
}

QCoro::Task<> HEOSController::refreshTopology() {
  QPointer<HEOSController> self(this);
  try {
    co_await refreshPlayersAndGroups();
  } catch (const HEOSError&) {
    // What was known stays.
  }
  if (!self) co_return;
  co_await refreshVolume();
  if (self) notifyChange();
}

QCoro::Task<> HEOSController::refreshInputsAndNotify() {
  QPointer<HEOSController> self(this);
  co_await loadInputs();
  if (self) notifyChange();
}

QCoro::Task<> HEOSController::refreshNowPlayingAndNotify(std::int64_t pid) {
  QPointer<HEOSController> self(this);
  co_await refreshNowPlaying(pid);
  if (self) notifyChange();
}

}  // namespace kovali
