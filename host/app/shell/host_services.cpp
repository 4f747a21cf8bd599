#include "app/shell/host_services.h"

#include "app/shell/host_display_name.h"
#include "app/shell/hosting_start.h"
#include "platform/bonjour/avahi_advertiser.h"
#include "platform/library/music_folder.h"
#include "platform/runtime/data_folder.h"
#include "platform/runtime/logging.h"
#include "platform/secrets/fallback_secret_store.h"
#include "platform/secrets/file_secret_store.h"
#include "platform/secrets/keychain_secret_store.h"
#include "platform/sound/pulse_audio_system.h"
#include "platform/sound/pulse_capture_system.h"
#include "session/session_archive.h"

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

}  // namespace

HostServices::Options HostServices::Options::fromArguments(const QStringList& arguments) {
  Options options;
  options.arguments = arguments;
  const QString flag = QStringLiteral("--music");
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == flag && i + 1 < arguments.size()) {
      options.musicFolder = arguments[++i];
    } else if (arguments[i].startsWith(flag + u'=')) {
      options.musicFolder = arguments[i].mid(flag.size() + 1);
    }
  }
  return options;
}

HostServices::HostServices(Options options) {
  const QString dataFolder = appDataFolder();
  secrets_ = std::make_unique<FallbackSecretStore>(std::make_unique<KeychainSecretStore>(),
                                                   std::make_unique<FileSecretStore>(dataFolder));
  djPIN_ = std::make_unique<DJPIN>(*secrets_, options.arguments);
  library_ = std::make_unique<LocalMusicLibrary>(musicLibrarySettings(options.musicFolder, preferences_, dataFolder));
  music_ = std::make_unique<MusicService>(*library_);
  systemPlayer_ = std::make_unique<PulseMusicPlayer>();
  player_ = std::make_unique<PlayerEngine>(*systemPlayer_, scheduler_);
  server_ = std::make_unique<HostServer>(scheduler_, std::make_unique<AvahiAdvertiser>(), options.listenAddress);
  store_ = std::make_unique<SessionStore>(SessionStore::Services{*music_, *player_, *server_, scheduler_, *djPIN_},
                                          SessionStore::AudioServices::standard(preferences_, scheduler_,
                                                                                std::make_unique<PulseAudioSystem>(),
                                                                                std::make_unique<PulseCaptureSystem>()),
                                          openArchive(), hostDisplayName());
}

// The store goes first: it holds on to everything else.
HostServices::~HostServices() = default;

void HostServices::startHosting() { startHostingOnAppearance(*store_); }

}  // namespace kovali
