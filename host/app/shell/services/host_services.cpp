#include "app/shell/services/host_services.h"

#include "app/shell/services/host_display_name.h"
#include "app/shell/services/hosting_start.h"
#include "platform/bonjour/avahi_advertiser.h"
#include "platform/library/artwork_address.h"
#include "platform/library/music_folder.h"
#include "platform/runtime/data_folder.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/queue_timer.h"
#include "platform/secrets/fallback_secret_store.h"
#include "platform/secrets/file_secret_store.h"
#include "platform/secrets/keychain_secret_store.h"
#include "platform/sound/airplay/pulse_stream_player.h"
#include "platform/sound/capture/pulse_multi_room_capture.h"
#include "platform/sound/devices/pulse_audio_system.h"
#include "platform/sound/devices/pulse_capture_system.h"
#include "platform/sound/rendering/pulse_audio_renderer.h"
#include "session/archive/session_archive.h"

namespace kovali {

namespace {

std::optional<SessionArchive> openArchive() {
  auto opened = SessionArchive::open();
  if (!opened) {
    qCWarning(lcArchive).noquote() << "Running without saving the session:" << opened.error().description;
    return std::nullopt;
  }
  return std::move(opened).value();
}

// The PIN store reads a PIN given at launch as it stands among the launch arguments.
QStringList pinArguments(const std::optional<QString>& pin) {
  QStringList arguments{QStringLiteral("kovali-host")};
  if (pin) arguments << QStringLiteral("-djPIN") << *pin;
  return arguments;
}

}  // namespace

HostServices::HostServices(Options options) {
  const QString dataFolder = appDataFolder();
  secrets_ = std::make_unique<FallbackSecretStore>(std::make_unique<KeychainSecretStore>(),
                                                   std::make_unique<FileSecretStore>(dataFolder));
  djPIN_ = std::make_unique<DJPIN>(*secrets_, pinArguments(options.djPIN));
  djPINGiven_ = options.djPIN.has_value();
  library_ = std::make_unique<LocalMusicLibrary>(musicLibrarySettings(options.musicFolder, preferences_, dataFolder));
  music_ = std::make_unique<MusicService>(*library_);
  systemPlayer_ = std::make_unique<PulseMusicPlayer>();
  player_ = std::make_unique<PlayerEngine>(*systemPlayer_, scheduler_);
  auto advertiser = options.advertiser ? std::move(options.advertiser) : std::make_unique<AvahiAdvertiser>();
  server_ = std::make_unique<HostServer>(scheduler_, std::move(advertiser), options.listenAddress);
  server_->setArtworkLookup([library = library_.get()](const std::string& id) { return library->artworkReader(id); });
  // The library's songs carry their art's address while phones can fetch it there, from the moment
  // the port listens: phones coming back to a relaunched host ask before the service registers.
  const auto artworkMoved = [server = server_.get()] { setLocalArtworkAddress(server->artworkAddress()); };
  QObject::connect(server_.get(), &HostServer::listeningChanged, server_.get(), artworkMoved);
  QObject::connect(server_.get(), &HostServer::statusChanged, server_.get(), artworkMoved);
  store_ = std::make_unique<SessionStore>(
      SessionStore::Services{*music_, *player_, *server_, scheduler_, *djPIN_, *secrets_},
      SessionStore::AudioServices::standard(
          preferences_, scheduler_, std::make_unique<PulseAudioSystem>(), std::make_unique<PulseCaptureSystem>(),
          MultiRoomAudio::Platform{
              .scheduler = scheduler_,
              .capture = std::make_unique<PulseMultiRoomCapture>(*systemPlayer_, scheduler_),
              .player = std::make_unique<PulseStreamPlayer>(),
              .makeRenderer =
                  [](const AudioFormat& format, std::shared_ptr<RenderSynchronizer> synchronizer) {
                    return std::unique_ptr<AudioRenderer>(
                        std::make_unique<PulseAudioRenderer>(format, std::move(synchronizer)));
                  },
              .copyFeederTimer = timersOnOwnQueue(QStringLiteral("kovaliapp.host.multiroom.copy")),
          }),
      openArchive(), hostDisplayName());
  // A crowd's peak would otherwise stay with the process after the crowd has gone.
  idleTrim_ = std::make_unique<IdleMemoryTrim>(scheduler_);
  const auto busy = [trim = idleTrim_.get()] { trim->activity(); };
  QObject::connect(store_.get(), &SessionStore::stateChanged, store_.get(), busy);
  QObject::connect(server_.get(), &HostServer::connectionCountChanged, store_.get(), busy);
}

// The store goes first: it holds on to everything else.
HostServices::~HostServices() = default;

void HostServices::startHosting() { startHostingOnAppearance(*store_); }

}  // namespace kovali
