#include "session/archive/second_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFile>

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

/// A new file at `target` with the bytes of the file open as `source`, synced with `sync`.
std::optional<QString> copySynced(int source, const char* target, const FolderCalls::Sync& sync) {
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

}  // namespace

std::optional<QString> keepUnderSecondName(int file, const QString& path, const QString& target,
                                           const FolderCalls& calls) {
  const QByteArray targetName = QFile::encodeName(target);
  const QByteArray staging = targetName + ".linking";
  ::unlink(staging.constData());  // left by a crash in between
  // Another file may have taken `path` meanwhile; some file systems (FAT) have no links at all.
  if (calls.link(QFile::encodeName(path).constData(), staging.constData()) != 0 || !sameFile(file, staging.constData())) {
    ::unlink(staging.constData());
    if (auto failure = copySynced(file, staging.constData(), calls.sync)) {
      ::unlink(staging.constData());
      return failure;
    }
  }
  if (calls.rename(staging.constData(), targetName.constData()) != 0) {
    const QString failure = lastError();
    ::unlink(staging.constData());
    return failure;
  }
  return std::nullopt;
}

}  // namespace kovali
