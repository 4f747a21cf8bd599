#pragma once

#include <qcoro/qcorotask.h>

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_inputs.h"
#include "audio/audio_output.h"
#include "audio/multi_room_audio.h"
#include "heos/heos_controller.h"
#include "model/actor.h"
#include "model/reducer_context.h"
#include "model/session_action.h"
#include "model/session_state.h"
#include "music/music_service.h"
#include "music/player_engine.h"
#include "platform/runtime/batch_timer.h"
#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/preferences.h"
#include "platform/runtime/scheduler.h"
#include "platform/runtime/serial_queue.h"
#include "protocol/command.h"
#include "protocol/envelope.h"
#include "protocol/expected.h"
#include "protocol/host_audio_state.h"
#include "protocol/protocol_error.h"
#include "server/host_server.h"
#include "server/outgoing_event.h"
#include "session/archive/session_archive.h"
#include "session/archive/session_snapshot.h"
#include "session/participants/badge_retention.h"
#include "session/participants/command_rate.h"
#include "session/participants/dj_pin.h"
#include "session/participants/guest_changes.h"
#include "session/participants/participant_ids.h"
#include "session/participants/partygoer_list.h"
#include "session/participants/pin_attempt_limiter.h"
#include "session/participants/search_budget.h"
#include "session/store/session_effects.h"
#include "session/views/party_encoder.h"
#include "session/views/state_views.h"

namespace kovali {

/// The host's one live session. It owns the party state and the table of connected phones,
/// greets phones and checks their roles and the DJ PIN, applies every change through the
/// reducer, saves the session after each one, keeps the player and HEOS in step, and sends
/// every phone its own view of the party. One store lives for the whole process; main thread
/// only.
///
/// Every change goes through `dispatch`; a refused change leaves the state, the saved session,
/// the player and the phones untouched.
class SessionStore final : public QObject {
  Q_OBJECT
  Q_PROPERTY(vinaro::SessionState state READ state NOTIFY stateChanged)
  Q_PROPERTY(kovali::SessionStore::Participants participants READ participants NOTIFY participantsChanged)
  Q_PROPERTY(std::optional<vinaro::ProtocolError> lastHostError READ lastHostError NOTIFY lastHostErrorChanged)
  Q_PROPERTY(std::optional<std::string> playbackError READ playbackError NOTIFY playbackErrorChanged)
  Q_PROPERTY(std::optional<std::string> saveProblem READ saveProblem NOTIFY saveProblemChanged)
  Q_PROPERTY(std::optional<std::string> transportNotice READ transportNotice NOTIFY transportNoticeChanged)
  Q_PROPERTY(std::uint32_t lastDefaultOutput READ lastDefaultOutput NOTIFY lastDefaultOutputChanged)
  Q_PROPERTY(kovali::SessionStore::DeviceIDs djDeviceIDs READ djDeviceIDs NOTIFY djDeviceIDsChanged)
  Q_PROPERTY(kovali::SessionStore::SongCache songCache READ songCache NOTIFY songCacheChanged)
  Q_PROPERTY(kovali::SessionStore::RequestIDs autoPlaySkipped READ autoPlaySkipped NOTIFY autoPlaySkippedChanged)
  Q_PROPERTY(bool hasPlayedSinceLaunch READ hasPlayedSinceLaunch NOTIFY hasPlayedSinceLaunchChanged)

 public:
  /// One entry per connection that said hello; a phone connected twice has two.
  using Participants = std::map<ConnectionID, vinaro::Participant>;
  using DeviceIDs = std::set<std::string>;
  using RequestIDs = std::set<std::string>;
  /// Songs already fetched, by song id; never emptied, not saved.
  using SongCache = std::map<std::string, Song>;
  /// An accepted change; the new state is `state()`.
  struct Accepted {
    bool operator==(const Accepted&) const = default;
  };
  using DispatchResult = vinaro::Expected<Accepted, vinaro::ProtocolError>;
  template <class T>
  using MusicOutcome = vinaro::Expected<T, vinaro::ProtocolError>;

