#include "platform/bonjour/qt_avahi_poll.h"

#include <poll.h>
#include <sys/time.h>

#include <algorithm>
#include <memory>

#include <QSocketNotifier>
#include <QTimer>

// avahi-common declares these types but leaves their definitions to each poll implementation.
struct AvahiWatch {
  int fd = -1;
  AvahiWatchEvent wanted{};
  AvahiWatchEvent happened{};
  AvahiWatchCallback callback = nullptr;
  void* userdata = nullptr;
  std::unique_ptr<QSocketNotifier> read;
  std::unique_ptr<QSocketNotifier> write;
};

struct AvahiTimeout {
  AvahiTimeoutCallback callback = nullptr;
  void* userdata = nullptr;
  std::unique_ptr<QTimer> timer;
};

namespace kovali {

namespace {

// Avahi may free a watch or timeout from inside its own callback, that is, inside a signal of
// the notifier or timer being freed; those go with deleteLater instead.
template <class T>
void retire(std::unique_ptr<T>& object) {
  if (!object) return;
  object->setEnabled(false);
  object.release()->deleteLater();
}

void retire(std::unique_ptr<QTimer>& timer) {
  if (!timer) return;
  timer->stop();
  timer.release()->deleteLater();
}

void dispatch(AvahiWatch* watch) {
  // The notifier says only "readable" or "writable"; poll tells avahi exactly what happened.
  pollfd descriptor{watch->fd, static_cast<short>(watch->wanted), 0};
  if (::poll(&descriptor, 1, 0) <= 0 || descriptor.revents == 0) return;
  watch->happened = static_cast<AvahiWatchEvent>(descriptor.revents);
  watch->callback(watch, watch->fd, watch->happened, watch->userdata);  // may free `watch`
}

void enable(AvahiWatch* watch) {
  watch->read->setEnabled(watch->wanted & (AVAHI_WATCH_IN | AVAHI_WATCH_ERR | AVAHI_WATCH_HUP));
  watch->write->setEnabled(watch->wanted & AVAHI_WATCH_OUT);
}

AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent event, AvahiWatchCallback callback, void* userdata) {
  auto* watch = new AvahiWatch{fd, event, AvahiWatchEvent{}, callback, userdata, nullptr, nullptr};
  watch->read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  watch->write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
  QObject::connect(watch->read.get(), &QSocketNotifier::activated, watch->read.get(), [watch] { dispatch(watch); });
  QObject::connect(watch->write.get(), &QSocketNotifier::activated, watch->write.get(), [watch] { dispatch(watch); });
  enable(watch);
  return watch;
}

void watchUpdate(AvahiWatch* watch, AvahiWatchEvent event) {
  watch->wanted = event;
  enable(watch);
}

AvahiWatchEvent watchGetEvents(AvahiWatch* watch) { return watch->happened; }

void watchFree(AvahiWatch* watch) {
  retire(watch->read);
  retire(watch->write);
  delete watch;
}

void timeoutUpdate(AvahiTimeout* timeout, const timeval* when) {
  if (!when) {
    timeout->timer->stop();
    return;
  }
  // Avahi gives absolute times on the wall clock (gettimeofday).
  timeval now{};
  ::gettimeofday(&now, nullptr);
  const long long ms = (when->tv_sec - now.tv_sec) * 1000LL + (when->tv_usec - now.tv_usec) / 1000;
  timeout->timer->start(static_cast<int>(std::clamp(ms, 0LL, 24LL * 3600 * 1000)));
}

AvahiTimeout* timeoutNew(const AvahiPoll*, const timeval* when, AvahiTimeoutCallback callback, void* userdata) {
  auto* timeout = new AvahiTimeout{callback, userdata, std::make_unique<QTimer>()};
  timeout->timer->setSingleShot(true);
  timeout->timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timeout->timer.get(), &QTimer::timeout, timeout->timer.get(),
                   [timeout] { timeout->callback(timeout, timeout->userdata); });  // may free `timeout`
  timeoutUpdate(timeout, when);
  return timeout;
}

void timeoutFree(AvahiTimeout* timeout) {
  retire(timeout->timer);
  delete timeout;
}

}  // namespace

QtAvahiPoll::QtAvahiPoll() {
  api_.userdata = this;
  api_.watch_new = watchNew;
  api_.watch_update = watchUpdate;
  api_.watch_get_events = watchGetEvents;
  api_.watch_free = watchFree;
  api_.timeout_new = timeoutNew;
  api_.timeout_update = timeoutUpdate;
  api_.timeout_free = timeoutFree;
}

}  // namespace kovali
