#include "audio/local_mirror.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/runtime/queue_timer.h"
#include "support/fake_audio_renderer.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

constexpr int rate = 48000;
constexpr std::int64_t tenth = rate / 10;  // frames in each test buffer
const AudioFormat stereo48k{rate, 2};

/// A 0.1 s buffer of quiet sound.
SharedPCMBuffer tenthOfASecond() {
  return std::make_shared<PCMBuffer>(PCMBuffer{stereo48k, std::vector<float>(tenth * 2, 0.1f)});
}

class LocalMirrorTest : public ::testing::Test {
 protected:
  LocalMirrorTest()
      : start_(scheduler_.now()),
        synchronizer_(std::make_shared<RenderSynchronizer>([this] { return scheduler_.now().secondsSince(start_); })),
        mirror_(
            stereo48k,
            [this](double interval, std::function<void()> tick) { return scheduler_.repeat(interval, std::move(tick)); },
            std::make_unique<FakeAudioRenderer>(renderer_), synchronizer_) {}

  /// Pushes 0.1 s buffers covering [from, to) seconds of the timeline.
  void pushSeconds(double from, double to) {
    for (auto start = static_cast<std::int64_t>(from * rate); start < static_cast<std::int64_t>(to * rate);
         start += tenth) {
      mirror_.push(tenthOfASecond(), start);
    }
  }

  /// The presentation times handed to the renderer, in seconds.
  std::vector<double> handedSeconds() const {
    std::vector<double> seconds;
    for (const auto& buffer : renderer_.enqueued) seconds.push_back(buffer.presentationTime.seconds());
    return seconds;
  }

  ManualScheduler scheduler_;
  vinaro::Date start_;
  FakeAudioRenderer::State renderer_;
  std::shared_ptr<RenderSynchronizer> synchronizer_;
  LocalMirror mirror_;
};

TEST_F(LocalMirrorTest, KeepsFifteenSecondsBehindTheNewestBuffer) {
  pushSeconds(0, 20.05);  // the last buffer starts at 20 s: the cut-off is exactly 5 s
  mirror_.start(4.95);    // the chunk ending at 5 s would hold this time, but it is gone
  ASSERT_FALSE(renderer_.enqueued.empty());
  EXPECT_DOUBLE_EQ(handedSeconds().front(), 5.0);
}

TEST_F(LocalMirrorTest, HandsOverTheChunkHoldingTheClockAndASecondAhead) {
  pushSeconds(0, 10);
  mirror_.start(3.05);
  // The chunk from 3.0 s whole, then up to (not including) the clock plus one second.
  std::vector<double> expected;
  for (int i = 30; i < 41; ++i) expected.push_back(i / 10.0);
  auto handed = handedSeconds();
  ASSERT_EQ(handed.size(), expected.size());
  for (std::size_t i = 0; i < handed.size(); ++i) EXPECT_NEAR(handed[i], expected[i], 1e-9) << i;

  scheduler_.advance(0.1);  // at 3.10 s the chunk at 4.1 s is exactly a second ahead, at 3.15 s within
  ASSERT_EQ(renderer_.enqueued.size(), expected.size() + 1);
  EXPECT_NEAR(handedSeconds().back(), 4.1, 1e-9);
  EXPECT_EQ(renderer_.enqueued.back().pcm->frameLength(), tenth);
}

TEST_F(LocalMirrorTest, ARendererThatIsNotReadyOnlyPostpones) {
  pushSeconds(0, 10);
  renderer_.ready = false;
  mirror_.start(1.0);
  scheduler_.advance(0.2);
  EXPECT_TRUE(renderer_.enqueued.empty());

  renderer_.ready = true;
  scheduler_.advance(0.05);  // the clock at 1.25 s: from the chunk holding 1.0 s, nothing lost
  ASSERT_FALSE(renderer_.enqueued.empty());
  EXPECT_NEAR(handedSeconds().front(), 1.0, 1e-9);
  EXPECT_NEAR(handedSeconds().back(), 2.2, 1e-9);
}

TEST_F(LocalMirrorTest, StartingAgainRealignsWithOneFeeder) {
  pushSeconds(0, 10);
  mirror_.start(2.0);
  mirror_.start(5.0);
  EXPECT_EQ(scheduler_.pendingCount(), 1);
  EXPECT_EQ(renderer_.flushes, 2);
  EXPECT_NEAR(synchronizer_->currentTime(), 5.0, 1e-9);
  EXPECT_NEAR(handedSeconds().back(), 5.9, 1e-9);
}

TEST_F(LocalMirrorTest, StopHoldsTheClockAndAStartPlaysTheKeptChunksAgain) {
  pushSeconds(0, 5);
  mirror_.start(1.0);
  mirror_.stop();
  EXPECT_FALSE(mirror_.isRunning());
  EXPECT_EQ(scheduler_.pendingCount(), 0);
  const auto handed = renderer_.enqueued.size();
  pushSeconds(5, 6);  // pushes while stopped never reach the renderer
  scheduler_.advance(1);
  EXPECT_EQ(renderer_.enqueued.size(), handed);
  EXPECT_NEAR(synchronizer_->currentTime(), 1.0, 1e-9);

  mirror_.start(0.5);
  EXPECT_TRUE(mirror_.isRunning());
  EXPECT_NEAR(handedSeconds()[handed], 0.5, 1e-9);
}

TEST_F(LocalMirrorTest, AClockPastEveryChunkWaitsForOneEndingLater) {
  pushSeconds(0, 2);
  mirror_.start(3.0);
  scheduler_.advance(0.1);
  EXPECT_TRUE(renderer_.enqueued.empty());
  pushSeconds(3.1, 3.3);  // at the next tick (3.15 s) the chunk from 3.1 s holds the clock's time
  scheduler_.advance(0.05);
  ASSERT_EQ(renderer_.enqueued.size(), 2u);
  EXPECT_NEAR(handedSeconds().front(), 3.1, 1e-9);
}

TEST_F(LocalMirrorTest, AClockBeforeEveryChunkWaitsForTheOldestWithinASecond) {
  pushSeconds(2, 3);
  mirror_.start(0.5);
  EXPECT_TRUE(renderer_.enqueued.empty());
  scheduler_.advance(0.55);  // the clock at 1.05 s: the chunk at 2.0 s is less than a second ahead
  ASSERT_FALSE(renderer_.enqueued.empty());
  EXPECT_NEAR(handedSeconds().front(), 2.0, 1e-9);
}

TEST(LocalMirrorOnItsQueue, KeepsFeedingWhileTheMainThreadStallsLongerThanTheLookAhead) {
  FakeAudioRenderer::State renderer;
  // Real clocks: the queue's ticks run in real time.
  auto synchronizer = std::make_shared<RenderSynchronizer>();
  LocalMirror mirror(stereo48k, timersOnOwnQueue(QStringLiteral("kovaliapp.test.copy")),
                     std::make_unique<FakeAudioRenderer>(renderer), synchronizer);
  for (std::int64_t start = 0; start < 10 * rate; start += tenth) mirror.push(tenthOfASecond(), start);

  mirror.start(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));  // no event of this thread runs
  mirror.stop();  // waits for a feed under way, so the renderer is read alone

  ASSERT_FALSE(renderer.enqueued.empty());
  EXPECT_GE(renderer.enqueued.back().presentationTime.seconds(), 1.5)
      << "only the second handed over at the start reached the renderer";
}

}  // namespace
}  // namespace kovali
