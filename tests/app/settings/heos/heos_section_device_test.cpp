// The HEOS section on the real controller, connected to a fake HEOS device on 127.0.0.2, in
// virtual time: what the user sees once connected, and what a zone's slider sends.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>

#include "app/settings/heos/heos_rows.h"
#include "app/settings/heos/heos_section.h"
#include "app/settings/sound/volume_control.h"
#include "heos/heos_controller.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/fake_heos_device.h"
#include "support/manual_scheduler.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

const QString kKey = "heos.configuration";

/// Where the slider's handle stands now, in the slider's own coordinates.
QPoint handleCentre(const QSlider& slider) {
  QStyleOptionSlider option;
  option.initFrom(&slider);
  option.orientation = slider.orientation();
  option.minimum = slider.minimum();
  option.maximum = slider.maximum();
  option.sliderPosition = slider.sliderPosition();
  option.sliderValue = slider.value();
  option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
  return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
}

class HEOSSectionDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.listen());
    device.players = {{.pid = 3, .name = "Kitchen", .ip = "127.0.0.2", .volume = 35},
                      {.pid = 5, .name = "Den", .ip = "127.0.0.2", .volume = 60}};
    device.sources[1027] = {};
    device.sources[3] = {{"Line In", "inputs/line_in_1"}};
    device.sources[5] = {};
    preferences.setValue(kKey, QByteArray(R"({"host":"127.0.0.2","startWithParty":true})"));
    heos = std::make_unique<HEOSController>(preferences, kKey, "heos.presets", scheduler,
                                            HEOSNetwork{device.port(), {"127.0.0.1", 1}, 0.2});
  }

  /// The set_volume commands the device read so far.
  std::vector<std::string> volumeCommands() const {
    std::vector<std::string> lines;
    for (const auto& command : device.commandsNamed("player/set_volume")) lines.push_back(command.line);
    return lines;
  }

  InMemoryPreferences preferences;
  ManualScheduler scheduler;
  FakeHEOSDevice device{QHostAddress("127.0.0.2")};
  std::unique_ptr<HEOSController> heos;
};

TEST_F(HEOSSectionDeviceTest, ShowsTheConnectedSystemAndSendsAZonesNewVolumeOnceTheSliderRests) {
  HEOSSection section(*heos, scheduler);
  renderWidget(section, QSize(460, 520));  // coming on screen searches
  ASSERT_TRUE(QTest::qWaitFor([&] { return heos->status().kind == HEOSController::Status::Kind::connected; }, 10'000))
      << "still " << section.statusText().text().toStdString();
  // The zones' and inputs' replies may still be on their way; a busy machine takes its time.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return section.zoneRows().size() == 2u && section.inputPicker().findText("Kitchen - Line In") == 1; }, 10'000));

  EXPECT_EQ(section.statusText().text(), "Connected");
  EXPECT_EQ(section.detailText().text(), "2 zones \u00B7 127.0.0.2");
  EXPECT_TRUE(section.zonesBlock().isVisible());
  EXPECT_EQ(section.address().text(), "127.0.0.2");
  EXPECT_EQ(section.inputPicker().itemText(0), "Choose");
  EXPECT_EQ(section.inputPicker().findText("Kitchen - Line In"), 1);
  ASSERT_EQ(section.zoneRows().size(), 2u);
  std::map<std::string, QString> levels;
  ZoneRow* kitchen = nullptr;
  for (ZoneRow* row : section.zoneRows()) {
    EXPECT_TRUE(row->volume().isVisible()) << row->model().name;
    levels[row->model().name] = row->volume().levelText();
    if (row->model().id == 3) kitchen = row;
  }
  EXPECT_EQ(levels, (std::map<std::string, QString>{{"Kitchen", "35%"}, {"Den", "60%"}}));
  ASSERT_NE(kitchen, nullptr);

  // The user drags Kitchen's slider to the right in small moves and lets go.
  QSlider& slider = kitchen->volume().slider();
  EXPECT_EQ(slider.value(), 35 * VolumeControl::stepsPerLevel);
  const QPoint start = handleCentre(slider);
  QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, start);
  for (int step = 1; step <= 4; ++step) QTest::mouseMove(&slider, start + QPoint(6 * step, 0));
  QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, start + QPoint(24, 0));
  const int level = levelAt(static_cast<double>(slider.value()) / VolumeControl::stepsPerLevel);
  ASSERT_GT(level, 35) << "the drag moved the slider";
  EXPECT_EQ(heos->zoneVolumes().at(3), level);
  EXPECT_EQ(kitchen->volume().levelText(), QString("%1%").arg(level));

  scheduler.advance(0.14);
  QTest::qWait(200);
  EXPECT_EQ(volumeCommands(), std::vector<std::string>{}) << "nothing while the slider may still move";

  scheduler.advance(0.01);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !volumeCommands().empty(); }, 10'000));
  QTest::qWait(200);
  EXPECT_EQ(volumeCommands(),
            std::vector<std::string>{"heos://player/set_volume?pid=3&level=" + std::to_string(level)})
      << "one command for the whole drag, with where it ended";
  EXPECT_EQ(kitchen->volume().levelText(), QString("%1%").arg(level)) << "the device's echo changes nothing";
  EXPECT_EQ(heos->lastError(), std::nullopt);
}

}  // namespace
}  // namespace kovali
