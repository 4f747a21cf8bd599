// Discovery against a real sound server: these run only inside
// tests/platform/sound/pulse_music_player_test.sh, whose server a test may pause, kill and start
// again. A null source stands in for the AirPlay discovery module, which needs a network.

#include "platform/sound/airplay/pulse_air_play_sinks.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/sound_recording.h"

namespace kovali {
namespace {

constexpr const char* standIn = "module-null-source";
constexpr const char* unreachable = "The sound server could not be reached to look for AirPlay speakers.";

using Outcome = std::optional<std::optional<std::string>>;  // none: `done` did not run
const Outcome succeeded{std::in_place};
const Outcome failedUnreachable{std::in_place, unreachable};

std::optional<int> standInIndex() { return serverModuleIndex(standIn, "source_name=stand_in"); }

/// Starts discovery; what it answers holds the outcome once `done` ran.
std::shared_ptr<Outcome> startLook(PulseAirPlaySinks& sinks) {
  auto outcome = std::make_shared<Outcome>();
  sinks.startDiscovery([outcome](std::optional<std::string> failure) { *outcome = std::move(failure); });
  return outcome;
}

/// Starts discovery and waits up to `patience` milliseconds for its outcome.
Outcome discover(PulseAirPlaySinks& sinks, int patience = 5000) {
  const auto outcome = startLook(sinks);
  (void)QTest::qWaitFor([&] { return outcome->has_value(); }, patience);  // the caller checks the outcome
  return *outcome;
}

/// Starts discovery once the object reaches the server (after a restart that takes up to a
/// second); its answer also tells that every request sent before it was handled.
Outcome discoverOnceReachable(PulseAirPlaySinks& sinks) {
  Outcome outcome;
  for (int attempt = 0; attempt < 50; ++attempt) {
    outcome = discover(sinks);
    if (outcome != failedUnreachable) return outcome;
    QTest::qWait(100);
  }
  return outcome;
}

/// Lets a paused server answer again when the test ends, whatever happened.
struct Resume {
  ~Resume() { controlSoundServer("resume"); }
};

class PulseServerAirPlaySinks : public ::testing::Test {
 protected:
  void TearDown() override {
    if (auto index = standInIndex()) bystanders.push_back(*index);
    for (int index : bystanders) unloadServerModule(index);
  }

  PulseAirPlaySinks sinks{standIn, "source_name=stand_in"};
  std::vector<int> bystanders;  // modules a test loaded itself, unloaded at its end
};

TEST_F(PulseServerAirPlaySinks, LoadsTheDiscoveryOnceAndUnloadsWhatItLoaded) {
  ASSERT_EQ(discoverOnceReachable(sinks), succeeded);
  EXPECT_TRUE(standInIndex().has_value());
  EXPECT_EQ(discover(sinks), succeeded) << "a second start finds it loaded";

  sinks.stopDiscovery();
  EXPECT_TRUE(QTest::qWaitFor([] { return !standInIndex(); }, 5000)) << "stopped, it is unloaded";
}

TEST_F(PulseServerAirPlaySinks, AStopWhileTheLoadIsUnderWayLeavesNothingLoaded) {
  ASSERT_EQ(discoverOnceReachable(sinks), succeeded);
  sinks.stopDiscovery();
  ASSERT_TRUE(QTest::qWaitFor([] { return !standInIndex(); }, 5000));

  std::shared_ptr<Outcome> outcome;
  {
    Resume resume;
    ASSERT_TRUE(controlSoundServer("pause"));
    outcome = startLook(sinks);
    sinks.stopDiscovery();
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return outcome->has_value(); }, 5000));
  EXPECT_EQ(*outcome, succeeded);
  // Had it loaded the module, the server would have said so before `done` ran.
  EXPECT_FALSE(standInIndex().has_value());
}

TEST_F(PulseServerAirPlaySinks, TheDiscoveryStillWantedIsLoadedAgainOnAServerThatStartedAgain) {
  ASSERT_EQ(discoverOnceReachable(sinks), succeeded);
  ASSERT_TRUE(standInIndex().has_value());

  ASSERT_TRUE(controlSoundServer("stop"));
  ASSERT_TRUE(controlSoundServer("start"));
  EXPECT_TRUE(QTest::qWaitFor([] { return standInIndex().has_value(); }, 5000)) << "loaded again";

  sinks.stopDiscovery();
  EXPECT_TRUE(QTest::qWaitFor([] { return !standInIndex(); }, 5000)) << "what it loaded again, the stop unloads";
}

TEST_F(PulseServerAirPlaySinks, TheServerGoingAwayDuringTheLookEndsItWithASentence) {
  ASSERT_EQ(discoverOnceReachable(sinks), succeeded);
  const auto loadedAt = standInIndex();
  ASSERT_TRUE(loadedAt.has_value());

  std::shared_ptr<Outcome> outcome;
  {
    Resume resume;
    ASSERT_TRUE(controlSoundServer("pause"));
    outcome = startLook(sinks);
    ASSERT_TRUE(controlSoundServer("kill"));
  }
  ASSERT_TRUE(controlSoundServer("start"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return outcome->has_value(); }, 5000)) << "done ran";
  EXPECT_EQ(*outcome, failedUnreachable);

  // The new server numbers its modules afresh: someone else's module or the discovery loaded
  // again takes the number the old one had, and the stop unloads only the discovery. The last
  // sink, named like an AirPlay one, tells when the object has reached the new server.
  std::vector<std::string> others;
  for (int number = 0; bystanders.empty() || bystanders.back() < *loadedAt; ++number) {
    ASSERT_LT(number, 100);
    others.push_back("raop_bystander" + std::to_string(number));
    const auto index = loadServerModule("module-null-sink", "sink_name=" + others.back());
    ASSERT_TRUE(index.has_value());
    bystanders.push_back(*index);
  }
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const auto listed = sinks.sinks();
        return std::any_of(listed.begin(), listed.end(), [&](const auto& sink) { return sink.name == others.back(); });
      },
      5000));
  ASSERT_TRUE(QTest::qWaitFor([] { return standInIndex().has_value(); }, 5000)) << "loaded again";
  ASSERT_TRUE(standInIndex() == loadedAt || std::ranges::find(bystanders, *loadedAt) != bystanders.end());
  sinks.stopDiscovery();
  EXPECT_TRUE(QTest::qWaitFor([] { return !standInIndex(); }, 5000)) << "the discovery loaded again goes";
  ASSERT_EQ(discover(sinks), succeeded) << "answered after the stop's requests";
  for (const auto& other : others) {
    EXPECT_TRUE(serverModuleIndex("module-null-sink", "sink_name=" + other).has_value()) << other << " stays";
  }
}

}  // namespace
}  // namespace kovali
