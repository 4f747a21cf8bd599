// A screen asked to refresh many times within a frame redraws at once and then once more when the
// frame is over, so it never stays behind the party and never redraws once a change.

#include <gtest/gtest.h>

#include <algorithm>

#include <QObject>
#include <QTest>

#include "app/look/frame_refresh.h"

namespace kovali {
namespace {

TEST(FrameRefresh, RunsAtOnceThenOnceAtTheEndOfTheFrameAndAtOnceAgainAfterAQuietFrame) {
  struct Case {
    const char* name;
    int refreshMs;  // what one refresh takes
  } cases[] = {
      {"a quick refresh", 0},
      {"a refresh longer than a frame", 2 * FrameRefresh::frameMs},
      {"a refresh of ten frames", 10 * FrameRefresh::frameMs},
  };
  for (const auto& c : cases) {
    QObject owner;
    int runs = 0, changes = 0, shown = 0;
    FrameRefresh refresh(
        [&] {
          ++runs;
          shown = changes;
          QTest::qSleep(c.refreshMs);
        },
        &owner);

    ++changes;
    refresh.request();
    EXPECT_EQ(runs, 1) << c.name << ": nothing ran for a frame: at once";
    for (int i = 0; i < 100; ++i) {
      ++changes;
      refresh.request();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == changes; })) << c.name << ": the last change is not lost";
    EXPECT_LE(runs, 3) << c.name << ": a hundred changes within a frame or two, not a hundred redraws";

    QTest::qWait(std::max(FrameRefresh::frameMs, c.refreshMs) + FrameRefresh::frameMs * 2);
    const int settled = runs;
    refresh.request();
    EXPECT_EQ(runs, settled + 1) << c.name << ": after a quiet frame, or as long as it takes, at once";
    if (c.refreshMs >= 10 * FrameRefresh::frameMs) {
      ++changes;
      refresh.request();
      QTest::qWait(2 * FrameRefresh::frameMs);
      EXPECT_EQ(runs, settled + 1) << c.name << ": as long free after it as it took, not a frame";
      EXPECT_TRUE(QTest::qWaitFor([&] { return shown == changes; })) << c.name << ": then the change is shown";
    }
  }
}

}  // namespace
}  // namespace kovali
