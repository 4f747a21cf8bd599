// The tray item and the "Party" menu over a live store: their texts, enabled states and actions.

#include "app/menus/tray_item.h"

#include <QKeySequence>

#include "app/menus/party_menu.h"
#include "app/menus/tray_icon.h"
#include "app/shell/window/host_shell_fixture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;

class TrayItemTest : public HostShellTest {
 protected:
  TrayItemTest() { makeShell(); }

  TrayMenu& trayMenu() { return shell().trayItem().menu(); }
  QMenu& partyMenu() { return *shell().mainWindow().findChild<PartyMenu*>(); }
  QString statusLine() { return shell().trayItem().statusLine(); }

  /// Play/pause and skip in both menus agree; answers the tray's.
  std::pair<bool, bool> transportEnabled() {
    const auto& tray = trayMenu().actionSet();
    const auto& party = shell().mainWindow().findChild<PartyMenu*>()->actionSet();
    EXPECT_EQ(tray.playPause()->isEnabled(), party.playPause()->isEnabled());
    EXPECT_EQ(tray.skip()->isEnabled(), party.skip()->isEnabled());
    EXPECT_EQ(tray.playPause()->text(), party.playPause()->text());
    return {tray.playPause()->isEnabled(), tray.skip()->isEnabled()};
  }
};

TEST_F(TrayItemTest, AnEmptyPartyOffersNothingToPlayOrSkip) {
  EXPECT_EQ(texts(trayMenu()),
            (QStringList{"Nothing playing", "Play", "Skip", "---", "Up next: nothing queued", "---", "Show Party View",
                         "Open DJ Controls", "Open Settings", "---", "Quit Kovali"}));
  EXPECT_FALSE(trayMenu().nowPlaying()->isEnabled()) << "a line of text, not a command";
  EXPECT_FALSE(trayMenu().upNext()->isEnabled());
  EXPECT_EQ(transportEnabled(), std::make_pair(false, false));
  EXPECT_EQ(statusLine(), QString("0 partygoers \u00B7 Idle"));
  EXPECT_EQ(texts(partyMenu()),
            (QStringList{"Play", "Skip", "---", "Show Party View", "Open DJ Controls", "Open Settings"}));
}

TEST_F(TrayItemTest, FollowsTheQueueAndThePlaybackWithAmpersandsKept) {
  queue("s1");
  EXPECT_EQ(trayMenu().upNext()->text(), QString("Up next: Rock && Roll"));
  EXPECT_EQ(transportEnabled(), std::make_pair(true, false)) << "a queue can start, nothing to skip yet";
  queue("s2");
  queue("s3");
  EXPECT_EQ(trayMenu().upNext()->text(), QString("Up next: Rock && Roll  +2"));

  trayMenu().actionSet().playPause()->trigger();
  ASSERT_EQ(store().state().playback.status, PlaybackStatus::playing);
  EXPECT_EQ(trayMenu().nowPlaying()->text(), QString("Rock && Roll \u00B7 Simon && Garfunkel"));
  EXPECT_TRUE(QKeySequence::mnemonic(trayMenu().nowPlaying()->text()).isEmpty()) << "no letter became a mnemonic";
  EXPECT_EQ(trayMenu().upNext()->text(), QString("Up next: Second  +1"));
  EXPECT_EQ(trayMenu().actionSet().playPause()->text(), QString("Pause"));
  EXPECT_EQ(transportEnabled(), std::make_pair(true, true));
  EXPECT_EQ(statusLine(), QString("0 partygoers \u00B7 Playing"));

  partyMenu().actions().at(1)->trigger();  // Skip
  ASSERT_TRUE(store().state().playback.current);
  EXPECT_EQ(store().state().playback.current->track.id, "s2");
  EXPECT_EQ(trayMenu().upNext()->text(), QString("Up next: Third"));

  partyMenu().actions().at(0)->trigger();  // Pause
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::paused);
  EXPECT_EQ(trayMenu().actionSet().playPause()->text(), QString("Play"));
  EXPECT_EQ(statusLine(), QString("0 partygoers \u00B7 Paused"));
}

TEST_F(TrayItemTest, WaitingRequestsShowALineThatOpensTheDJControls) {
  ASSERT_TRUE(store().dispatch(vinaro::action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_FALSE(trayMenu().requests()->isVisible());

  const auto suggest = [&](const std::string& id) {
    const auto result = store().dispatch(vinaro::action::Suggest{vinaro::samples::album(id)},
                                         vinaro::Actor::participant(vinaro::samples::ana));
    ASSERT_TRUE(result) << result.error().message;
  };
  suggest("a1");
  EXPECT_TRUE(trayMenu().requests()->isVisible());
  EXPECT_TRUE(trayMenu().requests()->isEnabled());
  EXPECT_EQ(trayMenu().requests()->text(), QString("1 request waiting\u2026"));
  suggest("a2");
  EXPECT_EQ(trayMenu().requests()->text(), QString("2 requests waiting\u2026"));

  trayMenu().requests()->trigger();
  EXPECT_TRUE(shell().mainWindow().isVisible());
  EXPECT_EQ(shell().viewMode().mode(), HostViewMode::console);
}

TEST_F(TrayItemTest, TheStatusLineCountsThePhonesThatSaidHello) {
  startHosting();
  const auto ana = join("Ana", "device-ana");
  EXPECT_EQ(statusLine(), QString("1 partygoer \u00B7 Idle"));
  const auto ben = join("Ben", "device-ben");
  EXPECT_EQ(statusLine(), QString("2 partygoers \u00B7 Idle"));
}

TEST(TrayIcon, IsADiscWithItsHoleAndHandsCutOut) {
  // At twice the tray's 16 points, so that each sampled pixel lies wholly on or off a shape.
  const QImage image = trayIconImage(32, Qt::black);
  struct Case {
    const char* name;
    int x, y;  // pixels from the top-left corner
    bool filled;
  };
  const Case cases[] = {
      {"the corner, outside the disc", 0, 0, false},
      {"the disc on the left", 4, 16, true},
      {"the disc at the bottom", 16, 28, true},
      {"the disc above the hole, left of the upward hand", 12, 8, true},
      {"the hole", 16, 16, false},
      {"the upward hand", 15, 8, false},
      {"the hand down to the right", 20, 19, false},
      {"the disc at the right, beyond that hand's end", 28, 16, true},
  };
  for (const auto& c : cases) {
    const int alpha = qAlpha(image.pixel(c.x, c.y));
    if (c.filled) {
      EXPECT_EQ(alpha, 255) << c.name;
    } else {
      EXPECT_EQ(alpha, 0) << c.name;
    }
  }
}

}  // namespace
}  // namespace kovali
