#include "app/settings/sound/speaker_picker_button.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "app/look/palette.h"
#include "app/settings/sound/air_play_settings.h"
#include "app/settings/sound/volume_control.h"
#include "app/settings/widgets/route_picker.h"
#include "app/settings/widgets/settings_section.h"
#include "session/store/session_store_fixture.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

using MultiRoomStatus = MultiRoomAudio::Status;

class SpeakerPickerButtonTest : public SessionStoreTest {
 protected:
  SpeakerPickerButtonTest() {
    makeStore();
    multiRoom->streamPlayer->changeSpeakers(
        {{"raop-k", "Kitchen", 0.4f, false}, {"raop-g", "Garden", std::nullopt, false}, {"raop-d", "Den", 0.7f, false}});
  }

  static std::vector<std::string> names(const AirPlaySettings& view) {
    std::vector<std::string> shown;
    for (const SpeakerRow* row : view.speakers()) shown.push_back(row->model().name);
    return shown;
  }

  /// Clicks the middle of the button's title, where the route picker lies over the face, and
  /// runs `inMenu` on the menu that opens; the menu is closed after it.
  static void clickAndUseMenu(SpeakerPickerButton& button, const std::function<void(QMenu&)>& inMenu) {
    const QPoint point = button.title().geometry().center();
    auto* target = qobject_cast<QToolButton*>(button.childAt(point));
    ASSERT_NE(target, nullptr) << "the route picker covers the face";
    bool opened = false;
    QTimer::singleShot(0, [&] {
      QMenu* menu = target->menu();
      opened = menu->isVisible();
      inMenu(*menu);
      menu->hide();
    });
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&button, point));
    EXPECT_TRUE(opened);
  }
};

TEST_F(SpeakerPickerButtonTest, TheButtonShowsOnlyWhileMultiRoomIsOn) {
  AirPlaySettings view(store());
  renderWidget(view, QSize(460, 420));
  struct Case {
    MultiRoomStatus status;
    bool shown;
  } cases[] = {{MultiRoomStatus::off(), false},
               {MultiRoomStatus::starting(), false},
               {MultiRoomStatus::on(), true},
               {MultiRoomStatus::failed("The speakers could not be reached."), false}};
  for (const Case& c : cases) {
    multiRoom->setStatus(c.status);
    EXPECT_EQ(view.pickerButton().isVisible(), c.shown) << c.status.text();
  }
  EXPECT_EQ(view.pickerButton().title().text(), "Select AirPlay Speakers");
}

TEST_F(SpeakerPickerButtonTest, ClickingItListsTheSpeakersAndTheChoiceShowsWhenTheMenuCloses) {
  multiRoom->setStatus(MultiRoomStatus::on());
  AirPlaySettings view(store());
  renderWidget(view, QSize(460, 420));
  ASSERT_TRUE(view.speakers().empty());

  std::vector<std::string> listed;
  clickAndUseMenu(view.pickerButton(), [&](QMenu& menu) {
    for (QAction* action : menu.actions()) listed.push_back(action->text().toStdString());
    menu.actions()[0]->trigger();
    menu.actions()[2]->trigger();
    EXPECT_TRUE(view.speakers().empty()) << "the rows follow when the menu closes";
  });

  EXPECT_EQ(listed, (std::vector<std::string>{"Kitchen", "Garden", "Den"}));
  EXPECT_EQ(names(view), (std::vector<std::string>{"Kitchen", "Den"}));
  EXPECT_EQ(view.speakers()[0]->volume().levelText(), "40%");

  clickAndUseMenu(view.pickerButton(), [](QMenu& menu) {
    EXPECT_TRUE(menu.actions()[0]->isChecked());
    menu.actions()[0]->trigger();
  });
  EXPECT_EQ(names(view), (std::vector<std::string>{"Den"}));
}

TEST_F(SpeakerPickerButtonTest, KeepsItsLabelHoveredPressedAndAfterItsMenuWhichOpensUnderIt) {
  multiRoom->setStatus(MultiRoomStatus::on());
  AirPlaySettings view(store());
  renderWidget(view, QSize(460, 420));
  SpeakerPickerButton& button = view.pickerButton();
  const QRect title = button.title().geometry();
  const QImage idle = button.grab().toImage();
  bool inkShown = false;
  for (int y = title.top(); y <= title.bottom(); ++y) {
    for (int x = title.left(); x <= title.right(); ++x) inkShown = inkShown || pixelIs(idle, x, y, Palette::teal(), 30);
  }
  ASSERT_TRUE(inkShown) << "the label at rest";
  const QPoint point = button.mapTo(&view, title.center());
  std::map<std::string, QImage> faces;
  QRect menuFrame;

  QCursor::setPos(view.mapToGlobal(point));  // the pointer stays there, as a hand on a mouse leaves it
  QCoreApplication::processEvents();
  faces["hovered"] = button.grab().toImage();
  QTimer::singleShot(0, &view, [&] {
    faces["pressed"] = button.grab().toImage();
    QMenu* menu = button.routePicker().button()->menu();
    menuFrame = menu->geometry();
    QTest::keyClick(menu, Qt::Key_Escape);
  });
  QTest::mousePress(view.windowHandle(), Qt::LeftButton, {}, point);
  faces["after its menu"] = button.grab().toImage();
  QTest::mouseRelease(view.windowHandle(), Qt::LeftButton, {}, point);
  QCursor::setPos(QPoint(-100, -100));  // off every later test's windows

  ASSERT_EQ(faces.size(), 3u);
  QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
  for (const auto& [state, face] : faces) {
    face.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/speaker_picker_%1.png").arg(QString::fromStdString(state)));
    EXPECT_TRUE(face.copy(title) == idle.copy(title)) << "the label " << state;
  }
  const QRect face(button.mapToGlobal(QPoint(0, 0)), button.size());
  EXPECT_EQ(menuFrame.left(), face.left()) << "the menu opens under the button, not beside it";
  EXPECT_NEAR(menuFrame.top(), face.bottom(), 4);
}

TEST_F(SpeakerPickerButtonTest, RendersTheAirPlaySectionWhileOn) {
  multiRoom->setStatus(MultiRoomStatus::on());
  multiRoom->streamPlayer->setSpeakerChosen("raop-k", true);
  multiRoom->streamPlayer->setSpeakerChosen("raop-g", true);
  multiRoom->speakerPicker().menuClosed();
  SettingsSection section(QStringLiteral("AirPlay"), new AirPlaySettings(store()));
  const QImage image = renderWidget(section, QSize(520, 330));

  QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
  EXPECT_TRUE(image.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/settings_airplay_on.png")));
  auto* button = section.findChild<SpeakerPickerButton*>();
  ASSERT_NE(button, nullptr);
  const QPoint corner = button->mapTo(&section, QPoint(button->width() - 3, button->height() / 2));
  const QColor face = image.pixelColor(corner);
  EXPECT_GT(face.blue(), face.red()) << "a teal-tinted face";
}

}  // namespace
}  // namespace kovali
