#include "audio/multi_room_audio.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

#include "audio/local_mirror.h"
#include "audio/stream/hls_stream.h"
#include "audio/stream/stream_server.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {
namespace {

constexpr double kMonitorPeriod = 1.0;
constexpr double kDriftLimit = 0.15;  // seconds between this computer's copy and the player
constexpr int kDriftStrikes = 2;      // readings in a row before the copy is moved

std::optional<int> storedVolume(const Preferences& preferences) {
  const auto stored = preferences.doubleValue(MultiRoomAudio::macVolumeKey);
  if (!stored || std::trunc(*stored) != *stored || std::abs(*stored) > std::numeric_limits<int>::max()) {
    return std::nullopt;  // not a whole number: the default applies
  }
  return static_cast<int>(*stored);
}

/// Seconds with two decimals, as the log writes positions and drifts.
std::string twoDecimals(double seconds) { return QString::number(seconds, 'f', 2).toStdString(); }

/// " about N s behind" with N in the user's locale, 0 or 1 fraction digits; empty without a latency.
std::string latencyPart(double latency) {
  if (latency <= 0) return {};
  const double rounded = std::round(latency * 10) / 10;
  const int digits = rounded == std::trunc(rounded) ? 0 : 1;
  return " about " + QLocale().toString(rounded, 'f', digits).toStdString() + " s behind";
}

}  // namespace

std::string_view MultiRoomAudio::Status::word() const { return vinaro::rawValue(kind); }

std::string MultiRoomAudio::Status::text() const {
  if (kind == Kind::failed) return "failed(\"" + message + "\")";
  return std::string(word());
}

MultiRoomAudio::MultiRoomAudio(Preferences& preferences, Platform platform, QObject* parent)
    : QObject(parent),
      preferences_(preferences),
      scheduler_(platform.scheduler),
      capture_(std::move(platform.capture)),
      player_(std::move(platform.player)),
      speakerPicker_(std::make_unique<SpeakerPicker>(*player_)),
      makeRenderer_(std::move(platform.makeRenderer)),
      copyFeederTimer_(std::move(platform.copyFeederTimer)),
      playsOnMac_(preferences.boolValue(playsOnMacKey).value_or(true)),
      macVolume_(storedVolume(preferences).value_or(100)),
      captureQueue_(std::make_unique<SerialQueue>(QStringLiteral("kovaliapp.host.multiroom.capture"))) {
  connect(player_.get(), &StreamPlayer::itemStatusChanged, this,
          [this](StreamPlayer::ItemStatus status, const std::string& error) {
            if (observingItem_) handleItemStatus(status, error);
          });
  connect(speakerPicker_.get(), &SpeakerPicker::picked, this, &MultiRoomAudio::speakersPicked);
}

MultiRoomAudio::~MultiRoomAudio() {
  stop();
  captureQueue_.reset();  // the appends still queued run before the stream goes
}

bool MultiRoomAudio::isSupported() const { return true; }

void MultiRoomAudio::start() {
  if (status_.kind == Status::Kind::starting || status_.kind == Status::Kind::on) return;
  setStatus(Status::starting());
  setProblem(std::nullopt);
  try {
    if (inputID_) {
      startInput(*inputID_);
    } else {
      startTap();
    }
  } catch (const TapError& error) {
    stop();
    setStatus(Status::failed(error.message));
    return;
  }
  installListeners();
  monitor_ = scheduler_.repeat(kMonitorPeriod, [this] { tick(); });
  setStatus(Status::on());
  player_->startSpeakerDiscovery([this](std::optional<std::string> failure) { airPlayLookedFor(failure); });
}

void MultiRoomAudio::airPlayLookedFor(const std::optional<std::string>& failure) {
  if (!failure || status_.kind != Status::Kind::on) return;
  stop();
  setStatus(Status::failed(*failure));
}

void MultiRoomAudio::stop() {
  monitor_.stop();
  player_->stopSpeakerDiscovery();
  stopPlayer();
  removeListeners();
  tearDownTap();
  stopInputSession();
  server_.reset();
  // The stream is finished first: no buffer is handed to the copy after that.
  finishStream();
  mirror_.reset();
  stream_.reset();
  streamURL_.reset();
  tappedObjects_.clear();
  setTappedProcessCount(0);
  setIsReceivingAudio(false);
  setIsMirroring(false);
  setSpeakers({});
  setPlayerRoute(Route::unknown);
  setOutputLatency(0);
}

