#include "session/archive/session_file_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <QFile>
#include <QFileInfo>

namespace kovali {
namespace {

std::optional<QString> syncPath(const QString& path, int flags) {
  const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  std::optional<QString> failure;
  if (::fsync(fd) != 0) failure = QString::fromLocal8Bit(std::strerror(errno));
  ::close(fd);
  return failure;
}

}  // namespace

SessionFileSync::SessionFileSync(QString path, Syncer syncer)
    : path_(std::move(path)),
      syncer_(syncer ? std::move(syncer) : Syncer(&SessionFileSync::syncToDisk)),
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

std::optional<QString> SessionFileSync::syncToDisk(const QString& path) {
  if (auto failure = syncPath(path, O_RDONLY)) return failure;
  // The rename that put the file in place is in the folder's entry.
  return syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

}  // namespace kovali
