#include "session/archive/session_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/runtime/data_folder.h"
#include "platform/runtime/logging.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"
#include "session/archive/second_name.h"

namespace kovali {
namespace {

void logSaveFailure(const QString& reason) { qCWarning(lcArchive, "Could not save the session: %s", qUtf8Printable(reason)); }

QString untouchedReason() { return QStringLiteral("the unreadable session file is still in its place."); }

QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }

/// Whether the file open as `file` is a plain file, which can have a second name.
bool isPlainFile(int file) {
  struct stat info {};
  return ::fstat(file, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

vinaro::Expected<SessionArchive, SessionArchive::OpenError> SessionArchive::open() { return open(appDataFolder()); }

vinaro::Expected<SessionArchive, SessionArchive::OpenError> SessionArchive::open(const QString& folder,
                                                                                 SessionFileSync::Syncer syncer,
                                                                                 FolderCalls calls) {
  if (auto error = createFolder(folder)) return OpenError{*error};
  // It holds the DJs' device ids, which are as good as credentials.
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  return SessionArchive(QDir(folder).filePath(QStringLiteral("Session.json")), std::move(syncer), std::move(calls));
}

SessionArchive::SessionArchive(QString path, SessionFileSync::Syncer syncer, FolderCalls calls)
    : path_(std::move(path)),
      calls_(calls),
      sync_(std::make_unique<SessionFileSync>(path_, previousFilePath(), std::move(syncer), std::move(calls))) {
  QObject::connect(sync_.get(), &SessionFileSync::synced, sync_.get(),
                   [health = health_.get()](const std::optional<QString>& failure) { noteSync(*health, failure); });
}

void SessionArchive::noteSync(Health& health, const std::optional<QString>& failure) {
  if (failure && !health.syncProblem) logSaveFailure(*failure);
  if (!failure && health.syncProblem) qCInfo(lcArchive, "The session is synced to disk again.");
  health.syncProblem = failure;
  if (health.syncReport) health.syncReport();
}

bool SessionArchive::noteWrite(std::optional<QString> failure) {
  if (failure) {
    // One line per streak: a full disk would otherwise log at every change.
    if (!health_->writeProblem) logSaveFailure(*failure);
    health_->writeProblem = std::move(failure);
    return false;
  }
  if (std::exchange(health_->writeProblem, std::nullopt)) qCInfo(lcArchive, "The session is saved again.");
  return true;
}

std::optional<QString> SessionArchive::problem() const {
  return health_->writeProblem ? health_->writeProblem : health_->syncProblem;
}

QString SessionArchive::previousFilePath() const {
  return QFileInfo(path_).dir().filePath(QStringLiteral("Session.previous.json"));
}

std::optional<SessionSnapshot> SessionArchive::load() {
  // Saves replace the file in one step, so a missing one is no save cut short: it is how a
  // host is started afresh.
  if (!QFile::exists(path_)) return std::nullopt;
  auto snapshot = read(path_);
  if (snapshot) return std::move(snapshot).value();
  qCWarning(lcArchive, "Could not read the saved session: %s", qUtf8Printable(snapshot.error()));
  unreadableInPlace_ = true;
  auto previous = loadPrevious();
  if (!previous) {
    setAside();
    qCInfo(lcArchive, "The host starts a new session.");
    return std::nullopt;
  }
  writeBack(*previous);
  return previous;
}

void SessionArchive::writeBack(const SessionSnapshot& restored) {
  // Until the restored party is in the file and on disk, a power cut could leave the unreadable
  // file in place, from which the next launch restores the previous copy again.
  if (!noteWrite(write(restored.parts()))) return;
  noteSync(*health_, sync_->syncNow());
}

vinaro::Expected<SessionSnapshot, QString> SessionArchive::read(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return file.errorString();
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return file.errorString();
  file.close();
  auto snapshot = vinaro::wire::tryDecode<SessionSnapshot>(std::string_view(bytes.constData(), bytes.size()));
  if (!snapshot) return QString::fromStdString(snapshot.error().description());
  if (snapshot->state.revision > vinaro::SessionState::maxRestorableRevision) {
    // Counting on from there would run out of numbers.
    return QStringLiteral("The saved session's revision is too large.");
  }
  return std::move(snapshot).value();
}

std::optional<SessionSnapshot> SessionArchive::loadPrevious() const {
  const QString previousPath = previousFilePath();
  if (!QFile::exists(previousPath)) return std::nullopt;
  auto previous = read(previousPath);
  const QString shown = QDir::toNativeSeparators(previousPath);
  if (!previous) {
    qCWarning(lcArchive, "Could not read the previous session file %s either: %s", qUtf8Printable(shown),
              qUtf8Printable(previous.error()));
    return std::nullopt;
  }
  qCWarning(lcArchive, "Restored the session from %s, the last one synced to disk (revision %lld).",
            qUtf8Printable(shown), static_cast<long long>(previous->state.revision));
  return std::move(previous).value();
}

bool SessionArchive::setAside() {
  unreadableInPlace_ = false;
  const QString aside = unreadableFilePath();
  if (QFile::exists(aside)) QFile::remove(aside);  // only the latest unreadable file is kept
  if (QDir().rename(path_, aside)) {
    qCInfo(lcArchive, "Moved the unreadable session file to %s.",
           qUtf8Printable(QDir::toNativeSeparators(aside)));
    return true;
  }
  keepsFileUntouched_ = true;
  qCWarning(lcArchive, "Could not move the unreadable session file to %s, so the session will not be saved over it.",
            qUtf8Printable(QDir::toNativeSeparators(aside)));
  return false;
}

bool SessionArchive::save(const SessionSnapshotParts& snapshot) {
  // Held open past the rename, so that the old file is freed on the sync's thread, not here.
  const int replaced = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
  if (!noteWrite(write(snapshot))) {
    if (replaced != -1) ::close(replaced);
    return false;
  }
  sync_->request(replaced);
  return true;
}

std::optional<QString> SessionArchive::write(const SessionSnapshotParts& snapshot) {
  if (keepsFileUntouched_) return untouchedReason();
  std::string json;
  json.reserve(snapshot.encodedState.size() + 4096);  // a big party's bytes are copied once
  try {
    vinaro::wire::Writer(json).write(snapshot);
  } catch (const vinaro::wire::EncodeError& error) {
    return QString::fromUtf8(error.what());
  }
  // Written beside the file and renamed over it, so the file is always one whole save. Every
  // byte is flushed and checked first: a cut-off file never takes the place of a good one.
  QFile file(temporaryFilePath());
  const auto failed = [&file](QString reason) {
    file.close();
    file.remove();
    return reason;
  };
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return failed(file.errorString());
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);  // an older file may have been 0644
  if (file.write(json.data(), static_cast<qint64>(json.size())) != static_cast<qint64>(json.size()) ||
      !file.flush()) {
    return failed(file.errorString());
  }
  file.close();
  if (file.error() != QFileDevice::NoError) return failed(file.errorString());
  if (auto failure = putInPlace()) return failed(*failure);
  return std::nullopt;
}

std::optional<QString> SessionArchive::putInPlace() {
  if (unreadableInPlace_) return replaceUnreadable();
  // The sync to disk follows on the sync's thread; the crash of this process cannot undo a rename.
  const QByteArray written = QFile::encodeName(temporaryFilePath());
  if (calls_.rename(written.constData(), QFile::encodeName(path_).constData()) != 0) return lastError();
  return std::nullopt;
}

std::optional<QString> SessionArchive::replaceUnreadable() {
  // A missing file would make the next launch start a new party, whose first sync would replace
  // the previous copy: so the unreadable file gets its second name while it stays in place.
  unreadableInPlace_ = false;
  const QString aside = unreadableFilePath();
  const int unreadable = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
  const bool plain = unreadable != -1 && isPlainFile(unreadable);
  const auto failure = plain ? keepUnderSecondName(unreadable, path_, aside, calls_) : swapWithUnreadable();
  if (unreadable != -1) ::close(unreadable);
  if (failure) {
    keepsFileUntouched_ = true;
    qCWarning(lcArchive, "Could not keep the unreadable session file as %s, so the session will not be saved over it: %s",
              qUtf8Printable(QDir::toNativeSeparators(aside)), qUtf8Printable(*failure));
    return untouchedReason();
  }
  qCInfo(lcArchive, "Kept the unreadable session file as %s.", qUtf8Printable(QDir::toNativeSeparators(aside)));
  return plain ? putInPlace() : std::nullopt;
}

std::optional<QString> SessionArchive::swapWithUnreadable() {
  const QByteArray written = QFile::encodeName(temporaryFilePath());
  const QByteArray aside = QFile::encodeName(unreadableFilePath());
  ::unlink(aside.constData());  // only the latest unreadable file is kept
  if (calls_.rename(written.constData(), aside.constData()) != 0) return lastError();
  if (calls_.exchange(aside.constData(), QFile::encodeName(path_).constData()) != 0) {
    const QString failure = lastError();
    ::unlink(aside.constData());
    return failure;
  }
  return std::nullopt;
}

}  // namespace kovali
