#include "session/archive/session_file_sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/runtime/logging.h"

namespace kovali {
namespace {

QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool sameFile(int open, const char* path) {
  struct stat openInfo {};
  struct stat pathInfo {};
  return ::fstat(open, &openInfo) == 0 && ::stat(path, &pathInfo) == 0 && openInfo.st_dev == pathInfo.st_dev &&
         openInfo.st_ino == pathInfo.st_ino;
}

/// Writes all of `bytes` to `file`.
bool writeAll(int file, const char* bytes, ssize_t size) {
  for (ssize_t written = 0; written < size;) {
    const ssize_t put = ::write(file, bytes + written, static_cast<std::size_t>(size - written));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    written += put;
  }
  return true;
}

using Sync = SessionFileSync::PreviousCopy::Sync;

/// A new file at `target` with the bytes of the file open as `source`, synced with `sync`.
std::optional<QString> copySynced(int source, const char* target, const Sync& sync) {
  const int copy = ::open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (copy < 0) return lastError();
  std::optional<QString> failure;
  char buffer[64 * 1024];
  for (off_t offset = 0; !failure;) {
    const ssize_t got = ::pread(source, buffer, sizeof buffer, offset);
    if (got == 0) break;
    if (got < 0 || !writeAll(copy, buffer, got)) failure = lastError();
    offset += got;
  }
  if (!failure && sync(copy) != 0) failure = lastError();
  if (::close(copy) != 0 && !failure) failure = lastError();
  return failure;
}

/// Puts the file open as `synced` at the previous copy's place in one step: a link to the file
/// at `path` when that is still the synced one, else a copy.
std::optional<QString> keepAsPrevious(int synced, const QString& path, const SessionFileSync::PreviousCopy& previous) {
  const QByteArray target = QFile::encodeName(previous.path);
  const QByteArray staging = target + ".linking";
  ::unlink(staging.constData());  // left by a crash in between
  // A save may have put a newer file at `path` meanwhile, whose bytes may not be on disk yet;
  // some file systems (FAT) have no links at all.
  if (previous.link(QFile::encodeName(path).constData(), staging.constData()) != 0 ||
      !sameFile(synced, staging.constData())) {
    ::unlink(staging.constData());
    if (auto failure = copySynced(synced, staging.constData(), previous.sync)) {
      ::unlink(staging.constData());
      return failure;
    }
  }
  if (::rename(staging.constData(), target.constData()) != 0) {
    const QString failure = lastError();
    ::unlink(staging.constData());
    return failure;
  }
  return std::nullopt;
}

/// `sync` of what is at `path`, then `also` with its descriptor when given.
std::optional<QString> syncPath(const QString& path, int flags, const Sync& sync,
                                const std::function<void(int)>& also = {}) {
  const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
  if (fd < 0) return lastError();
  std::optional<QString> failure;
  if (sync(fd) != 0) failure = lastError();
  if (!failure && also) also(fd);
  ::close(fd);
  return failure;
}

}  // namespace

SessionFileSync::SessionFileSync(QString path, QString previousPath, Syncer syncer)
    : path_(std::move(path)),
      syncer_(syncer ? std::move(syncer)
                     : Syncer([previous = std::make_shared<PreviousCopy>(PreviousCopy{std::move(previousPath)})](
                                  const QString& synced) { return syncToDisk(synced, previous.get()); })),
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

std::optional<QString> SessionFileSync::syncNow() {
  std::promise<std::optional<QString>> ended;
  auto failure = ended.get_future();
  queue_->async([&ended, path = path_, syncer = syncer_, replaced = replaced_] {
    replaced->closeAll();
    ended.set_value(syncer(path));
  });
  return failure.get();
}

std::optional<QString> SessionFileSync::syncToDisk(const QString& path, PreviousCopy* previous) {
  const Sync sync = previous ? previous->sync : Sync(::fsync);
  std::optional<QString> keepFailure;
  std::function<void(int)> keep;
  if (previous) keep = [&](int synced) { keepFailure = keepAsPrevious(synced, path, *previous); };
  if (auto failure = syncPath(path, O_RDONLY, sync, keep)) return failure;
  if (previous && keepFailure && !previous->failing) {
    qCWarning(lcArchive, "Could not keep the synced session as %s: %s",
              qUtf8Printable(QDir::toNativeSeparators(previous->path)), qUtf8Printable(*keepFailure));
  }
  if (previous) previous->failing = keepFailure.has_value();
  // The renames that put the file and its previous copy in place are in the folder's entries.
  return syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY, sync);
}

}  // namespace kovali