void MultiRoomAudio::setSpeakerVolume(const std::string& id, int level) {
  const auto devices = player_->outputDevices();
  const auto device = std::ranges::find(devices, id, &StreamPlayer::OutputDevice::id);
  if (device == devices.end() || !device->volume) return;
  player_->setOutputVolume(id, static_cast<float>(std::clamp(level, 0, 100)) / 100.0f);
  if (refreshSpeakers()) emit changed();
}

void MultiRoomAudio::speakersPicked() {
  log("speakers picked");
  refreshSpeakers();
  emit changed();
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
      return "Off. The music plays through the sound output above.";
    case Status::Kind::starting:
      return "Starting…";
    case Status::Kind::failed:
      return status_.message;
    case Status::Kind::on:
      break;
  }
  if (problem_) return *problem_;
  if (!inputID_ && tappedProcessCount_ == 0) return "On · waiting for the music to start";
  if (!isStreaming_) return "On · preparing the stream…";
  if (!isReceivingAudio_) {
    if (!inputID_) return "On · the music is paused or silent";
    return "On · " + inputName_.value_or("the input") + " is silent";
  }
  const auto latency = latencyPart(outputLatency_);
  switch (playerRoute_) {
    case Route::unknown:
      return "On" + latency;
    case Route::mac:
      return "On · playing on this computer only" + latency + ". Pick speakers in the list to add them.";
    case Route::speakers:
      if (isMirroring_) return "On · the speakers and this computer play" + latency;
      return "On · the speakers play" + latency + "; this computer is silent";
  }
  return "On";
}

bool MultiRoomAudio::summaryIsError() const {
  return status_.kind == Status::Kind::failed || (status_.kind == Status::Kind::on && problem_);
}

void MultiRoomAudio::setPlaysOnMac(bool on) {
  const bool differs = setIfChanged(playsOnMac_, on);
  if (differs) emit playsOnMacChanged();
  preferences_.setValue(playsOnMacKey, on);
  if (differs) log(on ? "this computer joins the speakers" : "this computer stays silent");
  updateRoute();
  emit changed();
}

void MultiRoomAudio::setMacVolume(int level) {
  const bool differs = setIfChanged(macVolume_, level);
  if (differs) emit macVolumeChanged();
  preferences_.setValue(macVolumeKey, level);
  applyMacVolume();
  if (differs) emit changed();
}

void MultiRoomAudio::applyMacVolume() {
  const float volume = static_cast<float>(std::clamp(macVolume_, 0, 100)) / 100.0f;
  if (mirror_) mirror_->setVolume(volume);
  player_->setVolume(playerRoute_ == Route::mac ? volume : 1.0f);
}

bool MultiRoomAudio::updateRoute() {
  const auto route = detectPlayerRoute();
  bool changedSomething = false;
  if (route != playerRoute_) {
    setPlayerRoute(route);
    applyMacVolume();
    log("player route → " + std::string(vinaro::rawValue(route)));
    changedSomething = true;
  }
  if (!mirror_) return changedSomething;
  if (route != Route::speakers || !playsOnMac_) {
    if (mirror_->isRunning()) {
      mirror_->stop();
      log("this computer left the speakers (" + std::string(vinaro::rawValue(route)) + ")");
    }
  } else {
    const double time = player_->currentTime().value_or(std::numeric_limits<double>::quiet_NaN());
    if (!std::isfinite(time)) return changedSomething;
    if (!mirror_->isRunning()) {
      mirror_->start(time);
      driftStrikes_ = 0;
      log("this computer joined at " + twoDecimals(time) + " s");
    } else {
      const double drift = time - mirror_->currentTime();
      driftStrikes_ = std::abs(drift) > kDriftLimit ? driftStrikes_ + 1 : 0;
      if (driftStrikes_ >= kDriftStrikes) {
        mirror_->start(time);
        driftStrikes_ = 0;
        log("this computer realigned by " + twoDecimals(drift) + " s");
      }
    }
  }
  if (isMirroring_ != mirror_->isRunning()) {
    setIsMirroring(mirror_->isRunning());
    return true;
  }
  return changedSomething;
}

void MultiRoomAudio::setProblem(std::optional<std::string> problem) {
  if (setIfChanged(problem_, std::move(problem))) emit problemChanged();
}

void MultiRoomAudio::setIsStreaming(bool streaming) {
  if (setIfChanged(isStreaming_, streaming)) emit isStreamingChanged();
}

void MultiRoomAudio::setTappedProcessCount(int count) { tappedProcessCount_ = count; }

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
