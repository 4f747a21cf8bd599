#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/runtime/preferences.h"
#include "protocol/string_enum.h"

namespace kovali {

/// Multi-room playback: the party captured, streamed and played on several AirPlay speakers at
/// once, with an aligned copy on the host.
///
/// The engine does not exist yet: multi-room is not supported here, `start()` ends in the
/// failed status with a sentence saying so, and nothing ever plays on speakers. The two user
/// settings (whether the host plays along, and its volume) are kept already.
class MultiRoomAudio : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::MultiRoomAudio::Status status READ status WRITE setStatus NOTIFY statusChanged)
  Q_PROPERTY(bool isReceivingAudio READ isReceivingAudio NOTIFY isReceivingAudioChanged)
  Q_PROPERTY(bool playsOnMac READ playsOnMac WRITE setPlaysOnMac NOTIFY playsOnMacChanged)
  Q_PROPERTY(int macVolume READ macVolume WRITE setMacVolume NOTIFY macVolumeChanged)
  Q_PROPERTY(kovali::MultiRoomAudio::Speakers speakers READ speakers NOTIFY speakersChanged)
  Q_PROPERTY(double outputLatency READ outputLatency NOTIFY outputLatencyChanged)
  Q_PROPERTY(kovali::MultiRoomAudio::Route playerRoute READ playerRoute NOTIFY playerRouteChanged)
  Q_PROPERTY(bool isMirroring READ isMirroring NOTIFY isMirroringChanged)

 public:
  struct Status {
    enum class Kind { failed, off, starting, on };

    Kind kind = Kind::off;
    std::string message;  // the failure, a sentence for people; empty for the other kinds

    static Status failed(std::string message) { return {Kind::failed, std::move(message)}; }
    static Status off() { return {Kind::off, {}}; }
    static Status starting() { return {Kind::starting, {}}; }
    static Status on() { return {Kind::on, {}}; }

    /// "off", "starting", "on" or "failed", as phones read multi-room's state.
    std::string_view word() const;
    /// The form the log shows: off, starting, on, or failed("the message").
    std::string text() const;

    bool operator==(const Status&) const = default;
  };

  /// An AirPlay speaker the party plays on.
  struct Speaker {
    std::string id;  // the AirPlay output device id
    std::string name;
    std::optional<int> volume;  // 0...100

    bool operator==(const Speaker&) const = default;
  };
  using Speakers = std::vector<Speaker>;

  /// Where the multi-room player renders.
  enum class Route { unknown, mac, speakers };

  /// The preference keys of the two settings.
  static constexpr const char* playsOnMacKey = "multiRoomPlaysOnMac";
  static constexpr const char* macVolumeKey = "multiRoomMacVolume";

  /// Reads the two settings (defaults: plays along, volume 100); starts nothing.
  explicit MultiRoomAudio(Preferences& preferences, QObject* parent = nullptr);

  /// Whether multi-room can run on this host at all.
  virtual bool isSupported() const;

  /// Turns multi-room on: starting, then on, or failed with a sentence.
  virtual void start();
  /// Tears the engine down and sets the status to off.
  virtual void stop();
  /// The source to capture: a capture input's id, or nothing for the music player; a running
  /// engine restarts with it.
  virtual void setInput(std::optional<std::string> id);
  /// Sets one speaker's volume, clamped to 0...100.
  virtual void setSpeakerVolume(const std::string& id, int level);

  const Status& status() const { return status_; }
  /// Setting a different status logs it and emits `changed`; an equal one does nothing.
  virtual void setStatus(Status status);

  /// One sentence about the state, and whether it reports a failure.
  std::string summary() const;
  bool summaryIsError() const;

  bool isReceivingAudio() const { return isReceivingAudio_; }
  bool playsOnMac() const { return playsOnMac_; }
  /// Saves the setting and emits `changed`, also when the value is unchanged.
  virtual void setPlaysOnMac(bool on);
  int macVolume() const { return macVolume_; }
  /// Saves the setting and applies it to the host's own copy, also when the value is unchanged.
  virtual void setMacVolume(int level);
  const Speakers& speakers() const { return speakers_; }
  /// Seconds by which the speakers lag behind the live sound.
  double outputLatency() const { return outputLatency_; }
  Route playerRoute() const { return playerRoute_; }
  /// Whether the host plays along with the speakers.
  bool isMirroring() const { return isMirroring_; }
  /// The capture input set with `setInput`.
  const std::optional<std::string>& inputID() const { return inputID_; }

 signals:
  /// Each log line.
  void logged(const std::string& line);
  /// Any multi-room change.
  void changed();
  void statusChanged();
  void isReceivingAudioChanged();
  void playsOnMacChanged();
  void macVolumeChanged();
  void speakersChanged();
  void outputLatencyChanged();
  void playerRouteChanged();
  void isMirroringChanged();

 protected:
  void setIsReceivingAudio(bool receiving);
  void setSpeakers(Speakers speakers);
  void setOutputLatency(double seconds);
  void setPlayerRoute(Route route);
  void setIsMirroring(bool mirroring);
  void log(const std::string& line);

 private:
  Preferences& preferences_;
  Status status_;
  bool isReceivingAudio_ = false;
  bool playsOnMac_ = true;
  int macVolume_ = 100;
  Speakers speakers_;
  double outputLatency_ = 0;
  Route playerRoute_ = Route::unknown;
  bool isMirroring_ = false;
  std::optional<std::string> inputID_;
};

}  // namespace kovali

template <>
struct vinaro::EnumNames<kovali::MultiRoomAudio::Status::Kind> {
  static constexpr std::string_view typeName = "MultiRoomAudio.Status.Kind";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 4> rawValues = {"failed", "off", "starting", "on"};
};
