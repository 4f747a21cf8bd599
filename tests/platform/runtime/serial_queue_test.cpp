#include "platform/runtime/serial_queue.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "support/task_result.h"

namespace kovali {
namespace {

TEST(SerialQueue, RunsWorkInOrderOnItsOwnNamedThread) {
  SerialQueue queue("kovaliapp.host.net");
  std::mutex mutex;
  std::vector<int> order;
  std::vector<QThread*> threads;
  std::vector<QString> names;
  std::atomic<int> done = 0;

  for (int i = 0; i < 20; ++i) {
    queue.async([&, i] {
      std::lock_guard lock(mutex);
      order.push_back(i);
      threads.push_back(QThread::currentThread());
      names.push_back(QThread::currentThread()->objectName());
      ++done;
    });
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return done == 20; }, 5000));

  std::lock_guard lock(mutex);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(order[i], i) << "position " << i;
  for (auto* thread : threads) EXPECT_EQ(thread, queue.thread());
  EXPECT_NE(queue.thread(), QThread::currentThread());
  EXPECT_EQ(names.front(), "kovaliapp.host.net");
}

TEST(SerialQueue, HandsResultsBackToTheMainThreadInOrder) {
  SerialQueue queue("kovaliapp.test");
  QObject receiver;
  std::vector<int> results;
  std::vector<QThread*> threads;

  for (int i = 0; i < 10; ++i) {
    queue.async([i] { return i * i; }, &receiver, [&](int square) {
      results.push_back(square);
      threads.push_back(QThread::currentThread());
    });
  }
  bool voidDone = false;
  queue.async([] {}, &receiver, [&] { voidDone = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return voidDone; }, 5000));

  EXPECT_EQ(results, (std::vector<int>{0, 1, 4, 9, 16, 25, 36, 49, 64, 81}));
  for (auto* thread : threads) EXPECT_EQ(thread, QThread::currentThread());
}

TEST(SerialQueue, DropsAResultWhoseReceiverIsGone) {
  SerialQueue queue("kovaliapp.test");
  auto receiver = std::make_unique<QObject>();
  QObject witness;
  bool delivered = false;
  bool later = false;

  queue.async([] { return 1; }, receiver.get(), [&](int) { delivered = true; });
  receiver.reset();
  queue.async([] { return 2; }, &witness, [&](int) { later = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return later; }, 5000));

  EXPECT_FALSE(delivered);
}

TEST(SerialQueue, FinishesQueuedWorkBeforeGoingAway) {
  std::atomic<int> done = 0;
  {
    SerialQueue queue("kovaliapp.test");
    queue.async([&] { QThread::msleep(20); ++done; });
    queue.async([&] { ++done; });
  }
  EXPECT_EQ(done, 2);
}

TEST(SerialQueue, AnAwaitedResultReachesTheMainThreadEvenWhenTheQueueHasGone) {
  auto queue = std::make_unique<SerialQueue>("kovaliapp.test");
  std::atomic<bool> release = false;
  QThread* ranOn = nullptr;
  auto awaiting = [](SerialQueue& on, std::atomic<bool>& go, QThread*& ran) -> QCoro::Task<std::pair<int, QThread*>> {
    auto working = on.result([&go, &ran] {
      while (!go) QThread::msleep(1);
      ran = QThread::currentThread();
      return 7;
    });
    const int value = co_await working;
    co_return std::pair(value, QThread::currentThread());
  };
  QThread* const queueThread = queue->thread();
  auto result = startTask(awaiting(*queue, release, ranOn));
  EXPECT_FALSE(result->has_value()) << "the coroutine waits while the work runs";
  release = true;
  queue.reset();  // finishes the work; the result is still on its way
  ASSERT_TRUE(QTest::qWaitFor([&] { return result->has_value(); }, 5000));
  EXPECT_EQ(ranOn, queueThread);
  EXPECT_EQ(**result, std::pair(7, QCoreApplication::instance()->thread()));
}

}  // namespace
}  // namespace kovali
