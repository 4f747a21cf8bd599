#pragma once

#include <memory>
#include <string>

#include "platform/sound/devices/capture_system.h"
#include "platform/sound/devices/pulse_device_watcher.h"

struct pa_stream;

namespace kovali {

/// A source of the sound server played live on its default sink: a record stream held to that
/// source (it fails rather than move to another one when the source goes) feeds a playback
/// stream that follows the default sink. Both run on the watcher's libpulse thread. Must not
/// outlive `watcher`.
class PulseLivePassThrough final : public LivePassThrough {
  Q_OBJECT

 public:
  PulseLivePassThrough(PulseDeviceWatcher& watcher, const std::string& sourceName);
  ~PulseLivePassThrough() override;

 private:
  static void streamChanged(pa_stream* stream, void* self);
  static void readable(pa_stream* stream, std::size_t bytes, void* self);

  // libpulse's thread, lock held.
  std::optional<std::string> open(const std::string& sourceName);
  void broke(const std::string& reason);
  void closeStreams();

  PulseDeviceWatcher& watcher_;
  pa_stream* record_ = nullptr;
  pa_stream* playback_ = nullptr;
  bool running_ = false;  // both streams ready, `started` ended
  bool broken_ = false;
  // Cleared (lock held) when this object goes, for reports the watcher still holds.
  std::shared_ptr<PulseLivePassThrough*> alive_ = std::make_shared<PulseLivePassThrough*>(this);
};

}  // namespace kovali
