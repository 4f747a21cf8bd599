#include "audio/audio_inputs.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include "support/fake_capture_system.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

using Transport = AudioOutput::Device::Transport;
using Permission = CaptureSystem::RecordPermission;

const CaptureSystem::Input lineIn{"usb-line-in", "Line In", Transport::usb};
const CaptureSystem::Input mic{"builtin-mic", "Microphone", Transport::builtIn};
constexpr const char* permissionText =
    "Allow Kovali to use the microphone in your desktop's privacy settings, then choose the input again.";

class AudioInputsTest : public ::testing::Test {
 protected:
  AudioInputsTest() {
    auto fake = std::make_unique<FakeCaptureSystem>(&scheduler);
    system = fake.get();
    system->change({lineIn, mic});
    inputs = std::make_unique<AudioInputs>(std::move(fake));
  }

  /// Starts `select(id)`; its result lands in the returned slot once it ends.
  std::shared_ptr<std::optional<bool>> selectLater(const std::string& id) {
    auto result = std::make_shared<std::optional<bool>>();
    [](AudioInputs& in, std::string which, std::shared_ptr<std::optional<bool>> into) -> QCoro::Task<> {
      *into = co_await in.select(which);
    }(*inputs, id, result);
    return result;
  }

  /// Lets queued reports (started sound, a returned input's restart) arrive.
  void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  ManualScheduler scheduler;
  FakeCaptureSystem* system = nullptr;
  std::unique_ptr<AudioInputs> inputs;
};

TEST_F(AudioInputsTest, ListsByNameAloneAndNeverTheHostsOwnDevices) {
  system->change({
      {"builtin-beta", "Beta", Transport::builtIn},
      {"kovaliapp.host.tap.1F2E", "Kovali tap", Transport::other},
      {"usb-alpha", "Alpha", Transport::usb},
      {"second-case", "beta", Transport::other},
  });

  std::vector<std::string> ids;
  for (const auto& device : inputs->devices()) ids.push_back(device.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"usb-alpha", "builtin-beta", "second-case"}));
  EXPECT_EQ(inputs->device("usb-alpha"), (AudioInputs::Device{"usb-alpha", "Alpha", Transport::usb}));
  EXPECT_EQ(inputs->device("kovaliapp.host.tap.1F2E"), std::nullopt);
}

TEST_F(AudioInputsTest, PlaysTheSelectedInputOnceItsSoundFlows) {
  system->startsAtOnce = false;
  QSignalSpy changed(inputs.get(), &AudioInputs::changed);

  auto result = selectLater(lineIn.id);
  settle();
  EXPECT_EQ(inputs->playingID(), std::nullopt) << "not shown as playing before it starts";
  EXPECT_EQ(*result, std::nullopt);

  system->started.back()->start();
  settle();

  EXPECT_EQ(*result, true);
  EXPECT_EQ(inputs->playingID(), lineIn.id);
  EXPECT_EQ(inputs->requestedID(), lineIn.id);
  EXPECT_EQ(inputs->lastError(), std::nullopt);
  EXPECT_EQ(system->running(), 1);
  EXPECT_GE(changed.count(), 1);
}

TEST_F(AudioInputsTest, SelectingAMissingInputStopsWhatPlayedAndSaysSo) {
  ASSERT_TRUE(QCoro::waitFor(inputs->select(lineIn.id)));

  EXPECT_FALSE(QCoro::waitFor(inputs->select("gone")));

  EXPECT_EQ(inputs->lastError(), "This input isn't connected.");
  EXPECT_EQ(inputs->requestedID(), "gone") << "the request is kept after it failed";
  EXPECT_EQ(inputs->playingID(), std::nullopt);
  EXPECT_EQ(system->running(), 0);
}

TEST_F(AudioInputsTest, AStartThatFailsIsReportedAndNeverShownAsPlaying) {
  system->startsAtOnce = false;
  auto result = selectLater(lineIn.id);
  settle();

  system->started.back()->refuse("Device or resource busy");
  settle();

  EXPECT_EQ(*result, false);
  EXPECT_EQ(inputs->lastError(), "Could not open Line In: Device or resource busy.");
  EXPECT_EQ(inputs->playingID(), std::nullopt);
  EXPECT_EQ(inputs->requestedID(), lineIn.id);
  EXPECT_EQ(system->running(), 0);

  ASSERT_TRUE(QCoro::waitFor([&]() -> QCoro::Task<bool> {
    system->startsAtOnce = true;
    co_return co_await inputs->select(lineIn.id);
  }()));
  EXPECT_EQ(inputs->lastError(), std::nullopt) << "the message stays until a selection succeeds";
}

TEST_F(AudioInputsTest, ASecondSelectionWhileTheFirstStartsLeavesOnlyTheSecondRunning) {
  system->startsAtOnce = false;
  auto first = selectLater(lineIn.id);
  settle();
  auto second = selectLater(lineIn.id);
  settle();

  ASSERT_EQ(system->started.size(), 2u);
  EXPECT_TRUE(system->started[0].isNull()) << "the first capture was stopped";
  system->started[1]->start();
  settle();

  EXPECT_EQ(*first, false);
  EXPECT_EQ(*second, true);
  EXPECT_EQ(system->running(), 1);
  EXPECT_EQ(inputs->playingID(), lineIn.id);
  EXPECT_EQ(inputs->lastError(), std::nullopt);
}

