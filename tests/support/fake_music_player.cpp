#include "support/fake_music_player.h"

#include <algorithm>

#include <qcoro/qcorofuture.h>

namespace kovali {

namespace {

MusicPlayerError fakeError(int code, std::string description) {
  return MusicPlayerError{"FakeMusicPlayer", code, std::nullopt, std::move(description)};
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ",") + part;
  return text;
}

}  // namespace

FakeMusicPlayer::FakeMusicPlayer(Scheduler& scheduler) : scheduler_(scheduler) {
  ticker_ = scheduler_.repeat(tickSeconds, [this] { tick(); });
}

FakeMusicPlayer::~FakeMusicPlayer() {
  for (auto& waiting : waiting_) {
    waiting.promise.addResult(fakeError(99, "The player went away."));
    waiting.promise.finish();
  }
}

// ---- Queue ----------------------------------------------------------------------------------------

FakeMusicPlayer::Entry FakeMusicPlayer::makeEntry(const Song& song) {
  return Entry{MusicQueueEntry{"E" + std::to_string(++nextEntryNumber_), song.title, song.id}, song.duration};
}

void FakeMusicPlayer::setQueue(const std::vector<Song>& songs) {
  std::vector<std::string> titles;
  for (const auto& song : songs) titles.push_back(song.title);
  calls.push_back("setQueue " + joined(titles));

  emit queueWillChange();
  emit stateWillChange();
  queue_.clear();
  for (const auto& song : songs) queue_.push_back(makeEntry(song));
  current_ = queue_.empty() ? std::nullopt : std::optional<std::size_t>(0);
  currentEntryError_.reset();
  const bool wasRunning = runSince_.has_value();
  holdTime(0);
  if (!current_) {
    status_ = MusicPlayerStatus::stopped;
  } else if (wasRunning) {
    runTime();
  }
}

std::vector<MusicQueueEntry> FakeMusicPlayer::entries() const {
  std::vector<MusicQueueEntry> result;
  for (const auto& item : queue_) result.push_back(item.entry);
  return result;
}

std::optional<MusicQueueEntry> FakeMusicPlayer::currentEntry() const {
  if (!current_) return std::nullopt;
  return queue_[*current_].entry;
}

void FakeMusicPlayer::removeEntries(const std::vector<std::string>& ids) {
  calls.push_back("remove " + joined(ids));
  if (ids.empty()) return;
  emit queueWillChange();
  std::optional<std::string> currentID;
  if (current_) currentID = queue_[*current_].entry.id;
  std::erase_if(queue_, [&](const Entry& item) { return std::ranges::find(ids, item.entry.id) != ids.end(); });
  if (!currentID) return;
  const auto kept = std::ranges::find_if(queue_, [&](const Entry& item) { return item.entry.id == *currentID; });
  if (kept != queue_.end()) {
    current_ = static_cast<std::size_t>(kept - queue_.begin());
    return;
  }
  emit stateWillChange();
  current_.reset();
  holdTime(0);
  status_ = MusicPlayerStatus::stopped;
}

QCoro::Task<MusicPlayerOutcome> FakeMusicPlayer::insertAtTail(Song song) {
  calls.push_back("insert " + song.title);
  return wait("insert " + song.title, [this, song, error = take(insertErrors_)]() -> MusicPlayerOutcome {
    if (error) return error;
    emit queueWillChange();
    queue_.push_back(makeEntry(song));
    return std::nullopt;
  });
}

// ---- Playback ---------------------------------------------------------------------------------------

QCoro::Task<MusicPlayerOutcome> FakeMusicPlayer::prepareToPlay() {
  calls.push_back("prepareToPlay");
  return wait("prepareToPlay", [this, error = take(prepareErrors_)]() -> MusicPlayerOutcome {
    if (error) return error;
    if (!current_) return fakeError(1, "There is nothing to play.");
    if (status_ == MusicPlayerStatus::stopped) setStatus(MusicPlayerStatus::paused);
    return std::nullopt;
  });
}

QCoro::Task<MusicPlayerOutcome> FakeMusicPlayer::play() {
  calls.push_back("play");
  return wait("play", [this, error = take(playErrors_)]() -> MusicPlayerOutcome {
    if (error) return error;
    if (!current_) return fakeError(1, "There is nothing to play.");
    if (neverStarts) return std::nullopt;
    setStatus(MusicPlayerStatus::playing);
    runTime();
    return std::nullopt;
  });
}

