#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QUrl>

namespace kovali {

/// Plays the host's live HLS stream on the AirPlay speakers the user chose (the sound server's
/// AirPlay sinks), or on this computer's default output while none is chosen. Lives on the main
/// thread; everything it reports arrives there too.
class StreamPlayer : public QObject {
  Q_OBJECT

 public:
  /// The loaded item's state: unknown until its first sound is decoded or it fails.
  enum class ItemStatus { unknown, readyToPlay, failed };

  /// Where the player's sound goes while it plays.
  enum class Route { unknown, thisComputer, speakers };

  /// A speaker the player plays on.
  struct OutputDevice {
    std::string id;               // stays the same while the speaker stays on the network
    std::string name;             // what people see
    std::optional<float> volume;  // 0.0...1.0; none when the speaker's volume cannot be set

    bool operator==(const OutputDevice&) const = default;
  };

  /// An AirPlay speaker of the sound server, as the speaker picker lists it.
  struct SpeakerChoice {
    std::string id;
    std::string name;
    bool chosen = false;

    bool operator==(const SpeakerChoice&) const = default;
  };

  /// Seconds on the stream's timeline.
  struct TimeRange {
    double start = 0;
    double end = 0;

    bool operator==(const TimeRange&) const = default;
  };

  /// Gives the sentence of a failure (for people), or nothing on success.
  using DiscoveryDone = std::function<void(std::optional<std::string> failure)>;

  using QObject::QObject;
  ~StreamPlayer() override;

  /// Drops the current item and plays the live playlist at `url` as a new one; the outcome comes
  /// through `itemStatusChanged`.
  virtual void load(const QUrl& url) = 0;
  /// Pauses and drops the item: silence, no time, no seekable range, no status signal.
  virtual void stop() = 0;

  virtual bool hasItem() const = 0;
  virtual ItemStatus itemStatus() const = 0;
  /// Whether its sound is being played now (an item is ready and not starved).
  virtual bool isPlaying() const = 0;
  /// The stream time being heard now where the player plays (on speakers: the decoded position
  /// less the speakers' latency); none without a playing item.
  virtual std::optional<double> currentTime() const = 0;
  /// From the oldest to the newest segment's end of the playlist last read; none without an item.
  virtual std::optional<TimeRange> seekableRange() const = 0;
  /// Speakers while it plays on chosen speakers, this computer while it plays without any,
  /// unknown while it does not play.
  virtual Route route() const = 0;

  /// The chosen speakers it plays on, in the picker's order; empty on this computer.
  virtual std::vector<OutputDevice> outputDevices() const = 0;
  /// Sets one output device's volume (0.0...1.0); nothing when it is not found or has no volume.
  virtual void setOutputVolume(const std::string& id, float volume) = 0;
  /// The volume of its sound on this computer (0.0...1.0); speakers keep their own.
  virtual void setVolume(float volume) = 0;

  /// The sound server's AirPlay speakers, in the server's order, each with whether it is chosen.
  virtual std::vector<SpeakerChoice> speakerChoices() const = 0;
  /// Adds a speaker to or removes it from the ones the player plays on.
  virtual void setSpeakerChosen(const std::string& id, bool chosen) = 0;

  /// Makes sure the sound server looks for AirPlay speakers on the network; `done` runs once on
  /// the main thread, never after this object has gone.
  virtual void startSpeakerDiscovery(DiscoveryDone done) = 0;
  /// Stops what `startSpeakerDiscovery` started itself; discovery that was on before stays on.
  virtual void stopSpeakerDiscovery() = 0;

 signals:
  /// The item became ready or failed; `error` is a sentence for people when it failed.
  void itemStatusChanged(kovali::StreamPlayer::ItemStatus status, const std::string& error);
  /// The speakers of the sound server or the choice among them changed.
  void speakerChoicesChanged();
};

}  // namespace kovali
