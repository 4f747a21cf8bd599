#include "audio/audio_output.h"

#include "platform/runtime/set_if_changed.h"

namespace kovali {

AudioOutput::AudioOutput(QObject* parent) : QObject(parent) {}

void AudioOutput::refresh() {
  // Nothing reads the sound server's devices yet, so the honest list is an empty one.
  setDevices({});
  setDefaultDeviceID(0);
}

void AudioOutput::startListening() {
  // Without a device layer there is nothing that could change.
}

void AudioOutput::select(const Device& device) {
  setLastError("Could not switch to " + device.name + ": choosing the sound output isn't available on Linux yet.");
}

void AudioOutput::setDevices(Devices devices) {
  if (setIfChanged(devices_, std::move(devices))) emit devicesChanged();
}

void AudioOutput::setDefaultDeviceID(std::uint32_t id) {
  if (setIfChanged(defaultDeviceID_, id)) emit defaultDeviceIDChanged();
}

void AudioOutput::setLastError(std::optional<std::string> error) {
  if (setIfChanged(lastError_, std::move(error))) emit lastErrorChanged();
}

}  // namespace kovali
