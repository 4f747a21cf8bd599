#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "music/music_service.h"
#include "music/player_engine.h"
#include "platform/library/local_music_library.h"
#include "platform/runtime/in_memory_preferences.h"
#include "platform/runtime/qt_scheduler.h"
#include "platform/sound/player/pulse_music_player.h"
#include "server/host_server.h"
#include "session/participants/dj_pin.h"
#include "session/store/session_store.h"
#include "support/fake_service_advertiser.h"
#include "support/in_memory_secret_store.h"

namespace kovali {

/// A whole party in real time: a session store on the real player and the real engine, its songs
/// indexed from a music folder of generated tunes. Runs only inside
/// tests/platform/sound/pulse_music_player_test.sh, which starts a sound server of its own.
class PulseServerPartyTest : public ::testing::Test {
 protected:
  /// A tune for the music folder: its title, and its notes of `noteSeconds` each.
  struct Tune {
    std::string title;
    std::vector<double> notes;
    double noteSeconds = 0.5;
  };

  void SetUp() override;
  void TearDown() override;
  /// Makes the folders the party keeps its music and data in.
  void makeFolders();
  /// The multi-room service of the store `index` makes: a double unless a test plays on speakers.
  virtual std::unique_ptr<MultiRoomAudio> makeMultiRoom();

  /// Writes the tunes into the music folder, indexes it and makes the store; answers the songs
  /// in the order of `tunes`.
  std::vector<Song> index(const std::vector<Tune>& tunes);
  /// The file of an indexed song.
  static std::string pathOf(const Song& song);

  /// Waits until `done` holds or `seconds` pass; answers whether it holds.
  static bool waitUntil(const std::function<bool()>& done, double seconds);
  /// Whether the engine log holds a line beginning with `prefix`.
  bool logged(const std::string& prefix) const;
  /// The title of the session's current song, or "none".
  std::string currentTitle() const;
  /// The position the session shows now.
  double sessionPosition() const;

  SessionStore& store() { return *store_; }

  QTemporaryDir folder;
  QtScheduler scheduler;
  InMemoryPreferences preferences;
  InMemorySecretStore secrets;
  std::unique_ptr<LocalMusicLibrary> library;
  std::unique_ptr<MusicService> music;
  PulseMusicPlayer systemPlayer;
  std::unique_ptr<PlayerEngine> player;
  FakeServiceAdvertiser* advertiser = nullptr;  // the server's
  std::unique_ptr<HostServer> server;
  std::unique_ptr<DJPIN> djPIN;
  /// Set before `index`: the store lists and switches the server's own outputs.
  bool realOutputs = false;

 private:
  std::unique_ptr<SessionStore> store_;
};

}  // namespace kovali
