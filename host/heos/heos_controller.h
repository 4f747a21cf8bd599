#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include "heos/heos_socket.h"
#include "heos/ssdp_discovery.h"
#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/preferences.h"
#include "platform/runtime/scheduler.h"
#include "protocol/json_fields.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace kovali {

/// Where the controller looks for HEOS devices; tests give loopback ones and short scans.
struct HEOSNetwork {
  std::uint16_t port = HEOSSocket::defaultPort;
  SSDPTarget discovery{};
  double scanSeconds = 4;  // one SSDP scan
};

/// The host's HEOS speakers: the saved setup (which input plays on which zones at which
/// volume, and whether HEOS follows the party), the presets, and one device found on the
/// network (a configured address, the one last connected to, or SSDP) with its two
/// connections, kept alive and reconnected while HEOS follows the party.
class HEOSController : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::HEOSController::Status status READ status NOTIFY statusChanged)
  Q_PROPERTY(kovali::HEOSController::Configuration configuration READ configuration NOTIFY configurationChanged)
  Q_PROPERTY(kovali::HEOSController::Players players READ players NOTIFY playersChanged)
  Q_PROPERTY(kovali::HEOSController::Groups groups READ groups NOTIFY groupsChanged)
  Q_PROPERTY(kovali::HEOSController::PlayStates playStates READ playStates NOTIFY playStatesChanged)
  Q_PROPERTY(kovali::HEOSController::NowPlaying nowPlaying READ nowPlaying NOTIFY nowPlayingChanged)
  Q_PROPERTY(std::optional<std::int64_t> reportedVolume READ reportedVolume NOTIFY reportedVolumeChanged)
  Q_PROPERTY(kovali::HEOSController::ZoneVolumes zoneVolumes READ zoneVolumes NOTIFY zoneVolumesChanged)
  Q_PROPERTY(kovali::HEOSController::Inputs inputs READ inputs NOTIFY inputsChanged)
  Q_PROPERTY(bool isApplying READ isApplying NOTIFY isApplyingChanged)
  Q_PROPERTY(std::optional<std::string> lastError READ lastError NOTIFY lastErrorChanged)
  Q_PROPERTY(kovali::HEOSController::Presets presets READ presets NOTIFY presetsChanged)

 public:
  struct Status {
    enum class Kind { connected, failed, off, searching, connecting, notFound };

    Kind kind = Kind::off;
    std::string text;  // the device's host when connected, the sentence when failed; else empty

    static Status connected(std::string host) { return {Kind::connected, std::move(host)}; }
    static Status failed(std::string message) { return {Kind::failed, std::move(message)}; }
    static Status off() { return {Kind::off, {}}; }
    static Status searching() { return {Kind::searching, {}}; }
    static Status connecting() { return {Kind::connecting, {}}; }
    static Status notFound() { return {Kind::notFound, {}}; }

    bool operator==(const Status&) const = default;
  };

  /// The saved setup; every change is written to the preferences at once.
  struct Configuration {
    std::optional<std::string> host{};  // a device's address; none means found by discovery
    std::optional<std::int64_t> sourceID{};
    std::optional<std::string> inputMid{};
    std::optional<std::string> inputName{};
    std::optional<std::vector<std::int64_t>> zones{};  // player ids
    std::optional<std::int64_t> volume{};
    bool startWithParty = false;  // the zones follow the party

    static auto wireFields() {
      using vinaro::wire::field;
      using C = Configuration;
      return std::tuple{field("host", &C::host),           field("sourceID", &C::sourceID),
                        field("inputMid", &C::inputMid),   field("inputName", &C::inputName),
                        field("zones", &C::zones),         field("volume", &C::volume),
                        field("startWithParty", &C::startWithParty)};
    }
    bool operator==(const Configuration&) const = default;
  };

  struct Player {
    std::int64_t id = 0;  // the HEOS player id
    std::string name;
    std::string model{};
    std::optional<std::int64_t> groupID{};
    std::optional<std::string> address{};  // its IP address
    bool isMain = true;                     // a main unit, not a receiver's secondary zone

    bool operator==(const Player&) const = default;
  };

  struct Group {
    std::int64_t id = 0;  // the id of the player that leads it
    std::string name;
    std::vector<std::int64_t> players;  // in the device's order

    bool operator==(const Group&) const = default;
  };

  struct Input {
    std::int64_t sourceID = 0;
    std::string mid;  // the media id
    std::string name;

    /// The source id in decimal, "|", and the media id: "7|line1".
    std::string identifier() const { return std::to_string(sourceID) + "|" + mid; }
    bool operator==(const Input&) const = default;
  };

  /// A saved setup: one input on some zones, their volumes and the master volume.
  struct Preset {
    struct Zone {
      std::int64_t id = 0;
      std::string name;  // as it was when saved
      std::optional<std::int64_t> volume;

      static auto wireFields() {
        using vinaro::wire::field;
        return std::tuple{field("id", &Zone::id), field("name", &Zone::name), field("volume", &Zone::volume)};
      }
      bool operator==(const Zone&) const = default;
    };

    QUuid id;
    std::string name;
    std::int64_t sourceID = 0;
    std::string inputMid;
    std::string inputName;
    std::vector<Zone> zones;
    std::int64_t volume = 0;

    /// The id in its standard upper-case text form.
    std::string idText() const;

    // Every member is required; "id" must be a UUID.
    friend void writeJSON(vinaro::wire::Writer& writer, const Preset& preset);
    friend Preset readJSON(const vinaro::wire::Value& value, std::type_identity<Preset>);

    bool operator==(const Preset&) const = default;
  };

  using Players = std::vector<Player>;
  using Groups = std::vector<Group>;
  using PlayStates = std::map<std::int64_t, std::string>;  // player id -> "play", "pause", "stop"…
  using NowPlaying = std::map<std::int64_t, std::string>;  // player id -> media id
  using Inputs = std::vector<Input>;
  using Presets = std::vector<Preset>;
  using ZoneVolumes = std::map<std::int64_t, std::int64_t>;  // player id -> 0...100

  /// Loads the setup saved under `key` and the presets under `presetsKey` (either falls back to
  /// its default when missing or unreadable); status off, connected to nothing.
  HEOSController(Preferences& preferences, QString key, QString presetsKey, Scheduler& scheduler,
                 HEOSNetwork network = {}, QObject* parent = nullptr);

  const Status& status() const { return status_; }
  const Configuration& configuration() const { return configuration_; }
  const Players& players() const { return players_; }
  const Groups& groups() const { return groups_; }
  const PlayStates& playStates() const { return playStates_; }
  const NowPlaying& nowPlaying() const { return nowPlaying_; }
  /// The master volume the device last reported for the party's zones.
  const std::optional<std::int64_t>& reportedVolume() const { return reportedVolume_; }
  const ZoneVolumes& zoneVolumes() const { return zoneVolumes_; }
  const Inputs& inputs() const { return inputs_; }
  /// A play request is being applied.
  bool isApplying() const { return isApplying_; }
  const std::optional<std::string>& lastError() const { return lastError_; }
  const Presets& presets() const { return presets_; }

  /// The chosen input: the listed input the setup names, or one made from the setup; without a
  /// setup, the first listed input some player plays.
  std::optional<Input> currentInput() const;
  /// The zones the party plays on: the chosen ones that are listed, or, before any choice, the
  /// group or lone player that plays the current input.
  std::vector<std::int64_t> selectedZones() const;
  /// The zone leading the chosen zones: the head of the group holding most of them, else the first.
  std::optional<std::int64_t> leaderID() const;
  /// The master volume to show and to send with a play.
  std::int64_t volume() const;
  /// Whether the chosen zones play the party's input now.
  virtual bool isPlayingParty() const;
  /// One line about what the zones play.
  std::string stateText() const;
  /// A second status line.
  std::optional<std::string> detailText() const;
  /// Two lines describing a preset: what plays where, then the volumes.
  std::string summary(const Preset& preset) const;
  /// A zone's display name: the listed player's name, else its id.
  std::string zoneName(std::int64_t id) const;

  /// Whether the party plays, kept by the session store after every accepted change.
  bool partyIsPlaying = false;

  /// Drops any connection attempt, pending reconnect and connection, and starts a new attempt.
  virtual void search();
  /// Sets the device's address (trimmed; blank means found by discovery) and searches again.
  void setHost(const std::string& host);
  /// The party went from not playing to playing: start it on the zones when HEOS follows it.
  virtual void partyDidStart();
  /// Switched on: connects, or plays when connected. Switched off: stops the party's zone, then
  /// disconnects unless switched on again meanwhile.
  virtual void setStartWithParty(bool on);
  /// Chooses the input "<source id>|<media id>" among the listed inputs.
  virtual void selectInput(const std::string& id);
  virtual void setZone(std::int64_t id, bool included);
  /// Records a zone's volume (clamped to 0...100) and sends it after a short pause.
  virtual void setZoneVolume(std::int64_t id, std::int64_t level);
  /// Records the master volume (clamped to 0...100); sent after a short pause when the party
  /// plays on the zones.
  virtual void setVolume(std::int64_t level);
  /// Plays the party's input on the chosen zones in a later turn of the event loop; a request
  /// made while one is applied runs once after it.
  virtual void requestPlay();
  /// Stops the leading player; a failure goes to `lastError` and the log.
  virtual QCoro::Task<> stop(std::int64_t leader);
  /// Saves the current input, zones and volumes under `name`, replacing a preset of that name.
  virtual void savePreset(const std::string& name);
  /// Makes the preset the setup and plays it where the party plays on HEOS.
  virtual void applyPreset(const Preset& preset);
  virtual void deletePreset(const QUuid& id);

 signals:
  /// Each log line.
  void logged(const std::string& line);
  /// Any HEOS change the phones are shown.
  void changed();
  void statusChanged();
  void configurationChanged();
  void playersChanged();
  void groupsChanged();
  void playStatesChanged();
  void nowPlayingChanged();
  void reportedVolumeChanged();
  void zoneVolumesChanged();
  void inputsChanged();
  void isApplyingChanged();
  void lastErrorChanged();
  void presetsChanged();

 protected:
  void setStatus(Status status);
  /// Writes the setup to the preferences when it changed.
  void setConfiguration(Configuration configuration);
  void setPlayers(Players players);
  void setGroups(Groups groups);
  void setPlayStates(PlayStates states);
  void setNowPlaying(NowPlaying nowPlaying);
  void setReportedVolume(std::optional<std::int64_t> volume);
  void setZoneVolumes(ZoneVolumes volumes);
  void setInputs(Inputs inputs);
  void setIsApplying(bool applying);
  void setLastError(std::optional<std::string> error);
  void setPresets(Presets presets);
  void notifyChange();
  void log(const std::string& line);
  /// Records a failed operation: `lastError` and the log line "<action> failed: <description>".
  void report(const std::string& description, const std::string& action);

  /// Takes the connections of a successful connect: one for commands, one that hears change events.
  void attach(HEOSSocketHandle commands, HEOSSocketHandle events);
  /// Sends one command on the command connection with its time limit; throws `HEOSError`.
  QCoro::Task<HEOSResponse> command(std::string name, HEOSParameters parameters = {});

  // Queries of the device; each updates the state it reads.
  /// Players (sorted by name), then groups; throws the first failure.
  QCoro::Task<> refreshPlayersAndGroups();
  /// One player's play state, what it plays and its volume; failures leave values as they were.
  QCoro::Task<> refreshPlayer(std::int64_t pid);
  QCoro::Task<> refreshZoneVolume(std::int64_t pid);
  /// Re-reads the volumes of a group's members 0.4 s later; a newer call replaces a pending one.
  void refreshMemberVolumes(std::int64_t groupID);
  /// The master volume of the leading zone or its group.
  QCoro::Task<> refreshVolume();
  QCoro::Task<> refreshNowPlaying(std::int64_t pid);
  /// The inputs of every device with inputs, else of every zone (one per kind of input); once
  /// `token` is cancelled it changes and logs nothing more.
  QCoro::Task<> loadInputs(CancellationToken token = {});
  /// Records a zone volume the device reported, unless it echoes the host's own change.
  void recordZoneVolume(std::int64_t pid, std::int64_t level);
  /// Follows one change event of the device.
  void handleEvent(const HEOSResponse& event);

  /// Sends the master volume to the leader or its group; throws `HEOSError`.
  QCoro::Task<> sendVolume(std::int64_t level, std::int64_t leader, bool grouped);
  /// Sends zone volumes in ascending player order, stopping at the first failure (thrown).
  QCoro::Task<> sendZoneVolumes(ZoneVolumes volumes);

 private:
  /// What one tried address came to: connected, or the main unit to try first instead.
  struct CandidateOutcome {
    bool connected = false;
    std::optional<std::string> mainUnit{};
  };
  /// The sockets one connect attempt opened, which only it closes once it has been superseded.
  struct OwnSockets {
    QPointer<HEOSSocket> commands;
    QPointer<HEOSSocket> events;
    CandidateOutcome closed();
  };

  // Connecting. A superseded attempt (its token cancelled) touches no shared state after an await.
  QCoro::Task<> connectToDevice(CancellationToken token);
  std::optional<std::string> configuredHost() const;
  std::vector<std::string> startCandidates();
  void addDiscovered(std::vector<std::string>& candidates, const std::vector<std::string>& found);
  bool beginTrying(const std::vector<std::string>& candidates);
  QCoro::Task<CandidateOutcome> tryCandidate(std::string host, bool redirected, CancellationToken token);
  QCoro::Task<> openCommands(std::string host, CancellationToken token, OwnSockets& own);
  QCoro::Task<> openEvents(std::string host, CancellationToken token, OwnSockets& own);
  HEOSSocketHandle makeSocket(const std::string& host);
  /// Inputs, each player's state and the master volume, once the players are known.
  QCoro::Task<> refreshDetails(CancellationToken token);
  /// The main unit's address when `host` is only a receiver's secondary zone.
  std::optional<std::string> mainPlayerAddress(const std::string& host) const;
  void connectionMade(const std::string& host);
  void noCandidateAnswered(const std::vector<std::string>& initial);
  void connectionLost(const std::string& reason);
  /// 5, 10, 20, 40, then 60 seconds.
  static double reconnectDelay(int attempt);
  void scheduleReconnect();
  QCoro::Task<> reconnectLater(double delay, CancellationToken token);
  void startHeartbeat();
  QCoro::Task<> beat(CancellationToken token);
  QCoro::Task<> switchOff(std::optional<std::int64_t> zone);
  /// The host stopped `zone`: it is shown stopped before the device says so, or when it never can.
  void markStopped(std::int64_t zone);
  /// Stops the heartbeat and the pending volume sends and closes both connections.
  void closeConnections();
  /// Plays when HEOS follows the party, is connected, the party plays (or `force`) and an input
  /// and zones are chosen.
  void playIfReady(bool force);
  /// One play: group the zones, play the input on the leader, send the volumes, keep the choice.
  QCoro::Task<> applyPlay();
  QCoro::Task<> sendPlay(Input input, std::vector<std::int64_t> zones, std::int64_t leader, std::int64_t level);
  QCoro::Task<> recordPlay(Input input, std::vector<std::int64_t> zones, std::int64_t leader, std::int64_t level);
  /// Makes `zones` one group led by `leader` (or the leader a lone player); throws `HEOSError`.
  QCoro::Task<> group(std::vector<std::int64_t> zones, std::int64_t leader);
  /// Copies the input the zones play into the setup when none is chosen yet.
  void adoptCurrentInput();
  QCoro::Task<> sendPresetVolumes(ZoneVolumes volumes);
  void savePresets();
  QCoro::Task<Inputs> listInputs(std::vector<std::int64_t> sourceIDs, CancellationToken token);
  /// What makes an input the same kind across zones: the source player's model and the media id.
  std::string inputKey(const Input& input) const;
  QCoro::Task<> refreshTopology();
  QCoro::Task<> refreshInputsAndNotify();
  QCoro::Task<> refreshNowPlayingAndNotify(std::int64_t pid);
  QCoro::Task<> refreshMemberVolumesLater(std::int64_t groupID, CancellationToken token);
  std::string presetLogText(const Preset& preset) const;
  /// "A", "A and B", "A, B and C".
  static std::string joinedList(const std::vector<std::string>& items);

  // What every command says while there is no command connection.
  static constexpr const char* notConnected = "Not connected to HEOS.";

  Preferences& preferences_;
  QString key_;
  QString presetsKey_;
  Scheduler& scheduler_;
  HEOSNetwork network_;

  Status status_;
  Configuration configuration_;
  Players players_;
  Groups groups_;
  PlayStates playStates_;
  NowPlaying nowPlaying_;
  std::optional<std::int64_t> reportedVolume_;
  ZoneVolumes zoneVolumes_;
  Inputs inputs_;
  bool isApplying_ = false;
  std::optional<std::string> lastError_;
  Presets presets_;

  CancellableTask connectTask_;  // the connect attempt or the wait before a reconnect
  CancellableTask heartbeat_;
  int reconnectAttempts_ = 0;  // since the last success or search
  std::optional<std::string> discoveredHost_;  // the last device connected to without a configured address
  bool replayPending_ = false;
  ZoneVolumes pendingZoneVolumes_;  // a preset's zone volumes, sent with the next play
  HEOSSocketHandle commands_;
  HEOSSocketHandle events_;
  CancellableTask volumeTask_;
  std::map<std::int64_t, CancellableTask> zoneVolumeTasks_;
  CancellableTask memberVolumeTask_;
  std::map<std::int64_t, MonotonicTime> zoneEditedAt_;  // when the host last changed each zone's volume
};

}  // namespace kovali
