#include "audio/audio_output.h"

#include <algorithm>

#include "audio/device_list.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {


AudioOutput::AudioOutput(std::unique_ptr<AudioSystem> system, QObject* parent)
    : QObject(parent), system_(std::move(system)) {}

AudioOutput::~AudioOutput() = default;

void AudioOutput::refresh() {
  setDevices(enumerateDevices());
  const auto defaultID = system_->defaultOutput().value_or(unknownDevice);
  if (defaultID != defaultDeviceID_) qCInfo(lcAudio) << "default output" << defaultID;
  setDefaultDeviceID(defaultID);
  emit changed();
}

void AudioOutput::startListening() {
  if (listening_) return;
  listening_ = true;
  connect(system_.get(), &AudioSystem::changed, this, &AudioOutput::refresh);
}

void AudioOutput::select(const Device& device) {
  system_->setDefaultOutput(device.id, [this, id = device.id, name = device.name](std::optional<std::string> failure) {
    if (failure) {
      qCWarning(lcAudio).noquote() << "could not switch the output to" << QString::fromStdString(name) << "-"
                                   << QString::fromStdString(*failure);
      setLastError("Could not switch to " + name + " (" + *failure + ").");
      return;
    }
    setDefaultDeviceID(id);
    setLastError(std::nullopt);
    emit changed();
  });
}

AudioOutput::Devices AudioOutput::enumerateDevices() const {
  Devices devices;
  for (const auto& output : system_->outputs()) {
    if (output.channels <= 0 || output.name.empty() || isPrivateDevice(output.uid)) continue;
    devices.push_back({output.id, output.name, output.transport});
  }
  // Built-in devices first, the rest by name alone; ties keep the system's order.
  std::stable_sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) {
    const bool aBuiltIn = a.transport == Device::Transport::builtIn;
    const bool bBuiltIn = b.transport == Device::Transport::builtIn;
    if (aBuiltIn != bBuiltIn) return aBuiltIn;
    return deviceNameBefore(a.name, b.name);
  });
  return devices;
}

void AudioOutput::setDevices(Devices devices) {
  if (devices == devices_) return;
  logDeviceChanges("output", deviceNames(devices_), deviceNames(devices));
  devices_ = std::move(devices);
  emit devicesChanged();
}

void AudioOutput::setDefaultDeviceID(std::uint32_t id) {
  if (setIfChanged(defaultDeviceID_, id)) emit defaultDeviceIDChanged();
}

void AudioOutput::setLastError(std::optional<std::string> error) {
  if (setIfChanged(lastError_, std::move(error))) emit lastErrorChanged();
}

}  // namespace kovali
