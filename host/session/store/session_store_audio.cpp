#include <QMetaObject>
#include <QPointer>
#include <QUuid>
#include <algorithm>
#include <climits>

#include "model/overloaded.h"
#include "protocol/event.h"
#include "session/store/session_store.h"
#include "session/views/host_audio_snapshot.h"

namespace kovali {

using vinaro::AudioCommand;

namespace {

constexpr double kAudioPushDelaySeconds = 0.15;
constexpr const char* kNilUUID = "00000000-0000-0000-0000-000000000000";

/// A preset id as the phones write it: exactly a UUID's 36 characters, any case.
std::optional<QUuid> presetID(const std::string& text) {
  if (text.size() != 36) return std::nullopt;
  const QUuid id = QUuid::fromString(QLatin1String(text.data(), static_cast<qsizetype>(text.size())));
  if (id.isNull() && text != kNilUUID) return std::nullopt;
  return id;
}

}  // namespace

vinaro::HostAudioState SessionStore::hostAudioState() const {
  return hostAudioSnapshot(*audio_, *multiRoom_, *heos_, *inputs_);
}

std::string SessionStore::outputRoute() const {
  switch (multiRoom_->playerRoute()) {
    case MultiRoomAudio::Route::unknown:
      return "?";
    case MultiRoomAudio::Route::mac:
      return "mac";
    case MultiRoomAudio::Route::speakers:
      return multiRoom_->isMirroring() ? "speakers+mac" : "speakers";
  }
  return "?";
}

void SessionStore::handleAudio(const AudioCommand& command, const std::string& envelopeID, ConnectionID from) {
  using Kind = HEOSController::Status::Kind;
  std::visit(vinaro::Overloaded{
                 [&](const AudioCommand::Refresh&) {
                   if (heos_->configuration().startWithParty && heos_->status().kind == Kind::off) heos_->search();
                 },
                 [&](const AudioCommand::SetOutput& output) {
                   const auto& devices = audio_->devices();
                   const auto device = std::find_if(devices.begin(), devices.end(),
                                                    [&](const auto& d) { return std::to_string(d.id) == output.id; });
                   if (device != devices.end()) audio_->select(*device);
                 },
                 [&](const AudioCommand::SetMultiRoom& multiRoom) {
                   if (multiRoom.on) {
                     multiRoom_->start();
                   } else {
                     multiRoom_->stop();
                     multiRoom_->setStatus(MultiRoomAudio::Status::off());
                   }
                   audioSettingsChanged();
                 },
                 [&](const AudioCommand::SetPlaysOnMac& plays) { multiRoom_->setPlaysOnMac(plays.value); },
                 [&](const AudioCommand::SetSpeakerVolume& volume) {
                   // The engine keeps it within 0...100; this only keeps it within reach of an int.
                   multiRoom_->setSpeakerVolume(
                       volume.id, static_cast<int>(std::clamp<std::int64_t>(volume.level, INT_MIN, INT_MAX)));
                 },
                 [&](const AudioCommand::SetMacVolume& volume) {
                   multiRoom_->setMacVolume(static_cast<int>(std::clamp<std::int64_t>(volume.level, 0, 100)));
                 },
                 [&](const AudioCommand::HEOSSearch&) { heos_->search(); },
                 [&](const AudioCommand::HEOSSelectInput& input) { heos_->selectInput(input.id); },
                 [&](const AudioCommand::HEOSSetZone& zone) { heos_->setZone(zone.id, zone.included); },
                 [&](const AudioCommand::HEOSSetZoneVolume& volume) { heos_->setZoneVolume(volume.id, volume.level); },
                 [&](const AudioCommand::HEOSSetVolume& volume) { heos_->setVolume(volume.level); },
                 [&](const AudioCommand::HEOSPlay&) { heos_->requestPlay(); },
                 [&](const AudioCommand::HEOSStop&) {
                   const auto leader = heos_->leaderID();
                   if (!leader) return;
                   QMetaObject::invokeMethod(
                       this, [this, id = *leader] { (void)heos_->stop(id); }, Qt::QueuedConnection);
                 },
                 [&](const AudioCommand::HEOSSetStartWithParty& follow) { heos_->setStartWithParty(follow.value); },
                 [&](const AudioCommand::HEOSSavePreset& save) { heos_->savePreset(save.name); },
                 [&](const AudioCommand::HEOSApplyPreset& apply) {
                   // Compared as text: only the upper-case form the phones are shown matches.
                   const auto& presets = heos_->presets();
                   const auto preset = std::find_if(presets.begin(), presets.end(),
                                                    [&](const auto& p) { return p.idText() == apply.id; });
                   if (preset != presets.end()) heos_->applyPreset(*preset);
                 },
                 [&](const AudioCommand::HEOSDeletePreset& remove) {
                   if (const auto id = presetID(remove.id)) heos_->deletePreset(*id);
                 },
                 [&](const AudioCommand::SetSource& source) {
                   QMetaObject::invokeMethod(
                       this, [this, id = source.id] { (void)selectSource(id); }, Qt::QueuedConnection);
                 },
             },
             command.value);

  player_.log("phone audio: " + std::string(command.action()));
  // What the services change later reaches the phone with the next push, which it gets in any case.
  audioPushed_.erase(from);
  server_.send(vinaro::Event{hostAudioState()}, from, envelopeID);
  scheduleAudioPush();
}

void SessionStore::scheduleAudioPush() {
  audioPushTask_.start([this, self = QPointer<SessionStore>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(kAudioPushDelaySeconds, token);
    if (token.isCancelled() || !self) co_return;
    std::vector<ConnectionID> djs;
    for (const auto& [connection, participant] : participants_) {
      if (participant.role == vinaro::Role::dj) djs.push_back(connection);
    }
    if (djs.empty()) co_return;
    const auto snapshot = hostAudioState();
    const vinaro::Event event{snapshot};  // one for all of them
    for (const auto connection : djs) {
      // A retry that changed nothing is not news to the phone.
      const auto pushed = audioPushed_.find(connection);
      if (pushed != audioPushed_.end() && pushed->second == snapshot) continue;
      audioPushed_.insert_or_assign(connection, snapshot);
      server_.send(event, connection);
    }
  });
}

void SessionStore::audioSettingsChanged() {
  reconcileAudio();
  syncDelayedOutputs();
  player_.setOutputLatency(multiRoom_->outputLatency());
  publishTXT();
  scheduleAudioPush();
}

void SessionStore::defaultOutputChanged() {
  if (audio_->defaultDeviceID() != lastDefaultOutput_) {
    setLastDefaultOutput(audio_->defaultDeviceID());
    multiRoom_->defaultOutputChanged();
    // The live input plays on the default output, so it starts again on the new one.
    if (state_->input && inputs_->playingID()) {
      QMetaObject::invokeMethod(
          inputs_.get(), [inputs = inputs_.get(), id = *inputs_->playingID()] { (void)inputs->select(id); },
          Qt::QueuedConnection);
    }
  }
  scheduleAudioPush();
}

void SessionStore::reconcileAudio() {
  const auto wanted = state_->input ? std::optional(state_->input->id) : std::nullopt;
  const auto multiRoom = multiRoom_->status().kind;
  if (multiRoom == MultiRoomAudio::Status::Kind::starting || multiRoom == MultiRoomAudio::Status::Kind::on) {
    // Multi-room feeds the live input to the speakers itself.
    if (inputs_->requestedID()) inputs_->stop();
    multiRoom_->setInput(wanted);
    return;
  }
  multiRoom_->setInput(std::nullopt);
  if (!wanted) {
    if (inputs_->requestedID()) inputs_->stop();
  } else if (inputs_->requestedID() != wanted) {
    selectInputLater(*wanted);
  }
}

void SessionStore::selectInputLater(std::string inputID) {
  QMetaObject::invokeMethod(
      this, [this, id = std::move(inputID)] { (void)inputs_->select(id); }, Qt::QueuedConnection);
}

QCoro::Task<> SessionStore::selectSource(std::optional<std::string> inputID) {
  if (!inputID) {
    if (!state_->input) co_return;
    (void)dispatchAsHost(vinaro::action::SetInput{std::nullopt});
    player_.log("source: the music library");
    reconcileAudio();
    co_return;
  }
  const auto device = inputs_->device(*inputID);
  if (!device) co_return;
  if (state_->input && state_->input->id == *inputID) {
    reconcileAudio();
    co_return;
  }
  const QPointer<SessionStore> self(this);
  const bool allowed = co_await inputs_->requestMicrophoneAccess();
  // A refusal is explained by the inputs' own error, which the next snapshot carries.
  if (!self || !allowed) co_return;
  (void)dispatchAsHost(vinaro::action::SetInput{vinaro::LiveInput{*inputID, device->name, false}});
  player_.log("source: " + device->name);
  reconcileAudio();
}

}  // namespace kovali
