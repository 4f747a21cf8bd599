#pragma once

#include <qcoro/qcorotask.h>

#include <optional>
#include <string>
#include <vector>

#include "audio/audio_inputs.h"
#include "audio/audio_output.h"
#include "audio/multi_room_audio.h"
#include "support/fake_audio_system.h"
#include "support/fake_capture_system.h"
#include "support/fake_multi_room_platform.h"
#include "support/recording_heos.h"

namespace kovali {

// Doubles of the store's sound and HEOS services: each writes every call the store makes into
// `calls` ("select 7", "start", "setInput usb-1") and lets the test set what the real service
// would have found.

class TestAudioOutput final : public AudioOutput {
 public:
  TestAudioOutput() : AudioOutput(std::make_unique<FakeAudioSystem>()) {}

  using AudioOutput::setDefaultDeviceID;
  using AudioOutput::setDevices;

  void refresh() override { calls.push_back("refresh"); }
  void startListening() override { calls.push_back("startListening"); }
  void select(const Device& device) override { calls.push_back("select " + std::to_string(device.id)); }

  /// The system's default output changes, as the listener would report it.
  void changeDefault(std::uint32_t id) {
    setDefaultDeviceID(id);
    emit changed();
  }

  std::vector<std::string> calls;
};

class TestAudioInputs final : public AudioInputs {
 public:
  TestAudioInputs() : AudioInputs(std::make_unique<FakeCaptureSystem>()) {}

  using AudioInputs::setDevices;
  using AudioInputs::setLastError;
  using AudioInputs::setPlayingID;
  using AudioInputs::setRequestedID;

  QCoro::Task<bool> requestMicrophoneAccess() override {
    calls.push_back("requestMicrophoneAccess");
    co_return microphoneAllowed;
  }
  QCoro::Task<bool> select(std::string id) override {
    calls.push_back("select " + id);
    setRequestedID(id);
    co_return true;
  }
  void stop() override {
    calls.push_back("stop");
    setRequestedID(std::nullopt);
  }

  bool microphoneAllowed = true;
  std::vector<std::string> calls;
};

class TestMultiRoom final : public MultiRoomAudio {
 public:
  TestMultiRoom(Preferences& preferences, Scheduler& scheduler)
      : TestMultiRoom(preferences, FakeMultiRoomPlatform(scheduler)) {}

  using MultiRoomAudio::setIsMirroring;
  using MultiRoomAudio::setIsReceivingAudio;
  using MultiRoomAudio::setOutputLatency;
  using MultiRoomAudio::setPlayerRoute;
  using MultiRoomAudio::setSpeakers;

  bool isSupported() const override {
    ++supportedAsked;
    return supported;
  }
  void start() override {
    calls.push_back("start");
    if (real) return MultiRoomAudio::start();
    setStatus(Status::on());
  }
  void stop() override {
    calls.push_back("stop");
    if (real) return MultiRoomAudio::stop();
    setStatus(Status::off());
  }
  void setInput(std::optional<std::string> id) override {
    calls.push_back("setInput " + id.value_or("nil"));
    MultiRoomAudio::setInput(std::move(id));
  }
  void setSpeakerVolume(const std::string& id, int level) override {
    calls.push_back("setSpeakerVolume " + id + " " + std::to_string(level));
    if (real) MultiRoomAudio::setSpeakerVolume(id, level);
  }
  void setPlaysOnMac(bool on) override {
    calls.push_back(std::string("setPlaysOnMac ") + (on ? "true" : "false"));
    MultiRoomAudio::setPlaysOnMac(on);
  }
  void setMacVolume(int level) override {
    calls.push_back("setMacVolume " + std::to_string(level));
    MultiRoomAudio::setMacVolume(level);
  }

  bool supported = true;
  bool real = false;  // start, stop and speaker volumes run the controller on its fakes
  mutable int supportedAsked = 0;  // every snapshot asks
  std::vector<std::string> calls;
  FakeMultiRoomCapture* capture;
  FakeStreamPlayer* streamPlayer;

 private:
  TestMultiRoom(Preferences& preferences, FakeMultiRoomPlatform&& platform)
      : MultiRoomAudio(preferences, platform.take()), capture(platform.capture), streamPlayer(platform.player) {}
};

}  // namespace kovali
