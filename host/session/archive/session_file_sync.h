#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "platform/runtime/serial_queue.h"

namespace kovali {

/// Makes the session file, already written and in place, last through a power cut: its bytes
/// and its folder entry are synced to disk on a worker thread ("kovaliapp.archive"), so a busy
/// disk never holds up the party. Requests made while a sync is waiting or running are served by
/// one more sync. Whatever is still waiting runs before the object goes.
class SessionFileSync final : public QObject {
  Q_OBJECT

 public:
  /// Syncs the file at a path; the reason when it could not.
  using Syncer = std::function<std::optional<QString>(const QString& path)>;

  /// Syncs `path` with `syncer` (fsync of the file and its folder unless given).
  explicit SessionFileSync(QString path, Syncer syncer = {});
  ~SessionFileSync() override;

  /// Asks for the file as it is now to be synced.
  void request();

  /// fsync of the file at `path`, then of its folder.
  static std::optional<QString> syncToDisk(const QString& path);

 signals:
  /// A sync ended, on the thread that made this object: the reason it failed, or nothing.
  void synced(const std::optional<QString>& failure);

 private:
  QString path_;
  Syncer syncer_;
  std::shared_ptr<std::atomic<bool>> waiting_ = std::make_shared<std::atomic<bool>>(false);
  std::unique_ptr<SerialQueue> queue_;  // last: it finishes its work while the rest still stands
};

}  // namespace kovali
