#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QObject>
#include <QThread>

#include "loopback_phone.h"

namespace kovali {

/// Guests' phones that join the host and read all they are sent, on a thread of their own: the
/// host's main thread pays for sending them their views, not for their reading.
class ReadingGuests {
 public:
  /// Opens `count` phones to the host at `port`, each from a loopback address of its own.
  ReadingGuests(std::uint16_t port, int count);
  ~ReadingGuests();
  ReadingGuests(const ReadingGuests&) = delete;
  ReadingGuests& operator=(const ReadingGuests&) = delete;

 private:
  QThread thread_;
  std::unique_ptr<QObject> home_;  // on `thread_`, as are the phones
  std::vector<std::unique_ptr<LoopbackPhone>> phones_;
};

}  // namespace kovali
