#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "audio/audio_output.h"

namespace kovali {

/// The host's capture inputs (microphones, line inputs) that can be the party's live source,
/// and the player that plays one of them live on the default output.
///
/// No capture layer exists yet: the list stays empty, so selecting an input fails with "This
/// input isn't connected.", and nothing is ever played.
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

  /// Reads the inputs there are; starts no capture.
  explicit AudioInputs(QObject* parent = nullptr);

  const Devices& devices() const { return devices_; }
  /// The input playing now.
  const std::optional<std::string>& playingID() const { return playingID_; }
  /// The input most recently asked for, kept when that request failed; cleared by `stop()`.
  const std::optional<std::string>& requestedID() const { return requestedID_; }
  /// A sentence about the last failure.
  const std::optional<std::string>& lastError() const { return lastError_; }

  /// The listed input with that id.
  std::optional<Device> device(const std::string& id) const;

  /// Whether the host may record. Linux asks no per-application permission for this, so the
  /// answer is yes.
  virtual QCoro::Task<bool> requestMicrophoneAccess();
  /// Plays the input with that id live on the default output, replacing what played, and
  /// records it as the requested input; true when it plays. A failure sets `lastError`.
  virtual QCoro::Task<bool> select(std::string id);
  /// Stops playing, forgets the requested input and the last error, then emits `changed`.
  virtual void stop();

 signals:
  /// The input list or the playing input changed.
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
  void notifyChange();

 private:
  Devices devices_;
  std::optional<std::string> playingID_;
  std::optional<std::string> requestedID_;
  std::optional<std::string> lastError_;
};

}  // namespace kovali
