#include "session/store/session_effects.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/sample_values.h"

namespace kovali {
namespace {

using namespace vinaro::samples;
using vinaro::PlaybackStatus;
using vinaro::SessionState;

SessionState playingParty() {
  auto state = SessionState::newParty("S1", "Party");
  state.playback.status = PlaybackStatus::playing;
  state.playback.current = queueItem("q1", "t1");
  state.queue = {queueItem("q2", "t2"), queueItem("q3", "t3")};
  return state;
}

SessionState suggestionPartyWithRequest() {
  auto state = SessionState::newParty("S1", "Party");
  state.mode = vinaro::PartyMode::suggestion;
  state.settings.autoPlaysTopRequest = true;
  state.requests = {request("r1", vinaro::RequestItem::track(track("t9")), ana, 1000, {})};
  return state;
}

struct Case {
  const char* name;
  std::function<SessionState()> before;
  std::function<void(SessionState&)> change;
  SessionEffects expected;
};

TEST(SessionEffects, FollowFromTheChangeBetweenTwoStates) {
  const Case cases[] = {
      {"nothing changed", playingParty, [](SessionState&) {}, {.save = false, .syncPlayer = false, .playing = true}},
      {"a later song was queued",
       playingParty,
       [](SessionState& s) { s.queue.push_back(queueItem("q4", "t4")); },
       {.save = true, .syncPlayer = false, .playing = true}},
      {"the next song changed",
       playingParty,
       [](SessionState& s) { std::swap(s.queue[0], s.queue[1]); },
       {.save = true, .syncPlayer = true, .playing = true}},
      {"the current song changed",
       playingParty,
       [](SessionState& s) { s.playback.current = queueItem("q9", "t9"); },
       {.save = true, .syncPlayer = true, .playing = true}},
      {"paused",
       playingParty,
       [](SessionState& s) { s.playback.status = PlaybackStatus::paused; },
       {.save = true, .syncPlayer = true, .playing = false}},
      {"started playing",
       [] {
         auto s = playingParty();
         s.playback.status = PlaybackStatus::paused;
         return s;
       },
       [](SessionState& s) { s.playback.status = PlaybackStatus::playing; },
       {.save = true, .syncPlayer = true, .playing = true, .partyStarted = true}},
      {"only the presence changed",
       playingParty,
       [](SessionState& s) { s.participantCount = 3; },
       {.save = true, .syncPlayer = false, .playing = true}},
      {"a request became due for automatic play",
       suggestionPartyWithRequest,
       [](SessionState& s) { s.revision += 1; },
       {.save = true, .autoPlay = true}},
      {"automatic play is off",
       suggestionPartyWithRequest,
       [](SessionState& s) { s.settings.autoPlaysTopRequest = false; },
       {.save = true, .autoPlay = false}},
      {"the queue is not empty",
       suggestionPartyWithRequest,
       [](SessionState& s) { s.queue.push_back(queueItem("q1", "t1")); },
       {.save = true, .syncPlayer = true, .autoPlay = false}},
  };
  for (const auto& c : cases) {
    const SessionState before = c.before();
    SessionState after = before;
    c.change(after);
    const auto effects = SessionEffects::of(before, after);
    EXPECT_EQ(effects.save, c.expected.save) << c.name;
    EXPECT_EQ(effects.syncPlayer, c.expected.syncPlayer) << c.name;
    EXPECT_EQ(effects.playing, c.expected.playing) << c.name;
    EXPECT_EQ(effects.partyStarted, c.expected.partyStarted) << c.name;
    EXPECT_EQ(effects.autoPlay, c.expected.autoPlay) << c.name;
  }
}

}  // namespace
}  // namespace kovali
