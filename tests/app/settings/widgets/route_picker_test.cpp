#include "app/settings/widgets/route_picker.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>

#include "audio/speaker_picker.h"
#include "support/fake_stream_player.h"

namespace kovali {
namespace {

TEST(RoutePicker, PlacesTheButtonCentredOnTheIconAndReachingTheRightEdge) {
  struct Case {
    const char* name;
    QSize size;
    int iconCenterX;
    std::optional<int> height;
    QRect frame;
  } cases[] = {
      {"centred on the icon", {200, 40}, 180, 24, {160, 8, 40, 24}},
      {"full height without one", {200, 40}, 180, std::nullopt, {160, 0, 40, 40}},
      {"no taller than the container", {200, 40}, 180, 60, {160, 0, 40, 40}},
      {"icon past the right edge", {200, 40}, 260, 24, {200, 8, 0, 24}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoutePicker::buttonFrame(c.size, c.iconCenterX, c.height), c.frame) << c.name;
  }
}

TEST(RoutePicker, ItsMenuTicksTheChosenSpeakersAndClosingItIsPicked) {
  FakeStreamPlayer player;
  player.speakers = {{"raop_output.kitchen", "Kitchen", 0.5f, true}, {"raop_output.den", "Den", 0.3f, false}};
  SpeakerPicker picker(player);
  RoutePicker view(picker, 180, 24);
  QSignalSpy picked(&picker, &SpeakerPicker::picked);
  auto* menu = view.button()->menu();

  emit menu->aboutToShow();
  const auto actions = menu->actions();
  ASSERT_EQ(actions.size(), 2);
  EXPECT_EQ(actions[0]->text(), "Kitchen");
  EXPECT_TRUE(actions[0]->isChecked());
  EXPECT_EQ(actions[1]->text(), "Den");
  EXPECT_FALSE(actions[1]->isChecked());

  actions[1]->setChecked(true);
  EXPECT_TRUE(player.speakers[1].chosen);
  EXPECT_EQ(picked.size(), 0);
  emit menu->aboutToHide();
  EXPECT_EQ(picked.size(), 1);

  player.speakers.clear();
  emit menu->aboutToShow();
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_FALSE(menu->actions()[0]->isEnabled());
}

}  // namespace
}  // namespace kovali
