// The device lists on a real sound server. Runs only inside tests/audio/sound_devices_test.sh,
// which starts a server of its own with the sinks and the sine source named below.

#include <cmath>
#include <cstdlib>

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

#include "audio/audio_inputs.h"
#include "audio/audio_output.h"
#include "platform/sound/devices/pulse_audio_system.h"
#include "platform/sound/devices/pulse_capture_system.h"
#include "platform/sound/pulse_playback_stream.h"
#include "support/sound_recording.h"

namespace kovali {
namespace {

using Transport = AudioOutput::Device::Transport;
constexpr int waitMs = 5000;

std::string pactl(const QStringList& arguments) {
  QProcess process;
  process.start("pactl", arguments);
  process.waitForFinished();
  return process.readAllStandardOutput().trimmed().toStdString();
}

/// The module number of the first loaded module named `name`.
std::string moduleNumber(const std::string& name) {
  for (const auto& line : QString::fromStdString(pactl({"list", "short", "modules"})).split('\n')) {
    const auto fields = line.split('\t');
    if (fields.size() > 1 && fields[1].toStdString() == name) return fields[0].toStdString();
  }
  return {};
}

/// Seconds of a tone heard on `monitor` over three seconds (the first may pass before a sink
/// that idled sends anything).
double heardSeconds(const char* monitor, double hertz) {
  MonitorRecorder recorder(monitor);
  if (!recorder.error().empty()) ADD_FAILURE() << recorder.error();
  QTest::qWait(3000);
  return secondsOfTone(recorder.stop(), hertz);
}

std::optional<AudioOutput::Device> outputNamed(const AudioOutput& output, const std::string& name) {
  for (const auto& device : output.devices()) {
    if (device.name == name) return device;
  }
  return std::nullopt;
}

class PulseServerDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("KOVALI_SOUND_DEVICES")) GTEST_SKIP() << "needs the sound server of sound_devices_test.sh";
  }
};

TEST_F(PulseServerDevices, ListsTheOutputsInOrderAndFollowsSinksComingAndGoing) {
  AudioOutput output(std::make_unique<PulseAudioSystem>());
  output.refresh();
  output.startListening();
  ASSERT_TRUE(QTest::qWaitFor([&] { return output.devices().size() == 4; }, waitMs));

  const std::vector<AudioOutput::Device> expected = {
      {output.devices()[0].id, "Zeta Speakers", Transport::builtIn},
      {output.devices()[1].id, "Alpha Interface", Transport::usb},
      {output.devices()[2].id, "beta Headphones", Transport::bluetooth},
      {output.devices()[3].id, "music", Transport::other},
  };
  EXPECT_EQ(output.devices(), expected);
  EXPECT_EQ(output.defaultDeviceID(), output.devices()[3].id);

  const auto module = pactl({"load-module", "module-null-sink", "sink_name=extra",
                             "sink_properties=device.description=Extra"});
  ASSERT_FALSE(module.empty());
  EXPECT_TRUE(QTest::qWaitFor([&] { return outputNamed(output, "Extra").has_value(); }, waitMs));
  pactl({"unload-module", QString::fromStdString(module)});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !outputNamed(output, "Extra"); }, waitMs));
  EXPECT_EQ(output.devices().size(), 4u);
}

TEST_F(PulseServerDevices, SwitchesTheDefaultOutputAndTheMusicMovesWithIt) {
  AudioOutput output(std::make_unique<PulseAudioSystem>());
  output.refresh();
  output.startListening();
  ASSERT_TRUE(QTest::qWaitFor([&] { return outputNamed(output, "Alpha Interface").has_value(); }, waitMs));
  const auto desk = *outputNamed(output, "Alpha Interface");
  const auto music = *outputNamed(output, "music");

  // The player's own stream plays 660 Hz on the default output.
  double phase = 0;
  PulsePlaybackStream::Handler tone;
  tone.fill = [&](float* out, std::size_t frames, std::int64_t) {
    for (std::size_t i = 0; i < frames; ++i, phase += 2 * M_PI * 660 / PulsePlaybackStream::sampleRate) {
      out[2 * i] = out[2 * i + 1] = static_cast<float>(0.5 * std::sin(phase));
    }
    return frames;
  };
  PulsePlaybackStream stream("Kovali music", "Kovali music", tone);
  ASSERT_EQ(stream.connect(), std::nullopt);
  stream.locked([&] { stream.setCorked(false); });
  EXPECT_GT(heardSeconds("music.monitor", 660), 0.5);

  output.select(desk);
  ASSERT_TRUE(QTest::qWaitFor([&] { return output.defaultDeviceID() == desk.id; }, waitMs));
  EXPECT_EQ(pactl({"get-default-sink"}), "desk");
  EXPECT_EQ(output.lastError(), std::nullopt);
  EXPECT_GT(heardSeconds("desk.monitor", 660), 0.5) << "the music follows the default output";

  output.select({4'000'000, "Ghost", Transport::usb});
  ASSERT_TRUE(QTest::qWaitFor([&] { return output.lastError().has_value(); }, waitMs));
  EXPECT_EQ(output.lastError(), "Could not switch to Ghost (No such entity).");
  EXPECT_EQ(output.defaultDeviceID(), desk.id);

  output.select(music);
  EXPECT_TRUE(QTest::qWaitFor([&] { return pactl({"get-default-sink"}) == "music"; }, waitMs));
}

TEST_F(PulseServerDevices, PlaysTheInputLiveAndWaitsForItWhileItIsUnplugged) {
  AudioInputs inputs(std::make_unique<PulseCaptureSystem>());
  ASSERT_TRUE(QTest::qWaitFor([&] { return inputs.device("mic").has_value(); }, waitMs));
  for (const auto& device : inputs.devices()) {
    EXPECT_EQ(device.id.find(".monitor"), std::string::npos) << device.id << ": a sink's monitor is no input";
  }
  const auto name = inputs.device("mic")->name;

  ASSERT_TRUE(QCoro::waitFor(inputs.select("mic")));
  EXPECT_EQ(inputs.playingID(), "mic");
  EXPECT_GT(heardSeconds("music.monitor", 440), 0.5) << "the input plays on the default output";

  pactl({"unload-module", QString::fromStdString(moduleNumber("module-sine-source"))});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !inputs.device("mic"); }, waitMs));
  EXPECT_EQ(inputs.lastError(), name + " was disconnected. It plays again when it's back.");
  EXPECT_EQ(inputs.playingID(), std::nullopt);
  EXPECT_EQ(inputs.requestedID(), "mic");

  pactl({"load-module", "module-sine-source", "source_name=mic", "rate=48000", "frequency=440"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return inputs.playingID() == "mic"; }, waitMs));
  EXPECT_EQ(inputs.lastError(), std::nullopt);
  EXPECT_GT(heardSeconds("music.monitor", 440), 0.5);

  inputs.stop();
  QTest::qWait(300);
  EXPECT_LT(heardSeconds("music.monitor", 440), 0.2) << "nothing plays after stop()";
}

}  // namespace
}  // namespace kovali
