// The party on the zones: the chosen input and zones, grouping them behind a leader, playing the
// input there, stopping a zone, and one play at a time.

#include <algorithm>
#include <set>

#include <QPointer>

#include "heos/heos_controller.h"
#include "heos/heos_text.h"
#include "heos/player_ids.h"

namespace kovali {
namespace {

std::string joinedIDs(const std::vector<std::int64_t>& ids) {
  std::string text;
  for (const auto id : ids) text += (text.empty() ? "" : ",") + std::to_string(id);
  return text;
}

/// The "pid" list of the "group/set_group" that makes `zones` one group led by `leader`;
/// nothing when the device is grouped that way already.
std::optional<std::string> groupingFor(const std::vector<std::int64_t>& zones, std::int64_t leader,
                                       const HEOSController::Groups& groups) {
  if (zones.size() < 2) {
    const auto holding = std::find_if(groups.begin(), groups.end(),
                                      [&](const HEOSController::Group& g) { return containsID(g.players, leader); });
    if (holding == groups.end()) return std::nullopt;
    if (holding->id == leader) return std::to_string(leader);  // alone, it ends the group it heads
    // Takes the leader out of another player's group, which stays as it was otherwise.
    std::vector<std::int64_t> rest{holding->id};
    for (const auto member : holding->players) {
      if (member != leader && member != holding->id) rest.push_back(member);
    }
    return joinedIDs(rest);
  }
  const std::set<std::int64_t> wanted(zones.begin(), zones.end());
  const bool grouped = std::any_of(groups.begin(), groups.end(), [&](const HEOSController::Group& g) {
    return g.id == leader && std::set<std::int64_t>(g.players.begin(), g.players.end()) == wanted;
  });
  if (grouped) return std::nullopt;
  std::vector<std::int64_t> members{leader};
  for (const auto zone : zones) {
    if (zone != leader) members.push_back(zone);
  }
  return joinedIDs(members);
}

/// "pid", then "spid" when the input's source is another player, then "input".
HEOSParameters playInputParameters(std::int64_t leader, const HEOSController::Input& input) {
  HEOSParameters parameters = idParameter("pid", leader);
  if (input.sourceID != leader) parameters = withParameter(std::move(parameters), "spid", std::to_string(input.sourceID));
  return withParameter(std::move(parameters), "input", input.mid);
}

}  // namespace

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
    if (!containsID(zones, id)) zones.push_back(id);
  } else {
    std::erase(zones, id);
  }
  adoptCurrentInput();
  Configuration changed = configuration_;
  if (players_.empty()) {
    changed.zones = zones;  // nothing listed to check against: the saved choice is edited as it is
  } else {
    std::vector<std::int64_t> chosen;  // only listed players, in their order
    for (const auto& player : players_) {
      if (containsID(zones, player.id)) chosen.push_back(player.id);
    }
    changed.zones = std::move(chosen);
  }
  setConfiguration(std::move(changed));
  notifyChange();
  if (zones.empty() && wasPlaying && oldLeader) {
    stop(*oldLeader);
  } else {
    playIfReady(wasPlaying);
  }
}

void HEOSController::adoptCurrentInput() {
  if (configuration_.inputMid) return;
  const auto input = currentInput();
  if (!input) return;
  Configuration changed = configuration_;
  changed.sourceID = input->sourceID;
  changed.inputMid = input->mid;
  changed.inputName = input->name;
  setConfiguration(std::move(changed));
}

void HEOSController::requestPlay() {
  if (isApplying_) {
    replayPending_ = true;
    return;
  }
  QMetaObject::invokeMethod(this, [this] { applyPlay(); }, Qt::QueuedConnection);
}

QCoro::Task<> HEOSController::applyPlay() {
  QPointer<HEOSController> self(this);
  if (isApplying_) {
    replayPending_ = true;
    co_return;
  }
  const auto input = currentInput();
  const auto leader = leaderID();
  if (!input || !leader) {
    setLastError("Choose the input and at least one zone.");
    notifyChange();
    co_return;
  }
  const auto zones = selectedZones();
  const auto level = volume();
  setIsApplying(true);
  setLastError(std::nullopt);
  notifyChange();
  bool played = false;
  try {
    co_await sendPlay(*input, zones, *leader, level);
    played = true;
  } catch (const HEOSError& error) {
    if (self) report(error.description(), "starting HEOS");
  }
  if (!self) co_return;
  if (played) {
    co_await recordPlay(*input, zones, *leader, level);
    if (!self) co_return;
  }
  setIsApplying(false);
  notifyChange();
  if (std::exchange(replayPending_, false)) requestPlay();
}

QCoro::Task<> HEOSController::sendPlay(Input input, std::vector<std::int64_t> zones, std::int64_t leader,
                                       std::int64_t level) {
  QPointer<HEOSController> self(this);
  co_await group(zones, leader);
  if (!self) co_return;
  co_await command("browse/play_input", playInputParameters(leader, input));
  if (!self) co_return;
  co_await sendVolume(level, leader, zones.size() > 1);
  if (!self || pendingZoneVolumes_.empty()) co_return;
  ZoneVolumes chosen;
  for (const auto& [pid, pending] : pendingZoneVolumes_) {
    if (containsID(zones, pid)) chosen[pid] = pending;
  }
  co_await sendZoneVolumes(chosen);
  if (self) pendingZoneVolumes_.clear();
}

QCoro::Task<> HEOSController::recordPlay(Input input, std::vector<std::int64_t> zones, std::int64_t leader,
                                         std::int64_t level) {
  QPointer<HEOSController> self(this);
  Configuration changed = configuration_;
  changed.sourceID = input.sourceID;
  changed.inputMid = input.mid;
  changed.inputName = input.name;
  changed.zones = zones;
  changed.volume = level;
  setConfiguration(std::move(changed));
  try {
    co_await refreshPlayersAndGroups();
  } catch (const HEOSError&) {
    // The play went out; the mirror catches up with the next change event.
  }
  if (!self) co_return;
  co_await refreshPlayer(leader);
  if (!self) co_return;
  std::vector<std::string> names;
  for (const auto zone : zones) names.push_back(zoneName(zone));
  log("playing " + input.name + " on " + joinedText(names, ", ") + " at " + std::to_string(level));
}

QCoro::Task<> HEOSController::group(std::vector<std::int64_t> zones, std::int64_t leader) {
  const auto members = groupingFor(zones, leader, groups_);
  if (!members) co_return;
  co_await command("group/set_group", withParameter(HEOSParameters(), "pid", *members));
}

void HEOSController::markStopped(std::int64_t zone) {
  PlayStates states = playStates_;
  states[zone] = "stop";
  setPlayStates(std::move(states));
}

QCoro::Task<> HEOSController::stop(std::int64_t leader) {
  QPointer<HEOSController> self(this);
  try {
    co_await command("player/set_play_state", withParameter(idParameter("pid", leader), "state", "stop"));
  } catch (const HEOSError& error) {
    if (self) {
      report(error.description(), "stopping");
      notifyChange();
    }
    co_return;
  }
  if (!self) co_return;
  markStopped(leader);
  setLastError(std::nullopt);
  log("stopped " + zoneName(leader));
  notifyChange();
}

}  // namespace kovali