  /// The phone and the message that an event answers.
  struct ReplyTarget {
    ConnectionID connection;
    std::string envelopeID;

    bool operator==(const ReplyTarget&) const = default;
  };

  /// What the store is handed; every one must outlive the store.
  struct Services {
    MusicService& music;
    PlayerEngine& player;
    HostServer& server;
    Scheduler& scheduler;  // the clock of every change, and the timed work
    const DJPIN& djPIN;
    SecretStore& secrets;  // keeps the key of the participant ids
  };

  /// The sound and HEOS services, which the store owns.
  struct AudioServices {
    std::unique_ptr<MultiRoomAudio> multiRoom;
    std::unique_ptr<HEOSController> heos;
    std::unique_ptr<AudioOutput> audio;
    std::unique_ptr<AudioInputs> inputs;

    /// The host's own, keeping their settings in `preferences`, on the sound server's
    /// `outputs` and `inputs`, with multi-room on `multiRoom`.
    static AudioServices standard(Preferences& preferences, Scheduler& scheduler, std::unique_ptr<AudioSystem> outputs,
                                  std::unique_ptr<CaptureSystem> inputs, MultiRoomAudio::Platform multiRoom);
  };

  /// The preference keys of the HEOS setup and presets.
  static constexpr const char* heosConfigurationKey = "heos.configuration";
  static constexpr const char* heosPresetsKey = "heos.presets";
  /// Phones hear of a join or departure at once when none came for this long; otherwise once they
  /// have stopped coming for this long, and at the latest after `presenceLongestWaitSeconds`. A
  /// storm of joins then costs each phone one or two partygoer lists, not one a join.
  static constexpr double presenceIntervalSeconds = 0.5;
  static constexpr double presenceLongestWaitSeconds = 2;
  /// At a party whose full view takes `welcomeSharedFromBytes` or more, a hello is welcomed once
  /// hellos have stopped coming for this long, and at the latest `welcomeLongestWaitSeconds` after
  /// the first that waits. A crowd joining then shares a few versions of the party, each kept until
  /// its slowest phone has read it, not one a phone. At a smaller party a hello is welcomed in the
  /// next pass, with the hellos read in the same one.
  static constexpr double welcomeIntervalSeconds = 0.25;
  static constexpr double welcomeLongestWaitSeconds = 1;
  /// Below this (about 600 songs), a thousand phones joining each with a version of their own keep
  /// no more old parties than their budget, and every connection the host takes (4,096 at most) no
  /// more than their ceiling: sharing would save too little to make a phone wait.
  static constexpr qint64 welcomeSharedFromBytes = GuestLimits::oldPartiesBytes / 1024;
  /// At such a party the guests' changes go out together at most this often. Every phone that has
  /// read its last party takes the next at once, so each state made keeps a party alive for as long
  /// as its phones take to read it: made as fast as the guests send, a crowd of fast phones would
  /// each hold a version of its own.
  static constexpr double guestStatesSeconds = GuestLimits::shareVersionSeconds;
  /// What a joining phone may send before its welcome, answered after it: its burst of commands.
  /// Past it, what it sends is refused at once.
  static constexpr std::size_t heldBackWhileJoining = static_cast<std::size_t>(CommandRate::burst);

  /// A fresh party named `hostName`, replaced by the saved one when `archive` holds one; without
  /// an archive nothing is ever saved. Does not start the server.
  SessionStore(Services services, AudioServices audio, std::optional<SessionArchive> archive, std::string hostName,
               QObject* parent = nullptr);

