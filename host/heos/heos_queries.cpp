// The controller's read-only queries of the device: players and groups, play states, what plays,
// volumes and the inputs.

#include <algorithm>
#include <set>

#include <QCollator>
#include <QPointer>

#include "heos/heos_controller.h"
#include "heos/player_ids.h"

namespace kovali {
namespace {

const JSONValue::Array* arrayOf(const std::optional<JSONValue>& payload) {
  return payload ? std::get_if<JSONValue::Array>(&payload->value) : nullptr;
}

std::optional<std::string> text(const JSONValue& object, std::string_view key) {
  const JSONValue* member = object.member(key);
  return member ? member->stringValue() : std::nullopt;
}

std::optional<std::int64_t> integer(const JSONValue& object, std::string_view key) {
  const JSONValue* member = object.member(key);
  return member ? member->intValue() : std::nullopt;
}

std::optional<std::int64_t> messageInteger(const HEOSResponse& reply, const char* name) {
  const auto message = parseHEOSMessage(reply.message);
  const auto found = message.find(name);
  return found != message.end() ? heosInteger(found->second) : std::nullopt;
}

HEOSController::Players playersFrom(const std::optional<JSONValue>& payload) {
  HEOSController::Players players;
  const auto* list = arrayOf(payload);
  if (!list) return players;
  for (const auto& element : *list) {
    const auto pid = integer(element, "pid");
    auto name = text(element, "name");
    if (!pid || !name) continue;
    const auto serial = text(element, "serial");
    players.push_back({*pid, std::move(*name), text(element, "model").value_or(""), integer(element, "gid"),
                       text(element, "ip"), serial && !serial->empty()});
  }
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(players.begin(), players.end(), [&](const auto& a, const auto& b) {
    return collator.compare(QString::fromStdString(a.name), QString::fromStdString(b.name)) < 0;
  });
  return players;
}

HEOSController::Groups groupsFrom(const std::optional<JSONValue>& payload) {
  HEOSController::Groups groups;
  const auto* list = arrayOf(payload);
  if (!list) return groups;
  for (const auto& element : *list) {
    const auto gid = integer(element, "gid");
    if (!gid) continue;
    HEOSController::Group group{*gid, text(element, "name").value_or(""), {}};
    const JSONValue* members = element.member("players");
    if (const auto* memberList = members ? std::get_if<JSONValue::Array>(&members->value) : nullptr) {
      for (const auto& member : *memberList) {
        if (const auto pid = integer(member, "pid")) group.players.push_back(*pid);
      }
    }
    groups.push_back(std::move(group));
  }
  return groups;
}

}  // namespace

QCoro::Task<> HEOSController::refreshPlayersAndGroups() {
  QPointer<HEOSController> self(this);
  const auto players = co_await command("player/get_players");
  if (!self) co_return;
  setPlayers(playersFrom(players.payload));
  const auto groups = co_await command("group/get_groups");
  if (!self) co_return;
  setGroups(groupsFrom(groups.payload));
}

QCoro::Task<> HEOSController::refreshPlayer(std::int64_t pid) {
  QPointer<HEOSController> self(this);
  if (commands_) {
    try {
      const auto reply = co_await command("player/get_play_state", idParameter("pid", pid));
      if (!self) co_return;
      const auto message = parseHEOSMessage(reply.message);
      PlayStates states = playStates_;
      if (const auto state = message.find("state"); state != message.end()) {
        states[pid] = state->second;
      } else {
        states.erase(pid);
      }
      setPlayStates(std::move(states));
    } catch (const HEOSError&) {
      // The state stays as it was known.
    }
    if (!self) co_return;
  }
  co_await refreshNowPlaying(pid);
  if (!self) co_return;
  co_await refreshZoneVolume(pid);
}

QCoro::Task<> HEOSController::refreshZoneVolume(std::int64_t pid) {
  QPointer<HEOSController> self(this);
  if (!commands_) co_return;
  std::optional<std::int64_t> level;
  try {
    level = messageInteger(co_await command("player/get_volume", idParameter("pid", pid)), "level");
  } catch (const HEOSError&) {
    co_return;
  }
  if (self && level) recordZoneVolume(pid, *level);
}

void HEOSController::refreshMemberVolumes(std::int64_t groupID) {
  memberVolumeTask_.start([this, groupID](CancellationToken token) { return refreshMemberVolumesLater(groupID, token); });
}

QCoro::Task<> HEOSController::refreshMemberVolumesLater(std::int64_t groupID, CancellationToken token) {
  QPointer<HEOSController> self(this);
  co_await scheduler_.sleep(0.4, token);
  if (!self || token.isCancelled()) co_return;
  const auto group = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return g.id == groupID; });
  // An id that names no group is a single player.
  const std::vector<std::int64_t> members = group != groups_.end() ? group->players : std::vector{groupID};
  for (const auto member : members) {
    co_await refreshZoneVolume(member);
    if (!self || token.isCancelled()) co_return;
  }
}

void HEOSController::recordZoneVolume(std::int64_t pid, std::int64_t level) {
  const auto edited = zoneEditedAt_.find(pid);
  // Within a second of the host's own change, an event for the zone is its echo.
  if (edited != zoneEditedAt_.end() && secondsBetween(edited->second, scheduler_.monotonicNow()) < 1.0) return;
  const auto known = zoneVolumes_.find(pid);
  if (known != zoneVolumes_.end() && known->second == level) return;
  ZoneVolumes volumes = zoneVolumes_;
  volumes[pid] = level;
  setZoneVolumes(std::move(volumes));
  notifyChange();
}

QCoro::Task<> HEOSController::refreshVolume() {
  QPointer<HEOSController> self(this);
  const auto leader = leaderID();
  if (!leader) {
    setReportedVolume(std::nullopt);
    co_return;
  }
  if (!commands_) co_return;
  const bool isGroup = std::any_of(groups_.begin(), groups_.end(), [&](const Group& g) { return g.id == *leader; });
  try {
    HEOSResponse reply;
    if (isGroup) {
      reply = co_await command("group/get_volume", idParameter("gid", *leader));
    } else {
      reply = co_await command("player/get_volume", idParameter("pid", *leader));
    }
    if (self) setReportedVolume(messageInteger(reply, "level"));
  } catch (const HEOSError&) {
    // The reported volume stays as it was.
  }
}

QCoro::Task<> HEOSController::refreshNowPlaying(std::int64_t pid) {
  QPointer<HEOSController> self(this);
  if (!commands_) co_return;
  std::optional<std::string> mid;
  try {
    const auto reply = co_await command("player/get_now_playing_media", idParameter("pid", pid));
    if (reply.payload) mid = text(*reply.payload, "mid");
  } catch (const HEOSError&) {
    co_return;
  }
  if (!self) co_return;
  NowPlaying nowPlaying = nowPlaying_;
  if (mid) {
    nowPlaying[pid] = *mid;
  } else {
    nowPlaying.erase(pid);
  }
  setNowPlaying(std::move(nowPlaying));
}

}  // namespace kovali
