// One host per user: a second launch reaches the first instead of starting another.

#include "app/shell/launch/single_instance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

TEST(SingleInstance, ALockLeftByAHostThatDiedIsTakenOver) {
  QTemporaryDir folder;
  const QString lockPath = folder.filePath("kovali-host.lock");
  // A lock as a host writes it, with the id of a process that has ended since.
  QByteArray lock;
  {
    QLockFile live(lockPath);
    ASSERT_TRUE(live.tryLock(0));
    QFile file(lockPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    lock = file.readAll();
  }
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ASSERT_GT(ended, 0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  lock.replace(0, lock.indexOf('\n'), QByteArray::number(ended));
  {
    QFile file(lockPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lock);
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
