#pragma once

#include <QHostAddress>
#include <QString>
#include <memory>
#include <optional>

#include "music/music_service.h"
#include "music/player_engine.h"
#include "platform/library/local_music_library.h"
#include "platform/runtime/idle_memory_trim.h"
#include "platform/runtime/qsettings_preferences.h"
#include "platform/runtime/qt_scheduler.h"
#include "platform/bonjour/service_advertiser.h"
#include "platform/secrets/secret_store.h"
#include "platform/sound/player/pulse_music_player.h"
#include "server/host_server.h"
#include "session/participants/dj_pin.h"
#include "session/store/session_store.h"

namespace kovali {

/// The host's services, built in start-up order with their real implementations, and the session
/// store that receives them. One instance lives for the whole process; the organisation and
/// application names must be set before it is made (they decide where settings and files go).
class HostServices {
 public:
  struct Options {
    std::optional<QString> musicFolder;  // "--music DIR"
    std::optional<QString> djPIN;        // "-djPIN PIN", in force instead of the stored PIN
    QHostAddress listenAddress = QHostAddress::Any;
    /// Where the party is announced; Avahi's when none is given.
    std::unique_ptr<ServiceAdvertiser> advertiser = nullptr;
  };

  explicit HostServices(Options options);
  ~HostServices();

  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  /// Finds out whether the music can be used, unless that is known, and starts hosting unless it
  /// runs already.
  void startHosting();

  SessionStore& store() { return *store_; }
  HostServer& server() { return *server_; }
  MusicService& music() { return *music_; }
  PlayerEngine& player() { return *player_; }
  LocalMusicLibrary& library() { return *library_; }
  Preferences& preferences() { return preferences_; }
  DJPIN& djPIN() { return *djPIN_; }
  /// Whether the DJ PIN in force was given on the command line.
  bool djPINGiven() const { return djPINGiven_; }
  Scheduler& scheduler() { return scheduler_; }

 private:
  QtScheduler scheduler_;
  QSettingsPreferences preferences_;
  std::unique_ptr<SecretStore> secrets_;
  std::unique_ptr<DJPIN> djPIN_;
  bool djPINGiven_ = false;
  std::unique_ptr<LocalMusicLibrary> library_;
  std::unique_ptr<MusicService> music_;
  std::unique_ptr<PulseMusicPlayer> systemPlayer_;
  std::unique_ptr<PlayerEngine> player_;
  std::unique_ptr<HostServer> server_;
  std::unique_ptr<SessionStore> store_;
  std::unique_ptr<IdleMemoryTrim> idleTrim_;
};

}  // namespace kovali
