#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "model/date.h"
#include "model/playback_state.h"
#include "platform/library/music_items.h"
#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/scheduler.h"
#include "platform/sound/player/system_music_player.h"

namespace kovali {

/// Keeps the system music player on the session's current and next song, watches what the
/// player does by itself, and reports starts, ends and failures through `eventReported`. Keeps the
/// engine log that the engine-log window shows. One engine lives for the whole process; main
/// thread only.
class PlayerEngine final : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::PlayerEngine::Strategy strategy READ strategy WRITE setStrategy NOTIFY strategyChanged)
  Q_PROPERTY(vinaro::PlaybackStatus status READ status NOTIFY statusChanged)
  Q_PROPERTY(double playbackTime READ playbackTime NOTIFY playbackTimeChanged)
  Q_PROPERTY(double outputLatency READ outputLatency WRITE setOutputLatency NOTIFY outputLatencyChanged)
  Q_PROPERTY(std::optional<std::string> currentSongID READ currentSongID NOTIFY currentSongIDChanged)
  Q_PROPERTY(std::optional<std::string> nextSongID READ nextSongID NOTIFY nextSongIDChanged)
  Q_PROPERTY(std::optional<std::string> currentTitle READ currentTitle NOTIFY currentTitleChanged)
  Q_PROPERTY(std::vector<kovali::PlayerEngine::LogLine> log READ log NOTIFY logChanged)

 public:
  /// What a load puts into the player's queue.
  enum class Strategy { currentAndNext, currentOnly };
  Q_ENUM(Strategy)

  struct LogLine {
    std::string id;  // a fresh UUID per line
    vinaro::Date date;
    std::string text;

    bool operator==(const LogLine&) const = default;
  };

  /// The loaded current song finished: the player moved on to the queued next song, or ran out
  /// of queue after the song had started.
  struct TrackEnded {
    std::string songID;
    bool operator==(const TrackEnded&) const = default;
  };
  /// The player's status, in the session's terms, changed while a song was loaded.
  struct StatusChanged {
    vinaro::PlaybackStatus status = vinaro::PlaybackStatus::stopped;
    bool operator==(const StatusChanged&) const = default;
  };
  /// A song could not be played; `message` is a sentence for people.
  struct Failed {
    std::string message;
    /// The song whose file cannot be read, so that a retry cannot play it either.
    std::optional<std::string> unplayableSongID = std::nullopt;
    bool operator==(const Failed&) const = default;
  };
  using Event = std::variant<TrackEnded, StatusChanged, Failed>;

  static constexpr std::size_t logCapacity = 300;
  static constexpr double watchdogSeconds = 15;
  static constexpr double refreshIntervalSeconds = 1;

  /// Starts watching `player` (its notices and a tick every second on `scheduler`); both must
  /// outlive the engine.
  PlayerEngine(SystemMusicPlayer& player, Scheduler& scheduler, QObject* parent = nullptr);
  ~PlayerEngine() override;

  /// Brings the player in line with the session: `current` loaded in `status`, with `next` queued
  /// behind it under `currentAndNext`; stopped and emptied without a current song. Returns at
  /// once; the syncs run later, one after another in call order, and none is dropped.
  void sync(std::optional<Song> current, std::optional<Song> next, vinaro::PlaybackStatus status);

  /// Appends a line to the engine log, dropping the oldest beyond 300.
  void log(std::string text);

  Strategy strategy() const { return strategy_; }
  /// Writes the "strategy → " line on every assignment, changed or not.
  void setStrategy(Strategy strategy);
  vinaro::PlaybackStatus status() const { return status_; }
  double playbackTime() const { return playbackTime_; }
  double outputLatency() const { return outputLatency_; }
  void setOutputLatency(double seconds);
  const std::optional<std::string>& currentSongID() const { return currentSongID_; }
  const std::optional<std::string>& nextSongID() const { return nextSongID_; }
  const std::optional<std::string>& currentTitle() const { return currentTitle_; }
  const std::vector<LogLine>& log() const { return log_; }

  /// A song that failed to load or stopped before it started; loaded again only for playing.
  const std::optional<std::string>& failedSongID() const { return failedSongID_; }
  /// Whether the current song has been seen playing past 0.5 s.
  bool currentStarted() const { return currentStarted_; }
  /// Whether a sync is changing the player right now.
  bool isMutating() const { return mutating_; }

  /// The sentence for people that a `Failed` event carries for a player error.
  static std::string describe(const MusicPlayerError& error);
  /// Seconds as m:ss, truncated toward zero; minutes do not wrap (3600 s is 60:00).
  static std::string timeText(double seconds);
  /// The player's status in the session's terms.
  static vinaro::PlaybackStatus sessionStatus(MusicPlayerStatus status);

 signals:
  /// A song started, ended or failed, or the player's status changed.
  void eventReported(const kovali::PlayerEngine::Event& event);
  void strategyChanged();
  void statusChanged();
  void playbackTimeChanged();
  void outputLatencyChanged();
  void currentSongIDChanged();
  void nextSongIDChanged();
  void currentTitleChanged();
  void logChanged();

 private:
  struct SyncRequest {
    std::optional<Song> current;
    std::optional<Song> next;
    vinaro::PlaybackStatus status;
  };

  QCoro::Task<> runSyncs();
  QCoro::Task<> performSync(SyncRequest request);
  QCoro::Task<> load(Song current, std::optional<Song> next, bool play);
  QCoro::Task<> rebuildNext(std::optional<Song> next);
  QCoro::Task<> applyStatus(vinaro::PlaybackStatus wanted);
  void armWatchdog(std::string songID, std::string title);

  void refresh();
  void currentEntryChanged(const std::optional<MusicQueueEntry>& entry);
  void endCurrentSong(MusicPlayerStatus seen);

  void report(const Event& event);
  /// Forgets the loaded songs and their queue entries (not `failedSongID`).
  void clearLoadedSongs();

  void setStatus(vinaro::PlaybackStatus status);
  void setPlaybackTime(double seconds);
  void setCurrentSongID(std::optional<std::string> id);
  void setNextSongID(std::optional<std::string> id);
  void setCurrentTitle(std::optional<std::string> title);

  SystemMusicPlayer& player_;
  Scheduler& scheduler_;

  Strategy strategy_ = Strategy::currentAndNext;
  vinaro::PlaybackStatus status_ = vinaro::PlaybackStatus::stopped;
  double playbackTime_ = 0;
  double outputLatency_ = 0;
  std::optional<std::string> currentSongID_;
  std::optional<std::string> nextSongID_;
  std::optional<std::string> currentTitle_;
  std::vector<LogLine> log_;

  RepeatingTimer refreshTimer_;
  std::deque<SyncRequest> pendingSyncs_;  // requested, not yet begun
  bool syncsRunning_ = false;
  CancellableTask watchdog_;
  bool mutating_ = false;
  vinaro::PlaybackStatus desiredStatus_ = vinaro::PlaybackStatus::stopped;
  bool currentStarted_ = false;
  std::optional<std::string> failedSongID_;
  std::optional<std::string> currentEntryID_;
  std::optional<std::string> nextEntryID_;
  std::optional<std::string> lastSeenEntryID_;
  MusicPlayerStatus lastSeenStatus_ = MusicPlayerStatus::stopped;
  bool statusUnreported_ = false;  // the status changed while no song was current
};

}  // namespace kovali

template <>
struct vinaro::EnumNames<kovali::PlayerEngine::Strategy> {
  static constexpr std::string_view typeName = "PlayerEngine.Strategy";
  static constexpr std::array<std::string_view, 2> rawValues = {"Current + next", "Current only"};
};
