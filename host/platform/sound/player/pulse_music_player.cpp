#include "platform/sound/player/pulse_music_player.h"

#include <algorithm>
#include <cmath>

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <qcoro/qcorofuture.h>

namespace kovali {

PulseMusicPlayer::PulseMusicPlayer(QObject* parent) : SystemMusicPlayer(parent) {
  PulsePlaybackStream::Handler handler;
  handler.fill = [this](float* out, std::size_t frames, std::int64_t position) { return fill(out, frames, position); };
  handler.tick = [this] { tick(); };
  handler.drained = [this] { feed_.drained = true; };
  handler.failed = [this](const std::string& reason) {
    QMetaObject::invokeMethod(this, [this, reason] { streamFailed(reason); }, Qt::QueuedConnection);
  };
  handler.corkRequested = [this] {
    QMetaObject::invokeMethod(this, [this] { corkRequested(); }, Qt::QueuedConnection);
  };
  stream_ = std::make_unique<PulsePlaybackStream>(applicationName, streamName, std::move(handler));
  opener_ = std::make_unique<SerialQueue>("kovaliapp.player");
}

PulseMusicPlayer::~PulseMusicPlayer() {
  opener_.reset();  // finishes an opening in progress, which still uses the stream
  stream_.reset();  // ends the stream's thread before the feed goes
  const auto gone = error(soundServerUnavailable, "The player was closed.");
  finishWaiting(preparing_, gone);
  finishWaiting(starting_, gone);
}

MusicPlayerError PulseMusicPlayer::error(ErrorCode code, std::string description) {
  return MusicPlayerError{errorDomain, code, std::nullopt, std::move(description)};
}

void PulseMusicPlayer::finishWaiting(std::vector<QPromise<MusicPlayerOutcome>>& waiting,
                                     const MusicPlayerOutcome& outcome) {
  auto finishing = std::exchange(waiting, {});
  for (auto& promise : finishing) {
    promise.addResult(outcome);
    promise.finish();
  }
}

void PulseMusicPlayer::setStatus(MusicPlayerStatus status) {
  if (status == status_) return;
  emit stateWillChange();
  status_ = status;
}

// ---- Queue --------------------------------------------------------------------------------------------

void PulseMusicPlayer::setQueue(const std::vector<Song>& songs) {
  emit queueWillChange();
  emit stateWillChange();
  const bool starting = startPending_;
  queue_.clear();
  for (const auto& song : songs) {
    queue_.push_back(Item{MusicQueueEntry{std::to_string(++nextEntryNumber_), song.title, song.id}, song.fileURL});
  }
  current_ = queue_.empty() ? std::nullopt : std::optional<std::size_t>(0);
  time_ = 0;
  currentEntryError_.reset();
  silence();
  updateFeedQueue();
  if (!current_) {
    status_ = MusicPlayerStatus::stopped;
  } else if (status_ == MusicPlayerStatus::playing || starting) {
    startPending_ = starting;
    startOpening();  // plays on with the new first entry once its file is open
  }
}

std::vector<MusicQueueEntry> PulseMusicPlayer::entries() const {
  std::vector<MusicQueueEntry> result;
  for (const auto& item : queue_) result.push_back(item.entry);
  return result;
}

std::optional<MusicQueueEntry> PulseMusicPlayer::currentEntry() const {
  if (!current_) return std::nullopt;
  return queue_[*current_].entry;
}

void PulseMusicPlayer::removeEntries(const std::vector<std::string>& ids) {
  if (ids.empty()) return;
  emit queueWillChange();
  const auto currentID = current_ ? std::optional(queue_[*current_].entry.id) : std::nullopt;
  std::erase_if(queue_, [&](const Item& item) { return std::ranges::find(ids, item.entry.id) != ids.end(); });
  if (currentID && holds(queue_, *currentID)) {
    current_ = static_cast<std::size_t>(
        std::ranges::find_if(queue_, [&](const Item& item) { return item.entry.id == *currentID; }) - queue_.begin());
  } else if (currentID) {
    emit stateWillChange();
    current_.reset();
    time_ = 0;
    status_ = MusicPlayerStatus::stopped;
    silence();
  }
  updateFeedQueue();
}

QCoro::Task<MusicPlayerOutcome> PulseMusicPlayer::insertAtTail(Song song) {
  emit queueWillChange();
  queue_.push_back(Item{MusicQueueEntry{std::to_string(++nextEntryNumber_), song.title, song.id}, song.fileURL});
  updateFeedQueue();
  co_return std::nullopt;
}

// ---- Playback -----------------------------------------------------------------------------------------

QCoro::Task<MusicPlayerOutcome> PulseMusicPlayer::prepareToPlay() {
  if (!current_) co_return error(nothingToPlay, "There is nothing to play.");
  if (prepared_) co_return std::nullopt;
  co_return co_await prepared();
}

QFuture<MusicPlayerOutcome> PulseMusicPlayer::prepared() {
  auto& promise = preparing_.emplace_back();
  promise.start();
  auto future = promise.future();
  startOpening();
  return future;
}

void PulseMusicPlayer::startOpening() {
  if (opening_ || !current_) return;
  opening_ = true;
  const auto& item = queue_[*current_];
  const double from = resumePoint_ && resumePoint_->entryID == item.entry.id ? resumePoint_->seconds : 0;
  opener_->async(
      [stream = stream_.get(), item, generation = generation_, from] {
        if (auto failure = stream->connect()) {
          return Opened{generation, item.entry.id, nullptr, error(soundServerUnavailable, *failure), 0};
        }
        return openFile(item, generation, from);
      },
      this, [this](Opened result) { opened(std::move(result)); });
}

PulseMusicPlayer::Opened PulseMusicPlayer::openFile(const Item& item, std::uint64_t generation, double from) {
  Opened result{generation, item.entry.id, nullptr, std::nullopt, 0};
  auto decoder = AudioFileDecoder::open(item.location, PulsePlaybackStream::sampleRate);
  if (!decoder) {
    result.error = error(unplayableFile, decoder.error());
    return result;
  }
  result.decoder = std::move(decoder).value();
  if (from > 0 && result.decoder->seek(from)) result.from = from;
  return result;
}

void PulseMusicPlayer::opened(Opened result) {
  opening_ = false;
  if (result.generation != generation_ || !current_ || queue_[*current_].entry.id != result.entryID) {
    // The queue changed while the file was opening: open what is current now, if still wanted.
    if (current_ && (!preparing_.empty() || status_ == MusicPlayerStatus::playing)) {
      startOpening();
    } else {
      finishWaiting(preparing_, error(nothingToPlay, "There is nothing to play."));
    }
    return;
  }
  if (result.error) {
    // Without a sound server the entry stays where it was, to go on once the server is back.
    if (result.error->code != soundServerUnavailable) setStatus(MusicPlayerStatus::stopped);
    finishWaiting(preparing_, result.error);
    return;
  }
  stream_->locked([&] {
    feed_.generation = generation_;
    feed_.decoder = std::move(result.decoder);
    feed_.decodingEntry = result.entryID;
    feed_.decodingSince = stream_->framesWritten();
    feed_.ahead.reset();
    feed_.timeline.clear();
    feed_.timeline.begin(result.entryID, stream_->framesWritten(),
                         std::llround(result.from * PulsePlaybackStream::sampleRate));
    stream_->pump();  // fills the server's buffer while the stream is still held
  });
  if (time_ != result.from) {
    emit stateWillChange();
    time_ = result.from;  // where the song really goes on
  }
  resumePoint_.reset();
  prepared_ = true;
  if (status_ == MusicPlayerStatus::stopped) {
    setStatus(MusicPlayerStatus::paused);
  } else if (status_ == MusicPlayerStatus::playing || startPending_) {
    run();
  }
  finishWaiting(preparing_, std::nullopt);
  openAhead();
}

QCoro::Task<MusicPlayerOutcome> PulseMusicPlayer::play() {
  QPointer self(this);
  if (!current_) co_return error(nothingToPlay, "There is nothing to play.");
  if (!prepared_) {
    auto failure = co_await prepared();
    if (failure || !self) co_return failure;
  }
  if (status_ == MusicPlayerStatus::playing && feed_.running) co_return std::nullopt;
  auto& promise = starting_.emplace_back();
  promise.start();
  auto future = promise.future();
  if (!startPending_ || !feed_.running) run();
  co_return co_await future;
}

void PulseMusicPlayer::run() {
  const auto generation = generation_;
  stream_->locked([&] {
    feed_.running = true;
    stream_->setCorked(false, [this, generation](bool ok) {
      QMetaObject::invokeMethod(this, [this, generation, ok] { started(generation, ok); }, Qt::QueuedConnection);
    });
    stream_->pump();
  });
}

void PulseMusicPlayer::started(std::uint64_t generation, bool ok) {
  if (!ok) return finishWaiting(starting_, error(streamRefused, "The sound server did not start the music."));
  if (generation != generation_ || !feed_.running || status_ == MusicPlayerStatus::playing) {
    return finishWaiting(starting_, std::nullopt);
  }
  // The player plays once the server's clock says the sound is heard (`progressed`), so that
  // whoever counts the song's time counts from there.
  startPending_ = true;
  QTimer::singleShot(startLimitMilliseconds, this, [this] {
    if (startPending_) finishWaiting(starting_, std::nullopt);  // the caller's watchdog takes over
  });
}

void PulseMusicPlayer::pause() {
  if (status_ == MusicPlayerStatus::stopped) return;
  startPending_ = false;
  setStatus(MusicPlayerStatus::paused);
  stream_->locked([&] {
    if (const auto played = stream_->playedFrames(); played && feed_.running) {
      if (const auto position = feed_.timeline.at(*played)) {
        time_ = static_cast<double>(position->frames) / PulsePlaybackStream::sampleRate;
      }
    }
    feed_.running = false;
    stream_->setCorked(true);
  });
  finishWaiting(starting_, std::nullopt);
}

void PulseMusicPlayer::stop() {
  emit stateWillChange();
  status_ = MusicPlayerStatus::stopped;
  time_ = 0;
  resumePoint_.reset();
  silence();
}

void PulseMusicPlayer::silence() {
  ++generation_;
  prepared_ = false;
  startPending_ = false;
  finishWaiting(starting_, std::nullopt);
  stream_->locked([&] {
    feed_.generation = generation_;
    feed_.decoder.reset();
    feed_.decodingEntry.reset();
    feed_.ahead.reset();
    feed_.unplayableEntry.reset();
    feed_.unplayableError.reset();
    feed_.timeline.clear();
    feed_.tapReach.reset();
    feed_.running = false;
    stream_->setCorked(true);
    stream_->flush();
  });
}

// ---- News from the stream's thread ----------------------------------------------------------------------

void PulseMusicPlayer::progressed(const Progress& progress) {
  if (progress.generation != generation_) return;
  const bool moved = !progress.entryID || !current_ || queue_[*current_].entry.id != *progress.entryID ||
                     progress.seconds > time_;
  if (startPending_ && moved) {
    startPending_ = false;
    setStatus(MusicPlayerStatus::playing);
    finishWaiting(starting_, std::nullopt);
  }
  if (status_ != MusicPlayerStatus::playing) return;
  if (!progress.entryID) {
    // Played out: pause back at the start, with no current entry.
    emit queueWillChange();
    emit stateWillChange();
    current_.reset();
    time_ = 0;
    status_ = MusicPlayerStatus::paused;
    silence();
    return;
  }
  const auto heard = std::ranges::find_if(queue_, [&](const Item& item) { return item.entry.id == progress.entryID; });
  if (heard == queue_.end()) return;  // the tail of an entry taken out of the queue
  const auto index = static_cast<std::size_t>(heard - queue_.begin());
  if (progress.failure) return reachedUnplayable(index, *progress.failure);
  if (index != current_) {
    emit queueWillChange();
    emit stateWillChange();
    current_ = index;
    currentEntryError_.reset();
  }
  time_ = progress.seconds;
}

void PulseMusicPlayer::reachedUnplayable(std::size_t index, MusicPlayerError error) {
  emit queueWillChange();
  emit stateWillChange();
  current_ = index;
  currentEntryError_ = std::move(error);
  time_ = 0;
  status_ = MusicPlayerStatus::stopped;
  silence();
}

void PulseMusicPlayer::streamFailed(const std::string& reason) {
  emit stateWillChange();
  if (status_ == MusicPlayerStatus::playing || startPending_) status_ = MusicPlayerStatus::interrupted;
  if (current_) resumePoint_ = ResumePoint{queue_[*current_].entry.id, time_};
  resumeAfterTap();
  finishWaiting(starting_, error(soundServerUnavailable, "The sound server stopped the music (" + reason + ")."));
  silence();  // the next play connects anew and goes on from the resume point
}

void PulseMusicPlayer::resumeAfterTap() {
  std::optional<TrackTimeline::Position> reach;
  stream_->locked([&] {
    if (tap_) reach = feed_.tapReach;
  });
  if (!reach || !current_) return;
  const auto entry = std::ranges::find_if(queue_, [&](const Item& item) { return item.entry.id == reach->entryID; });
  const auto index = static_cast<std::size_t>(entry - queue_.begin());
  const double seconds = static_cast<double>(reach->frames) / PulsePlaybackStream::sampleRate;
  if (entry == queue_.end() || index < *current_ || (index == *current_ && seconds <= time_)) return;
  if (index != *current_) {
    emit queueWillChange();
    current_ = index;
    currentEntryError_.reset();
  }
  time_ = seconds;
  resumePoint_ = ResumePoint{reach->entryID, seconds};
}

void PulseMusicPlayer::corkRequested() {
  if (status_ != MusicPlayerStatus::playing && !startPending_) return;
  pause();
  setStatus(MusicPlayerStatus::interrupted);
}

void PulseMusicPlayer::setTap(Tap tap) {
  stream_->locked([&] {
    tap_ = std::move(tap);
    feed_.tappedUntil = 0;
    feed_.tapReach.reset();
  });
}

}  // namespace kovali
