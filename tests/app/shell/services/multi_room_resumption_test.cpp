// Multi-room AirPlay coming back at launch, in virtual time.

#include "app/shell/services/multi_room_resumption.h"

#include <algorithm>

#include "app/shell/window/host_shell_fixture.h"

namespace kovali {
namespace {

class MultiRoomResumptionTest : public HostShellTest {
 protected:
  void launchWith(std::optional<bool> preference) {
    if (preference) preferences.setValue(multiRoomPreferenceKey, *preference);
    makeShell().launch();
    multiRoom->calls.clear();  // what hosting set going is not the resumption's
  }
  void hostDoes(const vinaro::SessionAction& action) {
    const auto result = store().dispatch(action, vinaro::Actor::host());
    ASSERT_TRUE(result) << result.error().message;
  }
  int starts() const { return static_cast<int>(std::count(multiRoom->calls.begin(), multiRoom->calls.end(), "start")); }
  bool started() const { return starts() > 0; }
};

TEST_F(MultiRoomResumptionTest, StartsTwoSecondsAfterTheFirstCheckThatFindsThePartyPlaying) {
  queue("s1");
  launchWith(true);
  advance(9.5);
  hostDoes(vinaro::action::Play{});
  advance(2.4);  // the check at 10 s found it playing
  EXPECT_FALSE(started()) << "not before 12 s";
  advance(0.1);
  EXPECT_EQ(starts(), 1);
  advance(60);
  EXPECT_EQ(starts(), 1) << "once";
}

TEST_F(MultiRoomResumptionTest, APauseDuringTheWaitDoesNotStopIt) {
  queue("s1");
  launchWith(true);
  hostDoes(vinaro::action::Play{});
  advance(1);  // found playing
  hostDoes(vinaro::action::Pause{});
  advance(1.9);
  EXPECT_FALSE(started());
  advance(0.1);
  EXPECT_TRUE(started());
}

TEST_F(MultiRoomResumptionTest, WaitsAsLongAsThePartyDoesNotPlay) {
  queue("s1");
  launchWith(true);
  advance(3600);
  EXPECT_FALSE(started());
  hostDoes(vinaro::action::Play{});
  advance(3);
  EXPECT_TRUE(started());
}

TEST_F(MultiRoomResumptionTest, NeverStartsUnlessThePreferenceSaysSo) {
  for (const auto preference : {std::optional<bool>(), std::optional<bool>(false)}) {
    queue("s1");
    launchWith(preference);
    hostDoes(vinaro::action::Play{});
    advance(60);
    EXPECT_FALSE(started()) << (preference ? "false" : "absent");
    hostDoes(vinaro::action::ClearQueue{});
    hostDoes(vinaro::action::Skip{});
  }
}

TEST_F(MultiRoomResumptionTest, EndsQuietlyWithItsShell) {
  launchWith(true);
  makeShell();  // the first shell is gone, and its wait with it
  queue("s1");
  hostDoes(vinaro::action::Play{});
  advance(10);
  EXPECT_FALSE(started());
}

}  // namespace
}  // namespace kovali
