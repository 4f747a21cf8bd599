#include "app/shell/launch/startup_report.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "platform/library/local_music_library.h"
#include "protocol/join_link.h"
#include "session/store/session_store_fixture.h"
#include "support/log_capture.h"
#include "support/music_folder_builder.h"

namespace kovali {
namespace {

class StartupReportTest : public SessionStoreTest {
 protected:
  void SetUp() override { makeStore(); }

  /// The report, with the sound server answering as `soundProblem` says.
  std::unique_ptr<StartupReport> report(bool pinSet, bool pinGiven,
                                        std::optional<std::string> soundProblem = std::nullopt) {
    return std::make_unique<StartupReport>(
        StartupReport::Sources{store(), library, pinSet, pinGiven, [soundProblem] { return soundProblem; }});
  }

  bool waitForLineStartingWith(const std::string& prefix) {
    return QTest::qWaitFor([&] { return log.hasLineStartingWith(prefix); }, 10000);
  }

  std::string joined() const {
    std::string all;
    for (const auto& line : log.lines()) all += line + "\n";
    return all;
  }

  LogCapture log{"kovaliapp.app"};
  MusicFolderBuilder folder;
  QTemporaryDir data;
  LocalMusicLibrary library{LibraryScanSettings{folder.path(), true, data.path(), false}};
};

TEST_F(StartupReportTest, SaysWhetherADJPINIsSetAndHowToSetOne) {
  struct Case {
    const char* name;
    bool set;
    bool given;
    const char* line;
  } cases[] = {
      {"none", false, false, "No DJ PIN is set, so no guest can become DJ. Enter one (4 to 6 digits) in the window's Settings, or "
                           "start the host with -djPIN PIN."},
      {"given", true, true, "DJ PIN: the one given with -djPIN"},
      {"kept", true, false, "DJ PIN: the one kept in the keychain"},
  };
  for (const auto& c : cases) {
    auto shown = report(c.set, c.given);
    EXPECT_TRUE(log.hasLineStartingWith(c.line)) << c.name << "\n" << joined();
  }
}

TEST_F(StartupReportTest, SaysWhetherTheSoundServerAnswers) {
  auto silent = report(true, true, "The sound server does not answer: Connection refused.");
  EXPECT_TRUE(
      waitForLineStartingWith("The sound server does not answer: Connection refused. Songs cannot play "
                              "until it does: start PulseAudio or PipeWire"))
      << joined();
  auto answering = report(true, true);
  EXPECT_TRUE(waitForLineStartingWith("Sound server: answering")) << joined();
}

TEST_F(StartupReportTest, NamesTheMusicFolderWithItsSongCountOrWhyItCannotBeRead) {
  auto shown = report(true, true);
  store().music().setAvailability(MusicService::Failed{"The music folder /nowhere does not exist."});
  EXPECT_TRUE(
      log.hasLineStartingWith("The music folder /nowhere does not exist. Guests cannot add songs until it "
                              "can be read; choose a folder with --music DIR."))
      << joined();

  folder.addSong("one.flac", {{"title", "One"}});
  QSignalSpy finished(&library, &LocalMusicLibrary::scanFinished);
  library.rescan();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(log.hasLineStartingWith("Music: 1 song in " + QDir(folder.path()).absolutePath().toStdString()))
      << joined();
}

TEST_F(StartupReportTest, AFolderThatCannotBeIndexedIsNotCalledEmpty) {
  const QString missing = QDir(folder.path()).filePath("missing");
  LocalMusicLibrary broken{LibraryScanSettings{missing, true, data.path(), true}};
  StartupReport shown(StartupReport::Sources{store(), broken, true, true, [] { return std::optional<std::string>(); }});
  QSignalSpy finished(&broken, &LocalMusicLibrary::scanFinished);
  broken.rescan();
  ASSERT_TRUE(finished.wait(60000));
  ASSERT_TRUE(broken.indexFailed());
  EXPECT_FALSE(log.hasLineStartingWith("Music:")) << joined();
}

TEST_F(StartupReportTest, GivesTheJoinLinkOnceTheHostIsAdvertised) {
  auto shown = report(true, true);
  EXPECT_FALSE(log.hasLineStartingWith("Phones")) << "nothing to join yet";
  startHosting();
  const std::string link = vinaro::JoinLink{*store().server().advertisedName(), store().state().sessionID}.url();
  const auto found = std::ranges::find_if(log.lines(), [](const auto& line) { return line.starts_with("Phones"); });
  ASSERT_NE(found, log.lines().end()) << joined();
  EXPECT_TRUE(found->ends_with(" in the Kovali app, or join with " + link)) << *found;
}

TEST_F(StartupReportTest, LogsPlayerFailuresAndRefusedHostActionsWhenTheyHappen) {
  auto shown = report(true, true);
  emit player.eventReported(PlayerEngine::Failed{"The sound server is not running. (kovaliapp.player 3)"});
  EXPECT_TRUE(log.hasLineStartingWith("Playback failed: The sound server is not running.")) << joined();

  store().performHostAction(vinaro::action::Remove{"no-such-item"});
  ASSERT_TRUE(store().lastHostError());
  EXPECT_TRUE(log.hasLineStartingWith("The host's own action was refused: " + store().lastHostError()->message))
      << joined();
}

}  // namespace
}  // namespace kovali
