#include <QPointer>
#include <algorithm>

#include "model/session_reducer.h"
#include "protocol/event.h"
#include "session/store/session_effects.h"
#include "session/store/session_store.h"

namespace kovali {

using vinaro::SessionState;

SessionStore::DispatchResult SessionStore::dispatch(const vinaro::SessionAction& action, const vinaro::Actor& actor,
                                                    bool broadcast, const std::optional<ReplyTarget>& replyTo) {
  auto context = reducerContext();
  SessionState next = *state_;  // the one copy: the reducer changes it in place
  if (auto refusal = vinaro::SessionReducer::apply(next, action, actor, context)) return std::move(*refusal);

  const auto effects = SessionEffects::of(*state_, next);
  setState(std::move(next));
  carryOut(effects, broadcast, replyTo);
  return Accepted{};
}

void SessionStore::carryOut(const SessionEffects& effects, bool broadcast, const std::optional<ReplyTarget>& replyTo) {
  if (effects.playing) setHasPlayedSinceLaunch(true);
  heos_->partyIsPlaying = effects.playing;
  if (effects.save) persist();
  if (effects.syncPlayer) syncPlayer();
  if (effects.partyStarted) heos_->partyDidStart();
  if (broadcast) broadcastState(std::nullopt, replyTo);
  if (effects.autoPlay) scheduleAutoPlay();
}

void SessionStore::broadcastState(std::optional<ConnectionID> except, const std::optional<ReplyTarget>& replyTo) {
  std::set<ConnectionID> skipped;
  if (except) skipped.insert(*except);
  sendViews(skipped, replyTo);
}

void SessionStore::sendViews(const std::set<ConnectionID>& skipped, const std::optional<ReplyTarget>& replyTo) {
  if (skipped.empty()) presenceBroadcast_.drop();  // everyone gets the newest partygoers now
  // Each distinct view is encoded once, however many phones share it.
  StateViews views = currentViews();
  const std::optional<std::string> answer = replyTo ? std::optional(replyTo->envelopeID) : std::nullopt;
  const std::optional<std::string> none;
  for (const auto& [connection, participant] : participants_) {
    if (skipped.contains(connection)) continue;
    const auto& view = views.viewFor(participant);
    if (!view) continue;  // logged where it failed
    server_.send(*view, connection, replyTo && replyTo->connection == connection ? answer : none);
  }
  publishTXT();
}

void SessionStore::sendState(ConnectionID connection, const vinaro::Participant& participant,
                             std::optional<std::string> replyTo) {
  StateViews views = currentViews();
  // The server skips a connection that has gone.
  if (const auto& view = views.viewFor(participant)) server_.send(*view, connection, replyTo);
}

void SessionStore::release(std::shared_ptr<const SessionState> state) {
  // Freeing a big party takes a while, and the main thread has phones to serve.
  if (state.use_count() == 1) releaser_.async([state = std::move(state)] {});
}

StateViews SessionStore::currentViews() { return StateViews(*state_, fullView()); }

const std::optional<OutgoingEvent>& SessionStore::fullView() {
  if (!fullView_) fullView_ = OutgoingEvent::of(*state_);
  return *fullView_;
}

std::vector<vinaro::Participant> SessionStore::partygoers() const { return partygoerList_.list(); }

QCoro::Task<std::optional<Song>> SessionStore::resolveSong(std::string id) {
  if (const auto cached = songCache_.find(id); cached != songCache_.end()) {
    Song song = cached->second;  // QCoro's co_return would move out of the cache itself
    co_return song;
  }
  const QPointer<SessionStore> self(this);
  auto found = co_await music_.song(id);
  if (!self || !found || !found.value()) co_return std::nullopt;
  Song song = *found.value();
  cacheSong(id, song);
  co_return song;
}

SessionStore::DispatchResult SessionStore::dispatchAsHost(const vinaro::SessionAction& action) {
  return dispatch(action, vinaro::Actor::host(), true, std::nullopt);
}

void SessionStore::performHostAction(const vinaro::SessionAction& action, bool broadcast) {
  const auto result = dispatch(action, vinaro::Actor::host(), broadcast, std::nullopt);
  setLastHostError(result ? std::nullopt : std::optional(result.error()));
}

void SessionStore::heosChanged() {
  syncDelayedOutputs();
  publishTXT();
  scheduleAudioPush();
}

}  // namespace kovali
