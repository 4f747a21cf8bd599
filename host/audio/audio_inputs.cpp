#include "audio/audio_inputs.h"

#include <algorithm>

#include <QPointer>

#include "platform/runtime/set_if_changed.h"

namespace kovali {

AudioInputs::AudioInputs(QObject* parent) : QObject(parent) {
  // Nothing lists the sound server's sources yet: the honest list is an empty one, and there are
  // no connections or disconnections to follow.
}

std::optional<AudioInputs::Device> AudioInputs::device(const std::string& id) const {
  const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.id == id; });
  if (found == devices_.end()) return std::nullopt;
  return *found;
}

QCoro::Task<bool> AudioInputs::requestMicrophoneAccess() { co_return true; }

QCoro::Task<bool> AudioInputs::select(std::string id) {
  const QPointer<AudioInputs> self(this);
  setRequestedID(id);
  setPlayingID(std::nullopt);
  const auto input = device(id);
  if (!input) {
    setLastError("This input isn't connected.");
    notifyChange();
    co_return false;
  }
  const bool allowed = co_await requestMicrophoneAccess();
  if (!self || !allowed || requestedID_ != id) co_return false;  // a later request or stop() won
  setLastError("Could not open " + input->name + ": live inputs can't be played on Linux yet.");
  notifyChange();
  co_return false;
}

void AudioInputs::stop() {
  setRequestedID(std::nullopt);
  setPlayingID(std::nullopt);
  setLastError(std::nullopt);
  notifyChange();
}

void AudioInputs::notifyChange() {
  emit changed();
}

void AudioInputs::setDevices(Devices devices) {
  if (setIfChanged(devices_, std::move(devices))) emit devicesChanged();
}

void AudioInputs::setPlayingID(std::optional<std::string> id) {
  if (setIfChanged(playingID_, std::move(id))) emit playingIDChanged();
}

void AudioInputs::setRequestedID(std::optional<std::string> id) {
  if (setIfChanged(requestedID_, std::move(id))) emit requestedIDChanged();
}

void AudioInputs::setLastError(std::optional<std::string> error) {
  if (setIfChanged(lastError_, std::move(error))) emit lastErrorChanged();
}

}  // namespace kovali
