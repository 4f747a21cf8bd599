#include "server/outgoing_backlog.h"

#include <algorithm>
#include <utility>

namespace kovali {

void OutgoingBacklog::push(Message message) {
  if (isState(message.kind)) {
    for (Message& waiting : waiting_) {
      if (isState(waiting.kind)) waiting.body = message.body;
    }
    if (message.kind == Kind::latestState) dropWaitingPushedParty();
    waitingParty_ = message.body.size();
    ++waitingStates_;
    if (isOwed(message.kind)) ++waitingOwedStates_;
  }
  waitingBeyondParty_ += beyondParty(message);
  if (isOwed(message.kind)) waitingOwedBeyondParty_ += beyondParty(message);
  waiting_.push_back(std::move(message));
}

qint64 OutgoingBacklog::beyondPartyAfterPush(const Message& message, qint64 socketBacklog) {
  return socketBacklog - inSocket(socketBacklog, &OutgoingBacklog::handedStateBytes_, isState) + waitingBeyondParty_ +
         beyondParty(message);
}

qint64 OutgoingBacklog::owed(qint64 socketBacklog) {
  return inSocket(socketBacklog, &OutgoingBacklog::handedOwedBytes_, isOwed) + waitingOwedBeyondParty_ +
         (waitingOwedStates_ > 0 ? waitingParty_ : 0);
}

std::vector<QByteArray> OutgoingBacklog::partiesInSocket(qint64 socketBacklog) {
  retire(socketBacklog);
  std::vector<QByteArray> parties;
  for (const Handed& handed : handed_) {
    if (isState(handed.kind)) parties.push_back(handed.party);
  }
  return parties;
}

template <class Waiting>
auto OutgoingBacklog::nextIn(Waiting& waiting) {
  const auto owed = std::find_if(waiting.begin(), waiting.end(), [](const Message& m) { return isOwed(m.kind); });
  return owed != waiting.end() ? owed : waiting.begin();
}

OutgoingBacklog::Kind OutgoingBacklog::nextKind() const { return nextIn(waiting_)->kind; }

OutgoingBacklog::Message OutgoingBacklog::takeNext() {
  const auto at = nextIn(waiting_);
  Message taken = std::move(*at);
  waiting_.erase(at);
  forget(taken);
  if (taken.kind == Kind::state) dropWaitingPushedParty();
  return taken;
}

void OutgoingBacklog::dropWaitingPushedParty() {
  const auto pushed = std::find_if(waiting_.begin(), waiting_.end(),
                                   [](const Message& waiting) { return waiting.kind == Kind::latestState; });
  if (pushed == waiting_.end()) return;
  forget(*pushed);
  waiting_.erase(pushed);
}

void OutgoingBacklog::forget(const Message& message) {
  waitingBeyondParty_ -= beyondParty(message);
  if (isOwed(message.kind)) waitingOwedBeyondParty_ -= beyondParty(message);
  if (message.kind == Kind::state) --waitingOwedStates_;
  if (isState(message.kind) && --waitingStates_ == 0) waitingParty_ = 0;
}

void OutgoingBacklog::handed(const Message& message, qint64 bytes) {
  handedTotal_ += bytes;
  handed_.push_back({handedTotal_, bytes, message.kind, isState(message.kind) ? message.body : QByteArray()});
  if (isState(message.kind)) handedStateBytes_ += bytes;
  if (isOwed(message.kind)) handedOwedBytes_ += bytes;
}

qint64 OutgoingBacklog::retire(qint64 socketBacklog) {
  const qint64 written = handedTotal_ - socketBacklog;
  while (!handed_.empty() && handed_.front().end <= written) {
    if (isState(handed_.front().kind)) handedStateBytes_ -= handed_.front().bytes;
    if (isOwed(handed_.front().kind)) handedOwedBytes_ -= handed_.front().bytes;
    handed_.pop_front();
  }
  if (handed_.empty()) return 0;
  return std::max<qint64>(0, written - (handed_.front().end - handed_.front().bytes));
}

qint64 OutgoingBacklog::inSocket(qint64 socketBacklog, qint64 OutgoingBacklog::*handedBytes, bool (*kinds)(Kind)) {
  const qint64 frontWritten = retire(socketBacklog);
  return this->*handedBytes - (!handed_.empty() && kinds(handed_.front().kind) ? frontWritten : 0);
}

void OutgoingBacklog::clearWaiting() {
  waiting_.clear();
  waitingBeyondParty_ = waitingParty_ = waitingOwedBeyondParty_ = 0;
  waitingStates_ = waitingOwedStates_ = 0;
}

}  // namespace kovali
