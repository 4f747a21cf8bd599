// A screen asked to refresh many times within a frame redraws at once and then once more when the
// frame is over, so it never stays behind the party and never redraws once a change. Refreshes
// take virtual time, so the test says nothing of how fast the machine runs.

#include <gtest/gtest.h>

#include <QObject>
#include <algorithm>
#include <vector>

#include "app/look/frame_refresh.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

constexpr double kFrame = FrameRefresh::frameSeconds;

TEST(FrameRefresh, RunsAtOnceThenOnceAtTheEndOfThePauseAndAtOnceAgainAfterAQuietPause) {
  struct Case {
    const char* name;
    std::vector<double> takes;  // what each refresh takes, the last one for all after it
    double pauseAfterFirst;     // how long after the first refresh ends the next may run
    double pauseAfterSecond;
  } cases[] = {
      {"a quick refresh", {0}, kFrame, kFrame},
      {"a refresh longer than a frame", {2 * kFrame}, kFrame, 2 * kFrame},
      {"refreshes of ten frames: as long free after each as it took", {10 * kFrame}, kFrame, 10 * kFrame},
      // The first switch to a big party's console: one slow refresh does not hold back the next.
      {"one slow refresh, then quick ones", {600 * kFrame, 0}, kFrame, kFrame},
      {"a slow refresh after a quicker one: the shorter of the two", {2 * kFrame, 10 * kFrame}, kFrame, 2 * kFrame},
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    QObject owner;
    int runs = 0, changes = 0, shown = 0;
    MonotonicTime ended;
    FrameRefresh refresh(
        scheduler,
        [&] {
          ++runs;
          shown = changes;
          scheduler.advance(c.takes[std::min(static_cast<std::size_t>(runs), c.takes.size()) - 1]);
          ended = scheduler.monotonicNow();
        },
        &owner);
    const auto change = [&] {
      ++changes;
      refresh.request();
    };
    const auto advanceTo = [&](MonotonicTime time) {
      scheduler.advance(std::max(0.0, secondsBetween(scheduler.monotonicNow(), time)));
    };
    // A hundred changes after a refresh ended: one more refresh once `pause` is over, not before.
    const auto expectOneRefreshAfter = [&](double pause, const char* which) {
      const int before = runs;
      for (int i = 0; i < 100; ++i) change();
      advanceTo(secondsAfter(ended, pause - kFrame / 4));
      EXPECT_EQ(runs, before) << c.name << ": not before the pause after the " << which << " refresh is over";
      scheduler.advance(kFrame / 2);
      EXPECT_EQ(runs, before + 1) << c.name << ": once at the end of the pause after the " << which << " refresh";
      EXPECT_EQ(shown, changes) << c.name << ": the last change is not lost";
    };

    change();
    ASSERT_EQ(runs, 1) << c.name << ": nothing ran for a frame: at once";
    expectOneRefreshAfter(c.pauseAfterFirst, "first");
    expectOneRefreshAfter(c.pauseAfterSecond, "second");

    advanceTo(secondsAfter(ended, c.pauseAfterSecond + *std::max_element(c.takes.begin(), c.takes.end())));
    change();
    EXPECT_EQ(runs, 4) << c.name << ": after a quiet pause, at once";
    EXPECT_EQ(scheduler.pendingCount(), 0) << c.name << ": nothing left waiting";
  }
}

TEST(FrameRefresh, ARefreshDueWhenItsOwnerGoesNeverRuns) {
  ManualScheduler scheduler;
  int runs = 0;
  {
    QObject owner;
    auto* refresh = new FrameRefresh(scheduler, [&] { ++runs; }, &owner);
    refresh->request();
    refresh->request();
  }
  scheduler.advance(1);
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace kovali
