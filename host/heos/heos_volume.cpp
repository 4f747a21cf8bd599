// The master volume and the zones' volumes: kept at once, sent after a short pause.

#include <algorithm>

#include <QPointer>

#include "heos/heos_controller.h"

namespace kovali {
namespace {

// A slider reports every movement; only the last value of a burst is sent, this long after it.
constexpr double kVolumeSendDelay = 0.15;

std::int64_t clampedLevel(std::int64_t level) { return std::clamp<std::int64_t>(level, 0, 100); }

}  // namespace

void HEOSController::setVolume(std::int64_t level) {
  level = clampedLevel(level);
  pendingZoneVolumes_.clear();  // the master volume overrides a preset's held-back zone volumes
  const bool playing = isPlayingParty();
  Configuration changed = configuration_;
  changed.volume = level;
  setConfiguration(std::move(changed));
  const auto leader = leaderID();
  if (playing && leader) {
    setReportedVolume(level);
    const bool grouped = selectedZones().size() > 1;
    volumeTask_.start([this, level, to = *leader, grouped](CancellationToken token) -> QCoro::Task<> {
      QPointer<HEOSController> self(this);
      co_await scheduler_.sleep(kVolumeSendDelay, token);
      if (!self || token.isCancelled()) co_return;
      try {
        co_await sendVolume(level, to, grouped);
      } catch (const HEOSError& error) {
        if (self) report(error.description(), "setting the volume");
      }
    });
  }
  notifyChange();
}

QCoro::Task<> HEOSController::sendVolume(std::int64_t level, std::int64_t leader, bool grouped) {
  QPointer<HEOSController> self(this);
  if (grouped) {
    co_await command("group/set_volume", withParameter(idParameter("gid", leader), "level", std::to_string(level)));
    if (!self) co_return;
    refreshMemberVolumes(leader);
  } else {
    co_await command("player/set_volume", withParameter(idParameter("pid", leader), "level", std::to_string(level)));
    if (!self) co_return;
    ZoneVolumes volumes = zoneVolumes_;
    volumes[leader] = level;
    setZoneVolumes(std::move(volumes));
  }
  setReportedVolume(level);
}

void HEOSController::setZoneVolume(std::int64_t id, std::int64_t level) {
  level = clampedLevel(level);
  pendingZoneVolumes_.erase(id);
  ZoneVolumes volumes = zoneVolumes_;
  volumes[id] = level;
  setZoneVolumes(std::move(volumes));
  zoneEditedAt_[id] = scheduler_.monotonicNow();
  notifyChange();
  zoneVolumeTasks_[id].start([this, id, level](CancellationToken token) -> QCoro::Task<> {
    QPointer<HEOSController> self(this);
    co_await scheduler_.sleep(kVolumeSendDelay, token);
    if (!self || token.isCancelled()) co_return;
    try {
      co_await command("player/set_volume", withParameter(idParameter("pid", id), "level", std::to_string(level)));
    } catch (const HEOSError& error) {
      if (self) report(error.description(), "setting the volume of " + zoneName(id));
    }
  });
}

QCoro::Task<> HEOSController::sendZoneVolumes(ZoneVolumes volumes) {
  QPointer<HEOSController> self(this);
  for (const auto& [pid, level] : volumes) {  // ascending player ids
    co_await command("player/set_volume", withParameter(idParameter("pid", pid), "level", std::to_string(level)));
    if (!self) co_return;
    ZoneVolumes known = zoneVolumes_;
    known[pid] = level;
    setZoneVolumes(std::move(known));
    zoneEditedAt_[pid] = scheduler_.monotonicNow();
  }
}

}  // namespace kovali
