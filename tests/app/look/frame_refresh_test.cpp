// A screen asked to refresh many times within a frame redraws at once and then once more when the
// frame is over, so it never stays behind the party and never redraws once a change.

#include <gtest/gtest.h>

#include <QObject>
#include <QTest>

#include "app/look/frame_refresh.h"

namespace kovali {
namespace {

TEST(FrameRefresh, RunsAtOnceThenOnceAtTheEndOfTheFrameAndAtOnceAgainAfterAQuietFrame) {
  QObject owner;
  int runs = 0, changes = 0, shown = 0;
  FrameRefresh refresh(
      [&] {
        ++runs;
        shown = changes;
      },
      &owner);

  ++changes;
  refresh.request();
  EXPECT_EQ(runs, 1) << "nothing ran for a frame: at once";
  for (int i = 0; i < 100; ++i) {
    ++changes;
    refresh.request();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown == changes; })) << "the last change is not lost";
  EXPECT_LE(runs, 3) << "a hundred changes within a frame or two, not a hundred redraws";

  QTest::qWait(FrameRefresh::frameMs * 3);
  const int settled = runs;
  refresh.request();
  EXPECT_EQ(runs, settled + 1) << "after a quiet frame, at once";
}

}  // namespace
}  // namespace kovali
