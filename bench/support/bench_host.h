#pragma once

#include <memory>
#include <optional>

#include <QHostAddress>
#include <QStringList>

#include "music/music_service.h"
#include "music/player_engine.h"
#include "platform/runtime/in_memory_preferences.h"
#include "platform/runtime/qt_scheduler.h"
#include "platform/sound/devices/pulse_audio_system.h"
#include "platform/sound/devices/pulse_capture_system.h"
#include "server/host_server.h"
#include "session/participants/dj_pin.h"
#include "session/store/session_store.h"
#include "support/fake_multi_room_platform.h"
#include "support/fake_music_catalog.h"
#include "support/fake_music_player.h"
#include "support/in_memory_secret_store.h"
#include "support/loopback_advertiser.h"

namespace kovali {

/// The host as the app composes it on 127.0.0.1, with a player that does nothing and a music
/// library that does nothing unless given `library`; it saves into `archive` when given one.
struct BenchHost {
  BenchHost(QStringList launchArguments, std::optional<SessionArchive> archive, MusicCatalog* library = nullptr)
      : music(library ? *library : catalog),
        pin(secrets, std::move(launchArguments)),
        store(SessionStore::Services{music, player, server, scheduler, pin, secrets},
              SessionStore::AudioServices::standard(preferences, scheduler, std::make_unique<PulseAudioSystem>(),
                                                    std::make_unique<PulseCaptureSystem>(),
                                                    FakeMultiRoomPlatform(scheduler).take()),
              std::move(archive), "Bench Party") {}

  /// Starts hosting and runs the event loop until the server is ready; answers its port.
  std::uint16_t start() {
    store.start();
    while (!std::holds_alternative<HostServer::Status::Ready>(server.status().value)) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return std::get<HostServer::Status::Ready>(server.status().value).port;
  }

  QtScheduler scheduler;
  InMemoryPreferences preferences;
  FakeMusicCatalog catalog;
  MusicService music;
  FakeMusicPlayer systemPlayer{scheduler};
  PlayerEngine player{systemPlayer, scheduler};
  HostServer server{scheduler, std::make_unique<LoopbackAdvertiser>(), QHostAddress(QHostAddress::LocalHost)};
  InMemorySecretStore secrets;
  DJPIN pin;
  SessionStore store;
};

}  // namespace kovali
