// The answers of the fake HEOS device, from its model of players, groups and sources.

#include <algorithm>

#include <QStringList>
#include <nlohmann/json.hpp>

#include "support/fake_heos_device.h"

namespace kovali {
namespace {

std::string text(std::int64_t number) { return std::to_string(number); }

std::optional<std::int64_t> integer(const HEOSMessage& parameters, const char* name) {
  const auto found = parameters.find(name);
  return found != parameters.end() ? heosInteger(found->second) : std::nullopt;
}

std::string parameter(const HEOSMessage& parameters, const char* name) {
  const auto found = parameters.find(name);
  return found != parameters.end() ? found->second : std::string();
}

}  // namespace

FakeHEOSDevice::Player* FakeHEOSDevice::player(std::int64_t pid) {
  const auto found = std::find_if(players.begin(), players.end(), [&](const Player& p) { return p.pid == pid; });
  return found != players.end() ? &*found : nullptr;
}

FakeHEOSDevice::Group* FakeHEOSDevice::group(std::int64_t gid) {
  const auto found = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.gid == gid; });
  return found != groups.end() ? &*found : nullptr;
}

FakeHEOSDevice::Reply FakeHEOSDevice::answer(const std::string& command, const HEOSMessage& parameters) {
  const Reply invalidID{"eid=2&text=ID Not Valid", std::nullopt, true};
  if (command == "system/register_for_change_events") return {"enable=" + parameter(parameters, "enable"), {}};
  if (command == "system/heart_beat") return {"", {}};
  if (command == "player/get_players") {
    auto list = nlohmann::json::array();
    for (const auto& p : players) {
      nlohmann::json entry{{"pid", p.pid}, {"name", p.name}, {"model", p.model}, {"ip", p.ip}};
      if (p.gid) entry["gid"] = *p.gid;
      if (!p.serial.empty()) entry["serial"] = p.serial;
      list.push_back(entry);
    }
    return {"", list.dump()};
  }
  if (command == "group/get_groups") {
    auto list = nlohmann::json::array();
    for (const auto& g : groups) {
      auto members = nlohmann::json::array();
      for (const auto pid : g.players) {
        members.push_back({{"pid", pid}, {"role", pid == g.gid ? "leader" : "member"}});
      }
      list.push_back({{"gid", g.gid}, {"name", g.name}, {"players", members}});
    }
    return {"", list.dump()};
  }
  if (command == "group/set_group") return setGroup(parameter(parameters, "pid"));
  if (command == "browse/browse") {
    const auto sid = integer(parameters, "sid");
    const auto found = sid ? sources.find(*sid) : sources.end();
    if (found == sources.end()) return invalidID;
    auto list = nlohmann::json::array();
    for (const auto& item : found->second) list.push_back({{"name", item.name}, {"mid", item.mid}, {"type", "station"}});
    return {"sid=" + text(*sid), list.dump()};
  }

  const auto pid = integer(parameters, "pid");
  Player* target = pid ? player(*pid) : nullptr;
  if (command.starts_with("group/")) {
    const auto gid = integer(parameters, "gid");
    Group* found = gid ? group(*gid) : nullptr;
    if (!found) return invalidID;
    if (command == "group/set_volume") {
      found->volume = integer(parameters, "level").value_or(found->volume);
      pushEvent("event/group_volume_changed", "gid=" + text(found->gid) + "&level=" + text(found->volume));
    }
    return {"gid=" + text(found->gid) + "&level=" + text(found->volume), {}};
  }
  if (!target) return invalidID;
  const std::string who = "pid=" + text(target->pid);
  if (command == "player/get_play_state") return {who + "&state=" + target->state, {}};
  if (command == "player/set_play_state") {
    target->state = parameter(parameters, "state");
    pushEvent("event/player_state_changed", who + "&state=" + target->state);
    return {who + "&state=" + target->state, {}};
  }
  if (command == "player/get_volume") return {who + "&level=" + text(target->volume), {}};
  if (command == "player/set_volume") {
    target->volume = integer(parameters, "level").value_or(target->volume);
    pushEvent("event/player_volume_changed", who + "&level=" + text(target->volume) + "&mute=off");
    return {who + "&level=" + text(target->volume), {}};
  }
  if (command == "player/get_now_playing_media") {
    if (target->mid.empty()) return {who, nlohmann::json::object().dump()};
    return {who, nlohmann::json{{"type", "station"}, {"mid", target->mid}}.dump()};
  }
  if (command == "browse/play_input") {
    target->mid = parameter(parameters, "input");
    target->state = "play";
    return {who + "&spid=" + parameter(parameters, "spid") + "&input=" + target->mid, {}};
  }
  return {"eid=1&text=Unrecognized Command", {}, true};
}

FakeHEOSDevice::Reply FakeHEOSDevice::setGroup(const std::string& pids) {
  std::vector<std::int64_t> members;
  for (const auto& piece : QString::fromStdString(pids).split(',')) {
    const auto pid = heosInteger(piece.toStdString());
    if (!pid || !player(*pid)) return {"eid=2&text=ID Not Valid", {}, true};
    members.push_back(*pid);
  }
  if (members.empty()) return {"eid=2&text=ID Not Valid", {}, true};
  const std::int64_t leader = members.front();
  // Whoever joins the new group leaves the one they were in; the leader alone ends its group.
  const auto joins = [&](std::int64_t pid) { return std::find(members.begin(), members.end(), pid) != members.end(); };
  for (auto& g : groups) {
    std::erase_if(g.players, joins);
    if (!g.players.empty()) g.gid = g.players.front();
  }
  std::erase_if(groups, [](const Group& g) { return g.players.size() < 2; });
  for (auto& p : players) p.gid.reset();
  for (const auto& g : groups) {
    for (const auto pid : g.players) player(pid)->gid = g.gid;
  }
  if (members.size() == 1) return {"pid=" + text(leader), {}};
  std::string name;
  for (const auto pid : members) name += (name.empty() ? "" : " + ") + player(pid)->name;
  groups.push_back(Group{leader, name, members, 30});
  for (const auto pid : members) player(pid)->gid = leader;
  pushEvent("event/groups_changed", "");
  return {"gid=" + text(leader) + "&name=" + name + "&pid=" + pids, {}};
}

}  // namespace kovali
