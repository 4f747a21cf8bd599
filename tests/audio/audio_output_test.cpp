#include "audio/audio_output.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace kovali {
namespace {

using Transport = AudioOutput::Device::Transport;

TEST(AudioOutput, FindsNoDevicesAndNoDefaultWithoutASoundServerLayer) {
  AudioOutput output;
  QSignalSpy devices(&output, &AudioOutput::devicesChanged);
  QSignalSpy defaultDevice(&output, &AudioOutput::defaultDeviceIDChanged);

  output.refresh();
  output.startListening();

  EXPECT_TRUE(output.devices().empty());
  EXPECT_EQ(output.defaultDeviceID(), 0u);
  EXPECT_EQ(output.lastError(), std::nullopt);
  EXPECT_EQ(devices.count() + defaultDevice.count(), 0) << "nothing changed, so nobody is told";
}

TEST(AudioOutput, ASwitchFailsWithASentenceAndCallsNoChangeCallback) {
  AudioOutput output;
  int changes = 0;
  QObject::connect(&output, &AudioOutput::changed, [&] { ++changes; });
  QSignalSpy errors(&output, &AudioOutput::lastErrorChanged);

  output.select({7, "Desk Speakers", Transport::usb});
  output.select({7, "Desk Speakers", Transport::usb});

  EXPECT_EQ(output.lastError(),
            "Could not switch to Desk Speakers: choosing the sound output isn't available on Linux yet.");
  EXPECT_EQ(errors.count(), 1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(output.defaultDeviceID(), 0u);
}

}  // namespace
}  // namespace kovali
