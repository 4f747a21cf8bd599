#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/sound/airplay/stream_player.h"

namespace kovali {

/// A stream player whose item becomes ready or fails when the test says, with the speakers, the
/// time and the seekable range the test sets. Its route follows from them as the real one's does.
class FakeStreamPlayer final : public StreamPlayer {
  Q_OBJECT

 public:
  /// One AirPlay speaker of the pretended sound server.
  struct Speaker {
    std::string id;
    std::string name;
    std::optional<float> volume;  // none: its volume cannot be set
    bool chosen = false;
  };

  void load(const QUrl& url) override;
  void stop() override;
  bool hasItem() const override { return hasItem_; }
  ItemStatus itemStatus() const override { return status_; }
  bool isPlaying() const override { return hasItem_ && status_ == ItemStatus::readyToPlay && !starved; }
  std::optional<double> currentTime() const override;
  std::optional<TimeRange> seekableRange() const override;
  Route route() const override;
  std::vector<OutputDevice> outputDevices() const override;
  void setOutputVolume(const std::string& id, float volume) override;
  void setVolume(float level) override { volume = level; }
  std::vector<SpeakerChoice> speakerChoices() const override;
  void setSpeakerChosen(const std::string& id, bool chosen) override;
  void startSpeakerDiscovery(DiscoveryDone done) override;
  void stopSpeakerDiscovery() override;

  /// The loaded item decoded its first sound.
  void becomeReady();
  /// The loaded item failed with `error`.
  void fail(const std::string& error);
  /// The sound server's speakers become these, and the player says so.
  void changeSpeakers(std::vector<Speaker> speakers);

  std::vector<QUrl> loads;  // every URL loaded, in order
  int stops = 0;
  bool starved = false;           // a ready item that has run out of sound does not play
  std::optional<double> time;     // the time heard, while an item plays
  std::optional<TimeRange> range; // the seekable range, while there is an item
  float volume = 1.0f;
  std::vector<Speaker> speakers;
  std::vector<std::pair<std::string, float>> volumeCalls;  // every setOutputVolume, in order

  std::optional<std::string> discoveryFailure;  // what a discovery start answers
  bool discoveryRunning = false;
  int discoveryStarts = 0;

 private:
  bool hasItem_ = false;
  ItemStatus status_ = ItemStatus::unknown;
};

}  // namespace kovali
