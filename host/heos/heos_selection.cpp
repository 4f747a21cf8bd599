// What the controller's raw state means: the party's zones and leader, whether they play the
// party, the master volume and the texts shown under HEOS.

#include <algorithm>
#include <set>

#include "heos/heos_controller.h"
#include "heos/player_ids.h"

namespace kovali {
namespace {

template <class Map>
const typename Map::mapped_type* entry(const Map& map, std::int64_t id) {
  const auto found = map.find(id);
  return found != map.end() ? &found->second : nullptr;
}

}  // namespace

std::optional<HEOSController::Input> HEOSController::currentInput() const {
  const auto& c = configuration_;
  if (c.sourceID && c.inputMid) {
    const auto listed = std::find_if(inputs_.begin(), inputs_.end(), [&](const Input& input) {
      return input.sourceID == *c.sourceID && input.mid == *c.inputMid;
    });
    if (listed != inputs_.end()) return *listed;
    return Input{*c.sourceID, *c.inputMid, c.inputName.value_or(*c.inputMid)};
  }
  // Nothing chosen yet: whatever some player plays, in the order of the inputs.
  const auto playing = std::find_if(inputs_.begin(), inputs_.end(), [&](const Input& input) {
    return std::any_of(nowPlaying_.begin(), nowPlaying_.end(), [&](const auto& now) { return now.second == input.mid; });
  });
  if (playing == inputs_.end()) return std::nullopt;
  return *playing;
}

std::vector<std::int64_t> HEOSController::selectedZones() const {
  if (configuration_.zones) {
    if (players_.empty()) return *configuration_.zones;
    std::vector<std::int64_t> zones;
    for (const auto& player : players_) {
      if (containsID(*configuration_.zones, player.id)) zones.push_back(player.id);
    }
    return zones;
  }
  // Nothing chosen yet: the group, else the lone player, that plays the current input.
  const auto input = currentInput();
  if (!input) return {};
  const auto playsInput = [&](std::int64_t id) {
    const auto* mid = entry(nowPlaying_, id);
    return mid && *mid == input->mid;
  };
  const auto group = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return playsInput(g.id); });
  std::vector<std::int64_t> zones;
  for (const auto& player : players_) {
    if (group != groups_.end() ? containsID(group->players, player.id) : !player.groupID && playsInput(player.id)) {
      zones.push_back(player.id);
      if (group == groups_.end()) break;
    }
  }
  return zones;
}

std::optional<std::int64_t> HEOSController::leaderID() const {
  const auto zones = selectedZones();
  if (zones.empty()) return std::nullopt;
  const Group* leading = nullptr;
  std::ptrdiff_t most = 0;
  for (const auto& group : groups_) {
    if (!containsID(zones, group.id)) continue;
    const auto selected =
        std::count_if(group.players.begin(), group.players.end(), [&](std::int64_t id) { return containsID(zones, id); });
    if (!leading || selected > most) {  // on a tie the earlier group stays
      leading = &group;
      most = selected;
    }
  }
  return leading ? leading->id : zones.front();
}

bool HEOSController::isPlayingParty() const {
  const auto leader = leaderID();
  if (!leader) return false;
  const auto input = currentInput();
  if (!input) return false;
  const auto* state = entry(playStates_, *leader);
  const auto* mid = entry(nowPlaying_, *leader);
  if (!state || *state != "play" || !mid || *mid != input->mid) return false;

  const auto zones = selectedZones();
  const std::set<std::int64_t> selected(zones.begin(), zones.end());
  if (selected.size() == 1) {
    return std::none_of(groups_.begin(), groups_.end(), [&](const Group& g) { return containsID(g.players, *leader); });
  }
  return std::any_of(groups_.begin(), groups_.end(), [&](const Group& g) {
    return g.id == *leader && std::set<std::int64_t>(g.players.begin(), g.players.end()) == selected;
  });
}

std::int64_t HEOSController::volume() const {
  if (reportedVolume_ && isPlayingParty()) return *reportedVolume_;
  if (configuration_.volume) return *configuration_.volume;
  return reportedVolume_.value_or(40);
}

std::string HEOSController::stateText() const {
  if (lastError_) return *lastError_;
  if (isPlayingParty()) {
    std::vector<std::string> names;
    for (const auto zone : selectedZones()) names.push_back(zoneName(zone));
    return "Playing in " + joinedList(names) + ".";
  }
  const auto leader = leaderID();
  if (!leader) return "Stopped.";
  const auto* state = entry(playStates_, *leader);
  return state && *state == "play" ? "These zones are playing something else." : "Stopped.";
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

}  // namespace kovali
