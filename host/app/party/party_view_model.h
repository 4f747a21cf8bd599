#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/look/symbols/symbol.h"
#include "app/party/party_snapshot.h"
#include "model/playback_state.h"
#include "protocol/join_link.h"

namespace kovali {

/// A line of text with an optional supporter badge after it.
struct BylineModel {
  std::string text;
  std::optional<vinaro::SupporterTier> badge;

  bool operator==(const BylineModel&) const = default;
};

/// The big card: the current song, or an invitation when nothing plays.
struct NowPlayingModel {
  std::optional<vinaro::Track> track;  // for the artwork
  std::string title;
  std::string subtitle;
  std::optional<BylineModel> addedBy;

  bool operator==(const NowPlayingModel&) const = default;
};

/// Takes the big card's place while a live input is the party's source.
struct LiveInputModel {
  std::string name;
  std::string note;

  bool operator==(const LiveInputModel&) const = default;
};

/// The progress bar and its times at one moment.
struct ProgressModel {
  /// The smallest fill drawn for a positive fraction, so a song that just began still shows.
  static constexpr double minimumFill = 6;

  double position = 0;
  double fraction = 0;  // 0 to 1
  bool isPlaying = false;
  std::string elapsedText;
  std::string statusText;
  std::string durationText;

  static ProgressModel at(const vinaro::PlaybackState& playback, vinaro::Date date);
  /// The fill's width in a bar `barWidth` wide, at least `minimum` for a positive fraction; none
  /// for a zero fraction.
  double fillWidth(double barWidth, double minimum = minimumFill) const;

  bool operator==(const ProgressModel&) const = default;
};

struct UpNextCardModel {
  std::string id;  // the queue item's
  vinaro::Track track;
  BylineModel byline;

  bool operator==(const UpNextCardModel&) const = default;
};

/// The next songs: at most three cards, and "+N" for the rest.
struct UpNextModel {
  static constexpr std::size_t maxCards = 3;
  static constexpr std::string_view emptyText = "Nothing queued yet.";

  std::vector<UpNextCardModel> cards;
  std::optional<std::string> moreText;

  bool operator==(const UpNextModel&) const = default;
};

/// The join code with its instruction, once the host is visible on the network.
struct JoinCodeModel {
  vinaro::JoinLink link;
  std::string instruction;

  bool operator==(const JoinCodeModel&) const = default;
};

/// What the network is doing while the host is not yet visible on it.
struct NetworkStatusModel {
  std::string text;

  bool operator==(const NetworkStatusModel&) const = default;
};

struct PartyModeModel {
  Symbol symbol;
  std::string text;

  bool operator==(const PartyModeModel&) const = default;
};

/// What the party screen shows, as plain values.
struct PartyViewModel {
  using Card = std::variant<NowPlayingModel, LiveInputModel>;
  using Join = std::variant<JoinCodeModel, NetworkStatusModel>;

  Card card;
  UpNextModel upNext;
  Join join;
  std::string partygoers;
  PartyModeModel mode;

  static PartyViewModel make(const PartySnapshot& snapshot);

  bool operator==(const PartyViewModel&) const = default;
};

/// "Playing", "Paused" or "Idle".
std::string playbackWord(vinaro::PlaybackStatus status);

/// "1 partygoer", otherwise the count followed by " partygoers" (0 included).
std::string partygoersText(std::size_t count);

/// The sentence shown in place of the join code for a server status.
std::string networkStatusText(const HostServerStatus& status);

}  // namespace kovali
