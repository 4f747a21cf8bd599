// What the player writes to the stream: the queue as the stream's thread sees it, the songs'
// decoders, and the files opened ahead for them.

#include <algorithm>

#include <QMetaObject>

#include "platform/sound/player/pulse_music_player.h"

namespace kovali {

bool PulseMusicPlayer::holds(const std::vector<Item>& items, const std::string& entryID) {
  return std::ranges::any_of(items, [&](const Item& item) { return item.entry.id == entryID; });
}

// ---- Main thread --------------------------------------------------------------------------------------

void PulseMusicPlayer::updateFeedQueue() {
  stream_->locked([&] {
    feed_.queue = queue_;
    if (feed_.unplayableEntry && !holds(queue_, *feed_.unplayableEntry)) {
      feed_.unplayableEntry.reset();  // what follows it may be tried now
      feed_.unplayableError.reset();
    }
    if (feed_.decodingEntry && !holds(queue_, *feed_.decodingEntry)) rewriteRemovedEntry();
    const auto* next = itemAfterDecoding();
    if (feed_.ahead && (!next || next->entry.id != feed_.ahead->entryID)) feed_.ahead.reset();
    stream_->pump();
  });
  openAhead();
}

void PulseMusicPlayer::openAhead() {
  std::optional<Item> next;
  stream_->locked([&] {
    const auto* after = itemAfterDecoding();
    if (!after || feed_.unplayableEntry || (feed_.ahead && feed_.ahead->entryID == after->entry.id)) return;
    next = *after;
  });
  if (!next || openingAhead_ == next->entry.id) return;
  openingAhead_ = next->entry.id;
  opener_->async([item = *next, generation = generation_] { return openFile(item, generation, 0); }, this,
                 [this](Opened result) { openedAhead(std::move(result)); });
}

void PulseMusicPlayer::openedAhead(Opened result) {
  if (openingAhead_ == result.entryID) openingAhead_.reset();
  stream_->locked([&] {
    const auto* after = itemAfterDecoding();
    if (result.generation != feed_.generation || !after || after->entry.id != result.entryID) return;
    feed_.ahead = std::move(result);
    stream_->pump();  // the writer may be waiting for it
  });
  openAhead();  // the queue may have moved on meanwhile
}

// ---- Stream thread, or the main thread holding the lock -------------------------------------------------

void PulseMusicPlayer::rewriteRemovedEntry() {
  // What was heard of it stays; the rest is written over, from where it began or from the
  // frame heard now, whichever is later. What a tap was handed is heard by its listeners already:
  // it stays too, so that the tap never gets a stretch of the stream twice.
  auto from = std::max(feed_.decodingSince, stream_->playedFrames().value_or(feed_.decodingSince));
  if (tap_) from = std::max(from, feed_.tappedUntil);
  feed_.decoder.reset();
  feed_.timeline.cutAt(from);
  // The writer goes on after the entry written before the removed one, or else after the current
  // one. Not the entry before the cut: where the removed one's start stays, that is the removed
  // one, and the current one may lie further back than the entry before it.
  const auto before = feed_.timeline.entryBefore(feed_.decodingSince);
  if (before && holds(queue_, *before)) {
    feed_.decodingEntry = before;
  } else {
    feed_.decodingEntry = current_ ? std::optional(queue_[*current_].entry.id) : std::nullopt;
  }
  stream_->rewriteFrom(from);
}

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
  if (tap_ && done > 0) {
    tap_(out, done);
    std::fill_n(out, done * AudioFileDecoder::channels, 0.0f);
    tapped(position + static_cast<std::int64_t>(done));
  }
  return done;
}

void PulseMusicPlayer::tapped(std::int64_t end) {
  feed_.tappedUntil = end;
  if (auto reach = feed_.timeline.at(end - 1)) {
    ++reach->frames;
    feed_.tapReach = std::move(reach);
  }
}

const PulseMusicPlayer::Item* PulseMusicPlayer::itemAfterDecoding() const {
  if (!feed_.decodingEntry) return nullptr;
  auto item = std::ranges::find_if(feed_.queue, [&](const Item& i) { return i.entry.id == *feed_.decodingEntry; });
  if (item == feed_.queue.end() || ++item == feed_.queue.end()) return nullptr;
  return &*item;
}

PulseMusicPlayer::Next PulseMusicPlayer::nextEntry() const {
  const auto* after = itemAfterDecoding();
  if (!after || feed_.unplayableEntry) return Next::none;
  return feed_.ahead && feed_.ahead->entryID == after->entry.id ? Next::ready : Next::opening;
}

bool PulseMusicPlayer::beginNextEntry(std::int64_t position) {
  if (nextEntry() != Next::ready) return false;
  auto ahead = std::move(*feed_.ahead);
  feed_.ahead.reset();
  feed_.decodingEntry = ahead.entryID;
  feed_.decodingSince = position;
  feed_.timeline.begin(ahead.entryID, position);
  QMetaObject::invokeMethod(this, [this] { openAhead(); }, Qt::QueuedConnection);  // the one after it
  if (ahead.decoder) {
    feed_.decoder = std::move(ahead.decoder);
    return true;
  }
  // The sound ends here; once it is heard out the player stops on this entry and says why.
  feed_.timeline.end(position);
  feed_.unplayableEntry = ahead.entryID;
  feed_.unplayableError = ahead.error;
  return false;
}

void PulseMusicPlayer::tick() {
  if (!feed_.running || !feed_.decodingEntry) return;
  Progress progress{feed_.generation, std::nullopt, 0, std::nullopt};
  const auto next = feed_.decoder ? Next::ready : nextEntry();
  // Once the sound runs out the stream's clock stands still, short of the end by the output's
  // own latency: a drained stream with nothing left to write has played out.
  const bool drainedForGood = feed_.drained && next == Next::none;
  // A drained stream has played all it was given, while the next song's file is still opening.
  const auto played = feed_.drained ? std::optional(stream_->framesWritten()) : stream_->playedFrames();
  if (!drainedForGood) {
    if (!played) return;
    const bool finished = feed_.timeline.isFinished(*played);
    if (finished && next == Next::ready) return;  // the next song's sound is about to be written
    // Waiting for the next song, the one before it stays at its end.
    const auto position = feed_.timeline.at(finished && next == Next::opening ? *played - 1 : *played);
    if (position) {
      progress.entryID = position->entryID;
      progress.seconds = static_cast<double>(position->frames) / PulsePlaybackStream::sampleRate;
    } else if (!finished) {
      return;
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
