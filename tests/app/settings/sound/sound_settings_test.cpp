#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <algorithm>
#include <iterator>

#include "app/look/controls/switch_toggle.h"
#include "app/look/hairline.h"
#include "app/settings/sound/air_play_settings.h"
#include "app/settings/sound/device_settings.h"
#include "app/settings/sound/volume_control.h"
#include "app/settings/widgets/settings_rows.h"
#include "session/store/session_store_fixture.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

using Transport = AudioOutput::Device::Transport;
using MultiRoomStatus = MultiRoomAudio::Status;

class SoundSettingsTest : public SessionStoreTest {
 protected:
  SoundSettingsTest() { makeStore(); }

  template <class View, class... Args>
  View& show(std::unique_ptr<View>& view, Args&... args) {
    view = std::make_unique<View>(args...);
    renderWidget(*view, QSize(460, 420));
    return *view;
  }

  static std::vector<std::string> selected(const DeviceList& list) {
    std::vector<std::string> ids;
    for (const DeviceRow* row : list.rows()) {
      if (row->model().selected) ids.push_back(row->model().id);
    }
    return ids;
  }

  /// The engine calls the view made; the store's own following of the source left out.
  std::vector<std::string> viewCalls() const {
    std::vector<std::string> calls;
    std::ranges::copy_if(multiRoom->calls, std::back_inserter(calls),
                         [](const std::string& call) { return !call.starts_with("setInput"); });
    return calls;
  }

  std::unique_ptr<SourceSettings> source;
  std::unique_ptr<OutputSettings> outputs;
  std::unique_ptr<AirPlaySettings> airPlay;
};

TEST(VolumeLevel, RoundsToTheNearestLevelHalvesAwayFromZero) {
  EXPECT_EQ(levelAt(49.5), 50);
  EXPECT_EQ(levelAt(39.5), 40);
  EXPECT_EQ(levelAt(40.4), 40);
  EXPECT_EQ(levelAt(0), 0);
  EXPECT_EQ(levelAt(100), 100);
}

TEST(DeviceRows, InputAndOutputRowsShowTheirTransport) {
  EXPECT_EQ(inputSymbol(Transport::builtIn), Symbol::mic);
  EXPECT_EQ(outputSymbol(Transport::builtIn), Symbol::laptopComputer);
  EXPECT_EQ(inputSymbol(Transport::other), Symbol::waveform);
  EXPECT_EQ(outputSymbol(Transport::other), Symbol::speakerWave2);
  EXPECT_EQ(inputSymbol(Transport::usb), outputSymbol(Transport::usb));
  EXPECT_EQ(transportSubtitle(Transport::hdmi), "HDMI / DisplayPort");
}

TEST_F(SoundSettingsTest, WithoutInputsTheSourceIsTheMusicLibraryAlone) {
  SourceSettings& view = show(source, store());
  ASSERT_EQ(view.list().rows().size(), 1u);
  const DeviceRowModel& library = view.list().rows()[0]->model();
  EXPECT_EQ(library, (DeviceRowModel{"", Symbol::musicNote, "Music library", "Default", true}));
  EXPECT_TRUE(view.list().findChildren<Hairline*>().empty());
  EXPECT_FALSE(view.error().isVisible());
}

TEST_F(SoundSettingsTest, TheSourceRowsFollowThePartysInputAndAClickSwitchesIt) {
  inputs->setDevices({{"usb-1", "USB Mic", Transport::usb}, {"line-2", "Line In", Transport::builtIn}});
  SourceSettings& view = show(source, store());
  ASSERT_EQ(view.list().rows().size(), 3u);
  EXPECT_EQ(view.list().findChildren<Hairline*>().size(), 2u);
  EXPECT_EQ(selected(view.list()), std::vector<std::string>{""});
  EXPECT_EQ(view.list().rows()[2]->model().subtitle, "Built-in");

  view.list().rows()[1]->click();
  runPostedEvents();
  ASSERT_TRUE(store().state().input.has_value());
  EXPECT_EQ(store().state().input->id, "usb-1");
  EXPECT_EQ(selected(view.list()), std::vector<std::string>{"usb-1"});

  inputs->setDevices({{"line-2", "Line In", Transport::builtIn}});
  emit inputs->changed();
  EXPECT_TRUE(selected(view.list()).empty()) << "the playing input is no longer listed";

  inputs->setLastError(std::string("USB Mic was disconnected."));
  emit inputs->changed();
  EXPECT_TRUE(view.error().isVisible());
  EXPECT_EQ(view.error().text(), "USB Mic was disconnected.");

  view.list().rows()[0]->click();
  runPostedEvents();
  EXPECT_FALSE(store().state().input.has_value());
}

