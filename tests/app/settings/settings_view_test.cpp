#include "app/settings/settings_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>

#include "app/look/palette.h"
#include "app/settings/general/general_settings.h"
#include "app/settings/heos/heos_section.h"
#include "app/settings/log/debug_view.h"
#include "app/settings/log/engine_log_model.h"
#include "app/settings/widgets/boxed_field.h"
#include "app/settings/widgets/settings_section.h"
#include "session/store/session_store_fixture.h"
#include "support/cut_text.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

class SettingsViewTest : public SessionStoreTest {
 protected:
  SettingsViewTest() { makeStore(); }

  static void save(const QImage& image, const char* name) {
    QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
    EXPECT_TRUE(image.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/") + QString::fromLatin1(name)));
  }
};

TEST_F(SettingsViewTest, CutsNoTextAtTheSmallestWindowInTheLightAndTheDarkPalette) {
  setPIN("123");
  const QPalette light = QApplication::palette();
  const QPalette dark = darkPalette(light);
  for (const QString& appearance : {QStringLiteral("light"), QStringLiteral("dark")}) {
    QApplication::setPalette(appearance == QStringLiteral("dark") ? dark : light);
    SettingsView view({store(), djPIN(), preferences, scheduler});
    for (const QSize size : {QSize(1100, 640), QSize(1260, 760)}) {
      const QString name = QStringLiteral("settings-%1-%2x%3.png").arg(appearance).arg(size.width()).arg(size.height());
      save(renderWidget(view, size), name.toLatin1().constData());
      EXPECT_EQ(cutTexts(view).join(QLatin1Char('\n')).toStdString(), "")
          << appearance.toStdString() << " at " << size.width();
    }
  }
  QApplication::setPalette(light);
}

TEST_F(SettingsViewTest, RendersTheLeftColumnsSectionsBoxedOnPaper) {
  setPIN("123");
  ASSERT_TRUE(
      store().dispatch(vinaro::action::UpdateSettings{{true, 4, false, false, 3, false}}, vinaro::Actor::host()));
  SettingsView view({store(), djPIN(), preferences, scheduler});
  const QImage image = renderWidget(view, QSize(1260, 700));
  save(image, "settings_view.png");

  const auto sections = view.findChildren<SettingsSection*>();
  ASSERT_EQ(sections.size(), 7);
  QStringList titles;
  for (const SettingsSection* section : sections) titles << section->title();
  EXPECT_EQ(titles,
            QStringList({"General", "Party Mode", "Advanced", "Source", "Sound output", "AirPlay", "HEOS"}));
  EXPECT_GT(sections[3]->mapTo(&view, QPoint(0, 0)).x(), view.width() / 2) << "the right column";

  const Appearance appearance = appearanceOf(view);
  EXPECT_TRUE(pixelIs(image, 10, 10, Palette::paper(appearance))) << "the screen's margin";
  QWidget& general = sections[0]->box();
  const QPoint inside = general.mapTo(&view, QPoint(8, general.height() / 2));
  EXPECT_TRUE(pixelIs(image, inside.x(), inside.y(), Palette::surface(appearance))) << "the box";
  EXPECT_EQ(general.mapTo(&view, QPoint(general.width(), 0)).x(), (view.width() - 32 * 2 - 28) / 2 + 32)
      << "the left column takes half of the width between the margins";

  // The PIN "123" is invalid: the field's border is orange.
  const QWidget& field = view.general().field();
  const QPoint border = field.mapTo(&view, QPoint(field.width() / 2, BoxedField::ringRoom + 1));
  const QColor edge = image.pixelColor(border);
  EXPECT_GT(edge.red(), edge.green() + 40) << edge.name().toStdString();
}

TEST_F(SettingsViewTest, RendersTheScreenInEachHEOSStatus) {
  using Status = HEOSController::Status;
  output->setDevices({{7, "Built-in Speakers", AudioOutput::Device::Transport::builtIn},
                      {9, "USB Audio", AudioOutput::Device::Transport::usb}});
  output->changeDefault(7);
  inputs->setDevices({{"line-1", "Line In", AudioOutput::Device::Transport::builtIn}});
  multiRoom->setStatus(MultiRoomAudio::Status::on());
  multiRoom->setSpeakers({{"raop-1", "Kitchen", 40}});
  heos->followParty(true);
  heos->setPlayers({{1, "Living Room"}, {2, "Patio"}});
  heos->setInputs({{7, "line1", "Line In"}});
  const std::pair<Status, const char*> statuses[] = {
      {Status::connected("127.0.0.2"), "connected"}, {Status::failed("The HEOS device closed the connection."), "failed"},
      {Status::off(), "off"},                         {Status::searching(), "searching"},
      {Status::connecting(), "connecting"},           {Status::notFound(), "not_found"}};
  SettingsView view({store(), djPIN(), preferences, scheduler});
  for (const auto& [status, name] : statuses) {
    SCOPED_TRACE(name);
    heos->setStatus(status);
    const QImage image = renderWidget(view, QSize(1260, 1100));
    save(image, (std::string("settings_heos_") + name + ".png").c_str());
    EXPECT_EQ(view.heos().statusText().text().toStdString(), heosStatusText(status));
    EXPECT_EQ(view.heos().zonesBlock().isVisible(), status.kind == Status::Kind::connected);
  }
}

TEST_F(SettingsViewTest, RendersTheEngineLog) {
  for (const char* line : {"strategy → Current only", "multi-room: started", "heos: connected to 127.0.0.2"}) {
    player.log(line);
  }
  DebugView view(store());
  const QImage image = renderWidget(view, QSize(760, 400));
  save(image, "engine_log.png");
  EXPECT_EQ(view.logModel().rowCount(), 3);
  EXPECT_FALSE(image.isNull());
}

}  // namespace
}  // namespace kovali
