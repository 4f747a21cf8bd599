// The settings screen on a real sound server with two outputs, the party playing on the real
// player: choosing the other output moves the music there. Runs only inside
// tests/platform/sound/pulse_music_player_test.sh, which starts the server with the sinks "music"
// (the default) and "stage".

#include <QLabel>
#include <QTest>

#include "app/settings/settings_view.h"
#include "app/settings/sound/device_settings.h"
#include "session/store/pulse_party.h"
#include "support/sound_recording.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

constexpr double kTone = 660;

/// The output row titled `title`, or none.
DeviceRow* rowTitled(const OutputSettings& outputs, const std::string& title) {
  for (DeviceRow* row : outputs.list().rows()) {
    if (row->model().title == title) return row;
  }
  return nullptr;
}

/// Whether `monitor` carries the tone for most of one second within `seconds` (a busy machine may
/// start the music late, and a sink that idled sends nothing at first).
bool heardOn(const char* monitor, int seconds) {
  for (int second = 0; second < seconds; ++second) {
    MonitorRecorder recorder(monitor);
    if (!recorder.error().empty()) {
      ADD_FAILURE() << recorder.error();
      return false;
    }
    QTest::qWait(1000);
    if (secondsOfTone(recorder.stop(), kTone) > 0.6) return true;
  }
  return false;
}

TEST_F(PulseServerPartyTest, ChoosingTheOtherOutputInTheSettingsMovesTheMusicThere) {
  realOutputs = true;
  const auto songs = index({{"Long note", {kTone}, 20.0}});
  ASSERT_EQ(songs.size(), 1u);
  store().add(songs[0]);
  SettingsView view({store(), *djPIN, preferences, scheduler});
  renderWidget(view, QSize(1260, 1100));
  OutputSettings& outputs = view.output();
  ASSERT_TRUE(waitUntil([&] { return rowTitled(outputs, "Stage") && rowTitled(outputs, "music"); }, 5));
  EXPECT_TRUE(rowTitled(outputs, "music")->model().selected);
  EXPECT_FALSE(rowTitled(outputs, "Stage")->model().selected);

  ASSERT_TRUE(store().dispatch(vinaro::action::Play{}, vinaro::Actor::host()));
  ASSERT_TRUE(waitUntil([&] { return store().state().playback.status == vinaro::PlaybackStatus::playing; }, 10));
  EXPECT_TRUE(heardOn("music.monitor", 8)) << "the music plays on the default output first";

  DeviceRow* stage = rowTitled(outputs, "Stage");
  view.ensureWidgetVisible(stage);
  QTest::mouseClick(stage, Qt::LeftButton, Qt::NoModifier, stage->rect().center());
  ASSERT_TRUE(waitUntil([&] { return rowTitled(outputs, "Stage")->model().selected; }, 5))
      << "the row shows the new default";
  EXPECT_FALSE(rowTitled(outputs, "music")->model().selected);
  EXPECT_FALSE(outputs.error().isVisible());

  ASSERT_TRUE(heardOn("stage.monitor", 8)) << "the music moved to the chosen output";
  MonitorRecorder onStage("stage.monitor");
  MonitorRecorder onMusic("music.monitor");
  ASSERT_EQ(onStage.error(), "");
  ASSERT_EQ(onMusic.error(), "");
  QTest::qWait(2000);
  EXPECT_GT(secondsOfTone(onStage.stop(), kTone), 1.5) << "and stays there";
  EXPECT_LT(secondsOfTone(onMusic.stop(), kTone), 0.1) << "and left the first output";
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing);
}

}  // namespace
}  // namespace kovali
