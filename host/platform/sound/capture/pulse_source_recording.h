#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "platform/sound/capture/multi_room_capture.h"
#include "platform/sound/devices/pulse_device_watcher.h"

struct pa_stream;

namespace kovali {

/// One source of the sound server recorded in a format of our choosing (the server converts)
/// into a sink, on the watcher's libpulse thread. Held to that source: when it goes, the
/// recording ends rather than move to another one. Must not outlive `watcher`.
class PulseSourceRecording final : public MultiRoomCapture::Session {
 public:
  PulseSourceRecording(PulseDeviceWatcher& watcher, const std::string& sourceName, const AudioFormat& format,
                       MultiRoomCapture::Sink sink);
  ~PulseSourceRecording() override;

  /// Why the recording could not start, the server's words; none when it runs.
  const std::optional<std::string>& failure() const { return failure_; }
  bool isRunning() const override { return !ended_; }

 private:
  static void readable(pa_stream* stream, std::size_t bytes, void* self);
  static void stateChanged(pa_stream* stream, void* self);

  // libpulse's thread, lock held.
  std::optional<std::string> open(const std::string& sourceName);
  void close();

  PulseDeviceWatcher& watcher_;
  AudioFormat format_;
  MultiRoomCapture::Sink sink_;
  pa_stream* stream_ = nullptr;
  std::optional<std::string> failure_;
  std::atomic<bool> ended_ = false;
};

}  // namespace kovali
