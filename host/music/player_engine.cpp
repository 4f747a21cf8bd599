#include "music/player_engine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include <QMetaObject>
#include <QPointer>

#include "platform/runtime/set_if_changed.h"
#include "protocol/string_enum.h"
#include "protocol/uuid.h"

namespace kovali {

using vinaro::PlaybackStatus;

namespace {

/// The shortest text that reads back as the same number, always with a fractional part.
std::string decimalText(double value) {
  std::array<char, 64> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
  std::string text(buffer.data(), end);
  if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string orNil(const std::optional<std::string>& text) { return text.value_or("nil"); }

std::string name(MusicPlayerStatus status) { return std::string(vinaro::rawValue(status)); }

}  // namespace

PlayerEngine::PlayerEngine(SystemMusicPlayer& player, Scheduler& scheduler, QObject* parent)
    : QObject(parent), player_(player), scheduler_(scheduler) {
  // Queued, so that a refresh never runs inside a player call and a pending one dies with us.
  connect(&player_, &SystemMusicPlayer::stateWillChange, this, &PlayerEngine::refresh, Qt::QueuedConnection);
  connect(&player_, &SystemMusicPlayer::queueWillChange, this, &PlayerEngine::refresh, Qt::QueuedConnection);
  refreshTimer_ = scheduler_.repeat(refreshIntervalSeconds, [this] { refresh(); });
}

PlayerEngine::~PlayerEngine() = default;

// ---- Settable fields and the log ----------------------------------------------------------------

void PlayerEngine::setStrategy(Strategy strategy) {
  if (setIfChanged(strategy_, strategy)) emit strategyChanged();
  log("strategy → " + std::string(vinaro::rawValue(strategy_)));
}

void PlayerEngine::setOutputLatency(double seconds) {
  if (!setIfChanged(outputLatency_, seconds)) return;
  emit outputLatencyChanged();
  log("output latency → " + decimalText(seconds) + "s");
}

void PlayerEngine::log(std::string text) {
  log_.push_back(LogLine{vinaro::makeUUIDString(), scheduler_.now(), std::move(text)});
  emit logChanged();
  if (log_.size() > logCapacity) {
    log_.erase(log_.begin(), log_.end() - static_cast<std::ptrdiff_t>(logCapacity));
    emit logChanged();
  }
}

void PlayerEngine::setStatus(PlaybackStatus status) {
  if (setIfChanged(status_, status)) emit statusChanged();
}

void PlayerEngine::setPlaybackTime(double seconds) {
  if (setIfChanged(playbackTime_, seconds)) emit playbackTimeChanged();
}

void PlayerEngine::setCurrentSongID(std::optional<std::string> id) {
  if (setIfChanged(currentSongID_, std::move(id))) emit currentSongIDChanged();
}

void PlayerEngine::setNextSongID(std::optional<std::string> id) {
  if (setIfChanged(nextSongID_, std::move(id))) emit nextSongIDChanged();
}

void PlayerEngine::setCurrentTitle(std::optional<std::string> title) {
  if (setIfChanged(currentTitle_, std::move(title))) emit currentTitleChanged();
}

void PlayerEngine::clearLoadedSongs() {
  currentEntryID_.reset();
  nextEntryID_.reset();
  lastSeenEntryID_.reset();
  setCurrentSongID(std::nullopt);
  setNextSongID(std::nullopt);
  setCurrentTitle(std::nullopt);
}

void PlayerEngine::report(const Event& event) {
  emit eventReported(event);
}

// ---- Texts ----------------------------------------------------------------------------------------

std::string PlayerEngine::describe(const MusicPlayerError& error) {
  std::string suffix = "(" + error.domain + " " + std::to_string(error.code);
  if (error.underlyingCode) suffix += ", " + std::to_string(*error.underlyingCode);
  suffix += ")";
  if (error.domain == "MPMusicPlayerControllerErrorDomain") {
    if (error.underlyingCode == 9) {
      return "The music player on this computer isn't responding. If no song plays, restart this computer. " + suffix;
    }
    if (error.code == 6) {
      return "The music player couldn't prepare the song. If no song plays, check that its file can be read. " +
             suffix;
    }
  }
  return error.localizedDescription + " " + suffix;
}

std::string PlayerEngine::timeText(double seconds) {
  if (!std::isfinite(seconds)) return "0:00";
  const double whole = std::trunc(seconds);
  const auto total = static_cast<long long>(
      std::clamp(whole, -static_cast<double>(std::numeric_limits<int>::max()),
                 static_cast<double>(std::numeric_limits<int>::max())));
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%lld:%02lld", total / 60, std::llabs(total % 60));
  return buffer.data();
}

PlaybackStatus PlayerEngine::sessionStatus(MusicPlayerStatus status) {
  switch (status) {
    case MusicPlayerStatus::playing:
    case MusicPlayerStatus::seekingForward:
    case MusicPlayerStatus::seekingBackward:
      return PlaybackStatus::playing;
    case MusicPlayerStatus::paused:
    case MusicPlayerStatus::interrupted:
      return PlaybackStatus::paused;
    case MusicPlayerStatus::stopped:
      break;
  }
  return PlaybackStatus::stopped;
}

// ---- Syncs --------------------------------------------------------------------------------------

void PlayerEngine::sync(std::optional<Song> current, std::optional<Song> next, PlaybackStatus status) {
  pendingSyncs_.push_back(SyncRequest{std::move(current), std::move(next), status});
  if (syncsRunning_) return;
  syncsRunning_ = true;
  // Later, never inside the caller: the caller may be reporting one of our own events.
  QMetaObject::invokeMethod(this, [this] { runSyncs(); }, Qt::QueuedConnection);
}

QCoro::Task<> PlayerEngine::runSyncs() {
  QPointer self(this);
  while (!pendingSyncs_.empty()) {
    auto request = std::move(pendingSyncs_.front());
    pendingSyncs_.pop_front();
    co_await performSync(std::move(request));
    if (!self) co_return;
  }
  syncsRunning_ = false;
}

QCoro::Task<> PlayerEngine::performSync(SyncRequest request) {
  QPointer self(this);
  mutating_ = true;
  desiredStatus_ = request.status;

  if (!request.current) {
    if (currentSongID_ || player_.currentEntry()) {
      player_.stop();
      player_.setQueue({});
      clearLoadedSongs();
      log("sync: nothing to play, stopped");
    }
  } else if (request.current->id == currentSongID_) {
    const auto nextID = request.next ? std::optional(request.next->id) : std::nullopt;
    if (strategy_ == Strategy::currentOnly) {
      if (nextEntryID_) co_await rebuildNext(std::nullopt);
    } else if (nextID != nextSongID_) {
      co_await rebuildNext(request.next);
    }
    if (!self) co_return;
    co_await applyStatus(request.status);
  } else if (request.current->id == failedSongID_ && request.status != PlaybackStatus::playing) {
    // A song that failed is tried again only when playback is asked for.
    log("sync: " + request.current->title + " failed; waiting for Play before trying again");
  } else {
    auto next = strategy_ == Strategy::currentAndNext ? request.next : std::nullopt;
    co_await load(*request.current, std::move(next), request.status == PlaybackStatus::playing);
    if (!self) co_return;
    co_await applyStatus(request.status);
  }
  if (!self) co_return;
  mutating_ = false;
}

QCoro::Task<> PlayerEngine::load(Song current, std::optional<Song> next, bool play) {
  QPointer self(this);
  std::vector<Song> songs{current};
  if (next) songs.push_back(*next);
  log("load: " + current.title + (next ? " → " + next->title : std::string()));
  currentStarted_ = false;
  player_.setQueue(songs);

  auto error = co_await player_.prepareToPlay();
  if (!self) co_return;
  if (!error && play) {
    error = co_await player_.play();
    if (!self) co_return;
  }
  if (error) {
    log("load failed: " + error->printed());
    failedSongID_ = current.id;
    clearLoadedSongs();
    report(Failed{describe(*error), error->isUnplayableFile() ? std::optional(current.id) : std::nullopt});
    co_return;
  }

  const auto entries = player_.entries();
  auto taken = player_.currentEntry();
  if (!taken && !entries.empty()) taken = entries.front();
  currentEntryID_ = taken ? std::optional(taken->id) : std::nullopt;
  nextEntryID_ = entries.size() >= 2 ? std::optional(entries[1].id) : std::nullopt;
  lastSeenEntryID_ = currentEntryID_;
  setCurrentSongID(current.id);
  setNextSongID(next ? std::optional(next->id) : std::nullopt);
  setCurrentTitle(current.title);
  log(std::string(play ? "playing " : "loaded ") + current.title + "; entries=" + std::to_string(entries.size()) +
      ", currentEntry=" + orNil(currentEntryID_));
  if (!play) co_return;
  armWatchdog(current.id, current.title);
  // The song may have started while it was loading, before it counted as current: the session
  // learns of that start now, so that it counts the song's time from where the player is. Not
  // when the session has asked for something else since: that news would be out of date.
  const auto wanted = pendingSyncs_.empty() ? desiredStatus_ : pendingSyncs_.back().status;
  if (statusUnreported_ && status_ == PlaybackStatus::playing && wanted == PlaybackStatus::playing) {
    statusUnreported_ = false;
    report(StatusChanged{status_});
  }
}

QCoro::Task<> PlayerEngine::rebuildNext(std::optional<Song> next) {
  QPointer self(this);
  const auto current = player_.currentEntry();
  const auto before = player_.entries();
  std::vector<std::string> others;
  for (const auto& entry : before) {
    if (!current || entry.id != current->id) others.push_back(entry.id);
  }
  player_.removeEntries(others);

  if (next) {
    const auto error = co_await player_.insertAtTail(*next);
    if (!self) co_return;
    if (error) {
      log("insert(.tail) failed: " + error->printed());
      nextEntryID_.reset();
      setNextSongID(std::nullopt);
      co_return;
    }
  }

  const auto after = player_.entries();
  nextEntryID_ = after.size() >= 2 ? std::optional(after.back().id) : std::nullopt;
  setNextSongID(next ? std::optional(next->id) : std::nullopt);
  log("rebuilt next → " + (next ? next->title : std::string("none")) + " (entries " + std::to_string(before.size()) +
      " → " + std::to_string(after.size()) + ", status " + name(player_.playbackStatus()) + ")");
}

QCoro::Task<> PlayerEngine::applyStatus(PlaybackStatus wanted) {
  QPointer self(this);
  const auto seen = player_.playbackStatus();
  switch (wanted) {
    case PlaybackStatus::playing: {
      if (seen != MusicPlayerStatus::paused && seen != MusicPlayerStatus::interrupted) break;
      const auto error = co_await player_.play();
      if (!self) co_return;
      if (error) {
        log("sync: play() failed: " + error->printed());
        report(Failed{describe(*error)});
        break;
      }
      log("sync: resumed");
      if (currentSongID_ && currentTitle_) armWatchdog(*currentSongID_, *currentTitle_);
      break;
    }
    case PlaybackStatus::paused:
      if (seen == MusicPlayerStatus::playing) {
        player_.pause();
        log("sync: paused");
      }
      break;
    case PlaybackStatus::stopped:
      break;  // a stopped session leaves the song that is already current alone
  }
}

void PlayerEngine::armWatchdog(std::string songID, std::string title) {
  watchdog_.start([this, self = QPointer(this), songID = std::move(songID),
                   title = std::move(title)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(watchdogSeconds, token);
    if (token.isCancelled() || !self) co_return;
    if (desiredStatus_ != PlaybackStatus::playing || currentSongID_ != songID) co_return;
    const auto seen = player_.playbackStatus();
    if (seen == MusicPlayerStatus::playing) co_return;
    log("watchdog: " + title + " still not playing after 15 s (" + name(seen) + ", at " +
        timeText(player_.playbackTime()) + ")");
    report(Failed{"The music player has not started playing “" + title + "”."});
  });
}

// ---- Observation --------------------------------------------------------------------------------

void PlayerEngine::refresh() {
  setPlaybackTime(player_.playbackTime());

  if (currentSongID_ && !currentStarted_ && player_.playbackStatus() == MusicPlayerStatus::playing &&
      playbackTime_ > 0.5) {
    currentStarted_ = true;
    failedSongID_.reset();
  }

  const auto entry = player_.currentEntry();
  const auto entryID = entry ? std::optional(entry->id) : std::nullopt;
  if (entryID != lastSeenEntryID_) currentEntryChanged(entry);

  const auto seen = player_.playbackStatus();
  if (seen == lastSeenStatus_) return;
  log("status " + name(lastSeenStatus_) + " → " + name(seen) + " at " + timeText(playbackTime_));
  const bool hadSong = currentSongID_.has_value();
  lastSeenStatus_ = seen;
  const auto mapped = sessionStatus(seen);
  if (mapped != status_) {
    setStatus(mapped);
    statusUnreported_ = !hadSong;
    if (hadSong) report(StatusChanged{mapped});
  }

  // At the end of its queue the player either stops or pauses back at the start.
  const bool ended = seen == MusicPlayerStatus::stopped ||
                     (seen == MusicPlayerStatus::paused && desiredStatus_ == PlaybackStatus::playing &&
                      !nextEntryID_ && playbackTime_ < 1.0);
  // An end seen while a sync changes the player is the sync's own doing.
  if (!ended || !hadSong || mutating_ || !currentSongID_) return;
  endCurrentSong(seen);
}

void PlayerEngine::endCurrentSong(MusicPlayerStatus seen) {
  const auto id = *currentSongID_;
  const auto title = currentTitle_.value_or(id);
  const bool started = currentStarted_;
  if (started) {
    log("queue exhausted after " + title + " (" + name(seen) + ")");
  } else {
    log(title + " stopped before it started (" + name(seen) + ")");
    failedSongID_ = id;
  }
  clearLoadedSongs();
  if (started) {
    report(TrackEnded{id});
  } else if (const auto error = player_.currentEntryError(); error && error->isUnplayableFile()) {
    log(title + " cannot be played: " + error->printed());
    report(Failed{describe(*error), id});
  } else {
    report(Failed{"The music player stopped “" + title +
                  "” before it started. If no song plays, check that the sound server plays on this computer, or "
                  "restart it."});
  }
}

void PlayerEngine::currentEntryChanged(const std::optional<MusicQueueEntry>& entry) {
  const auto previous = lastSeenEntryID_;
  lastSeenEntryID_ = entry ? std::optional(entry->id) : std::nullopt;
  const auto song = entry ? entry->songID : std::nullopt;
  log("currentEntry " + orNil(previous) + " → " + (entry ? entry->id : "nil") + " (" +
      (entry ? entry->title : "-") + ", song " + song.value_or("-") + ")");

  // Only a move away from the entry we count as current, onto another song, means anything.
  if (!previous || previous != currentEntryID_ || !currentSongID_ || !entry || !song || song == currentSongID_) {
    return;
  }
  if (song == nextSongID_ || entry->id == nextEntryID_) {
    const auto old = *currentSongID_;
    currentEntryID_ = entry->id;
    nextEntryID_.reset();
    setCurrentSongID(song);
    setNextSongID(std::nullopt);
    setCurrentTitle(entry->title);
    currentStarted_ = false;
    log("auto-advanced to " + entry->title);
    report(TrackEnded{old});
    return;
  }
  log("entry changed to an unexpected song " + *song + "; expected next=" + orNil(nextSongID_));
}

}  // namespace kovali
