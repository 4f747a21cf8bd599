#include "server/outgoing_backlog.h"

#include <algorithm>
#include <utility>

namespace kovali {

void OutgoingBacklog::push(Message message) {
  if (isState(message.kind)) {
    for (Message& waiting : waiting_) {
      if (isState(waiting.kind)) waiting.body = message.body;
    }
    if (message.kind == Kind::latestState) {
      const auto older = std::find_if(waiting_.begin(), waiting_.end(),
                                      [](const Message& waiting) { return waiting.kind == Kind::latestState; });
      if (older != waiting_.end()) {
        forget(*older);
        waiting_.erase(older);
      }
    }
    waitingParty_ = message.body.size();
    ++waitingStates_;
  }
  waitingBeyondParty_ += beyondParty(message);
  waiting_.push_back(std::move(message));
}

qint64 OutgoingBacklog::beyondPartyAfterPush(const Message& message, qint64 socketBacklog) {
  retire(socketBacklog);
  // The socket's bytes are taken as the states' first: messages go to it only while it holds
  // little, so what this misses behind a state is less than that.
  return socketBacklog - std::min(handedStateBytes_, socketBacklog) + waitingBeyondParty_ + beyondParty(message);
}

OutgoingBacklog::Message OutgoingBacklog::takeNext() {
  Message next = std::move(waiting_.front());
  waiting_.pop_front();
  forget(next);
  return next;
}

void OutgoingBacklog::forget(const Message& message) {
  waitingBeyondParty_ -= beyondParty(message);
  if (isState(message.kind) && --waitingStates_ == 0) waitingParty_ = 0;
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
  waitingBeyondParty_ = waitingParty_ = 0;
  waitingStates_ = 0;
}

}  // namespace kovali
