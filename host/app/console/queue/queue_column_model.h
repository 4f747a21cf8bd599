#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/console/console_snapshot.h"
#include "app/party/party_view_model.h"

namespace kovali {

/// The one-line status of the music, playback, saving and the guest server. Only a healthy status is
/// drawn in teal and followed by the partygoer button.
struct ConsoleStatus {
  std::string text;
  bool healthy = false;

  static ConsoleStatus of(const ConsoleSnapshot& snapshot);

  bool operator==(const ConsoleStatus&) const = default;
};

/// The play/pause and skip buttons.
struct TransportModel {
  bool isPlaying = false;  // pause is offered
  bool canPlayPause = false;
  bool canSkip = false;

  bool operator==(const TransportModel&) const = default;
};

/// The current song with its transport, or the invitation to start when nothing is current.
struct QueuePlaybackModel {
  std::optional<vinaro::Track> track;
  std::string title;
  BylineModel byline;
  TransportModel transport;

  bool operator==(const QueuePlaybackModel&) const = default;
};

/// One row of "Up next".
struct QueueRowModel {
  std::string id;  // the queue item's
  vinaro::Track track;
  std::string position;  // 1-based
  BylineModel byline;
  bool canPlayNext = false;

  bool operator==(const QueueRowModel&) const = default;
};

/// What the confirmation before clearing the queue says.
struct ClearConfirmation {
  std::string title;
  std::string message;
  std::string confirmTitle;

  static ClearConfirmation forCount(std::size_t count);

  bool operator==(const ClearConfirmation&) const = default;
};

/// What the console's middle column shows, as plain values.
struct QueueColumnModel {
  using NowPlaying = std::variant<QueuePlaybackModel, LiveInputModel>;

  static constexpr std::string_view emptyQueueText = "The queue is empty. Search for a song or load a playlist.";

  std::string partyName;
  ConsoleStatus status;
  std::string partygoers;
  NowPlaying nowPlaying;
  std::optional<std::string> transportNotice;
  std::string upNextTitle;
  bool canClear = false;
  std::vector<QueueRowModel> rows;
  std::optional<std::string> errorLine;

  /// `earlierRows`, the rows made for an earlier snapshot, are taken for the items still queued.
  static QueueColumnModel make(const ConsoleSnapshot& snapshot, std::vector<QueueRowModel> earlierRows = {});

  bool operator==(const QueueColumnModel&) const = default;
};

/// "1 song", otherwise the count followed by " songs" (0 included).
std::string songCountPhrase(std::size_t count);

/// The report after clearing `count` songs.
std::string clearedNotice(std::size_t count);

/// Where a drag of the rows `dragged` (only the first counts) dropped before `destination` (an index of the list as it
/// was before the drag) moves the first dragged row to; none when it stays where it is or is no
/// longer in a queue of `queueLength`.
std::optional<std::size_t> reorderTarget(const std::set<std::size_t>& dragged, std::size_t destination,
                                         std::size_t queueLength);

/// The insertion index in `queue` of a drop of item `itemID` before the row `destination` of the
/// rows `shownIDs` a list showed, which may lag the queue: before the row below the drop or after
/// the one above it, whichever of the rows around it, nearest first, is still queued; the queue's
/// end when none is.
std::size_t dropDestination(const std::vector<vinaro::QueueItem>& queue, const std::string& itemID,
                            const std::vector<std::string>& shownIDs, std::size_t destination);

}  // namespace kovali
