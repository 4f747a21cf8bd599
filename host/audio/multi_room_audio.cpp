#include "audio/multi_room_audio.h"

#include <cmath>
#include <limits>

#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {
namespace {

const std::string kNotAvailable = "Multi-room AirPlay isn't available on Linux yet.";

std::optional<int> storedVolume(const Preferences& preferences) {
  const auto stored = preferences.doubleValue(MultiRoomAudio::macVolumeKey);
  if (!stored || std::trunc(*stored) != *stored || std::abs(*stored) > std::numeric_limits<int>::max()) {
    return std::nullopt;  // not a whole number: the default applies
  }
  return static_cast<int>(*stored);
}

}  // namespace

std::string_view MultiRoomAudio::Status::word() const { return vinaro::rawValue(kind); }

std::string MultiRoomAudio::Status::text() const {
  if (kind == Kind::failed) return "failed(\"" + message + "\")";
  return std::string(word());
}

MultiRoomAudio::MultiRoomAudio(Preferences& preferences, QObject* parent)
    : QObject(parent),
      preferences_(preferences),
      playsOnMac_(preferences.boolValue(playsOnMacKey).value_or(true)),
      macVolume_(storedVolume(preferences).value_or(100)) {}

bool MultiRoomAudio::isSupported() const { return false; }

void MultiRoomAudio::start() {
  // What a system that cannot run the engine gets; nothing was started, so nothing is torn down.
  setStatus(Status::failed(kNotAvailable));
}

void MultiRoomAudio::stop() {
  setIsReceivingAudio(false);
  setIsMirroring(false);
  setSpeakers({});
  setPlayerRoute(Route::unknown);
  setOutputLatency(0);
  setStatus(Status::off());
}

void MultiRoomAudio::setInput(std::optional<std::string> id) {
  // Kept for the engine's next start; no engine runs that would need a restart.
  inputID_ = std::move(id);
}

void MultiRoomAudio::setSpeakerVolume(const std::string& /*id*/, int /*level*/) {
  // The speaker list stays empty without the engine, so no speaker has a volume to set.
}

void MultiRoomAudio::setStatus(Status status) {
  if (!setIfChanged(status_, std::move(status))) return;
  emit statusChanged();
  log("status → " + status_.text());
  emit changed();
}

std::string MultiRoomAudio::summary() const {
  switch (status_.kind) {
    case Status::Kind::off:
      return isSupported() ? "Off. The music plays through the sound output above." : "Not available on Linux yet.";
    case Status::Kind::starting:
      return "Starting…";
    case Status::Kind::failed:
      return status_.message;
    case Status::Kind::on:
      return "On";
  }
  return {};
}

bool MultiRoomAudio::summaryIsError() const { return status_.kind == Status::Kind::failed; }

void MultiRoomAudio::setPlaysOnMac(bool on) {
  const bool differs = setIfChanged(playsOnMac_, on);
  if (differs) emit playsOnMacChanged();
  preferences_.setValue(playsOnMacKey, on);
  if (differs) log(on ? "this computer joins the speakers" : "this computer stays silent");
  // Where the host plays follows the engine's route, and there is no engine to ask yet.
  emit changed();
}

void MultiRoomAudio::setMacVolume(int level) {
  const bool differs = setIfChanged(macVolume_, level);
  if (differs) emit macVolumeChanged();
  preferences_.setValue(macVolumeKey, level);
  // No copy plays on the host yet, so there is no volume to apply.
  if (differs) emit changed();
}

void MultiRoomAudio::setIsReceivingAudio(bool receiving) {
  if (setIfChanged(isReceivingAudio_, receiving)) emit isReceivingAudioChanged();
}

void MultiRoomAudio::setSpeakers(Speakers speakers) {
  if (setIfChanged(speakers_, std::move(speakers))) emit speakersChanged();
}

void MultiRoomAudio::setOutputLatency(double seconds) {
  if (setIfChanged(outputLatency_, seconds)) emit outputLatencyChanged();
}

void MultiRoomAudio::setPlayerRoute(Route route) {
  if (setIfChanged(playerRoute_, route)) emit playerRouteChanged();
}

void MultiRoomAudio::setIsMirroring(bool mirroring) {
  if (setIfChanged(isMirroring_, mirroring)) emit isMirroringChanged();
}

void MultiRoomAudio::log(const std::string& line) {
  qCInfo(lcMultiroom, "%s", line.c_str());
  emit logged(line);
}

}  // namespace kovali
