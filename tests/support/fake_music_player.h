#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QPromise>

#include "platform/runtime/scheduler.h"
#include "platform/sound/player/system_music_player.h"

namespace kovali {

/// A music player in virtual time: it plays nothing, but its queue, status and time behave like
/// the real one's as the scheduler's time passes (a playing entry runs for its song's duration,
/// then the next entry follows; at the end of the queue it pauses at 0 s). Its asynchronous
/// operations wait until the test releases them, and the test scripts what goes wrong.
class FakeMusicPlayer final : public SystemMusicPlayer {
 public:
  /// How often the fake looks at its virtual time for ends and scripted stops.
  static constexpr double tickSeconds = 0.1;

  explicit FakeMusicPlayer(Scheduler& scheduler);
  /// Operations still waiting fail, so that no awaiting coroutine is left hanging.
  ~FakeMusicPlayer() override;

  void setQueue(const std::vector<Song>& songs) override;
  std::vector<MusicQueueEntry> entries() const override;
  std::optional<MusicQueueEntry> currentEntry() const override;
  void removeEntries(const std::vector<std::string>& ids) override;
  QCoro::Task<MusicPlayerOutcome> insertAtTail(Song song) override;
  QCoro::Task<MusicPlayerOutcome> prepareToPlay() override;
  QCoro::Task<MusicPlayerOutcome> play() override;
  void pause() override;
  void stop() override;
  MusicPlayerStatus playbackStatus() const override { return status_; }
  double playbackTime() const override;
  std::optional<MusicPlayerError> currentEntryError() const override { return currentEntryError_; }

  // ---- Releasing waiting operations ----
  /// Completes the oldest waiting operation with its scripted outcome; false when none waits.
  /// Its completion reaches the awaiting coroutine through the event loop.
  bool releaseNext();
  /// The names of the waiting operations, oldest first ("prepareToPlay", "play", "insert Title").
  std::vector<std::string> waiting() const;

  // ---- Scripted trouble ----
  /// The next `prepareToPlay()`, `play()` or `insertAtTail()` fails with this error.
  void failNextPrepare(MusicPlayerError error) { prepareErrors_.push_back(std::move(error)); }
  void failNextPlay(MusicPlayerError error) { playErrors_.push_back(std::move(error)); }
  void failNextInsert(MusicPlayerError error) { insertErrors_.push_back(std::move(error)); }
  /// `play()` succeeds but the player stays as it was.
  bool neverStarts = false;
  /// A playing entry stops (status stopped, back to 0 s) once it reaches this time.
  std::optional<double> stopsAt;
  /// Outside events: the status changes as if the system or the user did it; time holds unless
  /// the new status is a playing one.
  void setStatusFromOutside(MusicPlayerStatus status);
  void interrupt() { setStatusFromOutside(MusicPlayerStatus::interrupted); }
  void seek(bool forward) {
    setStatusFromOutside(forward ? MusicPlayerStatus::seekingForward : MusicPlayerStatus::seekingBackward);
  }
  /// Moves the current entry's time, as a seek from outside.
  void setPlaybackTime(double seconds);
  /// Makes another entry current (or none), as the system's own queue handling might.
  void setCurrentEntryFromOutside(std::optional<std::size_t> index);
  /// Pauses at `seconds` with no current entry, as at the end of the queue.
  void runOutOfQueue(double seconds);
  /// Moves on to the entry at `index` by itself and stops there, unable to play it.
  void reachUnplayable(std::size_t index, MusicPlayerError error);

  /// Every operation called, in order: "setQueue A,B", "prepareToPlay", "play", "pause", "stop",
  /// "remove E2", "insert Title".
  std::vector<std::string> calls;

 private:
  struct Entry {
    MusicQueueEntry entry;
    std::optional<double> duration;
  };
  struct Waiting {
    std::string name;
    std::function<MusicPlayerOutcome()> complete;  // applies the effect on release
    QPromise<MusicPlayerOutcome> promise;
  };

  QCoro::Task<MusicPlayerOutcome> wait(std::string name, std::function<MusicPlayerOutcome()> complete);
  Entry makeEntry(const Song& song);
  void setStatus(MusicPlayerStatus status);
  /// Holds the time at its current value (or `seconds`) from now on.
  void holdTime(std::optional<double> seconds = std::nullopt);
  void runTime();
  void tick();
  static std::optional<MusicPlayerError> take(std::deque<MusicPlayerError>& errors);

  Scheduler& scheduler_;
  RepeatingTimer ticker_;
  std::vector<Entry> queue_;
  std::optional<std::size_t> current_;
  MusicPlayerStatus status_ = MusicPlayerStatus::stopped;
  double heldTime_ = 0;                   // the time while not running
  std::optional<vinaro::Date> runSince_;  // set while the time runs
  int nextEntryNumber_ = 0;
  std::deque<Waiting> waiting_;
  std::deque<MusicPlayerError> prepareErrors_;
  std::deque<MusicPlayerError> playErrors_;
  std::deque<MusicPlayerError> insertErrors_;
  std::optional<MusicPlayerError> currentEntryError_;
};

}  // namespace kovali