  // ---- Observed fields ----
  const vinaro::SessionState& state() const { return *state_; }
  /// The state as it is now, kept whole however the party changes later: screens and saves hold
  /// it without copying a big party.
  std::shared_ptr<const vinaro::SessionState> sharedState() const { return state_; }
  const Participants& participants() const { return participants_; }
  /// Hellos read whose welcome has not gone out yet.
  std::size_t welcomesWaiting() const { return joining_.size(); }
  /// The failure of the last host-side action; cleared by the next success.
  const std::optional<vinaro::ProtocolError>& lastHostError() const { return lastHostError_; }
  /// The player's last failure, until playback is seen playing again.
  const std::optional<std::string>& playbackError() const { return playbackError_; }
  /// Why the session could not be saved at the last change; gone once a save succeeds.
  const std::optional<std::string>& saveProblem() const { return saveProblem_; }
  /// A short notice after a play or pause from the host, gone 4 s after the last one.
  const std::optional<std::string>& transportNotice() const { return transportNotice_; }
  /// The system default output last seen.
  std::uint32_t lastDefaultOutput() const { return lastDefaultOutput_; }
  /// The devices that hold the DJ role, across reconnections and relaunches. Device ids never
  /// leave the host.
  const DeviceIDs& djDeviceIDs() const { return djDeviceIDs_; }
  /// The id under which the phones know the device `deviceID`.
  std::string participantID(std::string_view deviceID) const { return participantIDs_.of(deviceID); }
  const SongCache& songCache() const { return songCache_; }
  /// Requests that automatic play gave up on; left for the DJ.
  const RequestIDs& autoPlaySkipped() const { return autoPlaySkipped_; }
  /// Whether the party has played since the host started.
  bool hasPlayedSinceLaunch() const { return hasPlayedSinceLaunch_; }

  // ---- Services ----
  MusicService& music() const { return music_; }
  PlayerEngine& player() const { return player_; }
  HostServer& server() const { return server_; }
  MultiRoomAudio& multiRoom() const { return *multiRoom_; }
  HEOSController& heos() const { return *heos_; }
  AudioOutput& audio() const { return *audio_; }
  AudioInputs& inputs() const { return *inputs_; }
  /// Where the session is saved; nothing when it is not.
  const SessionArchive* archive() const { return archive_ ? &*archive_ : nullptr; }

  // ---- Hosting and changes ----
  /// Starts hosting, or starts it again: every phone is disconnected and must say hello anew;
  /// the state is kept.
  void start();

  /// Applies `action` for `actor` and, when accepted, stores, saves and spreads the new state:
  /// the player and HEOS follow it, and with `broadcast` every phone gets its own view (the copy
  /// for `replyTo`'s phone answers its message). Gives the acceptance or the refusal.
  ///
  /// At a party whose state takes `welcomeSharedFromBytes` or more, the save and the phones' views
  /// follow once this turn of the event loop is done, so that the changes read in one turn go out
  /// as one state; the save always comes before the phones hear of it.
  DispatchResult dispatch(const vinaro::SessionAction& action, const vinaro::Actor& actor, bool broadcast = true,
                          const std::optional<ReplyTarget>& replyTo = std::nullopt);

  /// Dispatches as the host and keeps the outcome in `lastHostError`: a refusal is stored there,
  /// a success clears it. The menus and views act through this.
  void performHostAction(const vinaro::SessionAction& action, bool broadcast = true);

  /// Sends every phone but `except` its view of the state (saved first, where a change is still
  /// to be saved), then republishes the Bonjour status.
  void broadcastState(std::optional<ConnectionID> except = std::nullopt,
                      const std::optional<ReplyTarget>& replyTo = std::nullopt);

  /// The connected participants by name (case ignored), each participant once.
  std::vector<vinaro::Participant> partygoers() const;

  /// The song with this id from the cache, else from the catalogue (and then cached); nothing
  /// when it cannot be found or the lookup fails.
  QCoro::Task<std::optional<Song>> resolveSong(std::string id);

  /// Saves the session, when there is an archive.
  void persist();

