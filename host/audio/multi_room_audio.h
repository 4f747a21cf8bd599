#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QObject>
#include <QUrl>

#include "audio/speaker_picker.h"
#include "model/date.h"
#include "platform/runtime/preferences.h"
#include "platform/runtime/scheduler.h"
#include "platform/runtime/serial_queue.h"
#include "platform/sound/airplay/stream_player.h"
#include "platform/sound/capture/multi_room_capture.h"
#include "platform/sound/rendering/audio_renderer.h"
#include "platform/sound/rendering/render_synchronizer.h"
#include "protocol/string_enum.h"

namespace kovali {

class HLSStream;
class LocalMirror;
class StreamServer;

/// Multi-room playback: the party's music (or a capture input) captured, encoded into a live
/// HLS stream served on 127.0.0.1, played by its own stream player on the AirPlay speakers the
/// user picks, with a copy on this computer kept in step with them. Main thread.
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

  /// Makes the renderer of this computer's copy for a format, playing by a clock.
  using RendererFactory =
      std::function<std::unique_ptr<AudioRenderer>(const AudioFormat&, std::shared_ptr<RenderSynchronizer>)>;

  /// What the controller runs on; it owns the capture and the player.
  struct Platform {
    Scheduler& scheduler;  // the monitor and the hold-offs
    std::unique_ptr<MultiRoomCapture> capture;
    std::unique_ptr<StreamPlayer> player;
    RendererFactory makeRenderer;
    /// Starts the ticks of this computer's copy's feeder, off the main thread.
    std::function<RepeatingTimer(double intervalSeconds, std::function<void()> tick)> copyFeederTimer;
  };

  /// The preference keys of the two settings.
  static constexpr const char* playsOnMacKey = "multiRoomPlaysOnMac";
  static constexpr const char* macVolumeKey = "multiRoomMacVolume";

  /// Reads the two settings (defaults: plays along, volume 100); starts nothing.
  MultiRoomAudio(Preferences& preferences, Platform platform, QObject* parent = nullptr);
  ~MultiRoomAudio() override;

  /// Whether multi-room can run on this host at all.
  virtual bool isSupported() const;

  /// Turns multi-room on: starting, then on, or failed with a sentence. Nothing while starting
  /// or on.
  virtual void start();
  /// Tears everything down; the status stays as it is (the owner sets off when the user turns
  /// multi-room off).
  virtual void stop();
  /// The source to capture: a capture input's id, or nothing for the music player; a running
  /// capture switches to it.
  virtual void setInput(std::optional<std::string> id);
  /// Sets the volume of a speaker the player plays on, clamped to 0...100; nothing for a speaker
  /// it does not play on or whose volume cannot be set.
  virtual void setSpeakerVolume(const std::string& id, int level);
  /// The choice of speakers that the settings screen's route picker shows.
  SpeakerPicker& speakerPicker() const { return *speakerPicker_; }

  const Status& status() const { return status_; }
  /// Setting a different status logs it and emits `changed`; an equal one does nothing.
  virtual void setStatus(Status status);

  /// One sentence about the state, and whether it reports a failure.
  std::string summary() const;
  bool summaryIsError() const;

  bool isReceivingAudio() const { return isReceivingAudio_; }
  bool playsOnMac() const { return playsOnMac_; }
  /// Saves the setting, re-evaluates where this computer plays and emits `changed`, also when the
  /// value is unchanged.
  virtual void setPlaysOnMac(bool on);
  int macVolume() const { return macVolume_; }
  /// Saves the setting and applies it to this computer's copy, also when the value is unchanged.
  virtual void setMacVolume(int level);
  const Speakers& speakers() const { return speakers_; }
  /// Seconds by which the speakers lag behind the live sound.
  double outputLatency() const { return outputLatency_; }
  Route playerRoute() const { return playerRoute_; }
  /// Whether this computer plays along with the speakers.
  bool isMirroring() const { return isMirroring_; }
  /// The capture input set with `setInput`.
  const std::optional<std::string>& inputID() const { return inputID_; }
  const std::optional<std::string>& inputName() const { return inputName_; }
  /// The music player's streams in the current capture (1 while the music plays).
  int tappedProcessCount() const { return tappedProcessCount_; }
  /// A sentence about trouble while on; cleared by `start()`.
  const std::optional<std::string>& problem() const { return problem_; }
  /// Whether the stream player has the stream loaded.
  bool isStreaming() const { return isStreaming_; }
  /// The playlist the stream player loads, once the stream server listens.
  const std::optional<QUrl>& streamURL() const { return streamURL_; }

  /// The live stream, while there is one.
  std::shared_ptr<const HLSStream> stream() const { return stream_; }

  /// The system's default output changed: a running music capture is taken again.
  void defaultOutputChanged();

