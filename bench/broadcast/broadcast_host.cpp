#include "broadcast_host.h"

#include <chrono>
#include <cstdio>
#include <string>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QTimer>

#include "app/shell/launch/host_application.h"
#include "protocol/uuid.h"
#include "session/archive/session_archive.h"
#include "support/library_song.h"
#include "support/loopback_advertiser.h"

namespace kovali {

namespace {

constexpr int kPartygoers = 50;

/// The party a relaunched host comes back to: `songs` queued by fifty partygoers.
SessionSnapshot savedParty(int songs) {
  auto state = vinaro::SessionState::newParty(vinaro::makeUUIDString(), "Bench Party");
  const vinaro::Date now{static_cast<double>(QDateTime::currentMSecsSinceEpoch())};
  std::vector<vinaro::Participant> guests;
  for (int i = 0; i < kPartygoers; ++i) {
    guests.push_back({vinaro::makeUUIDString(), "Guest " + std::to_string(i), vinaro::Role::guest});
  }
  for (int index = 0; index < songs; ++index) {
    state.queue.push_back({vinaro::makeUUIDString(), librarySong(index),
                           guests[static_cast<std::size_t>(index % kPartygoers)], now.addingSeconds(-songs + index)});
  }
  return SessionSnapshot::of(std::move(state), {}, now);
}

}  // namespace

int runHost(int argc, char** argv, const QString& folder, int songs, const QString& pin) {
  // Settings, data and the session file under the benchmark's folder, not the user's.
  for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
    qputenv(variable, QDir(folder).filePath(QString::fromLatin1(variable)).toLocal8Bit());
  }
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");  // the PIN stays in the folder's file, not the user's keychain
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_LOGGING_RULES", "kovaliapp.*.info=false");  // a line a phone and a change would drown the figures
  HostApplication::prepare();
  QApplication app(argc, argv);

  const QString music = QDir(folder).filePath(QStringLiteral("music"));
  if (!QDir().mkpath(music)) return 1;
  {
    auto archive = SessionArchive::open();
    if (!archive || !archive.value().save(savedParty(songs))) {
      std::fprintf(stderr, "broadcast_bench: could not save the party to come back to\n");
      return 1;
    }
  }

  HostApplication host(HostServices::Options{.musicFolder = music,
                                             .djPIN = pin,
                                             .listenAddress = QHostAddress(QHostAddress::LocalHost),
                                             .advertiser = std::make_unique<LoopbackAdvertiser>()});
  HostServer& server = host.services().server();
  QObject::connect(&server, &HostServer::statusChanged, &app, [&server] {
    if (const auto* ready = std::get_if<HostServer::Status::Ready>(&server.status().value)) {
      std::printf("port %u\n", ready->port);
      std::fflush(stdout);
    }
  });
  host.launch();
  QTimer::singleShot(std::chrono::hours(1), &app, &QCoreApplication::quit);
  return QApplication::exec();
}

}  // namespace kovali
