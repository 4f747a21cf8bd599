#include "server/outgoing_backlog.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "server/guest_limits.h"

namespace kovali {

void OutgoingBacklog::push(Message message, double seconds) {
  if (message.kind == Kind::latestState) {
    const std::int64_t since = sharedSince(message.partyBytes(), seconds);
    settleWaitingPushedParty(since);
    pushedSince_ = since;
  }
  if (isState(message.kind)) {
    for (Message& waiting : waiting_) {
      if (!isState(waiting.kind)) continue;
      waiting.body = message.body;
      waiting.rest = message.rest;
    }
    if (message.kind == Kind::latestState) dropWaitingPushedParty();
    waitingParty_ = message.partyBytes();
    ++waitingStates_;
  }
  waitingBeyondParty_ += beyondParty(message);
  waiting_.push_back(std::move(message));
}

std::int64_t OutgoingBacklog::sharedSince(qint64 bytes, double seconds) {
  // A slow phone holds a version as long as it takes to read it, beside the next its socket holds
  // and the newest: as many versions as fit in the budget over that time.
  const double readSeconds = static_cast<double>(bytes) / GuestLimits::keepsUpBytesPerSecond;
  const double versions = std::max(
      1.0, static_cast<double>(GuestLimits::oldPartiesBytes) / static_cast<double>(std::max<qint64>(bytes, 1)) - 2);
  // Doubled, so that a longer time begins where a shorter one does: phones behind see the same
  // beginnings while the party's size changes.
  double spacing = GuestLimits::shareVersionSeconds;
  while (spacing < readSeconds / versions) spacing *= 2;
  return static_cast<std::int64_t>(std::floor(seconds / spacing) * spacing);
}

qint64 OutgoingBacklog::beyondPartyAfterPush(const Message& message, qint64 socketBacklog) {
  return socketBacklog - inSocket(socketBacklog, &OutgoingBacklog::handedStateBytes_, isState) + waitingBeyondParty_ +
         beyondParty(message);
}

qint64 OutgoingBacklog::owed(qint64 socketBacklog) {
  // Everything waiting but the pushed party, of which at most one waits.
  const auto pushed = waitingPushedParty();
  const bool partyPushed = pushed != waiting_.cend();
  const qint64 waiting = waitingBeyondParty_ - (partyPushed ? beyondParty(*pushed) : 0) +
                         (waitingStates_ > (partyPushed ? 1 : 0) ? waitingParty_ : 0);
  return inSocket(socketBacklog, &OutgoingBacklog::handedOwedBytes_, isOwed) + waiting;
}

OutgoingBacklog::Parties OutgoingBacklog::parties(qint64 socketBacklog) {
  retire(socketBacklog);
  Parties parties;
  for (const Handed& handed : handed_) {
    if (isState(handed.kind)) parties.inSocket.push_back({handed.party, handed.end});
  }
  const auto waiting = std::find_if(waiting_.begin(), waiting_.end(), [](const Message& m) { return isState(m.kind); });
  if (waiting != waiting_.end()) {
    parties.newest = waiting->body;  // every waiting state carries the newest
  } else if (!parties.inSocket.empty()) {
    parties.newest = parties.inSocket.back().party;
  }
  parties.written = written(socketBacklog);
  return parties;
}

template <class Waiting>
auto OutgoingBacklog::nextIn(Waiting& waiting) {
  const auto owed = std::find_if(waiting.begin(), waiting.end(), [](const Message& m) { return isOwed(m.kind); });
  return owed != waiting.end() ? owed : waiting.begin();
}

OutgoingBacklog::Kind OutgoingBacklog::nextKind() const { return nextIn(waiting_)->kind; }

bool OutgoingBacklog::nextGoesNow(qint64 socketBacklog) const {
  // Answers need no room: what the phone may ask for before it is read no further is bounded.
  return nextKind() == Kind::ordinary || socketBacklog < GuestLimits::partyHandOffBytes;
}

OutgoingBacklog::Message OutgoingBacklog::takeNext() {
  const auto at = nextIn(waiting_);
  if (settled_ && at->kind == Kind::latestState) return *std::exchange(settled_, std::nullopt);
  Message taken = std::move(*at);
  waiting_.erase(at);
  forget(taken);
  if (taken.kind == Kind::state) {
    settled_.reset();
    dropWaitingPushedParty();
  }
  return taken;
}

void OutgoingBacklog::settleWaitingPushedParty(std::int64_t since) {
  const auto pushed = waiting_.begin() + (waitingPushedParty() - waiting_.cbegin());
  if (pushed == waiting_.end() || pushedSince_ >= since) return;
  // The party as it stood when the shared time began: every phone behind takes this same one.
  forget(*pushed);
  settled_ = std::move(*pushed);
  waiting_.erase(pushed);
}

std::deque<OutgoingBacklog::Message>::const_iterator OutgoingBacklog::waitingPushedParty() const {
  return std::find_if(waiting_.cbegin(), waiting_.cend(),
                      [](const Message& waiting) { return waiting.kind == Kind::latestState; });
}

void OutgoingBacklog::dropWaitingPushedParty() {
  const auto pushed = waitingPushedParty();
  if (pushed == waiting_.cend()) return;
  forget(*pushed);
  waiting_.erase(pushed);
}

void OutgoingBacklog::forget(const Message& message) {
  waitingBeyondParty_ -= beyondParty(message);
  if (isState(message.kind) && --waitingStates_ == 0) waitingParty_ = 0;
}

void OutgoingBacklog::handed(const Message& message, qint64 bytes) {
  handedTotal_ += bytes;
  handed_.push_back({handedTotal_, bytes, message.kind, isState(message.kind) ? message.body : QByteArray()});
  if (isState(message.kind)) handedStateBytes_ += bytes;
  if (isOwed(message.kind)) handedOwedBytes_ += bytes;
}

qint64 OutgoingBacklog::retire(qint64 socketBacklog) {
  const qint64 written = this->written(socketBacklog);
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
  settled_.reset();
  waitingBeyondParty_ = waitingParty_ = 0;
  waitingStates_ = 0;
}

}  // namespace kovali
