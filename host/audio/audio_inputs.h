#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "audio/audio_output.h"
#include "platform/sound/devices/capture_system.h"

namespace kovali {

/// The host's capture inputs (microphones, line inputs) that can be the party's live source,
/// and the player that plays one of them live on the default output. An input that goes away
/// while it plays is stopped and plays again by itself when it comes back. Lives on the main
/// thread, for the whole process.
class AudioInputs : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::AudioInputs::Devices devices READ devices NOTIFY devicesChanged)
  Q_PROPERTY(std::optional<std::string> playingID READ playingID NOTIFY playingIDChanged)
  Q_PROPERTY(std::optional<std::string> requestedID READ requestedID NOTIFY requestedIDChanged)
  Q_PROPERTY(std::optional<std::string> lastError READ lastError NOTIFY lastErrorChanged)

 public:
  struct Device {
    std::string id;  // stable across reconnections
    std::string name;
    AudioOutput::Device::Transport transport = AudioOutput::Device::Transport::other;

    bool operator==(const Device&) const = default;
  };
  using Devices = std::vector<Device>;

  /// Reads the inputs there are and follows their changes through `system`; starts no capture.
  explicit AudioInputs(std::unique_ptr<CaptureSystem> system, QObject* parent = nullptr);
  ~AudioInputs() override;

  const Devices& devices() const { return devices_; }
  /// The input playing now: set once its sound flows, cleared when it stops.
  const std::optional<std::string>& playingID() const { return playingID_; }
  /// The input most recently asked for, kept when that request failed; cleared by `stop()`.
  const std::optional<std::string>& requestedID() const { return requestedID_; }
  /// A sentence about the last failure, or the notice of a disconnected input.
  const std::optional<std::string>& lastError() const { return lastError_; }

  /// The listed input with that id.
  std::optional<Device> device(const std::string& id) const;

  /// Reads the inputs anew, stops an input that went away while it played and starts one that
  /// came back, then emits `changed`, also when nothing changed.
  void refresh();
  /// Whether the host may record, asking the user when that is not decided; a refusal sets
  /// `lastError`.
  virtual QCoro::Task<bool> requestMicrophoneAccess();
  /// Plays the input with that id live on the default output, replacing what played, and
  /// records it as the requested input; true once its sound flows. The latest request wins: an
  /// earlier one still starting gives false and leaves nothing running. A failure sets `lastError`.
  virtual QCoro::Task<bool> select(std::string id);
  /// Stops playing, forgets the requested input, the waited-for input and the last error, then
  /// emits `changed`.
  virtual void stop();

 signals:
  /// After the input list, the playing input or the last error changed.
  void changed();
  void devicesChanged();
  void playingIDChanged();
  void requestedIDChanged();
  void lastErrorChanged();

 protected:
  void setDevices(Devices devices);
  void setPlayingID(std::optional<std::string> id);
  void setRequestedID(std::optional<std::string> id);
  void setLastError(std::optional<std::string> error);

 private:
  struct Session {
    std::unique_ptr<LivePassThrough> passThrough;
    std::string inputName;
  };

  Devices listedInputs() const;
  void handleVanishedOrReturned();
  void stopSession();
  void sessionBroke(const std::string& reason);
  static std::string openFailure(const std::string& name, const std::string& reason);

  // Before the session: a pass-through must not outlive its system.
  std::unique_ptr<CaptureSystem> system_;
  std::optional<Session> session_;
  Devices devices_;
  std::optional<std::string> playingID_;
  std::optional<std::string> requestedID_;
  std::optional<std::string> lastError_;
  std::optional<std::string> disconnectedID_;  // went away while it played; waited for
  std::uint64_t requests_ = 0;                 // raised by each `select` and `stop`: the latest wins
};

}  // namespace kovali
