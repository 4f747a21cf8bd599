#include "session/store/session_store.h"

#include <utility>

#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"
#include "protocol/uuid.h"
#include "session/archive/artwork_rebase.h"
#include "session/archive/session_snapshot.h"

namespace kovali {

using vinaro::SessionState;

SessionStore::AudioServices SessionStore::AudioServices::standard(Preferences& preferences, Scheduler& scheduler,
                                                                  std::unique_ptr<AudioSystem> outputs,
                                                                  std::unique_ptr<CaptureSystem> inputs,
                                                                  MultiRoomAudio::Platform multiRoom) {
  return AudioServices{
      .multiRoom = std::make_unique<MultiRoomAudio>(preferences, std::move(multiRoom)),
      .heos = std::make_unique<HEOSController>(preferences, QString::fromLatin1(heosConfigurationKey),
                                               QString::fromLatin1(heosPresetsKey), scheduler),
      .audio = std::make_unique<AudioOutput>(std::move(outputs)),
      .inputs = std::make_unique<AudioInputs>(std::move(inputs)),
  };
}

SessionStore::SessionStore(Services services, AudioServices audio, std::optional<SessionArchive> archive,
                           std::string hostName, QObject* parent)
    : QObject(parent),
      music_(services.music),
      player_(services.player),
      server_(services.server),
      scheduler_(services.scheduler),
      djPIN_(services.djPIN),
      archive_(std::move(archive)),
      multiRoom_(std::move(audio.multiRoom)),
      heos_(std::move(audio.heos)),
      audio_(std::move(audio.audio)),
      inputs_(std::move(audio.inputs)),
      state_(keep(SessionState::newParty(vinaro::makeUUIDString(), hostName))),
      participantIDs_(ParticipantIDs::load(services.secrets)),
      badgeRetention_(services.scheduler.monotonicNow()) {
  audio_->refresh();
  audio_->startListening();

  if (archive_) {
    if (auto snapshot = archive_->load()) restore(std::move(*snapshot), hostName);
    archive_->setSyncReport([this] { showSaveProblem(); });
    showSaveProblem();  // a restored party that could not be written back
  }

  connectServices();
  // The engine reports no status change for a song that plays before it counts as loaded (a
  // start right after a failure), so the player's own status clears the error as well.
  connect(&player_, &PlayerEngine::statusChanged, this, [this] {
    if (player_.status() == vinaro::PlaybackStatus::playing) playbackSeenPlaying();
  });
  setLastDefaultOutput(audio_->defaultDeviceID());
}

void SessionStore::restore(SessionSnapshot snapshot, const std::string& hostName) {
  SessionState saved = std::move(snapshot.state);
  // Mapped once only: ids already public would be hashed again and match no phone.
  if (!snapshot.participantIDsArePublic && participantIDs_.isNew()) {
    // Saved before the host had its key: the session still names phones by their device ids.
    saved = saved.mappingParticipantIDs([this](const std::string& id) { return participantIDs_.of(id); });
    qCInfo(lcArchive, "The saved session's participants now go by their public ids.");
  }
  setState(saved.restored(hostName, scheduler_.now()));
  djDeviceIDs_ = DeviceIDs(snapshot.djDeviceIDs.begin(), snapshot.djDeviceIDs.end());
  emit djDeviceIDsChanged();
}

void SessionStore::connectServices() {
  connect(&server_, &HostServer::messageReceived, this,
          [this](ConnectionID connection, const vinaro::Envelope<vinaro::Command>& envelope) {
            handle(envelope, connection);
          });
  connect(&server_, &HostServer::connectionEnded, this, &SessionStore::connectionClosed);
  connect(&player_, &PlayerEngine::eventReported, this, &SessionStore::handlePlayerEvent);
  // Their lines also reach the engine log the window shows.
  connect(multiRoom_.get(), &MultiRoomAudio::logged, &player_,
          [this](const std::string& line) { player_.log("multi-room: " + line); });
  connect(heos_.get(), &HEOSController::logged, &player_,
          [this](const std::string& line) { player_.log("heos: " + line); });
  connect(multiRoom_.get(), &MultiRoomAudio::changed, this, &SessionStore::audioSettingsChanged);
  connect(heos_.get(), &HEOSController::changed, this, &SessionStore::heosChanged);
  connect(audio_.get(), &AudioOutput::changed, this, &SessionStore::defaultOutputChanged);
  connect(inputs_.get(), &AudioInputs::changed, this, &SessionStore::scheduleAudioPush);
}

void SessionStore::start() {
  server_.stop();
  server_.setServiceName(state_->name);
  server_.setSessionID(state_->sessionID);
  server_.start();
  // Cover art served here in an earlier run was on another port.
  if (const auto address = server_.artworkAddress()) setState(withArtworkAt(*state_, *address));
  syncDelayedOutputs();
  publishTXT();
  if (heos_->configuration().startWithParty && heos_->status().kind == HEOSController::Status::Kind::off) {
    heos_->search();
  }
  reconcileAudio();
  startPruneLoop();
}

void SessionStore::persist() {
  saveOwed_ = false;
  if (!archive_) return;
  const std::vector<std::string> djDevices(djDeviceIDs_.begin(), djDeviceIDs_.end());
  SessionSnapshotParts parts{*state_, djDevices, scheduler_.now()};
  // The phones' full view holds the state as the file does.
  if (const auto& party = encodedParty()) parts.encodedState = party->text;
  archive_->save(parts);
  showSaveProblem();
}

void SessionStore::showSaveProblem() {
  const auto problem = archive_->problem();
  setSaveProblem(problem ? std::optional(problem->toStdString()) : std::nullopt);
}

vinaro::ReducerContext SessionStore::reducerContext() const {
  return vinaro::ReducerContext{scheduler_.now(), &vinaro::makeUUIDString};
}

// ---- Observable setters ---------------------------------------------------------------------

void SessionStore::setState(SessionState state) {
  if (*state_ == state) return;
  state_ = keep(std::move(state));
  stateChangedInPlace();
}

void SessionStore::setLastHostError(std::optional<vinaro::ProtocolError> error) {
  if (setIfChanged(lastHostError_, std::move(error))) emit lastHostErrorChanged();
}

void SessionStore::setPlaybackError(std::optional<std::string> error) {
  if (setIfChanged(playbackError_, std::move(error))) emit playbackErrorChanged();
}

void SessionStore::setSaveProblem(std::optional<std::string> problem) {
  if (setIfChanged(saveProblem_, std::move(problem))) emit saveProblemChanged();
}

void SessionStore::setTransportNotice(std::optional<std::string> notice) {
  if (setIfChanged(transportNotice_, std::move(notice))) emit transportNoticeChanged();
}

void SessionStore::setLastDefaultOutput(std::uint32_t id) {
  if (setIfChanged(lastDefaultOutput_, id)) emit lastDefaultOutputChanged();
}

void SessionStore::setHasPlayedSinceLaunch(bool played) {
  if (setIfChanged(hasPlayedSinceLaunch_, played)) emit hasPlayedSinceLaunchChanged();
}

void SessionStore::cacheSong(const std::string& id, const Song& song) {
  songCache_.insert_or_assign(id, song);
  emit songCacheChanged();
}

}  // namespace kovali
