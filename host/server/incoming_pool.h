#pragma once

#include <QObject>

namespace kovali {

/// The bytes of messages on their way in that all connections together may hold beyond each
/// one's small share: a phone's ordinary commands fit its share, and a crowd sending the largest
/// messages slowly cannot take more of the host's memory than this. Main thread.
class IncomingPool final : public QObject {
  Q_OBJECT

 public:
  explicit IncomingPool(qint64 total) : free_(total) {}

  /// Takes `bytes`; false, taking nothing, when fewer are free.
  bool take(qint64 bytes);
  void giveBack(qint64 bytes);
  qint64 free() const { return free_; }

 signals:
  /// Bytes came free: a connection waiting for them may read on.
  void freed();

 private:
  qint64 free_;
};

}  // namespace kovali
