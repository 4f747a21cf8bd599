#include <QPointer>

#include "platform/runtime/logging.h"
#include "session/store/session_store.h"
#include "session/store/session_store_errors.h"

namespace kovali {

void SessionStore::authenticateDJ(const std::string& pin, const std::string& envelopeID, ConnectionID connection) {
  const auto now = scheduler_.monotonicNow();
  if (auto refusal = pinLockRefusal(pinSource(connection), connection)) {
    sendError(*refusal, connection, envelopeID);
    return;
  }
  const auto turn = pinWaits_.contains(connection) ? std::nullopt : pinAttempts_.takeTurn(now);
  if (!turn) {
    // Debug only, as the refusals of a flood are: a line each would let guessers fill the disk.
    qCDebug(lcSession).noquote() << "DJ PIN from guest connection" << connection.text().c_str()
                                << "refused unread: the host compares PINs slowly while they are guessed";
    sendError(StoreErrors::pinGuessingSlowedDown(), connection, envelopeID);
    return;
  }
  const double wait = secondsBetween(now, *turn);
  if (wait <= 0) {
    comparePIN(pin, envelopeID, connection);
    return;
  }
  pinWaits_[connection].start(
      [this, wait, pin, envelopeID, connection, self = QPointer<SessionStore>(this)](
          CancellationToken token) -> QCoro::Task<> {
        co_await scheduler_.sleep(wait, token);
        if (token.isCancelled() || !self) co_return;
        pinWaits_.erase(connection);  // this body lives on in its coroutine
        comparePIN(pin, envelopeID, connection);
      });
}

void SessionStore::comparePIN(const std::string& pin, const std::string& envelopeID, ConnectionID connection) {
  const auto found = participants_.find(connection);
  if (found == participants_.end()) return;
  const auto now = scheduler_.monotonicNow();
  const std::string source = pinSource(connection);
  // Other connections from the source may have locked it while this attempt waited.
  if (auto refusal = pinLockRefusal(source, connection)) {
    sendError(*refusal, connection, envelopeID);
    return;
  }
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
