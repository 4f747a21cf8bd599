// One host per user: a second launch reaches the first instead of starting another.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "app/single_instance.h"

namespace kovali {
namespace {

TEST(SingleInstance, ASecondLaunchAsksTheFirstToComeForward) {
  QTemporaryDir folder;
  SingleInstance first(folder.path());
  ASSERT_TRUE(first.claim());
  QSignalSpy requests(&first, &SingleInstance::activationRequested);

  SingleInstance second(folder.path());
  EXPECT_FALSE(second.claim());
  EXPECT_TRUE(second.activateRunning(2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return requests.count() == 1; }, 2000));
}

TEST(SingleInstance, TheNextLaunchRunsOnceTheFirstHasGone) {
  QTemporaryDir folder;
  {
    SingleInstance first(folder.path());
    ASSERT_TRUE(first.claim());
  }
  SingleInstance next(folder.path());
  EXPECT_TRUE(next.claim());
}

TEST(SingleInstance, NobodyAnswersWhenNoHostRuns) {
  QTemporaryDir folder;
  SingleInstance lone(folder.path());
  EXPECT_FALSE(lone.activateRunning(300));
}

}  // namespace
}  // namespace kovali
