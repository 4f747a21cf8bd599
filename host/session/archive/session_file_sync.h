#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QObject>
#include <QString>

#include "platform/runtime/serial_queue.h"
#include "session/archive/folder_calls.h"

namespace kovali {

/// Makes the session file, already written and in place, last through a power cut: its bytes
/// and its folder entry are synced to disk on a worker thread ("kovaliapp.archive"), so a busy
/// disk never holds up the party. Requests made while a sync is waiting or running are served by
/// one more sync. Whatever is still waiting runs before the object goes. The files that saves
/// replaced are let go on the same thread. Each file synced this way is then kept under a second
/// name as well, so that the last synced session outlives a power cut that spoils a newer file.
class SessionFileSync final : public QObject {
  Q_OBJECT

 public:
  /// Syncs the file at a path; the reason when it could not.
  using Syncer = std::function<std::optional<QString>(const QString& path)>;

  /// Where and how the synced file is kept as the last synced session.
  struct PreviousCopy {
    QString path;
    FolderCalls calls;     // for every step of the sync made with this copy
    bool failing = false;  // the last keeping failed, and that was logged
  };

  /// Syncs `path` with `syncer`; unless given, that is `syncToDisk` keeping the synced file at
  /// `previousPath` through `calls`.
  SessionFileSync(QString path, QString previousPath, Syncer syncer = {}, FolderCalls calls = {});
  ~SessionFileSync() override;

  /// Asks for the file as it is now to be synced. `replaced`, when not -1, is an open descriptor
  /// of the file that this one replaced, which this closes on the worker thread: the old file's
  /// blocks are freed at that close, which on a disk that discards them takes long. Beyond
  /// `maxReplacedWaiting` waiting, it is closed at once.
  void request(int replaced = -1);
  static constexpr std::size_t maxReplacedWaiting = 32;
  /// Syncs the file as it is now on the worker thread, after whatever waits there, and blocks
  /// until that has ended; answers the reason it failed. Reports no `synced`.
  std::optional<QString> syncNow();

  /// fsync of the file at `path`, then of its folder. With a `previous` copy, the synced file is
  /// also put there in one step before the folder's sync, replacing the one there before: linked
  /// where the file system allows it and it is still the file at `path`, else copied and synced.
  /// Keeping it can fail without failing the sync, which only the log tells, once a streak.
  static std::optional<QString> syncToDisk(const QString& path, PreviousCopy* previous = nullptr);

 signals:
  /// A sync ended, on the thread that made this object: the reason it failed, or nothing.
  void synced(const std::optional<QString>& failure);

 private:
  QString path_;
  Syncer syncer_;
  std::shared_ptr<std::atomic<bool>> waiting_ = std::make_shared<std::atomic<bool>>(false);
  /// Descriptors of replaced files, shared with the worker.
  struct Replaced {
    std::mutex lock;
    std::vector<int> files;
    void closeAll();
  };
  std::shared_ptr<Replaced> replaced_ = std::make_shared<Replaced>();
  std::unique_ptr<SerialQueue> queue_;  // last: it finishes its work while the rest still stands
};

}  // namespace kovali
