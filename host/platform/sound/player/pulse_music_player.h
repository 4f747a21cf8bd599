#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QFuture>
#include <QPromise>

#include "platform/runtime/serial_queue.h"
#include "platform/sound/player/audio_file_decoder.h"
#include "platform/sound/pulse_playback_stream.h"
#include "platform/sound/player/system_music_player.h"
#include "platform/sound/player/track_timeline.h"

namespace kovali {

/// The music player of the host: decodes the songs' local files with FFmpeg and plays them, one
/// after another without a gap, as one playback stream on the sound server. The stream keeps
/// its name for the whole run so that multi-room audio can find and record it. Time and the
/// current entry come from the stream's own clock. Decoding and the stream run on libpulse's
/// thread; songs' files are opened on "kovaliapp.player", the next one while the one before it
/// still plays, so that neither that thread nor the main thread ever waits on a slow folder. The
/// queue and the status live on the main thread and learn of the sound's progress through
/// queued calls. It counts as playing once the server's clock shows the sound is heard. After
/// the sound server went away, the next play connects anew and goes on where the song was.
class PulseMusicPlayer final : public SystemMusicPlayer {
  Q_OBJECT

 public:
  /// How the sound server lists the player: application and stream name.
  static constexpr const char* applicationName = "Kovali music";
  static constexpr const char* streamName = "Kovali music";

  /// Its errors' domain; their codes are `MusicPlayerErrorCode`.
  static constexpr const char* errorDomain = musicPlayerErrorDomain;
  using ErrorCode = MusicPlayerErrorCode;

  /// How long `play()` waits at most for the server to really play.
  static constexpr int startLimitMilliseconds = 5000;

  /// Receives each block of sound the player makes (interleaved stereo at the stream's rate), on
  /// the stream's thread with its lock held: it must not block.
  using Tap = std::function<void(const float* samples, std::size_t frames)>;

  explicit PulseMusicPlayer(QObject* parent = nullptr);
  /// Ends playback; operations still waiting fail.
  ~PulseMusicPlayer() override;

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
  double playbackTime() const override { return time_; }
  std::optional<MusicPlayerError> currentEntryError() const override { return currentEntryError_; }

  /// While a tap is set the player hands it every block it makes and plays silence instead,
  /// keeping its own timing; an empty tap gives the player its sound back. Main thread.
  void setTap(Tap tap);

 private:
  struct Item {
    MusicQueueEntry entry;
    std::string location;  // the song's file
  };

  /// A song's file as the player's worker opened it.
  struct Opened {
    std::uint64_t generation = 0;
    std::string entryID;
    std::shared_ptr<AudioFileDecoder> decoder;  // shared: it travels through a copyable call
    std::optional<MusicPlayerError> error;
    double from = 0;  // seconds into the song the decoder stands at
  };

  /// What the stream's thread plays; guarded by the stream's lock.
  struct Feed {
    std::uint64_t generation = 0;  // the main thread's plan this feed follows
    std::vector<Item> queue;
    std::optional<std::string> decodingEntry;  // the entry begun last
    std::int64_t decodingSince = 0;            // the stream frame where its sound begins
    std::shared_ptr<AudioFileDecoder> decoder;
    std::optional<Opened> ahead;  // the entry after the decoding one, opened ahead of time
    TrackTimeline timeline;
    bool running = false;  // uncorked
    bool drained = false;  // the server ran out of sound since the last write
    std::optional<std::string> unplayableEntry;  // the next entry, whose file could not be opened
    std::optional<MusicPlayerError> unplayableError;
    std::int64_t tappedUntil = 0;  // the stream frame up to which the tap set last was handed sound
    std::optional<TrackTimeline::Position> tapReach;  // where in its entry that sound ended
  };

  /// What follows the entry being written.
  enum class Next { none, opening, ready };

  /// Where a song was when the sound server went away: a new connection goes on from there.
  struct ResumePoint {
    std::string entryID;
    double seconds = 0;
  };

  /// Where the sound is, as the stream's thread saw it.
  struct Progress {
    std::uint64_t generation = 0;
    std::optional<std::string> entryID;  // none once the queue has been played out
    double seconds = 0;
    std::optional<MusicPlayerError> failure;  // the entry reached could not be played
  };

  // Main thread.
  void setStatus(MusicPlayerStatus status);
  QFuture<MusicPlayerOutcome> prepared();
  void startOpening();
  void opened(Opened result);
  /// Lets the stream run; `started` follows once the server agrees.
  void run();
  void started(std::uint64_t generation, bool ok);
  void progressed(const Progress& progress);
  /// The player reached an entry it cannot play: it stops there.
  void reachedUnplayable(std::size_t index, MusicPlayerError error);
  void streamFailed(const std::string& reason);
  /// While tapped, the music goes on after a failure where the tap's sound ended: its listeners
  /// have had all of it already, although this computer's server never played the last of it.
  void resumeAfterTap();
  void corkRequested();
  /// Drops the sound written so far and holds the stream; the feed then plays nothing.
  void silence();
  void updateFeedQueue();
  /// Has the worker open the entry after the one being written, unless it is open already.
  void openAhead();
  void openedAhead(Opened result);
  static Opened openFile(const Item& item, std::uint64_t generation, double from);
  static bool holds(const std::vector<Item>& items, const std::string& entryID);
  void finishWaiting(std::vector<QPromise<MusicPlayerOutcome>>& waiting, const MusicPlayerOutcome& outcome);
  static MusicPlayerError error(ErrorCode code, std::string description);

  // Stream thread, lock held (or the main thread holding it).
  std::size_t fill(float* out, std::size_t frames, std::int64_t position);
  /// The tap was handed the sound up to stream frame `end`.
  void tapped(std::int64_t end);
  const Item* itemAfterDecoding() const;
  Next nextEntry() const;
  /// Hands the entry opened ahead to the writer from `position` on; true when it has sound.
  bool beginNextEntry(std::int64_t position);
  /// The entry being written was taken out of the queue: its sound not yet heard is written
  /// again with what follows the current entry.
  void rewriteRemovedEntry();
  void tick();

  std::vector<Item> queue_;
  std::optional<std::size_t> current_;
  MusicPlayerStatus status_ = MusicPlayerStatus::stopped;
  double time_ = 0;
  std::optional<MusicPlayerError> currentEntryError_;
  bool prepared_ = false;         // the feed holds the current entry from its start or where it paused
  std::uint64_t generation_ = 0;  // raised whenever the sound written so far no longer counts
  std::uint64_t nextEntryNumber_ = 0;
  bool opening_ = false;
  bool startPending_ = false;  // the stream was let run, and the server has not played from it yet
  std::optional<std::string> openingAhead_;  // the entry the worker is opening ahead
  std::optional<ResumePoint> resumePoint_;
  std::vector<QPromise<MusicPlayerOutcome>> preparing_;  // waiting for the current entry to open
  std::vector<QPromise<MusicPlayerOutcome>> starting_;   // waiting for the stream to run

  Feed feed_;
  Tap tap_;  // guarded by the stream's lock
  std::unique_ptr<PulsePlaybackStream> stream_;
  std::unique_ptr<SerialQueue> opener_;  // connects and opens files away from the main thread
};

}  // namespace kovali
