#include "server/incoming_pool.h"

namespace kovali {

bool IncomingPool::take(qint64 bytes) {
  if (bytes > free_) return false;
  free_ -= bytes;
  return true;
}

void IncomingPool::giveBack(qint64 bytes) {
  if (bytes <= 0) return;
  free_ += bytes;
  emit freed();
}

}  // namespace kovali
