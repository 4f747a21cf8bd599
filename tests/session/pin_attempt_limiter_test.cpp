#include "session/pin_attempt_limiter.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

using vinaro::Date;

Date at(double seconds) { return Date::fromSecondsSince1970(seconds); }

TEST(PINAttemptLimiter, LocksADeviceAfterFiveWrongPINsForThirtySecondsAfterEachFurtherWrongOne) {
  PINAttemptLimiter limiter;
  for (int i = 0; i < 4; ++i) limiter.recordFailure("phone", at(i));
  EXPECT_FALSE(limiter.isLocked("phone", at(4))) << "four wrong PINs lock nothing";

  limiter.recordFailure("phone", at(4));
  EXPECT_TRUE(limiter.isLocked("phone", at(4)));
  EXPECT_TRUE(limiter.isLocked("phone", at(33.9)));
  EXPECT_FALSE(limiter.isLocked("other", at(5))) << "only the guessing device is held back";

  // Past the lock one guess is compared; wrong again, it locks again at once.
  EXPECT_FALSE(limiter.isLocked("phone", at(34)));
  limiter.recordFailure("phone", at(34));
  EXPECT_TRUE(limiter.isLocked("phone", at(35)));
  EXPECT_FALSE(limiter.isLocked("phone", at(64)));
}

TEST(PINAttemptLimiter, TheRightPINClearsTheCount) {
  PINAttemptLimiter limiter;
  for (int i = 0; i < 4; ++i) limiter.recordFailure("phone", at(i));
  limiter.recordSuccess("phone");
  limiter.recordFailure("phone", at(5));
  EXPECT_FALSE(limiter.isLocked("phone", at(5)));
}

}  // namespace
}  // namespace kovali
