#include "audio/audio_inputs.h"

#include <algorithm>

#include <QMetaObject>
#include <QPointer>
#include <qcoro/qcorofuture.h>

#include "audio/device_list.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {

namespace {

constexpr const char* notConnectedText = "This input isn't connected.";
constexpr const char* permissionText =
    "Allow Kovali to use the microphone in your desktop's privacy settings, then choose the input again.";

}  // namespace

AudioInputs::AudioInputs(std::unique_ptr<CaptureSystem> system, QObject* parent)
    : QObject(parent), system_(std::move(system)) {
  refresh();
  connect(system_.get(), &CaptureSystem::changed, this, &AudioInputs::refresh);
}

AudioInputs::~AudioInputs() = default;

std::optional<AudioInputs::Device> AudioInputs::device(const std::string& id) const {
  const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.id == id; });
  if (found == devices_.end()) return std::nullopt;
  return *found;
}

// ---- The list ----------------------------------------------------------------------------------

void AudioInputs::refresh() {
  setDevices(listedInputs());
  handleVanishedOrReturned();
  emit changed();
}

AudioInputs::Devices AudioInputs::listedInputs() const {
  Devices devices;
  for (const auto& input : system_->inputs()) {
    if (!isPrivateDevice(input.id)) devices.push_back({input.id, input.name, input.transport});
  }
  // By name alone (built-in inputs are not put first); ties keep the system's order.
  std::stable_sort(devices.begin(), devices.end(),
                   [](const Device& a, const Device& b) { return deviceNameBefore(a.name, b.name); });
  return devices;
}

void AudioInputs::handleVanishedOrReturned() {
  if (playingID_ && !device(*playingID_)) {
    std::string name = session_ && !session_->inputName.empty() ? session_->inputName : "The input";
    const auto vanished = *playingID_;
    stopSession();
    disconnectedID_ = vanished;
    qCInfo(lcAudio).noquote() << "live input disconnected:" << QString::fromStdString(name);
    setLastError(name + " was disconnected. It plays again when it's back.");
  } else if (disconnectedID_ && device(*disconnectedID_)) {
    auto id = *disconnectedID_;
    disconnectedID_.reset();
    QMetaObject::invokeMethod(this, [this, id = std::move(id)] { (void)select(id); }, Qt::QueuedConnection);
  }
}

// ---- Playing live ------------------------------------------------------------------------------

QCoro::Task<bool> AudioInputs::requestMicrophoneAccess() {
  using Permission = CaptureSystem::RecordPermission;
  const QPointer<AudioInputs> self(this);
  switch (system_->recordPermission()) {
    case Permission::authorized:
      co_return true;
    case Permission::notDetermined:
      if (co_await system_->requestRecordPermission()) co_return true;
      if (!self) co_return false;
      break;
    case Permission::denied:
    case Permission::restricted:
      break;
  }
  setLastError(permissionText);
  emit changed();
  co_return false;
}

QCoro::Task<bool> AudioInputs::select(std::string id) {
  const QPointer<AudioInputs> self(this);
  const auto request = ++requests_;
  setRequestedID(id);
  stopSession();
  disconnectedID_.reset();
  const auto inputs = system_->inputs();
  const auto input = std::find_if(inputs.begin(), inputs.end(), [&](const auto& i) { return i.id == id; });
  if (input == inputs.end()) {
    setLastError(notConnectedText);
    emit changed();
    co_return false;
  }
  const auto name = input->name;
  const bool allowed = co_await requestMicrophoneAccess();
  if (!self || !allowed || requests_ != request) co_return false;  // a later request or stop() won

  stopSession();  // a start that began while this one waited
  session_ = Session{system_->playLive(id), name};
  connect(session_->passThrough.get(), &LivePassThrough::failed, this,
          [this](const QString& reason) { sessionBroke(reason.toStdString()); });
  const auto failure = co_await session_->passThrough->started();
  if (!self || requests_ != request) co_return false;
  if (failure) {
    session_.reset();
    qCWarning(lcAudio).noquote() << "could not open" << QString::fromStdString(name) << "-"
                                 << QString::fromStdString(*failure);
    setLastError(openFailure(name, *failure));
    emit changed();
    co_return false;
  }
  qCInfo(lcAudio).noquote() << "live input playing:" << QString::fromStdString(name);
  setPlayingID(id);
  setLastError(std::nullopt);
  emit changed();
  co_return true;
}

void AudioInputs::sessionBroke(const std::string& reason) {
  const auto name = session_ ? session_->inputName : std::string();
  stopSession();
  qCWarning(lcAudio).noquote() << "live input stopped:" << QString::fromStdString(name) << "-"
                               << QString::fromStdString(reason);
  setLastError(openFailure(name, reason));
  emit changed();
}

std::string AudioInputs::openFailure(const std::string& name, const std::string& reason) {
  const bool ends = !reason.empty() && (reason.back() == '.' || reason.back() == '!' || reason.back() == '?');
  return "Could not open " + name + ": " + reason + (ends ? "" : ".");
}

void AudioInputs::stopSession() {
  session_.reset();
  setPlayingID(std::nullopt);
}

void AudioInputs::stop() {
  ++requests_;
  setRequestedID(std::nullopt);
  stopSession();
  disconnectedID_.reset();
  setLastError(std::nullopt);
  emit changed();
}

// ---- Observable setters ------------------------------------------------------------------------

void AudioInputs::setDevices(Devices devices) {
  if (devices == devices_) return;
  logDeviceChanges("input", deviceNames(devices_), deviceNames(devices));
  devices_ = std::move(devices);
  emit devicesChanged();
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