 signals:
  /// Each log line.
  void logged(const std::string& line);
  /// Any change that the phones' audio state shows.
  void changed();
  void statusChanged();
  void isReceivingAudioChanged();
  void playsOnMacChanged();
  void macVolumeChanged();
  void speakersChanged();
  void outputLatencyChanged();
  void playerRouteChanged();
  void isMirroringChanged();
  void problemChanged();
  void isStreamingChanged();

 protected:
  void setIsReceivingAudio(bool receiving);
  void setSpeakers(Speakers speakers);
  void setOutputLatency(double seconds);
  void setPlayerRoute(Route route);
  void setIsMirroring(bool mirroring);
  void log(const std::string& line);

 private:
  /// What the capture set-up throws: a sentence for people.
  struct TapError {
    std::string message;
  };
  enum class Listened { musicStreams, defaultOutput };

  // Controller.
  /// Without AirPlay speaker discovery multi-room cannot reach any speaker: it fails with the
  /// sentence that says why (such as what to install).
  void airPlayLookedFor(const std::optional<std::string>& failure);
  void applyMacVolume();
  bool updateRoute();
  void setProblem(std::optional<std::string> problem);
  void setIsStreaming(bool streaming);
  void setTappedProcessCount(int count);

  // Capture set-up.
  void startTap();
  void startInput(const std::string& id);
  void installListeners();
  void removeListeners();
  void tearDownTap();
  void stopInputSession();
  MultiRoomCapture::Sink streamSink();

  // Stream pipeline.
  std::shared_ptr<HLSStream> startStream(const AudioFormat& format);
  void handleServerResult(std::optional<quint16> port, const QString& error);
  void loadPlayer(const QUrl& url);
  void handleItemStatus(StreamPlayer::ItemStatus status, const std::string& error);
  void stopPlayer();
  void finishStream();

  // Monitor.
  void tick();
  /// True while sound was appended to the stream within the last few seconds.
  bool isStreamFed(std::int64_t framesAppended);
  bool checkInput();
  bool updateLatency();
  Route detectPlayerRoute() const;
  void handlePropertyChange(Listened what);
  /// Captures the music again; a failure is a problem, not a status.
  void retap();
  /// Reads the speakers the player plays on again; true when the list changed.
  bool refreshSpeakers();
  /// The user closed the speaker menu.
  void speakersPicked();

  Preferences& preferences_;
  Scheduler& scheduler_;
  std::unique_ptr<MultiRoomCapture> capture_;
  std::unique_ptr<StreamPlayer> player_;
  std::unique_ptr<SpeakerPicker> speakerPicker_;
  RendererFactory makeRenderer_;
  std::function<RepeatingTimer(double, std::function<void()>)> copyFeederTimer_;

  Status status_;
  double outputLatency_ = 0;
  int tappedProcessCount_ = 0;
  bool isReceivingAudio_ = false;
  std::optional<std::string> problem_;
  bool isStreaming_ = false;
  std::optional<std::string> inputID_;
  std::optional<std::string> inputName_;
  Route playerRoute_ = Route::unknown;
  bool isMirroring_ = false;
  bool playsOnMac_ = true;
  int macVolume_ = 100;
  Speakers speakers_;

  std::set<std::string> tappedObjects_;
  std::unique_ptr<MultiRoomCapture::Session> tap_;
  std::unique_ptr<MultiRoomCapture::Session> inputSession_;
  QMetaObject::Connection musicListener_;
  bool listeningForOutput_ = false;
  std::unique_ptr<SerialQueue> captureQueue_;
  std::shared_ptr<HLSStream> stream_;
  bool streamFinished_ = false;  // the stream in `stream_` takes no more sound
  std::int64_t framesSeen_ = -1;  // the stream's appended frames at the last tick that saw them grow
  MonotonicTime framesGrewAt_;
  std::unique_ptr<LocalMirror> mirror_;
  int driftStrikes_ = 0;
  std::unique_ptr<StreamServer> server_;
  std::optional<QUrl> streamURL_;
  bool observingItem_ = false;
  RepeatingTimer monitor_;
  std::optional<MonotonicTime> nextPlayerAttempt_;  // none while loading the player is not held off
};

}  // namespace kovali

template <>
struct vinaro::EnumNames<kovali::MultiRoomAudio::Status::Kind> {
  static constexpr std::string_view typeName = "MultiRoomAudio.Status.Kind";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 4> rawValues = {"failed", "off", "starting", "on"};
};

template <>
struct vinaro::EnumNames<kovali::MultiRoomAudio::Route> {
  static constexpr std::string_view typeName = "MultiRoomAudio.Route";
  static constexpr std::array<std::string_view, 3> rawValues = {"unknown", "mac", "speakers"};
};
