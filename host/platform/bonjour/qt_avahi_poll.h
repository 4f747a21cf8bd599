#pragma once

#include <avahi-common/watch.h>

namespace kovali {

/// Runs avahi's file-descriptor watches and timeouts on the Qt event loop of the thread that
/// creates it (Debian ships no avahi-qt). Must outlive every avahi object made with `api()`.
class QtAvahiPoll {
 public:
  QtAvahiPoll();
  QtAvahiPoll(const QtAvahiPoll&) = delete;
  QtAvahiPoll& operator=(const QtAvahiPoll&) = delete;

  const AvahiPoll* api() const { return &api_; }

 private:
  AvahiPoll api_{};
};

}  // namespace kovali
