#pragma once

#include <memory>

#include "audio/multi_room_audio.h"
#include "support/fake_audio_renderer.h"
#include "support/fake_multi_room_capture.h"
#include "support/fake_stream_player.h"

namespace kovali {

/// Multi-room on fakes: a scripted capture, a scripted stream player and renderers that record
/// what this computer's copy plays. The pointers stay valid while the controller lives.
struct FakeMultiRoomPlatform {
  explicit FakeMultiRoomPlatform(Scheduler& scheduler);

  /// Hands the fakes over; call once.
  MultiRoomAudio::Platform take();

  FakeMultiRoomCapture* capture;
  FakeStreamPlayer* player;
  /// What every copy's renderer was given, the newest copy last.
  std::shared_ptr<std::vector<std::unique_ptr<FakeAudioRenderer::State>>> renderers =
      std::make_shared<std::vector<std::unique_ptr<FakeAudioRenderer::State>>>();

 private:
  Scheduler& scheduler_;
  std::unique_ptr<FakeMultiRoomCapture> ownedCapture_ = std::make_unique<FakeMultiRoomCapture>();
  std::unique_ptr<FakeStreamPlayer> ownedPlayer_ = std::make_unique<FakeStreamPlayer>();
};

}  // namespace kovali
