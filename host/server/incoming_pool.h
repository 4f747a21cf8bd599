#pragma once

#include <QtGlobal>

namespace kovali {

/// The bytes of messages on their way in that all connections together may hold beyond each
/// one's small share: a phone's ordinary commands fit its share, and a crowd sending the largest
/// messages slowly cannot take more of the host's memory than this.
class IncomingPool {
 public:
  explicit IncomingPool(qint64 total) : free_(total) {}

  /// Takes `bytes`; false, taking nothing, when fewer are free.
  bool take(qint64 bytes) {
    if (bytes > free_) return false;
    free_ -= bytes;
    return true;
  }
  void giveBack(qint64 bytes) { free_ += bytes; }
  qint64 free() const { return free_; }

 private:
  qint64 free_;
};

}  // namespace kovali