  // ---- Phones ----
  /// One message from a phone.
  void handle(vinaro::Envelope<vinaro::Command> envelope, ConnectionID connection);
  /// A phone's connection has gone.
  void connectionClosed(ConnectionID connection);

  // ---- Host-side music actions (console and menus) ----
  /// Adds a song picked on the host to the queue, as the host.
  void add(const Song& song);
  /// Plays when not playing, else pauses, as the host; shows which outputs follow later.
  void togglePlayback();
  /// Approves a request; an album or playlist request gets its songs first. With `replyTo` a
  /// refusal is answered to that phone, else it goes to `lastHostError`.
  QCoro::Task<> approveRequest(std::string id, vinaro::QueuePosition position, vinaro::Actor actor,
                               std::optional<ReplyTarget> replyTo);
  /// The library's playlists (none for the custom source).
  QCoro::Task<MusicOutcome<std::vector<vinaro::PlaylistRef>>> playlists(vinaro::PlaylistRef::Source source);
  /// The songs of an album or playlist, at most 500, cached for playing.
  QCoro::Task<MusicOutcome<std::vector<vinaro::Track>>> tracks(vinaro::PlaylistRef ref);

  // ---- Sound ----
  /// The snapshot of the host's sound that DJ phones show.
  vinaro::HostAudioState hostAudioState() const;
  /// Where the music renders: "mac", "speakers", "speakers+mac", or "?" before it is known.
  std::string outputRoute() const;
  /// Brings everything that depends on the multi-room and HEOS setup in line with it: the live
  /// input, the delayed outputs, the player's latency, the Bonjour status and the DJs' phones.
  void audioSettingsChanged();
  /// Makes a live input the party's source, or (nothing) hands the source back to the music.
  QCoro::Task<> selectSource(std::optional<std::string> inputID);

 signals:
  void stateChanged();
  void participantsChanged();
  void lastHostErrorChanged();
  void playbackErrorChanged();
  void saveProblemChanged();
  void transportNoticeChanged();
  void lastDefaultOutputChanged();
  void djDeviceIDsChanged();
  void songCacheChanged();
  void autoPlaySkippedChanged();
  void hasPlayedSinceLaunchChanged();

 private:
  // Construction, start and dispatch (session_store.cpp, session_store_dispatch.cpp)
  /// Takes over a saved session, which may still name phones by their device ids.
  void restore(SessionSnapshot snapshot, const std::string& hostName);
  void connectServices();
  /// The archive's problem, as the console shows it.
  void showSaveProblem();
  vinaro::ReducerContext reducerContext() const;
  void sendState(ConnectionID connection, const vinaro::Participant& participant, std::optional<std::string> replyTo);

  // Changes and the states they make (session_store_changes.cpp)
  /// Applies `action` for `actor` to the state in place and does what it asks but the save and
  /// the phones' views, which it leaves owed.
  DispatchResult applyChange(const vinaro::SessionAction& action, const vinaro::Actor& actor);
  /// The state, to be changed in place: copied first when anyone else holds it.
  vinaro::SessionState& ownState();
  /// The state changed in place: what was made of the old one goes.
  void stateChangedInPlace();
  /// Whether the party's state is big enough that changes are folded; see `dispatch`.
  bool foldsChanges() const { return stateBytes_ >= welcomeSharedFromBytes; }
  /// Has the owed state served: at once at a small party; at a big one once this turn is done
  /// when `urgent` (the DJ and the host), else when the guests' next turn comes (see `serve`).
  void requestServe(bool urgent);
  /// Applies the guests' changes whose turn has come, then saves and sends the owed state. At a
  /// big party a state made for guests is spaced from the last by `guestStatesSeconds`, and by as
  /// long as that one took, so that making them takes at most half the host's time; the DJ's go
  /// at once.
  void serve();
  /// Seconds until a state may be made for the guests' changes waiting.
  double secondsUntilGuestsTurn() const;
  /// Serves again after `seconds` (0: once this turn is done), unless a serve comes sooner.
  void serveIn(double seconds);
  /// Puts a guest's change in line (see `GuestChanges`), refusing it when the guest is over its pace.
  void offerGuestChange(GuestChanges::Change change);
  /// `state`, held so that whoever lets go of it last, it is freed off the main thread: freeing
  /// a big party takes a while, and the main thread has phones to serve.
  std::shared_ptr<vinaro::SessionState> keep(vinaro::SessionState state) const;
  /// The state encoded once however often it is saved and sent; nothing when it cannot be
  /// encoded.
  const std::optional<EncodedParty>& encodedParty();
  /// The phones' views of the state now, cut from its one encoding.
  StateViews currentViews();
  /// Saves what is owed, then sends every phone not in `skipped` its view of the state (everyone,
  /// when a change is owed to the phones), once for each of its messages the state answers; then
  /// republishes the Bonjour status.
  void sendViews(std::set<ConnectionID> skipped);
  /// Dispatches as the host with broadcast; the outcome is the caller's.
  DispatchResult dispatchAsHost(const vinaro::SessionAction& action);
  void heosChanged();
  void cacheSong(const std::string& id, const Song& song);