TEST_F(SoundSettingsTest, TheOutputRowsCheckTheDefaultAndAClickSelectsIt) {
  OutputSettings& view = show(outputs, store().audio());
  EXPECT_TRUE(view.empty().isVisible());
  EXPECT_EQ(view.empty().text(), "No output devices found.");

  output->setDevices({{7, "Speakers", Transport::builtIn}});
  output->changeDefault(7);
  EXPECT_FALSE(view.empty().isVisible());
  EXPECT_TRUE(view.list().findChildren<Hairline*>().empty()) << "one device, no hairline";

  output->setDevices({{7, "Speakers", Transport::builtIn}, {9, "Speakers", Transport::usb}});
  output->changeDefault(9);
  EXPECT_EQ(selected(view.list()), std::vector<std::string>{"9"}) << "the default id, whatever the name";
  output->calls.clear();
  view.list().rows()[1]->click();
  view.list().rows()[0]->click();
  EXPECT_EQ(output->calls, (std::vector<std::string>{"select 9", "select 7"}));
}

TEST_F(SoundSettingsTest, TheAirPlaySwitchIsOnWhileOnOrStarting) {
  AirPlaySettings& view = show(airPlay, store());
  struct Case {
    MultiRoomStatus status;
    bool on;
    bool summary;
    bool speakers;
  } cases[] = {{MultiRoomStatus::off(), false, false, false},
               {MultiRoomStatus::starting(), true, false, false},
               {MultiRoomStatus::on(), true, false, true},
               {MultiRoomStatus::failed("The speakers could not be reached."), false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status.text());
    multiRoom->setStatus(c.status);
    EXPECT_EQ(view.useAirPlay().toggle().isChecked(), c.on);
    EXPECT_EQ(view.summary().isVisible(), c.summary);
    EXPECT_EQ(view.hostRow().isVisible(), c.speakers);
  }
  EXPECT_EQ(view.summary().text(), "The speakers could not be reached.");

  multiRoom->supported = false;
  multiRoom->setStatus(MultiRoomStatus::off());
  emit multiRoom->changed();
  EXPECT_FALSE(view.useAirPlay().toggle().isEnabled());
  EXPECT_TRUE(view.summary().isVisible()) << "why it cannot be turned on";
}

TEST_F(SoundSettingsTest, TheAirPlaySwitchStartsAndStopsMultiRoom) {
  AirPlaySettings& view = show(airPlay, store());
  view.useAirPlay().toggle().click();
  EXPECT_EQ(multiRoom->status(), MultiRoomStatus::on());
  view.useAirPlay().toggle().click();
  EXPECT_EQ(multiRoom->status(), MultiRoomStatus::off());
  EXPECT_EQ(viewCalls(), (std::vector<std::string>{"start", "stop"}));
}

TEST_F(SoundSettingsTest, WhileOnTheSpeakersAndThisComputerHaveTheirVolumes) {
  multiRoom->setStatus(MultiRoomStatus::on());
  AirPlaySettings& view = show(airPlay, store());
  EXPECT_TRUE(view.speakers().empty()) << "no speaker chosen: this computer's row alone";
  EXPECT_TRUE(view.hostRow().isVisible());

  multiRoom->setSpeakers({{"raop-1", "Kitchen", 40}, {"raop-2", "Patio", std::nullopt}});
  ASSERT_EQ(view.speakers().size(), 2u);
  EXPECT_TRUE(view.speakers()[0]->volume().isVisible());
  EXPECT_EQ(view.speakers()[0]->volume().levelText(), "40%");
  EXPECT_FALSE(view.speakers()[1]->volume().isVisible()) << "no level known";

  multiRoom->calls.clear();
  view.speakers()[0]->volume().slider().setValue(495);
  EXPECT_EQ(view.speakers()[0]->volume().levelText(), "40%") << "until the engine holds the new level";
  view.hostVolume().slider().setValue(604);
  view.playsHere().click();
  EXPECT_EQ(viewCalls(),
            (std::vector<std::string>{"setSpeakerVolume raop-1 50", "setMacVolume 60", "setPlaysOnMac false"}));
  EXPECT_EQ(view.hostVolume().levelText(), "60%");
  EXPECT_FALSE(view.playsHere().isChecked());
}

}  // namespace
}  // namespace kovali
