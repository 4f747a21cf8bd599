#include "server/outgoing_backlog.h"

#include <algorithm>
#include <utility>

namespace kovali {

void OutgoingBacklog::push(Message message) {
  if (message.kind == Kind::latestState) {
    const auto older = std::find_if(waiting_.begin(), waiting_.end(),
                                    [](const Message& waiting) { return waiting.kind == Kind::latestState; });
    if (older != waiting_.end()) {
      waitingBytes_ -= older->bytes();
      waitingStateBytes_ -= older->bytes();
      waiting_.erase(older);
    }
  }
  waitingBytes_ += message.bytes();
  if (isState(message.kind)) waitingStateBytes_ += message.bytes();
  waiting_.push_back(std::move(message));
}

qint64 OutgoingBacklog::ordinaryAfterPush(const Message& message, qint64 socketBacklog) {
  retire(socketBacklog);
  // The socket's bytes are taken as the states' first: messages go to it only while it holds
  // little, so what this misses behind a state is less than that.
  const qint64 ordinary = unsent(socketBacklog) - waitingStateBytes_ - std::min(handedStateBytes_, socketBacklog);
  return ordinary + (isState(message.kind) ? 0 : message.bytes());
}

OutgoingBacklog::Message OutgoingBacklog::takeNext() {
  Message next = std::move(waiting_.front());
  waiting_.pop_front();
  waitingBytes_ -= next.bytes();
  if (isState(next.kind)) waitingStateBytes_ -= next.bytes();
  return next;
}

void OutgoingBacklog::handed(Kind kind, qint64 bytes) {
  handedTotal_ += bytes;
  const bool state = isState(kind);
  handed_.push_back({handedTotal_, bytes, state});
  if (state) handedStateBytes_ += bytes;
}

void OutgoingBacklog::retire(qint64 socketBacklog) {
  const qint64 written = handedTotal_ - socketBacklog;
  while (!handed_.empty() && handed_.front().end <= written) {
    if (handed_.front().state) handedStateBytes_ -= handed_.front().bytes;
    handed_.pop_front();
  }
}

void OutgoingBacklog::clearWaiting() {
  waiting_.clear();
  waitingBytes_ = waitingStateBytes_ = 0;
}

}  // namespace kovali
