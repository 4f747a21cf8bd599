#include "platform/sound/player/pulse_music_player.h"

#include <algorithm>

#include <QMetaObject>
#include <QPointer>
#include <qcoro/qcorofuture.h>

namespace kovali {

namespace {

bool holds(const auto& items, const std::string& entryID) {
  return std::ranges::any_of(items, [&](const auto& item) { return item.entry.id == entryID; });
}

}  // namespace

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
  } else if (status_ == MusicPlayerStatus::playing) {
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

void PulseMusicPlayer::updateFeedQueue() {
  stream_->locked([&] {
    feed_.queue = queue_;
    if (feed_.unplayableEntry && !holds(queue_, *feed_.unplayableEntry)) {
      feed_.unplayableEntry.reset();  // what follows it may be tried now
      feed_.unplayableError.reset();
    }
    if (feed_.decodingEntry && !holds(queue_, *feed_.decodingEntry)) {
      // The entry being written was taken out: what follows the current entry comes next.
      feed_.decoder.reset();
      feed_.timeline.end(stream_->framesWritten());
      feed_.decodingEntry = current_ ? std::optional(queue_[*current_].entry.id) : std::nullopt;
    }
    stream_->pump();
  });
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
  opener_->async(
      [stream = stream_.get(), location = item.location, entryID = item.entry.id, generation = generation_] {
        Opened result{generation, entryID, nullptr, std::nullopt};
        if (auto failure = stream->connect()) {
          result.error = error(soundServerUnavailable, *failure);
          return result;
        }
        auto decoder = AudioFileDecoder::open(location, PulsePlaybackStream::sampleRate);
        if (!decoder) {
          result.error = error(unplayableFile, decoder.error());
          return result;
        }
        result.decoder = std::move(decoder).value();
        return result;
      },
      this, [this](Opened result) { opened(std::move(result)); });
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
    setStatus(MusicPlayerStatus::stopped);
    finishWaiting(preparing_, result.error);
    return;
  }
  stream_->locked([&] {
    feed_.generation = generation_;
    feed_.decoder = std::move(result.decoder);
    feed_.decodingEntry = result.entryID;
    feed_.timeline.clear();
    feed_.timeline.begin(result.entryID, stream_->framesWritten());
    stream_->pump();  // fills the server's buffer while the stream is still held
  });
  prepared_ = true;
  if (status_ == MusicPlayerStatus::stopped) {
    setStatus(MusicPlayerStatus::paused);
  } else if (status_ == MusicPlayerStatus::playing) {
    run();
  }
  finishWaiting(preparing_, std::nullopt);
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
  run();
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
  if (ok && generation == generation_ && feed_.running) setStatus(MusicPlayerStatus::playing);
  finishWaiting(starting_, ok ? MusicPlayerOutcome() : error(streamRefused, "The sound server did not start the music."));
}

void PulseMusicPlayer::pause() {
  if (status_ == MusicPlayerStatus::stopped) return;
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
}

void PulseMusicPlayer::stop() {
  emit stateWillChange();
  status_ = MusicPlayerStatus::stopped;
  time_ = 0;
  silence();
}

void PulseMusicPlayer::silence() {
  ++generation_;
  prepared_ = false;
  stream_->locked([&] {
    feed_.generation = generation_;
    feed_.decoder.reset();
    feed_.decodingEntry.reset();
    feed_.unplayableEntry.reset();
    feed_.unplayableError.reset();
    feed_.timeline.clear();
    feed_.running = false;
    stream_->setCorked(true);
    stream_->flush();
  });
}

// ---- News from the stream's thread ----------------------------------------------------------------------

void PulseMusicPlayer::progressed(const Progress& progress) {
  if (progress.generation != generation_ || status_ != MusicPlayerStatus::playing) return;
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
  if (status_ == MusicPlayerStatus::playing) status_ = MusicPlayerStatus::interrupted;
  silence();  // the next play connects anew and starts the entry again
  finishWaiting(starting_, error(soundServerUnavailable, "The sound server stopped the music (" + reason + ")."));
}

void PulseMusicPlayer::corkRequested() {
  if (status_ != MusicPlayerStatus::playing) return;
  pause();
  setStatus(MusicPlayerStatus::interrupted);
}

// ---- The stream's thread, lock held ------------------------------------------------------------------------

std::size_t PulseMusicPlayer::fill(float* out, std::size_t frames, std::int64_t position) {
  std::size_t done = 0;
  while (done < frames) {
    if (!feed_.decoder && !beginNextEntry(position + static_cast<std::int64_t>(done))) break;
    done += feed_.decoder->read(out + done * AudioFileDecoder::channels, frames - done);
    if (done < frames) {
      feed_.timeline.end(position + static_cast<std::int64_t>(done));
      feed_.decoder.reset();
    }
  }
  if (done > 0) feed_.drained = false;
  return done;
}

bool PulseMusicPlayer::beginNextEntry(std::int64_t position) {
  if (!feed_.decodingEntry || feed_.unplayableEntry) return false;
  auto item = std::ranges::find_if(feed_.queue, [&](const Item& i) { return i.entry.id == *feed_.decodingEntry; });
  if (item == feed_.queue.end()) return false;
  if (++item == feed_.queue.end()) return false;
  feed_.decodingEntry = item->entry.id;
  feed_.timeline.begin(item->entry.id, position);
  auto decoder = AudioFileDecoder::open(item->location, PulsePlaybackStream::sampleRate);
  if (decoder) {
    feed_.decoder = std::move(decoder).value();
    return true;
  }
  // The sound ends here; once it is heard out the player stops on this entry and says why.
  feed_.timeline.end(position);
  feed_.unplayableEntry = item->entry.id;
  feed_.unplayableError = error(unplayableFile, decoder.error());
  return false;
}

void PulseMusicPlayer::tick() {
  if (!feed_.running || !feed_.decodingEntry) return;
  Progress progress{feed_.generation, std::nullopt, 0, std::nullopt};
  // Once the sound runs out the stream's clock stands still, short of the end by the output's
  // own latency: a drained stream with nothing left to write has played out.
  const bool drainedForGood = feed_.drained && !feed_.decoder && !beginNextEntry(stream_->framesWritten());
  const auto played = stream_->playedFrames();
  if (!drainedForGood) {
    if (!played) return;
    if (!feed_.timeline.isFinished(*played)) {
      const auto position = feed_.timeline.at(*played);
      if (!position) return;
      progress.entryID = position->entryID;
      progress.seconds = static_cast<double>(position->frames) / PulsePlaybackStream::sampleRate;
    }
    feed_.timeline.dropBefore(*played);
  }
  if (!progress.entryID && feed_.unplayableEntry) {
    progress.entryID = feed_.unplayableEntry;
    progress.failure = feed_.unplayableError;
  }
  QMetaObject::invokeMethod(this, [this, progress] { progressed(progress); }, Qt::QueuedConnection);
}

}  // namespace kovali
