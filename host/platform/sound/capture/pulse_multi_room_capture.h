#pragma once

#include <memory>

#include "platform/runtime/scheduler.h"
#include "platform/sound/capture/multi_room_capture.h"
#include "platform/sound/devices/pulse_device_watcher.h"
#include "platform/sound/player/pulse_music_player.h"

namespace kovali {

/// Multi-room's sources on the sound server: the music taken inside the host's own player as
/// it is made (the player's output silenced meanwhile, so its timing goes on), and the server's
/// capture inputs recorded with libpulse. Must not outlive `player`.
class PulseMultiRoomCapture final : public MultiRoomCapture {
  Q_OBJECT

 public:
  /// Pauses longer than this fill the music with silence, so the stream runs on.
  static constexpr double silenceTick = 0.5;

  PulseMultiRoomCapture(PulseMusicPlayer& player, Scheduler& scheduler, QObject* parent = nullptr);
  ~PulseMultiRoomCapture() override;

  std::set<std::string> musicStreams() const override;
  AudioFormat musicFormat() const override;
  std::optional<std::string> musicClock() const override;
  SessionOrError tapMusic(Sink sink) override;
  std::optional<std::string> inputName(const std::string& id) const override;
  SessionOrError recordInput(const std::string& id, const AudioFormat& format, Sink sink) override;

 private:
  class MusicTap;

  PulseMusicPlayer& player_;
  Scheduler& scheduler_;
  // Last: it goes first, so no late report reaches a half-destroyed object.
  mutable PulseDeviceWatcher watcher_;
};

}  // namespace kovali
