#include "session/archive/session_file_sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <QFile>
#include <QFileInfo>

namespace kovali {
namespace {

QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }

/// Links the file open as `synced`, when it is still the one at `path`, at `previousPath`.
std::optional<QString> keepAsPrevious(int synced, const QString& path, const QString& previousPath) {
  const QByteArray linking = QFile::encodeName(previousPath + QStringLiteral(".linking"));
  ::unlink(linking.constData());  // left by a crash in between
  if (::link(QFile::encodeName(path).constData(), linking.constData()) != 0) return lastError();
  struct stat syncedInfo {};
  struct stat linkedInfo {};
  const bool same = ::fstat(synced, &syncedInfo) == 0 && ::stat(linking.constData(), &linkedInfo) == 0 &&
                    syncedInfo.st_dev == linkedInfo.st_dev && syncedInfo.st_ino == linkedInfo.st_ino;
  // A save put a newer file in place meanwhile, whose bytes may not be on disk yet.
  if (!same) {
    ::unlink(linking.constData());
    return std::nullopt;
  }
  if (::rename(linking.constData(), QFile::encodeName(previousPath).constData()) != 0) {
    const QString failure = lastError();
    ::unlink(linking.constData());
    return failure;
  }
  return std::nullopt;
}

/// fsync of what is at `path`, then `also` with its descriptor when given.
std::optional<QString> syncPath(const QString& path, int flags,
                                const std::function<std::optional<QString>(int)>& also = {}) {
  const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
  if (fd < 0) return lastError();
  std::optional<QString> failure;
  if (::fsync(fd) != 0) failure = lastError();
  if (!failure && also) failure = also(fd);
  ::close(fd);
  return failure;
}

}  // namespace

SessionFileSync::SessionFileSync(QString path, QString previousPath, Syncer syncer)
    : path_(std::move(path)),
      syncer_(syncer ? std::move(syncer)
                     : Syncer([previousPath = std::move(previousPath)](const QString& synced) {
                         return syncToDisk(synced, previousPath);
                       })),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("kovaliapp.archive"))) {}

SessionFileSync::~SessionFileSync() {
  queue_.reset();
  replaced_->closeAll();
}

void SessionFileSync::Replaced::closeAll() {
  std::vector<int> closing;
  {
    const std::lock_guard guard(lock);
    closing.swap(files);
  }
  for (const int file : closing) ::close(file);
}

void SessionFileSync::request(int replaced) {
  if (replaced != -1) {
    const std::lock_guard guard(replaced_->lock);
    // A stalled disk must not use up the descriptors the guests need.
    if (replaced_->files.size() < maxReplacedWaiting) {
      replaced_->files.push_back(replaced);
    } else {
      ::close(replaced);
    }
  }
  if (waiting_->exchange(true)) return;  // the sync still waiting will see this version too
  queue_->async(
      [path = path_, syncer = syncer_, waiting = waiting_, replaced = replaced_] {
        // Cleared first: a file put in place from now on needs a sync of its own.
        waiting->store(false);
        replaced->closeAll();
        return syncer(path);
      },
      this, [this](std::optional<QString> failure) { emit synced(failure); });
}

std::optional<QString> SessionFileSync::syncToDisk(const QString& path, const QString& previousPath) {
  std::function<std::optional<QString>(int)> keep;
  if (!previousPath.isEmpty()) keep = [&](int synced) { return keepAsPrevious(synced, path, previousPath); };
  if (auto failure = syncPath(path, O_RDONLY, keep)) return failure;
  // The renames that put the file and its previous copy in place are in the folder's entries.
  return syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

}  // namespace kovali
