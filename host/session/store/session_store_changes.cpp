#include <algorithm>
#include <chrono>
#include <utility>

#include "model/session_reducer.h"
#include "session/store/session_effects.h"
#include "session/store/session_store.h"
#include "session/store/session_store_errors.h"

namespace kovali {

using vinaro::SessionState;

SessionStore::DispatchResult SessionStore::dispatch(const vinaro::SessionAction& action, const vinaro::Actor& actor,
                                                    bool broadcast, const std::optional<ReplyTarget>& replyTo) {
  auto result = applyChange(action, actor);
  if (!result) return result;
  if (broadcast) {
    stateOwed_ = true;
    if (replyTo) answersOwed_.push_back(*replyTo);
    requestServe(true);
  } else {
    persist();  // the caller tells the phones itself
  }
  return result;
}

SessionStore::DispatchResult SessionStore::applyChange(const vinaro::SessionAction& action,
                                                       const vinaro::Actor& actor) {
  auto context = reducerContext();
  const auto before = SessionEffects::Before::of(*state_);
  // The reducer refuses before it changes anything, so a refusal leaves the state as it was.
  if (auto refusal = vinaro::SessionReducer::apply(ownState(), action, actor, context)) return std::move(*refusal);
  stateChangedInPlace();

  const auto effects = SessionEffects::ofAccepted(before, *state_);
  saveOwed_ = effects.save;
  if (effects.playing) setHasPlayedSinceLaunch(true);
  heos_->partyIsPlaying = effects.playing;
  if (effects.syncPlayer) syncPlayer();
  if (effects.partyStarted) heos_->partyDidStart();
  if (effects.autoPlay) scheduleAutoPlay();
  return Accepted{};
}

SessionState& SessionStore::ownState() {
  // Screens let go of the state once drawn and saves take its encoded text, so a change is made in
  // place; one still held (by a caller, a test) is copied once and kept as it was.
  if (state_.use_count() > 1) state_ = keep(*state_);
  return *state_;
}

void SessionStore::stateChangedInPlace() {
  encodedParty_.reset();
  presenceCurrent_.clear();
  // The guests' changes taken together are one change for the screens: one refresh, and no copy
  // of a big party for each change because a screen took hold of the one before.
  if (serving_) {
    changedWhileServing_ = true;
    return;
  }
  emit stateChanged();
}

void SessionStore::requestServe(bool urgent) {
  if (serving_) return;  // the serve under way sends what is owed
  if (urgent) {
    if (foldsChanges()) {
      serveIn(0);
    } else {
      serve();
    }
    return;
  }
  const double wait = secondsUntilGuestsTurn();
  if (wait <= 0 && !foldsChanges()) {
    serve();
  } else {
    serveIn(wait);
  }
}

double SessionStore::secondsUntilGuestsTurn() const {
  const MonotonicTime now = scheduler_.monotonicNow();
  const double paced = foldsChanges() ? secondsBetween(now, nextGuestState_) : 0;
  return std::max({0.0, paced, guestChanges_.secondsUntilNextTurn(now).value_or(0)});
}

void SessionStore::serveIn(double seconds) {
  if (seconds <= 0) {
    if (std::exchange(serveQueued_, true)) return;
    serveTask_.cancel();
    QMetaObject::invokeMethod(this, &SessionStore::serve, Qt::QueuedConnection);
    return;
  }
  if (serveQueued_ || serveTask_.isActive()) return;  // the guests' next turn comes no sooner
  serveTask_.start([this, seconds](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(seconds, token);
    if (token.isCancelled()) co_return;
    serve();
  });
}

void SessionStore::serve() {
  serveQueued_ = false;
  serveTask_.cancel();
  serving_ = true;
  const auto began = std::chrono::steady_clock::now();
  const bool forGuests = guestChanges_.hasWaiting();
  for (auto& change : guestChanges_.take(scheduler_.monotonicNow())) {
    // A phone that left meanwhile still made its change; only the answer is lost.
    const auto actor = vinaro::Actor::participant(actingParticipant(change.connection, change.sender));
    // Absent holders are dropped before a new badge can take the count past its bound.
    if (std::holds_alternative<vinaro::action::SetBadge>(change.action)) pruneBadges();
    if (const auto result = applyChange(change.action, actor); !result) {
      sendError(result.error(), change.connection, change.envelopeID);
      continue;
    }
    stateOwed_ = true;
    answersOwed_.push_back(ReplyTarget{change.connection, std::move(change.envelopeID)});
  }
  serving_ = false;
  if (stateOwed_) sendViews({});
  if (std::exchange(changedWhileServing_, false)) emit stateChanged();
  if (forGuests) {
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    nextGuestState_ = secondsAfter(scheduler_.monotonicNow(), std::max(took, guestStatesSeconds));
  }
  if (guestChanges_.hasWaiting()) serveIn(secondsUntilGuestsTurn());
}

void SessionStore::offerGuestChange(GuestChanges::Change change) {
  const ConnectionID connection = change.connection;
  const std::string envelopeID = change.envelopeID;
  if (!guestChanges_.offer(std::move(change), pinSource(connection), scheduler_.monotonicNow())) {
    sendError(StoreErrors::tooManyCommands(), connection, envelopeID);
    return;
  }
  requestServe(false);
}

}  // namespace kovali
