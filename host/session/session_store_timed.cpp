#include <QPointer>

#include "session/session_store.h"

namespace kovali {

namespace {

constexpr double kTransportNoticeSeconds = 4;

}  // namespace

void SessionStore::showTransportNotice(std::string notice) {
  setTransportNotice(std::move(notice));
  transportNoticeTask_.start([this, self = QPointer<SessionStore>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(kTransportNoticeSeconds, token);
    // A newer notice cancelled this one and keeps its own time.
    if (token.isCancelled() || !self) co_return;
    setTransportNotice(std::nullopt);
  });
}

}  // namespace kovali
