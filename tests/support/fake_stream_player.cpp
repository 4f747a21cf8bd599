#include "support/fake_stream_player.h"

#include <algorithm>

namespace kovali {

void FakeStreamPlayer::load(const QUrl& url) {
  loads.push_back(url);
  hasItem_ = true;
  status_ = ItemStatus::unknown;
}

void FakeStreamPlayer::stop() {
  ++stops;
  hasItem_ = false;
  status_ = ItemStatus::unknown;
}

std::optional<double> FakeStreamPlayer::currentTime() const { return isPlaying() ? time : std::nullopt; }

std::optional<StreamPlayer::TimeRange> FakeStreamPlayer::seekableRange() const {
  return hasItem_ ? range : std::nullopt;
}

StreamPlayer::Route FakeStreamPlayer::route() const {
  if (!isPlaying()) return Route::unknown;
  const bool onSpeakers = std::any_of(speakers.begin(), speakers.end(), [](const Speaker& s) { return s.chosen; });
  return onSpeakers ? Route::speakers : Route::thisComputer;
}

std::vector<StreamPlayer::OutputDevice> FakeStreamPlayer::outputDevices() const {
  std::vector<OutputDevice> devices;
  for (const auto& speaker : speakers) {
    if (speaker.chosen) devices.push_back({speaker.id, speaker.name, speaker.volume});
  }
  return devices;
}

void FakeStreamPlayer::setOutputVolume(const std::string& id, float level) {
  volumeCalls.emplace_back(id, level);
  for (auto& speaker : speakers) {
    if (speaker.id == id && speaker.chosen && speaker.volume) {
      speaker.volume = std::clamp(level, 0.0f, 1.0f);
      return;
    }
  }
}

std::vector<StreamPlayer::SpeakerChoice> FakeStreamPlayer::speakerChoices() const {
  std::vector<SpeakerChoice> choices;
  for (const auto& speaker : speakers) choices.push_back({speaker.id, speaker.name, speaker.chosen});
  return choices;
}

void FakeStreamPlayer::setSpeakerChosen(const std::string& id, bool chosen) {
  for (auto& speaker : speakers) {
    if (speaker.id == id && speaker.chosen != chosen) {
      speaker.chosen = chosen;
      emit speakerChoicesChanged();
      return;
    }
  }
}

void FakeStreamPlayer::startSpeakerDiscovery(DiscoveryDone done) {
  ++discoveryStarts;
  if (!discoveryFailure) discoveryRunning = true;
  done(discoveryFailure);
}

void FakeStreamPlayer::stopSpeakerDiscovery() { discoveryRunning = false; }

void FakeStreamPlayer::becomeReady() {
  status_ = ItemStatus::readyToPlay;
  emit itemStatusChanged(status_, {});
}

void FakeStreamPlayer::fail(const std::string& error) {
  status_ = ItemStatus::failed;
  emit itemStatusChanged(status_, error);
}

void FakeStreamPlayer::changeSpeakers(std::vector<Speaker> newSpeakers) {
  speakers = std::move(newSpeakers);
  emit speakerChoicesChanged();
}

}  // namespace kovali