void FakeMusicPlayer::pause() {
  calls.push_back("pause");
  if (status_ == MusicPlayerStatus::stopped) return;
  holdTime();
  setStatus(MusicPlayerStatus::paused);
}

void FakeMusicPlayer::stop() {
  calls.push_back("stop");
  emit stateWillChange();
  holdTime(0);
  status_ = MusicPlayerStatus::stopped;
}

double FakeMusicPlayer::playbackTime() const {
  if (!runSince_) return heldTime_;
  return heldTime_ + scheduler_.now().secondsSince(*runSince_);
}

// ---- Virtual time and outside events -------------------------------------------------------------------

void FakeMusicPlayer::setStatus(MusicPlayerStatus status) {
  if (status == status_) return;
  emit stateWillChange();
  status_ = status;
}

void FakeMusicPlayer::holdTime(std::optional<double> seconds) {
  heldTime_ = seconds.value_or(playbackTime());
  runSince_.reset();
}

void FakeMusicPlayer::runTime() {
  if (!runSince_) runSince_ = scheduler_.now();
}

void FakeMusicPlayer::setStatusFromOutside(MusicPlayerStatus status) {
  if (status == MusicPlayerStatus::playing) {
    setStatus(status);
    runTime();
    return;
  }
  holdTime(status == MusicPlayerStatus::stopped ? std::optional(0.0) : std::nullopt);
  setStatus(status);
}

void FakeMusicPlayer::setPlaybackTime(double seconds) {
  emit stateWillChange();
  const bool running = runSince_.has_value();
  holdTime(seconds);
  if (running) runTime();
}

void FakeMusicPlayer::setCurrentEntryFromOutside(std::optional<std::size_t> index) {
  emit queueWillChange();
  emit stateWillChange();
  current_ = index;
  const bool running = runSince_.has_value();
  holdTime(0);
  if (running) runTime();
}

void FakeMusicPlayer::runOutOfQueue(double seconds) {
  emit queueWillChange();
  emit stateWillChange();
  current_.reset();
  holdTime(seconds);
  status_ = MusicPlayerStatus::paused;
}

void FakeMusicPlayer::reachUnplayable(std::size_t index, MusicPlayerError error) {
  emit queueWillChange();
  emit stateWillChange();
  current_ = index;
  currentEntryError_ = std::move(error);
  holdTime(0);
  status_ = MusicPlayerStatus::stopped;
}

void FakeMusicPlayer::tick() {
  if (status_ != MusicPlayerStatus::playing || !current_) return;
  const double time = playbackTime();
  if (stopsAt && time >= *stopsAt) {
    emit stateWillChange();
    holdTime(0);
    status_ = MusicPlayerStatus::stopped;
    return;
  }
  const auto duration = queue_[*current_].duration;
  if (!duration || time < *duration) return;
  if (*current_ + 1 < queue_.size()) {
    setCurrentEntryFromOutside(*current_ + 1);
  } else {
    runOutOfQueue(0);
  }
}

// ---- Waiting operations -------------------------------------------------------------------------------

QCoro::Task<MusicPlayerOutcome> FakeMusicPlayer::wait(std::string name, std::function<MusicPlayerOutcome()> complete) {
  auto& waiting = waiting_.emplace_back(Waiting{std::move(name), std::move(complete), {}});
  waiting.promise.start();
  auto future = waiting.promise.future();
  // Nothing of the fake is touched after the wait: the fake may be gone by then.
  co_return co_await future;
}

bool FakeMusicPlayer::releaseNext() {
  if (waiting_.empty()) return false;
  auto waiting = std::move(waiting_.front());
  waiting_.pop_front();
  waiting.promise.addResult(waiting.complete());
  waiting.promise.finish();
  return true;
}

std::vector<std::string> FakeMusicPlayer::waiting() const {
  std::vector<std::string> names;
  for (const auto& waiting : waiting_) names.push_back(waiting.name);
  return names;
}

std::optional<MusicPlayerError> FakeMusicPlayer::take(std::deque<MusicPlayerError>& errors) {
  if (errors.empty()) return std::nullopt;
  auto error = std::move(errors.front());
  errors.pop_front();
  return error;
}

}  // namespace kovali
