#pragma once

#include <pulse/thread-mainloop.h>

namespace kovali {

/// Holds a libpulse threaded main loop's lock for its scope, so that no callback of that loop
/// runs meanwhile. Never on the loop's own thread.
class PulseLoopLock {
 public:
  explicit PulseLoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~PulseLoopLock() { pa_threaded_mainloop_unlock(loop_); }
  PulseLoopLock(const PulseLoopLock&) = delete;
  PulseLoopLock& operator=(const PulseLoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

}  // namespace kovali
