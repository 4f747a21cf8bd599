#include "audio/audio_inputs.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include "support/manual_scheduler.h"

namespace kovali {
namespace {

/// Inputs with a listed device, whose permission answer arrives when the test's clock says.
class ListedInputs : public AudioInputs {
 public:
  explicit ListedInputs(ManualScheduler& scheduler) : scheduler_(scheduler) {
    setDevices({{"usb-line-in", "Line In", AudioOutput::Device::Transport::usb}});
  }

  QCoro::Task<bool> requestMicrophoneAccess() override {
    co_await scheduler_.sleep(1);
    co_return true;
  }

 private:
  ManualScheduler& scheduler_;
};

TEST(AudioInputs, ListsNoInputsWithoutACaptureLayerSoASelectionFails) {
  AudioInputs inputs;
  int changes = 0;
  QObject::connect(&inputs, &AudioInputs::changed, [&] { ++changes; });

  const bool playing = QCoro::waitFor(inputs.select("usb-line-in"));

  EXPECT_FALSE(playing);
  EXPECT_TRUE(inputs.devices().empty());
  EXPECT_EQ(inputs.device("usb-line-in"), std::nullopt);
  EXPECT_EQ(inputs.lastError(), "This input isn't connected.");
  EXPECT_EQ(inputs.requestedID(), "usb-line-in") << "the request is kept after it failed";
  EXPECT_EQ(inputs.playingID(), std::nullopt);
  EXPECT_EQ(changes, 1);
}

TEST(AudioInputs, StopForgetsTheRequestAndTheErrorAndTellsTheOwner) {
  AudioInputs inputs;
  (void)QCoro::waitFor(inputs.select("usb-line-in"));
  int changes = 0;
  QObject::connect(&inputs, &AudioInputs::changed, [&] { ++changes; });
  QSignalSpy requested(&inputs, &AudioInputs::requestedIDChanged);

  inputs.stop();

  EXPECT_EQ(inputs.requestedID(), std::nullopt);
  EXPECT_EQ(inputs.lastError(), std::nullopt);
  EXPECT_EQ(requested.count(), 1);
  EXPECT_EQ(changes, 1);
}

TEST(AudioInputs, ThePlayerIsMissingSoAListedInputCannotPlay) {
  ManualScheduler scheduler;
  ListedInputs inputs(scheduler);
  std::optional<bool> result;
  auto select = [&]() -> QCoro::Task<> { result = co_await inputs.select("usb-line-in"); };

  select();
  scheduler.advance(1);

  EXPECT_EQ(result, false);
  EXPECT_EQ(inputs.lastError(), "Could not open Line In: live inputs can't be played on Linux yet.");
  EXPECT_EQ(inputs.playingID(), std::nullopt);
}

TEST(AudioInputs, ARequestOvertakenWhileThePermissionIsAskedStartsNothing) {
  ManualScheduler scheduler;
  ListedInputs inputs(scheduler);
  std::optional<bool> first;
  auto select = [&]() -> QCoro::Task<> { first = co_await inputs.select("usb-line-in"); };

  select();
  inputs.stop();
  scheduler.advance(1);

  EXPECT_EQ(first, false);
  EXPECT_EQ(inputs.lastError(), std::nullopt) << "the overtaken request says nothing";
  EXPECT_EQ(inputs.requestedID(), std::nullopt);
}

}  // namespace
}  // namespace kovali
