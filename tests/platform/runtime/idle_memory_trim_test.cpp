#include "platform/runtime/idle_memory_trim.h"

#include <gtest/gtest.h>

#include "support/manual_scheduler.h"

namespace kovali {
namespace {

TEST(IdleMemoryTrimTest, TrimsOnceAfterEachQuietSpellAndNotWhileBusy) {
  ManualScheduler scheduler;
  int trims = 0;
  IdleMemoryTrim trim(scheduler, [&] { ++trims; });
  const double quiet = IdleMemoryTrim::quietSeconds;

  scheduler.advance(quiet * 3);
  EXPECT_EQ(trims, 0) << "nothing happened, nothing to give back";

  trim.activity();
  for (int i = 0; i < 10; ++i) {
    scheduler.advance(quiet / 2);
    trim.activity();
  }
  EXPECT_EQ(trims, 0) << "busy all along";
  scheduler.advance(quiet - 1);
  EXPECT_EQ(trims, 0);
  scheduler.advance(2);
  EXPECT_EQ(trims, 1);
  scheduler.advance(quiet * 5);
  EXPECT_EQ(trims, 1) << "once per quiet spell";

  trim.activity();
  scheduler.advance(quiet + 1);
  EXPECT_EQ(trims, 2);
}

}  // namespace
}  // namespace kovali
