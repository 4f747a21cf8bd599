#include "audio/audio_output.h"

#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest.h>

#include "support/fake_audio_system.h"

namespace kovali {
namespace {

using Transport = AudioOutput::Device::Transport;
using Output = AudioSystem::Output;

struct Listening {
  FakeAudioSystem* system;
  std::unique_ptr<AudioOutput> output;
};

Listening listening() {
  auto system = std::make_unique<FakeAudioSystem>();
  auto* raw = system.get();
  auto output = std::make_unique<AudioOutput>(std::move(system));
  output->refresh();
  output->startListening();
  return {raw, std::move(output)};
}

TEST(AudioOutput, ListsOnlyNamedPlayableDevicesThatAreNotTheHostsOwn) {
  auto [system, output] = listening();
  system->change(
      {
          {1, "alsa_output.usb", "Desk Speakers", 2, Transport::usb},
          {2, "kovaliapp.host.tap.0C1D", "Kovali tap", 2, Transport::other},
          {3, "alsa_output.silent", "No Channels", 0, Transport::usb},
          {4, "alsa_output.unnamed", "", 2, Transport::usb},
          {5, "", "Without UID", 2, Transport::other},
      },
      1);

  ASSERT_EQ(output->devices().size(), 2u);
  EXPECT_EQ(output->devices()[0], (AudioOutput::Device{1, "Desk Speakers", Transport::usb}));
  EXPECT_EQ(output->devices()[1], (AudioOutput::Device{5, "Without UID", Transport::other}));
  EXPECT_EQ(output->defaultDeviceID(), 1u);
}

TEST(AudioOutput, PutsBuiltInDevicesFirstThenOrdersByNameIgnoringCase) {
  auto [system, output] = listening();
  system->change(
      {
          {1, "a", "Alpha Interface", 2, Transport::usb},
          {2, "b", "Zeta Speakers", 2, Transport::builtIn},
          {3, "c", "Beta", 2, Transport::hdmi},
          {4, "d", "alpha", 2, Transport::airPlay},
          {5, "e", "Same", 2, Transport::bluetooth},
          {6, "f", "Same", 2, Transport::other},
          {7, "g", "Monitor", 2, Transport::builtIn},
      },
      std::nullopt);

  std::vector<std::uint32_t> order;
  for (const auto& device : output->devices()) order.push_back(device.id);
  // "alpha" and "Alpha Interface" compare by their letters; equal names keep the system's order.
  EXPECT_EQ(order, (std::vector<std::uint32_t>{7, 2, 4, 1, 3, 5, 6}));
  EXPECT_EQ(output->defaultDeviceID(), AudioOutput::unknownDevice) << "no default is marked when it cannot be read";

  // The sound server numbers its outputs from 0: the first is no default either.
  system->change({{0, "a", "Speakers", 2, Transport::builtIn}, {1, "b", "Desk", 2, Transport::usb}}, std::nullopt);
  EXPECT_TRUE(std::ranges::none_of(output->devices(),
                                   [&](const auto& device) { return device.id == output->defaultDeviceID(); }));
}

TEST(AudioOutput, ARefreshOfAnUnchangedSystemTellsOnlyTheOwner) {
  auto [system, output] = listening();
  system->change({{1, "a", "Speakers", 2, Transport::builtIn}}, 1);
  QSignalSpy devices(output.get(), &AudioOutput::devicesChanged);
  QSignalSpy defaultDevice(output.get(), &AudioOutput::defaultDeviceIDChanged);
  QSignalSpy changed(output.get(), &AudioOutput::changed);

  output->refresh();
  emit system->changed();

  EXPECT_EQ(devices.count() + defaultDevice.count(), 0);
  EXPECT_EQ(changed.count(), 2);
}

TEST(AudioOutput, AFailedSwitchKeepsTheServersWordsUntilASwitchSucceeds) {
  auto [system, output] = listening();
  system->change({{1, "a", "Speakers", 2, Transport::builtIn}, {9, "b", "Desk Speakers", 2, Transport::usb}}, 1);
  QSignalSpy changed(output.get(), &AudioOutput::changed);
  system->switchFailure = "No such entity";

  output->select({9, "Desk Speakers", Transport::usb});

  EXPECT_EQ(output->lastError(), "Could not switch to Desk Speakers (No such entity).");
  EXPECT_EQ(output->defaultDeviceID(), 1u);
  EXPECT_EQ(changed.count(), 0) << "a failed switch tells the owner nothing";

  system->switchFailure.reset();
  output->select({9, "Desk Speakers", Transport::usb});

  EXPECT_EQ(output->lastError(), std::nullopt);
  EXPECT_EQ(output->defaultDeviceID(), 9u);
  EXPECT_GE(changed.count(), 1);
  EXPECT_EQ(system->switches, (std::vector<std::uint32_t>{9, 9}));
}

}  // namespace
}  // namespace kovali
