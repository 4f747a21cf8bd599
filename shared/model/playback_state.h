#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "model/date.h"
#include "model/participant.h"
#include "model/track.h"

namespace vinaro {

/// One entry of the play queue, or the entry now playing. Its id is its own, not the track's, so
/// one song may be queued twice.
struct QueueItem {
  std::string id;
  Track track;
  Participant addedBy;
  Date addedAt;

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("id", &QueueItem::id), field("track", &QueueItem::track),
                      field("addedBy", &QueueItem::addedBy), field("addedAt", &QueueItem::addedAt)};
  }
  bool operator==(const QueueItem&) const = default;
};

/// An audio input of the host that plays instead of the queue.
struct LiveInput {
  /// Shown by the host's screens while a live input is the source.
  static constexpr std::string_view queueResumesNote =
      "The queue will resume when the music library is selected as the source.";

  std::string id;
  std::string name;
  bool queueWasPlaying = false;  // the queue resumes on hand-back only when this is true

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("id", &LiveInput::id), field("name", &LiveInput::name),
                      field("queueWasPlaying", &LiveInput::queueWasPlaying)};
  }

  bool operator==(const LiveInput&) const = default;
};

enum class PlaybackStatus { playing, paused, stopped };

template <>
struct EnumNames<PlaybackStatus> {
  static constexpr std::string_view typeName = "PlaybackStatus";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 3> rawValues = {"playing", "paused", "stopped"};
};

/// What plays, as a snapshot the phones extrapolate: `elapsed` seconds at `elapsedAt`.
struct PlaybackState {
  PlaybackStatus status = PlaybackStatus::stopped;
  std::optional<QueueItem> current;
  double elapsed = 0;
  Date elapsedAt;

  /// The position at `date`: advancing only while playing, never before `elapsedAt`, clamped to
  /// the track's duration when known, and never negative (nor NaN).
  double position(Date date) const;

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("status", &PlaybackState::status), field("current", &PlaybackState::current),
                      field("elapsed", &PlaybackState::elapsed), field("elapsedAt", &PlaybackState::elapsedAt)};
  }

  bool operator==(const PlaybackState&) const = default;
};

}  // namespace vinaro