  // Intake (session_store_intake.cpp)
  /// A hello read and not yet answered.
  struct Joining {
    ConnectionID connection;
    std::string deviceID;
    std::string name;
    std::string envelopeID;
    /// What the phone sent behind its hello, handled once it is welcomed: were the welcome made
    /// for it at once, each phone of a crowd that joins and taps would hold a version of its own.
    std::vector<vinaro::Envelope<vinaro::Command>> heldBack;
  };

  void hello(const vinaro::Command::Hello& hello, const std::string& envelopeID, ConnectionID connection);
  /// Whether the party is big enough that the hellos wait for each other; see `welcomeSharedFromBytes`.
  bool welcomesWaitForTheCrowd();
  /// Makes participants of the phones whose hellos were read since the last call, saves the party
  /// once with all of them and welcomes each; see `welcomeIntervalSeconds` for when.
  void welcomeJoining();
  /// The hello of `connection` that waits for its welcome, if any.
  Joining* joiningAt(ConnectionID connection);
  /// Makes `participant` the one at `connection`, in its role.
  void seat(ConnectionID connection, const vinaro::Participant& participant);
  /// Takes the partygoers who left since the last call out of the party in one change.
  void settleDepartures();

  // DJ PIN (session_store_pin.cpp)
  /// Compares the PIN at once or at the connection's turn, unless it is refused unread.
  void authenticateDJ(const std::string& pin, const std::string& envelopeID, ConnectionID connection);
  /// Answers the PINs in line whose turn has come, and waits for the next turn.
  void serveWaitingPINs();
  /// Refuses the attempt unread, as there is no turn for it soon enough.
  void refuseWhileGuessed(ConnectionID connection, const std::string& envelopeID);
  /// Compares the PIN now, for the connection's participant as it is now.
  void comparePIN(const std::string& pin, const std::string& envelopeID, ConnectionID connection);
  /// The refusal, logged, of an attempt from `source` while it is locked, or nothing.
  std::optional<vinaro::ProtocolError> pinLockRefusal(const std::string& source, ConnectionID connection) const;
  /// Where the connection's PIN attempts are counted: its network source.
  std::string pinSource(ConnectionID connection) const;
  void resignDJ(vinaro::Participant participant, const std::string& envelopeID, ConnectionID connection);
  /// Gives the connection's participant `role`, remembers it for the device and tells the phones.
  void changeRole(vinaro::Role role, vinaro::Participant participant, const std::string& envelopeID,
                  ConnectionID connection);
  void sendError(const vinaro::ProtocolError& error, ConnectionID connection, const std::string& envelopeID);
  void dispatchPartygoers();
  /// Sends the phones the new partygoers once the joins and departures that arrived together are
  /// all in (see `presenceIntervalSeconds`), leaving out phones whose welcome already holds the
  /// newest state.
  void schedulePresenceBroadcast();
  /// Sends the new partygoers to the phones that do not have them yet.
  void broadcastPresence();

