#pragma once

#include "platform/sound/devices/audio_system.h"
#include "platform/sound/devices/pulse_device_watcher.h"

namespace kovali {

/// The outputs of the sound server (PulseAudio, or PipeWire's pulse server): its sinks, their
/// default, and the switch of that default, which the streams that were not placed elsewhere
/// follow. Starts looking at once; the first list arrives with the first `changed`.
class PulseAudioSystem final : public AudioSystem {
  Q_OBJECT

 public:
  explicit PulseAudioSystem(QObject* parent = nullptr);
  ~PulseAudioSystem() override;

  std::vector<Output> outputs() const override;
  std::optional<std::uint32_t> defaultOutput() const override;
  void setDefaultOutput(std::uint32_t id, SwitchDone done) override;

 private:
  void finish(SwitchDone done, std::optional<std::string> failure);

  // Last: it goes first, so no late report reaches a half-destroyed object.
  mutable PulseDeviceWatcher watcher_;
};

}  // namespace kovali
