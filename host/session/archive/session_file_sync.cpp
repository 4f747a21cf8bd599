#include "session/archive/session_file_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/runtime/logging.h"
#include "session/archive/second_name.h"

namespace kovali {
namespace {

QString lastError() { return QString::fromLocal8Bit(std::strerror(errno)); }

using Sync = FolderCalls::Sync;

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

SessionFileSync::SessionFileSync(QString path, QString previousPath, Syncer syncer, FolderCalls calls)
    : path_(std::move(path)),
      syncer_(syncer ? std::move(syncer)
                     : Syncer([previous = std::make_shared<PreviousCopy>(
                                   PreviousCopy{std::move(previousPath), std::move(calls)})](const QString& synced) {
                         return syncToDisk(synced, previous.get());
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
  const Sync sync = previous ? previous->calls.sync : Sync(::fsync);
  std::optional<QString> keepFailure;
  std::function<void(int)> keep;
  if (previous) keep = [&](int synced) { keepFailure = keepUnderSecondName(synced, path, previous->path, previous->calls); };
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
