#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace kovali {

/// Which queue entry a listener hears, on the stream's own frame count: the writer marks the
/// frame where each entry's sound begins and ends as it writes, and the frame being heard now
/// (frames written less the stream's latency) then falls into one entry's stretch.
class TrackTimeline {
 public:
  struct Position {
    std::string entryID;
    std::int64_t frames = 0;  // into the entry

    bool operator==(const Position&) const = default;
  };

  /// The entry's sound from `from` frames into it on is written from `frame`; the entry begun
  /// before ends there.
  void begin(std::string entryID, std::int64_t frame, std::int64_t from = 0);
  /// The entry begun last has no frames from `frame` on.
  void end(std::int64_t frame);
  /// The frames from `frame` on are written again: entries begun there or later are forgotten,
  /// and the one before ends there.
  void cutAt(std::int64_t frame);
  /// Forgets every entry (the stream's unplayed frames were dropped).
  void clear() { stretches_.clear(); }

  /// The entry heard at frame `played`: the last one begun at or before it (the first one while
  /// `played` is still before it). None when nothing was begun, or once `played` reaches the end
  /// of the last entry.
  std::optional<Position> at(std::int64_t played) const;
  /// The entry begun last before `frame`, if any.
  std::optional<std::string> entryBefore(std::int64_t frame) const;
  /// Whether the last entry has ended and `played` has reached its end.
  bool isFinished(std::int64_t played) const;
  /// Forgets the entries that ended at or before `played`, keeping the last one.
  void dropBefore(std::int64_t played);

 private:
  struct Stretch {
    std::string entryID;
    std::int64_t start = 0;
    std::int64_t from = 0;  // frames into the entry at `start`
    std::optional<std::int64_t> end;
  };
  std::deque<Stretch> stretches_;
};

}  // namespace kovali