  // Music commands of the phones (session_store_music.cpp)
  void routeMusicCommand(const vinaro::Command& command, const vinaro::Participant& participant,
                         const std::string& envelopeID, ConnectionID connection);
  QCoro::Task<> search(vinaro::Command::Search search, std::string envelopeID, ConnectionID connection);
  QCoro::Task<> listTracks(vinaro::PlaylistRef ref, std::string envelopeID, ConnectionID connection);
  QCoro::Task<> addTrack(std::string trackID, vinaro::Participant sender, std::string envelopeID,
                         ConnectionID connection);
  QCoro::Task<> listPlaylists(vinaro::PlaylistRef::Source source, std::string envelopeID, ConnectionID connection);
  QCoro::Task<> loadPlaylist(vinaro::Command::LoadPlaylist load, vinaro::Participant sender, std::string envelopeID,
                             ConnectionID connection);
  /// The participant of `connection` now, or `sender` once the connection has gone.
  vinaro::Participant actingParticipant(ConnectionID connection, const vinaro::Participant& sender) const;
  bool musicIsReady() const;
  /// A share of the host's search budget for `connection`; refuses the command when it has none.
  std::optional<SearchBudget::Ticket> takeSearch(ConnectionID connection, const std::string& envelopeID);
  /// Whether the phone that asked is still there to hear the answer.
  bool stillConnected(ConnectionID connection) const { return participants_.contains(connection); }

  // Player drive (session_store_player.cpp)
  void syncPlayer();
  QCoro::Task<> playerSyncTask(std::optional<std::string> currentID, std::optional<std::string> nextID,
                               vinaro::PlaybackStatus status);
  void handlePlayerEvent(const PlayerEngine::Event& event);
  /// Moves the party past the current song when it is `songID`, whose file cannot be read.
  void skipUnplayable(const std::string& songID, const std::string& reason);
  /// Playback was seen playing: the last player failure is over, and the record says so.
  void playbackSeenPlaying();

  // Timed work (session_store_timed.cpp)
  void startPruneLoop();
  /// Drops the badges of participants gone too long, or beyond the number kept.
  void pruneBadges();
  void showTransportNotice(std::string notice);
  /// Starts automatic play of the top request when one is due and none runs.
  void scheduleAutoPlay();
  QCoro::Task<> autoPlayAttempt(vinaro::SongRequest request);
  QCoro::Task<> autoPlay(vinaro::SongRequest request);
  void autoPlayAdded(const vinaro::SongRequest& request, const std::string& title);
  void autoPlaySkip(const vinaro::SongRequest& request, const std::string& logLine);
  /// Writes an automatic-play line to the engine log and the player's category.
  void logAutoPlay(const std::string& line);
  void syncDelayedOutputs();

  // The Bonjour status record (session_store_status_record.cpp)
  void publishTXT();

  // Sound remote control (session_store_audio.cpp)
  void handleAudio(const vinaro::AudioCommand& command, const std::string& envelopeID, ConnectionID from);
  void scheduleAudioPush();
  void defaultOutputChanged();
  void reconcileAudio();
  /// Starts playing a capture input on the host, once this turn of the event loop is done.
  void selectInputLater(std::string inputID);

  // Observable setters
  void setState(vinaro::SessionState state);
  void setLastHostError(std::optional<vinaro::ProtocolError> error);
  void setPlaybackError(std::optional<std::string> error);
  void setSaveProblem(std::optional<std::string> problem);
  void setTransportNotice(std::optional<std::string> notice);
  void setLastDefaultOutput(std::uint32_t id);
  void setHasPlayedSinceLaunch(bool played);