TEST_F(AudioInputsTest, TheLatestRequestWinsWhileThePermissionIsAsked) {
  system->permission = Permission::notDetermined;
  auto first = selectLater(lineIn.id);
  auto second = selectLater(mic.id);
  scheduler.advance(1);
  settle();

  EXPECT_EQ(*first, false);
  EXPECT_EQ(*second, true);
  EXPECT_EQ(inputs->playingID(), mic.id);
  EXPECT_EQ(inputs->lastError(), std::nullopt) << "the overtaken request says nothing";
  ASSERT_EQ(system->started.size(), 1u);
  EXPECT_EQ(system->started[0]->inputID(), mic.id);

  auto third = selectLater(lineIn.id);
  inputs->stop();
  scheduler.advance(1);
  settle();
  EXPECT_EQ(*third, false);
  EXPECT_EQ(system->running(), 0) << "nothing starts after stop()";
  EXPECT_EQ(inputs->requestedID(), std::nullopt);
}

TEST_F(AudioInputsTest, ARefusedOrDeniedPermissionExplainsWhereToAllowIt) {
  struct Case {
    const char* name;
    Permission permission;
    bool userAllows;
    int prompts;
  } cases[] = {
      {"refused now", Permission::notDetermined, false, 1},
      {"denied", Permission::denied, true, 0},
      {"restricted", Permission::restricted, true, 0},
  };
  for (const auto& c : cases) {
    inputs->stop();
    system->permission = c.permission;
    system->userAllows = c.userAllows;
    system->prompts = 0;
    auto result = selectLater(lineIn.id);
    scheduler.advance(1);
    settle();

    EXPECT_EQ(*result, false) << c.name;
    EXPECT_EQ(inputs->lastError(), permissionText) << c.name;
    EXPECT_EQ(system->prompts, c.prompts) << c.name;
    EXPECT_EQ(system->running(), 0) << c.name;
  }
}

TEST_F(AudioInputsTest, AnUnpluggedInputIsWaitedForAndPlaysAgainWhenItIsBack) {
  ASSERT_TRUE(QCoro::waitFor(inputs->select(lineIn.id)));

  system->change({mic});

  EXPECT_EQ(inputs->playingID(), std::nullopt);
  EXPECT_EQ(inputs->requestedID(), lineIn.id);
  EXPECT_EQ(inputs->lastError(), "Line In was disconnected. It plays again when it's back.");
  EXPECT_EQ(system->running(), 0);

  system->change({lineIn, mic});
  settle();

  EXPECT_EQ(inputs->playingID(), lineIn.id);
  EXPECT_EQ(inputs->lastError(), std::nullopt);
  EXPECT_EQ(system->running(), 1);
}

TEST_F(AudioInputsTest, SelectingAnotherInputForgetsTheUnpluggedOne) {
  ASSERT_TRUE(QCoro::waitFor(inputs->select(lineIn.id)));
  system->change({mic});
  ASSERT_TRUE(QCoro::waitFor(inputs->select(mic.id)));

  system->change({lineIn, mic});
  settle();

  EXPECT_EQ(inputs->playingID(), mic.id);
  EXPECT_EQ(system->started.size(), 2u) << "the returned input did not start again";
}

TEST_F(AudioInputsTest, SelectingThePlayingInputRestartsIt) {
  ASSERT_TRUE(QCoro::waitFor(inputs->select(lineIn.id)));
  ASSERT_TRUE(QCoro::waitFor(inputs->select(lineIn.id)));

  ASSERT_EQ(system->started.size(), 2u);
  EXPECT_TRUE(system->started[0].isNull());
  EXPECT_EQ(system->running(), 1);
}

TEST_F(AudioInputsTest, ALiveInputThatBreaksIsReportedAndStopped) {
  ASSERT_TRUE(QCoro::waitFor(inputs->select(lineIn.id)));

  system->started.back()->breakDown("Connection terminated");

  EXPECT_EQ(inputs->playingID(), std::nullopt);
  EXPECT_EQ(inputs->lastError(), "Could not open Line In: Connection terminated.");
  EXPECT_EQ(system->running(), 0);
}

TEST_F(AudioInputsTest, StopForgetsTheRequestAndTheErrorAndTellsTheOwner) {
  (void)QCoro::waitFor(inputs->select("gone"));
  QSignalSpy changed(inputs.get(), &AudioInputs::changed);
  QSignalSpy requested(inputs.get(), &AudioInputs::requestedIDChanged);

  inputs->stop();

  EXPECT_EQ(inputs->requestedID(), std::nullopt);
  EXPECT_EQ(inputs->lastError(), std::nullopt);
  EXPECT_EQ(requested.count(), 1);
  EXPECT_EQ(changed.count(), 1);
}

}  // namespace
}  // namespace kovali
