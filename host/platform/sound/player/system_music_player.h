#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "platform/library/music_items.h"
#include "protocol/string_enum.h"

namespace kovali {

/// The player's own status, finer than the session's playing/paused/stopped.
enum class MusicPlayerStatus { stopped, playing, paused, interrupted, seekingForward, seekingBackward };

}  // namespace kovali

/// The case names as written in the enumeration, for log lines.
template <>
struct vinaro::EnumNames<kovali::MusicPlayerStatus> {
  static constexpr std::string_view typeName = "MusicPlayerStatus";
  static constexpr std::array<std::string_view, 6> rawValues = {"stopped",     "playing",        "paused",
                                                                "interrupted", "seekingForward", "seekingBackward"};
};

namespace kovali {

/// One entry of the player's queue. The id is the entry's own and stays the same while the entry
/// stays in the queue, so one song queued twice gives two entries.
struct MusicQueueEntry {
  std::string id;
  std::string title;
  std::optional<std::string> songID;  // none when the entry's item is not a song

  bool operator==(const MusicQueueEntry&) const = default;
};

/// Why a player operation failed, in the shape of a platform error: a domain, a code, the code
/// of an underlying error where there is one, and a sentence for people.
struct MusicPlayerError {
  std::string domain;
  int code = 0;
  std::optional<int> underlyingCode;
  std::string localizedDescription;

  /// The complete rendering for log lines: domain, codes and description.
  std::string printed() const;
  /// Whether the song's file could not be opened or decoded: trying again will not help.
  bool isUnplayableFile() const;

  bool operator==(const MusicPlayerError&) const = default;
};

/// The domain of the host's own player errors, and their codes.
inline constexpr const char* musicPlayerErrorDomain = "kovaliapp.player";
enum MusicPlayerErrorCode { nothingToPlay = 1, unplayableFile = 2, soundServerUnavailable = 3, streamRefused = 4 };

/// What an asynchronous player operation ends with: nothing on success, else the error.
using MusicPlayerOutcome = std::optional<MusicPlayerError>;

/// The application's music player: a queue of entries with one current entry, played one after
/// another. At the end of a song it moves on to the next entry; at the end of the queue it pauses
/// at 0 s with no current entry. Main thread only.
///
/// Every change of the status, the time's course or the current entry is announced by
/// `stateWillChange`, every change of the queue or of its current entry by `queueWillChange`,
/// emitted just before the change and, for an asynchronous operation, before it completes.
class SystemMusicPlayer : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  /// Replaces the whole queue by one entry per song, in order, the first one current (none for an
  /// empty list), at 0 s. A playing player goes on playing with the new first entry; a stopped
  /// one stays stopped, a paused one paused.
  virtual void setQueue(const std::vector<Song>& songs) = 0;
  virtual std::vector<MusicQueueEntry> entries() const = 0;
  virtual std::optional<MusicQueueEntry> currentEntry() const = 0;
  /// Removes the entries with these ids; removing the current entry stops the player and leaves
  /// no current entry.
  virtual void removeEntries(const std::vector<std::string>& ids) = 0;
  /// Adds the song as a new last entry.
  virtual QCoro::Task<MusicPlayerOutcome> insertAtTail(Song song) = 0;

  /// Readies the current entry so that `play()` starts at once; a stopped player becomes paused.
  virtual QCoro::Task<MusicPlayerOutcome> prepareToPlay() = 0;
  /// Starts or resumes the current entry, preparing it first when needed.
  virtual QCoro::Task<MusicPlayerOutcome> play() = 0;
  /// Holds the current entry where it is.
  virtual void pause() = 0;
  /// Ends playback: the time goes back to 0 and the entry must be prepared again.
  virtual void stop() = 0;

  virtual MusicPlayerStatus playbackStatus() const = 0;
  /// Seconds into the current entry.
  virtual double playbackTime() const = 0;
  /// Why the current entry stopped before it played, when the player moved onto it by itself
  /// and could not play it; nothing otherwise.
  virtual std::optional<MusicPlayerError> currentEntryError() const { return std::nullopt; }

 signals:
  void stateWillChange();
  void queueWillChange();
};

}  // namespace kovali
