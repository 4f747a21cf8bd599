#include "session/archive/session_archive.h"

#include <utility>

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "platform/runtime/data_folder.h"
#include "platform/runtime/logging.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace kovali {
namespace {

void logSaveFailure(const QString& reason) { qCWarning(lcArchive, "Could not save the session: %s", qUtf8Printable(reason)); }

}  // namespace

vinaro::Expected<SessionArchive, SessionArchive::OpenError> SessionArchive::open() { return open(appDataFolder()); }

vinaro::Expected<SessionArchive, SessionArchive::OpenError> SessionArchive::open(const QString& folder) {
  if (auto error = createFolder(folder)) return OpenError{*error};
  // It holds the DJs' device ids, which are as good as credentials.
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  return SessionArchive(QDir(folder).filePath(QStringLiteral("Session.json")));
}

std::optional<SessionSnapshot> SessionArchive::load() {
  QFile file(path_);
  if (!file.exists()) return std::nullopt;
  if (!file.open(QIODevice::ReadOnly)) {
    setAside(file.errorString());
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    setAside(file.errorString());
    return std::nullopt;
  }
  file.close();
  auto snapshot = vinaro::wire::tryDecode<SessionSnapshot>(std::string_view(bytes.constData(), bytes.size()));
  if (!snapshot) {
    setAside(QString::fromStdString(snapshot.error().description()));
    return std::nullopt;
  }
  if (snapshot->state.revision > vinaro::SessionState::maxRestorableRevision) {
    // Counting on from there would run out of numbers.
    setAside(QStringLiteral("The saved session's revision is too large."));
    return std::nullopt;
  }
  return std::move(snapshot).value();
}

void SessionArchive::setAside(const QString& reason) {
  qCWarning(lcArchive, "Could not read the saved session: %s", qUtf8Printable(reason));
  const QString aside = unreadableFilePath();
  if (QFile::exists(aside)) QFile::remove(aside);  // only the latest unreadable file is kept
  if (QDir().rename(path_, aside)) {
    qCInfo(lcArchive, "Moved the unreadable session file to %s; the host starts a new session.",
           qUtf8Printable(QDir::toNativeSeparators(aside)));
    return;
  }
  keepsFileUntouched_ = true;
  qCWarning(lcArchive, "Could not move the unreadable session file to %s, so the session will not be saved over it.",
            qUtf8Printable(QDir::toNativeSeparators(aside)));
}

bool SessionArchive::save(const SessionSnapshot& snapshot) {
  if (auto failure = write(snapshot)) {
    // One line per streak: a full disk would otherwise log at every change.
    if (!problem_) logSaveFailure(*failure);
    problem_ = std::move(failure);
    return false;
  }
  if (std::exchange(problem_, std::nullopt)) qCInfo(lcArchive, "The session is saved again.");
  return true;
}

std::optional<QString> SessionArchive::write(const SessionSnapshot& snapshot) const {
  if (keepsFileUntouched_) return QStringLiteral("the unreadable session file is still in its place.");
  std::string json;
  try {
    json = vinaro::wire::encode(snapshot);
  } catch (const vinaro::wire::EncodeError& error) {
    return QString::fromUtf8(error.what());
  }
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);  // an older file may have been 0644
  // A short write stays in the file's buffer, and a failure to flush it at commit would go
  // unnoticed and put a cut-off file in place: so every byte is flushed and checked first.
  if (file.write(json.data(), static_cast<qint64>(json.size())) != static_cast<qint64>(json.size()) ||
      !file.flush()) {
    QString reason = file.errorString();
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) return file.errorString();  // synced to disk, then renamed over the old file
  return std::nullopt;
}

}  // namespace kovali