  MusicService& music_;
  PlayerEngine& player_;
  HostServer& server_;
  Scheduler& scheduler_;
  const DJPIN& djPIN_;
  std::optional<SessionArchive> archive_;
  std::unique_ptr<MultiRoomAudio> multiRoom_;
  std::unique_ptr<HEOSController> heos_;
  std::unique_ptr<AudioOutput> audio_;
  std::unique_ptr<AudioInputs> inputs_;

  std::shared_ptr<SerialQueue> releaser_ = std::make_shared<SerialQueue>(QStringLiteral("kovaliapp.session.release"));
  std::shared_ptr<vinaro::SessionState> state_;  // never null; changed in place while nobody else holds it
  qint64 stateBytes_ = 0;  // the last full view's
  bool saveOwed_ = false;  // a change is not in the saved session yet
  bool stateOwed_ = false;  // a change has not gone to the phones yet
  std::vector<ReplyTarget> answersOwed_;  // the messages the owed state answers
  bool serving_ = false;
  bool changedWhileServing_ = false;  // told once the serve has taken every change in
  bool serveQueued_ = false;  // a serve runs once this turn is done
  CancellableTask serveTask_;  // a later serve
  MonotonicTime nextGuestState_{};  // no state is made for guests' changes before this
  GuestChanges guestChanges_;
  std::optional<std::optional<EncodedParty>> encodedParty_;  // once encoded, until the state changes
  PartyEncoder encoder_;
  Participants participants_;
  PartygoerList partygoerList_;  // participants_ in the party's order
  std::map<ConnectionID, std::string> connectionDevices_;  // the device id each participant said hello with
  std::vector<Joining> joining_;  // in the order their hellos came
  BatchTimer welcomes_{*this, scheduler_,
                       {.quietSeconds = welcomeIntervalSeconds, .longestWaitSeconds = welcomeLongestWaitSeconds},
                       [this] { welcomeJoining(); }};
  bool departuresPending_ = false;
  ParticipantIDs participantIDs_;
  std::optional<vinaro::ProtocolError> lastHostError_;
  std::optional<std::string> playbackError_;
  std::optional<std::string> saveProblem_;
  std::optional<std::string> transportNotice_;
  std::uint32_t lastDefaultOutput_ = 0;
  DeviceIDs djDeviceIDs_;
  SongCache songCache_;
  RequestIDs autoPlaySkipped_;
  bool hasPlayedSinceLaunch_ = false;

  /// The rate that `connection` is held to for reads (searches, listings) or for changes.
  CommandRate& rateFor(ConnectionID connection, bool reads);

  PINAttemptLimiter pinAttempts_;
  /// A PIN in the limiter's line, which holds its place.
  struct WaitingPIN {
    std::string pin;
    std::string envelopeID;
  };
  std::map<ConnectionID, WaitingPIN> waitingPINs_;
  CancellableTask pinTurn_;  // wakes the line at its next turn
  std::map<ConnectionID, CommandRate> commandRates_;
  std::map<ConnectionID, CommandRate> readRates_;
  std::shared_ptr<SearchBudget> searchBudget_ = SearchBudget::make();
  BadgeRetention badgeRetention_;
  CancellableTask pruneTask_;
  CancellableTask transportNoticeTask_;
  CancellableTask audioPushTask_;
  bool autoPlayRunning_ = false;  // one attempt at a time
  BatchTimer presenceBroadcast_{*this, scheduler_,
                                {.quietSeconds = presenceIntervalSeconds,
                                 .longestWaitSeconds = presenceLongestWaitSeconds,
                                 .atOnceWhenQuiet = true},
                                [this] { broadcastPresence(); }};
  std::set<ConnectionID> presenceCurrent_;  // phones whose last message holds the newest state
  std::map<ConnectionID, vinaro::HostAudioState> audioPushed_;  // the sound each DJ phone was last pushed
};

}  // namespace kovali
