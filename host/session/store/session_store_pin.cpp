#include <QPointer>

#include "platform/runtime/logging.h"
#include "session/store/session_store.h"
#include "session/store/session_store_errors.h"

namespace kovali {

void SessionStore::authenticateDJ(const std::string& pin, const std::string& envelopeID, ConnectionID connection) {
  const std::string source = pinSource(connection);
  if (auto refusal = pinLockRefusal(source, connection)) {
    sendError(*refusal, connection, envelopeID);
    return;
  }
  const auto admitted = pinAttempts_.admit(connection, source, scheduler_.monotonicNow());
  if (admitted.displaced) {
    if (const auto waiting = waitingPINs_.extract(*admitted.displaced)) {
      refuseWhileGuessed(*admitted.displaced, waiting.mapped().envelopeID);
    }
  }
  switch (admitted.admission) {
    case PINAttemptLimiter::Admission::compareNow:
      comparePIN(pin, envelopeID, connection);
      return;
    case PINAttemptLimiter::Admission::waitsInLine:
      waitingPINs_[connection] = {pin, envelopeID};
      serveWaitingPINs();
      return;
    case PINAttemptLimiter::Admission::refused:
      refuseWhileGuessed(connection, envelopeID);
      return;
  }
}

void SessionStore::refuseWhileGuessed(ConnectionID connection, const std::string& envelopeID) {
  // Debug only, as the refusals of a flood are: a line each would let guessers fill the disk.
  qCDebug(lcSession).noquote() << "DJ PIN from guest connection" << connection.text().c_str()
                              << "refused unread: the host compares PINs slowly while they are guessed";
  sendError(StoreErrors::pinGuessingSlowedDown(), connection, envelopeID);
}

void SessionStore::serveWaitingPINs() {
  const auto now = scheduler_.monotonicNow();
  for (auto due = pinAttempts_.nextTurn(now); due && *due <= now; due = pinAttempts_.nextTurn(now)) {
    const auto turn = pinAttempts_.serveTurn(now);
    for (const ConnectionID refused : turn.refused) {
      const auto waiting = waitingPINs_.extract(refused);
      const auto refusal = pinLockRefusal(pinSource(refused), refused);
      if (waiting && refusal) sendError(*refusal, refused, waiting.mapped().envelopeID);
    }
    if (!turn.compared) continue;
    if (const auto waiting = waitingPINs_.extract(*turn.compared)) {
      comparePIN(waiting.mapped().pin, waiting.mapped().envelopeID, *turn.compared);
    }
  }
  const auto next = pinAttempts_.nextTurn(now);
  if (!next) {
    pinTurn_.cancel();
    return;
  }
  pinTurn_.start([this, wait = secondsBetween(now, *next), self = QPointer<SessionStore>(this)](
                     CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(wait, token);
    if (token.isCancelled() || !self) co_return;
    serveWaitingPINs();  // may start the next wait in this task's place; nothing here runs after it
  });
}

void SessionStore::comparePIN(const std::string& pin, const std::string& envelopeID, ConnectionID connection) {
  const auto found = participants_.find(connection);
  if (found == participants_.end()) return;
  const auto now = scheduler_.monotonicNow();
  const std::string source = pinSource(connection);
  const std::string expected = djPIN_.load();
  if (!DJPIN::isValid(expected)) {
    // Nothing to guess yet: counting these would lock out the DJ once a PIN is set.
    qCInfo(lcSession).noquote() << "DJ PIN from guest connection" << connection.text().c_str()
                                << "refused: the host has no PIN";
    sendError(StoreErrors::wrongPIN(), connection, envelopeID);
    return;
  }
  if (pin != expected) {
    qCInfo(lcSession).noquote() << "DJ PIN from guest connection" << connection.text().c_str() << "refused";
    const auto failure = pinAttempts_.recordFailure(source, now);
    if (failure.lockedSource) {
      qCWarning(lcSession, "Too many wrong PINs: DJ logins from %s are held back for %.0f s.", source.c_str(),
                pinAttempts_.lockRemaining(source, now).value_or(0));
    }
    if (failure.guardsHost) {
      qCWarning(lcSession, "Wrong DJ PINs from %zu addresses: the host now compares at most one PIN every %.0f s.",
                pinAttempts_.guessingSources(now), PINAttemptLimiter::turnSeconds);
    }
    sendError(StoreErrors::wrongPIN(), connection, envelopeID);
    return;
  }
  pinAttempts_.recordSuccess(source);
  changeRole(vinaro::Role::dj, found->second, envelopeID, connection);
}

std::optional<vinaro::ProtocolError> SessionStore::pinLockRefusal(const std::string& source,
                                                                  ConnectionID connection) const {
  const auto wait = pinAttempts_.lockRemaining(source, scheduler_.monotonicNow());
  if (!wait) return std::nullopt;
  qCDebug(lcSession).noquote() << "DJ PIN from guest connection" << connection.text().c_str()
                               << "refused unread: too many wrong PINs";
  return StoreErrors::tooManyWrongPINs(*wait);
}

std::string SessionStore::pinSource(ConnectionID connection) const {
  const auto address = server_.peerAddress(connection);
  return address ? PINAttemptLimiter::sourceOf(*address) : std::string("unknown");
}

}  // namespace kovali
