#include "session/store/pulse_party.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "platform/library/file_url.h"
#include "platform/library/tone_file_writer.h"
#include "platform/sound/devices/pulse_audio_system.h"
#include "session/store/store_service_doubles.h"
#include "support/task_result.h"

namespace kovali {

void PulseServerPartyTest::SetUp() {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  // The server outlives each test: one that chose another output must not move the next one's music.
  ASSERT_EQ(QProcess::execute("pactl", {"set-default-sink", "music"}), 0) << "the sound server's default output";
  makeFolders();
}

void PulseServerPartyTest::makeFolders() {
  ASSERT_TRUE(folder.isValid());
  QDir(folder.path()).mkpath("music");
  QDir(folder.path()).mkpath("data");
}

std::unique_ptr<MultiRoomAudio> PulseServerPartyTest::makeMultiRoom() {
  return std::make_unique<TestMultiRoom>(preferences, scheduler);
}

void PulseServerPartyTest::TearDown() {
  store_.reset();
  if (server) server->stop();
}

std::vector<Song> PulseServerPartyTest::index(const std::vector<Tune>& tunes) {
  const QDir musicFolder(QDir(folder.path()).filePath("music"));
  for (std::size_t i = 0; i < tunes.size(); ++i) {
    ToneFile file;
    file.path = musicFolder.filePath(QString("%1.flac").arg(i)).toStdString();
    file.notes = tunes[i].notes;
    file.noteSeconds = tunes[i].noteSeconds;
    file.tags = {{"title", tunes[i].title}, {"artist", "Test"}};
    const auto failure = writeToneFile(file);
    EXPECT_EQ(failure, std::nullopt);
  }
  library = std::make_unique<LocalMusicLibrary>(
      LibraryScanSettings{musicFolder.path(), true, QDir(folder.path()).filePath("data"), false});
  QSignalSpy finished(library.get(), &LocalMusicLibrary::scanFinished);
  library->rescan();
  EXPECT_TRUE(finished.wait(60000)) << "the scan did not end";
  music = std::make_unique<MusicService>(*library);
  EXPECT_TRUE(waitForResult(music->refresh()));

  std::vector<Song> songs;
  for (const auto& tune : tunes) {
    const auto result = waitForResult(music->searchSongs(tune.title, 5));
    EXPECT_TRUE(result && *result) << tune.title;
    if (!result || !*result) return {};
    const auto& found = result->value();
    const auto same = std::ranges::find_if(found, [&](const Song& song) { return song.title == tune.title; });
    EXPECT_NE(same, found.end()) << tune.title;
    if (same == found.end()) return {};
    songs.push_back(*same);
  }

  player = std::make_unique<PlayerEngine>(systemPlayer, scheduler);
  auto madeAdvertiser = std::make_unique<FakeServiceAdvertiser>();
  advertiser = madeAdvertiser.get();
  server = std::make_unique<HostServer>(scheduler, std::move(madeAdvertiser), QHostAddress(QHostAddress::LocalHost));
  djPIN = std::make_unique<DJPIN>(secrets, QStringList{QStringLiteral("kovali-host")});
  store_ = std::make_unique<SessionStore>(
      SessionStore::Services{*music, *player, *server, scheduler, *djPIN, secrets},
      SessionStore::AudioServices{
          makeMultiRoom(),
          std::make_unique<RecordingHEOS>(preferences, QString::fromLatin1(SessionStore::heosConfigurationKey),
                                     QString::fromLatin1(SessionStore::heosPresetsKey), scheduler),
          realOutputs ? std::make_unique<AudioOutput>(std::make_unique<PulseAudioSystem>())
                      : std::unique_ptr<AudioOutput>(std::make_unique<TestAudioOutput>()),
          std::make_unique<TestAudioInputs>()},
      std::nullopt, "Test Party");
  return songs;
}

std::string PulseServerPartyTest::pathOf(const Song& song) { return localPath(song.fileURL); }

bool PulseServerPartyTest::waitUntil(const std::function<bool()>& done, double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (static_cast<double>(clock.elapsed()) > seconds * 1000) return false;
    QTest::qWait(20);
  }
  return true;
}

bool PulseServerPartyTest::logged(const std::string& prefix) const {
  return std::ranges::any_of(player->log(), [&](const auto& line) { return line.text.starts_with(prefix); });
}

std::string PulseServerPartyTest::currentTitle() const {
  const auto& current = store_->state().playback.current;
  return current ? current->track.title : "none";
}

double PulseServerPartyTest::sessionPosition() const { return store_->state().playback.position(scheduler.now()); }

}  // namespace kovali
