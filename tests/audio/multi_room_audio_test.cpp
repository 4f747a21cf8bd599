#include "audio/multi_room_audio.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "platform/runtime/in_memory_preferences.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

const std::string kNotAvailable = "Multi-room AirPlay isn't available on Linux yet.";

/// A multi-room controller whose log lines and change calls the test reads.
struct Observed {
  explicit Observed(InMemoryPreferences& preferences) : audio(preferences) {
    QObject::connect(&audio, &MultiRoomAudio::logged, [this](const std::string& line) { lines.push_back(line); });
    QObject::connect(&audio, &MultiRoomAudio::changed, [this] { ++changes; });
  }

  MultiRoomAudio audio;
  std::vector<std::string> lines;
  int changes = 0;
};

TEST(MultiRoomAudio, ReadsItsTwoSettingsWithTheirDefaults) {
  struct Case {
    const char* name;
    QVariant playsOnMac;
    QVariant macVolume;
    bool expectedPlaysOnMac;
    int expectedMacVolume;
  } cases[] = {
      {"nothing stored", {}, {}, true, 100},
      {"both stored", false, 35, false, 35},
      {"as a settings file keeps them", QStringLiteral("false"), QStringLiteral("35"), false, 35},
      {"values of another kind", QStringLiteral("no"), 0.5, true, 100},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    if (c.playsOnMac.isValid()) preferences.setValue(MultiRoomAudio::playsOnMacKey, c.playsOnMac);
    if (c.macVolume.isValid()) preferences.setValue(MultiRoomAudio::macVolumeKey, c.macVolume);

    MultiRoomAudio audio(preferences);

    EXPECT_EQ(audio.playsOnMac(), c.expectedPlaysOnMac) << c.name;
    EXPECT_EQ(audio.macVolume(), c.expectedMacVolume) << c.name;
    EXPECT_EQ(audio.status(), MultiRoomAudio::Status::off()) << c.name;
  }
}

TEST(MultiRoomAudio, StartingFailsWithASentenceThatSaysWhy) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  LogCapture system("kovaliapp.multiroom");
  QSignalSpy status(&observed.audio, &MultiRoomAudio::statusChanged);

  observed.audio.start();
  observed.audio.start();

  EXPECT_FALSE(observed.audio.isSupported());
  EXPECT_EQ(observed.audio.status(), MultiRoomAudio::Status::failed(kNotAvailable));
  EXPECT_EQ(observed.audio.summary(), kNotAvailable);
  EXPECT_TRUE(observed.audio.summaryIsError());
  EXPECT_EQ(observed.lines, std::vector<std::string>{"status → failed(\"" + kNotAvailable + "\")"})
      << "an equal status is not logged again";
  EXPECT_EQ(system.lines(), observed.lines);
  EXPECT_EQ(status.count(), 1);
  EXPECT_EQ(observed.changes, 1);
}

TEST(MultiRoomAudio, StoppingReturnsToOff) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.audio.start();

  observed.audio.stop();
  observed.audio.setStatus(MultiRoomAudio::Status::off());  // as the store does after stop()

  EXPECT_EQ(observed.audio.status(), MultiRoomAudio::Status::off());
  EXPECT_EQ(observed.lines.back(), "status → off");
  EXPECT_EQ(observed.changes, 2);
  EXPECT_EQ(observed.audio.summary(), "Not available on Linux yet.");
  EXPECT_FALSE(observed.audio.summaryIsError());
  EXPECT_EQ(observed.audio.playerRoute(), MultiRoomAudio::Route::unknown);
  EXPECT_TRUE(observed.audio.speakers().empty());
}

TEST(MultiRoomAudio, PlaysOnMacIsSavedAndReportedEvenWhenUnchanged) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  QSignalSpy playsOnMac(&observed.audio, &MultiRoomAudio::playsOnMacChanged);

  observed.audio.setPlaysOnMac(true);
  EXPECT_EQ(preferences.boolValue(MultiRoomAudio::playsOnMacKey), true);
  EXPECT_EQ(observed.changes, 1);
  EXPECT_EQ(playsOnMac.count(), 0);
  EXPECT_TRUE(observed.lines.empty());

  observed.audio.setPlaysOnMac(false);
  EXPECT_EQ(preferences.boolValue(MultiRoomAudio::playsOnMacKey), false);
  EXPECT_EQ(observed.changes, 2);
  EXPECT_EQ(playsOnMac.count(), 1);
  EXPECT_EQ(observed.lines, std::vector<std::string>{"this computer stays silent"});
}

TEST(MultiRoomAudio, MacVolumeIsSavedAsGivenEvenWhenUnchanged) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  QSignalSpy volume(&observed.audio, &MultiRoomAudio::macVolumeChanged);

  observed.audio.setMacVolume(100);
  EXPECT_EQ(preferences.doubleValue(MultiRoomAudio::macVolumeKey), 100.0) << "saved although unchanged";
  EXPECT_EQ(volume.count(), 0);
  EXPECT_EQ(observed.changes, 0);

  observed.audio.setMacVolume(35);
  EXPECT_EQ(observed.audio.macVolume(), 35);
  EXPECT_EQ(preferences.doubleValue(MultiRoomAudio::macVolumeKey), 35.0);
  EXPECT_EQ(volume.count(), 1);
  EXPECT_EQ(observed.changes, 1);
  EXPECT_EQ(MultiRoomAudio(preferences).macVolume(), 35) << "the next launch reads it back";
}

}  // namespace
}  // namespace kovali
