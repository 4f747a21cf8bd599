#include <cmath>
#include <limits>

#include "protocol/json_writer.h"
#include "reducer_fixture.h"

namespace vinaro::testing {
namespace {

using namespace action;

PlaybackState playbackOf(PlaybackStatus status, std::optional<QueueItem> current, double elapsed, Date elapsedAt) {
  return PlaybackState{status, std::move(current), elapsed, elapsedAt};
}

TEST_F(ReducerTest, PlayStartsResumesOrKeepsThePositionThePhonesShow) {
  const Date earlier = kNow.addingSeconds(-5);
  const QueueItem current = queued(song("now", 200));
  struct Case {
    const char* name;
    PlaybackState before;
    std::vector<QueueItem> queue;
    PlaybackState after;
  } cases[] = {
      {"idle with an empty queue", playbackOf(PlaybackStatus::paused, std::nullopt, 4, earlier), {},
       playbackOf(PlaybackStatus::stopped, std::nullopt, 4, earlier)},
      {"idle with a queue", playbackOf(PlaybackStatus::stopped, std::nullopt, 4, earlier), {queued(song("a"))},
       playbackOf(PlaybackStatus::playing, queued(song("a")), 0, kNow)},
      {"paused", playbackOf(PlaybackStatus::paused, current, 42, earlier), {},
       playbackOf(PlaybackStatus::playing, current, 42, kNow)},
      {"already playing", playbackOf(PlaybackStatus::playing, current, 10, earlier), {},
       playbackOf(PlaybackStatus::playing, current, 15, kNow)},
      {"already playing past the end", playbackOf(PlaybackStatus::playing, current, 198, earlier), {},
       playbackOf(PlaybackStatus::playing, current, 200, kNow)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionState state = party();
    state.playback = c.before;
    state.queue = c.queue;
    const SessionState next = accept(state, Play{});
    EXPECT_EQ(next.playback, c.after);
    EXPECT_EQ(next.queue.size(), c.queue.empty() ? 0u : c.queue.size() - 1);
  }
}

TEST_F(ReducerTest, PauseKeepsThePositionAndSkipOrTrackEndMovesOn) {
  SessionState state = party();
  state.playback = playbackOf(PlaybackStatus::playing, queued(song("now")), 10, kNow.addingSeconds(-5));
  EXPECT_EQ(accept(state, Pause{}).playback, playbackOf(PlaybackStatus::paused, queued(song("now")), 15, kNow));

  const PlaybackState stopped = playbackOf(PlaybackStatus::stopped, std::nullopt, 0, kNow);
  EXPECT_EQ(accept(state, TrackEnded{}).playback, stopped);
  EXPECT_EQ(accept(state, Skip{}).playback, stopped);

  state.playback.status = PlaybackStatus::paused;
  state.queue = {queued(song("a")), queued(song("b"))};
  const SessionState next = accept(state, Skip{});
  EXPECT_EQ(next.playback, playbackOf(PlaybackStatus::playing, queued(song("a")), 0, kNow));
  EXPECT_EQ(next.queue, std::vector<QueueItem>{queued(song("b"))});
}

TEST_F(ReducerTest, ObservedPlaybackStoresOnlyAPositionThatCanBeSent) {
  constexpr double infinity = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    double elapsed;
    double stored;
  } cases[] = {
      {"a position", 12.5, 12.5},
      {"negative", -3, 0},
      {"NaN", std::numeric_limits<double>::quiet_NaN(), 0},
      {"infinite", infinity, 0},
      {"minus infinity", -infinity, 0},
  };
  SessionState state = party();
  state.playback = playbackOf(PlaybackStatus::paused, queued(song("now")), 1, kNow.addingSeconds(-9));
  state.queue = {queued(song("a"))};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SessionState next = accept(state, PlaybackObserved{PlaybackStatus::playing, c.elapsed});
    EXPECT_EQ(next.playback, playbackOf(PlaybackStatus::playing, queued(song("now")), c.stored, kNow));
    EXPECT_EQ(next.queue, state.queue);
    EXPECT_NO_THROW(wire::encode(next));
  }
}

TEST_F(ReducerTest, LiveInputTakesOverAndHandsBackToThePlayingQueue) {
  SessionState state = party();
  state.playback = playbackOf(PlaybackStatus::playing, queued(song("now")), 10, kNow.addingSeconds(-5));
  state.queue = {queued(song("a"))};

  // The flag the action carries is the host's guess; the reducer decides it.
  state = accept(state, SetInput{LiveInput{"line", "Line In", false}});
  EXPECT_EQ(state.input, (LiveInput{"line", "Line In", true}));
  EXPECT_EQ(state.playback, playbackOf(PlaybackStatus::paused, queued(song("now")), 15, kNow));

  state = accept(state, SetInput{LiveInput{"mic", "Microphone", false}});
  EXPECT_EQ(state.input, (LiveInput{"mic", "Microphone", true}));

  context.now = kNow.addingSeconds(30);
  state = accept(state, SetInput{std::nullopt});
  EXPECT_EQ(state.input, std::nullopt);
  EXPECT_EQ(state.playback, playbackOf(PlaybackStatus::playing, queued(song("now")), 15, context.now));
  EXPECT_EQ(state.queue.size(), 1u);
}

TEST_F(ReducerTest, LiveInputOverAPausedQueueLeavesItPausedOnHandBack) {
  SessionState state = party();
  state.playback = playbackOf(PlaybackStatus::paused, queued(song("now")), 10, kNow.addingSeconds(-5));
  state = accept(state, SetInput{LiveInput{"line", "Line In", true}});
  EXPECT_EQ(state.input, (LiveInput{"line", "Line In", false}));
  const PlaybackState paused = state.playback;
  state = accept(state, SetInput{std::nullopt});
  EXPECT_EQ(state.playback, paused);
}

}  // namespace
}  // namespace vinaro::testing
