// The quick controls' texts and enabled states over the states a party goes through.

#include "app/menus/party_menu_state.h"

#include <gtest/gtest.h>

#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;
using vinaro::RequestItem;
using vinaro::RequestStatus;
using vinaro::SessionState;
namespace samples = vinaro::samples;

SessionState party(std::optional<PlaybackStatus> current, std::size_t queued,
                   std::vector<RequestStatus> requests = {}) {
  SessionState state = SessionState::newParty("S", "Party");
  if (current) {
    state.playback.current = samples::queueItem("now", "now");
    state.playback.status = *current;
  }
  for (std::size_t i = 0; i < queued; ++i) {
    state.queue.push_back(samples::queueItem("q" + std::to_string(i), "q" + std::to_string(i)));
  }
  for (std::size_t i = 0; i < requests.size(); ++i) {
    state.requests.push_back(samples::request("r" + std::to_string(i), RequestItem::track(samples::track("t")),
                                              samples::ana, 1000, {}, requests[i]));
  }
  return state;
}

TEST(PartyMenuState, FollowsThePartyThroughItsStates) {
  struct Case {
    const char* name;
    SessionState state;
    std::size_t phones;
    PartyMenuState expected;
  };
  const Case cases[] = {
      {"empty party",
       party(std::nullopt, 0),
       0,
       {"Play", false, false, "Nothing playing", "Up next: nothing queued", std::nullopt, "0 partygoers \u00B7 Idle"}},
      {"queue of one, nothing current",
       party(std::nullopt, 1),
       1,
       {"Play", true, false, "Nothing playing", "Up next: Title q0", std::nullopt, "1 partygoer \u00B7 Idle"}},
      {"queue of two, playing",
       party(PlaybackStatus::playing, 2),
       2,
       {"Pause", true, true, "Title now \u00B7 Artist now", "Up next: Title q0  +1", std::nullopt,
        "2 partygoers \u00B7 Playing"}},
      {"queue of four, paused",
       party(PlaybackStatus::paused, 4),
       3,
       {"Play", true, true, "Title now \u00B7 Artist now", "Up next: Title q0  +3", std::nullopt,
        "3 partygoers \u00B7 Paused"}},
      {"current song, stopped, nothing queued",
       party(PlaybackStatus::stopped, 0),
       0,
       {"Play", true, true, "Title now \u00B7 Artist now", "Up next: nothing queued", std::nullopt,
        "0 partygoers \u00B7 Idle"}},
      {"one pending among resolved requests",
       party(std::nullopt, 0, {RequestStatus::approved, RequestStatus::pending, RequestStatus::rejected}),
       0,
       {"Play", false, false, "Nothing playing", "Up next: nothing queued", "1 request waiting\u2026",
        "0 partygoers \u00B7 Idle"}},
      {"three pending requests",
       party(std::nullopt, 0, {RequestStatus::pending, RequestStatus::pending, RequestStatus::pending}),
       0,
       {"Play", false, false, "Nothing playing", "Up next: nothing queued", "3 requests waiting\u2026",
        "0 partygoers \u00B7 Idle"}},
      {"only resolved requests",
       party(std::nullopt, 0, {RequestStatus::approved, RequestStatus::rejected}),
       0,
       {"Play", false, false, "Nothing playing", "Up next: nothing queued", std::nullopt, "0 partygoers \u00B7 Idle"}},
  };
  for (const auto& c : cases) {
    const PartyMenuState actual = PartyMenuState::of(c.state, c.phones);
    EXPECT_EQ(actual.playPauseTitle, c.expected.playPauseTitle) << c.name;
    EXPECT_EQ(actual.canPlayPause, c.expected.canPlayPause) << c.name;
    EXPECT_EQ(actual.canSkip, c.expected.canSkip) << c.name;
    EXPECT_EQ(actual.nowPlaying, c.expected.nowPlaying) << c.name;
    EXPECT_EQ(actual.upNext, c.expected.upNext) << c.name;
    EXPECT_EQ(actual.requests, c.expected.requests) << c.name;
    EXPECT_EQ(actual.statusLine, c.expected.statusLine) << c.name;
  }
}

}  // namespace
}  // namespace kovali
