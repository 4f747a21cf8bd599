#include <QMetaObject>
#include <QPointer>

#include "model/overloaded.h"
#include "platform/runtime/logging.h"
#include "session/store/session_store.h"

namespace kovali {

using vinaro::PlaybackStatus;

namespace {

std::optional<std::string> currentTrackID(const vinaro::SessionState& state) {
  if (!state.playback.current) return std::nullopt;
  return state.playback.current->track.id;
}

std::optional<std::string> nextTrackID(const vinaro::SessionState& state) {
  if (state.queue.empty()) return std::nullopt;
  return state.queue.front().track.id;
}

}  // namespace

void SessionStore::syncPlayer() {
  // Runs once the change that asked for it is done with; several may be on their way at once.
  QMetaObject::invokeMethod(
      this,
      [this, currentID = currentTrackID(*state_), nextID = nextTrackID(*state_), status = state_->playback.status] {
        (void)playerSyncTask(currentID, nextID, status);
      },
      Qt::QueuedConnection);
}

QCoro::Task<> SessionStore::playerSyncTask(std::optional<std::string> currentID, std::optional<std::string> nextID,
                                           PlaybackStatus status) {
  const QPointer<SessionStore> self(this);
  std::optional<Song> currentSong;
  if (currentID) {
    currentSong = co_await resolveSong(*currentID);
    if (!self) co_return;
  }
  std::optional<Song> nextSong;
  if (nextID) {
    nextSong = co_await resolveSong(*nextID);
    if (!self) co_return;
  }
  // A later change started a newer sync, which takes over. The status counts as well: lookups
  // may finish out of order, and an older sync must not start what the DJ has paused since.
  if (currentTrackID(*state_) != currentID || nextTrackID(*state_) != nextID || state_->playback.status != status) {
    co_return;
  }

  player_.sync(currentSong, nextSong, status);
  if (currentID && !currentSong && status == PlaybackStatus::playing) {
    const std::string title = state_->playback.current ? state_->playback.current->track.title : "the song";
    player_.log("could not resolve " + title + " (" + *currentID + ") from the music library");
    handlePlayerEvent(PlayerEngine::Failed{"Could not load \u201C" + title + "\u201D from the music library."});
  }
}

void SessionStore::handlePlayerEvent(const PlayerEngine::Event& event) {
  std::visit(vinaro::Overloaded{
                 [&](const PlayerEngine::TrackEnded& ended) {
                   const auto& current = state_->playback.current;
                   if (!current || current->track.id != ended.songID) return;  // a late report
                   performHostAction(vinaro::action::TrackEnded{});
                 },
                 [&](const PlayerEngine::Failed& failure) {
                   if (failure.unplayableSongID) {
                     skipUnplayable(*failure.unplayableSongID, failure.message);
                     return;
                   }
                   setPlaybackError(failure.message);
                   if (state_->playback.status != PlaybackStatus::playing) {
                     publishTXT();
                     return;
                   }
                   performHostAction(vinaro::action::PlaybackObserved{PlaybackStatus::paused, 0});
                 },
                 [&](const PlayerEngine::StatusChanged& changed) {
                   if (changed.status == PlaybackStatus::playing) playbackSeenPlaying();
                   if (!state_->playback.current) return;
                   // What is heard lags the player by the outputs' latency.
                   double elapsed = player_.playbackTime() - player_.outputLatency();
                   if (!(elapsed > 0)) elapsed = 0;  // negative, or not a number
                   performHostAction(vinaro::action::PlaybackObserved{changed.status, elapsed});
                 },
             },
             event);
}

void SessionStore::skipUnplayable(const std::string& songID, const std::string& reason) {
  const auto& current = state_->playback.current;
  if (!current || current->track.id != songID) return;  // a late report
  // A file that cannot be read will not play on a retry either: the party moves on.
  const auto title = current->track.title;
  player_.log("skipped " + title + ": " + reason);
  qCWarning(lcPlayer).noquote() << "skipped" << QString::fromStdString(title) << "-" << QString::fromStdString(reason);
  setPlaybackError("Skipped \u201C" + title + "\u201D: " + reason);
  performHostAction(vinaro::action::TrackEnded{});
}

void SessionStore::playbackSeenPlaying() {
  if (!playbackError_) return;
  setPlaybackError(std::nullopt);
  publishTXT();
}

}  // namespace kovali
