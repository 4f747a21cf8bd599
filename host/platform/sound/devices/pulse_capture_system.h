#pragma once

#include "platform/sound/devices/capture_system.h"
#include "platform/sound/devices/pulse_device_watcher.h"

namespace kovali {

/// The capture inputs of the sound server (PulseAudio, or PipeWire's pulse server): its sources
/// but the monitors of its sinks, and their live playing on the default sink. Linux asks no
/// permission to record, so recording is always allowed. Starts looking at once; the first list
/// arrives with the first `changed`.
class PulseCaptureSystem final : public CaptureSystem {
  Q_OBJECT

 public:
  explicit PulseCaptureSystem(QObject* parent = nullptr);
  ~PulseCaptureSystem() override;

  std::vector<Input> inputs() const override;
  RecordPermission recordPermission() const override { return RecordPermission::authorized; }
  QCoro::Task<bool> requestRecordPermission() override;
  std::unique_ptr<LivePassThrough> playLive(const std::string& id) override;

 private:
  // Last: it goes first, so no late report reaches a half-destroyed object.
  mutable PulseDeviceWatcher watcher_;
};

}  // namespace kovali
