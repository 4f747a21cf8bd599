#include "app/shell/launch/startup_report.h"

#include <qcoro/qcorofuture.h>

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include "platform/library/local_music_library.h"
#include "platform/runtime/logging.h"
#include "protocol/join_link.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

StartupReport::StartupReport(Sources sources, QObject* parent)
    : QObject(parent), store_(sources.store), library_(sources.library) {
  reportPIN(sources.pinSet, sources.pinGiven);
  if (sources.soundServerProblem) (void)reportSoundServer(std::move(sources.soundServerProblem));
  connect(&store_.music(), &MusicService::availabilityChanged, this, &StartupReport::musicAvailabilityChanged);
  connect(&library_, &LocalMusicLibrary::scanFinished, this, &StartupReport::libraryIndexed);
  connect(&store_.server(), &HostServer::advertisedNameChanged, this, &StartupReport::advertisedNameChanged);
  connect(&store_, &SessionStore::playbackErrorChanged, this, &StartupReport::playbackErrorChanged);
  connect(&store_, &SessionStore::lastHostErrorChanged, this, &StartupReport::hostErrorChanged);
}

void StartupReport::reportPIN(bool set, bool given) {
  if (!set) {
    qCWarning(lcApp).noquote() << "No DJ PIN is set, so no guest can become DJ. Enter one (4 to 6 digits) in the "
                                  "window's Settings, or start the host with -djPIN PIN.";
  } else if (given) {
    qCInfo(lcApp).noquote() << "DJ PIN: the one given with -djPIN; a guest who enters it becomes DJ.";
  } else {
    qCInfo(lcApp).noquote() << "DJ PIN: the one kept in the keychain; a guest who enters it becomes DJ.";
  }
}

QCoro::Task<> StartupReport::reportSoundServer(std::function<std::optional<std::string>()> probe) {
  const QPointer<StartupReport> self(this);
  const auto problem = co_await QtConcurrent::run(std::move(probe));
  if (!self) co_return;
  if (problem) {
    qCWarning(lcApp).noquote() << text(*problem)
                               << "Songs cannot play until it does: start PulseAudio or PipeWire (pipewire-pulse).";
  } else {
    qCInfo(lcApp).noquote() << "Sound server: answering; songs play on its default output.";
  }
}

void StartupReport::musicAvailabilityChanged() {
  if (const auto* failed = std::get_if<MusicService::Failed>(&store_.music().availability())) {
    qCWarning(lcApp).noquote() << text(failed->message)
                               << "Guests cannot add songs until it can be read; choose a folder with --music DIR.";
  }
}

void StartupReport::libraryIndexed() {
  // A failed scan is told once, by the music service's availability.
  if (library_.indexFailed()) return;
  const QString& folder = library_.indexedFolder();
  if (library_.songCount() == 0) {
    qCWarning(lcApp).noquote() << "Music: no songs in" << folder;
    return;
  }
  qCInfo(lcApp).noquote() << "Music:" << counted(library_.songCount(), "song", "songs") << "in" << folder;
}

void StartupReport::advertisedNameChanged() {
  const auto& name = store_.server().advertisedName();
  if (!name) return;
  const vinaro::JoinLink link{*name, store_.state().sessionID};
  qCInfo(lcApp).noquote() << "Phones on this network find the party as \u201C" + text(*name) +
                                 "\u201D in the Kovali app, or join with"
                          << text(link.url());
}

void StartupReport::playbackErrorChanged() {
  if (const auto& error = store_.playbackError()) qCWarning(lcApp).noquote() << "Playback failed:" << text(*error);
}

void StartupReport::hostErrorChanged() {
  if (const auto& error = store_.lastHostError()) {
    qCWarning(lcApp).noquote() << "The host's own action was refused:" << text(error->message);
  }
}

}  // namespace kovali
