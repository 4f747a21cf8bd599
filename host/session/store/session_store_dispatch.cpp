#include <QPointer>
#include <algorithm>

#include "protocol/event.h"
#include "session/store/session_store.h"

namespace kovali {

using vinaro::SessionState;

void SessionStore::broadcastState(std::optional<ConnectionID> except, const std::optional<ReplyTarget>& replyTo) {
  std::set<ConnectionID> skipped;
  if (except) skipped.insert(*except);
  if (replyTo) answersOwed_.push_back(*replyTo);
  sendViews(std::move(skipped));
}

void SessionStore::sendViews(std::set<ConnectionID> skipped) {
  if (std::exchange(stateOwed_, false)) skipped.clear();  // everyone is owed the newest state
  const auto answers = std::exchange(answersOwed_, {});
  if (saveOwed_) persist();  // in the saved session before any phone hears of it
  if (skipped.empty()) presenceBroadcast_.drop();  // everyone gets the newest partygoers now
  // Each distinct view is encoded once, however many phones share it.
  StateViews views = currentViews();
  for (const auto& [connection, participant] : participants_) {
    if (skipped.contains(connection)) continue;
    const auto& view = views.viewFor(participant);
    if (!view) continue;  // logged where it failed
    bool answered = false;
    for (const ReplyTarget& answer : answers) {
      if (answer.connection != connection) continue;
      server_.send(*view, connection, answer.envelopeID);
      answered = true;
    }
    if (!answered) server_.send(*view, connection);
  }
  publishTXT();
}

void SessionStore::sendState(ConnectionID connection, const vinaro::Participant& participant,
                             std::optional<std::string> replyTo) {
  StateViews views = currentViews();
  // The server skips a connection that has gone.
  if (const auto& view = views.viewFor(participant)) server_.send(*view, connection, replyTo);
}

std::shared_ptr<SessionState> SessionStore::keep(SessionState state) const {
  return {new SessionState(std::move(state)), [releaser = releaser_](SessionState* gone) {
            releaser->async([gone] { delete gone; });
          }};
}

StateViews SessionStore::currentViews() { return StateViews(*state_, encodedParty()); }

const std::optional<EncodedParty>& SessionStore::encodedParty() {
  if (!encodedParty_) {
    encodedParty_ = encoder_.encode(*state_);
    if (*encodedParty_) stateBytes_ = static_cast<qint64>((*encodedParty_)->text.size());
  }
  return *encodedParty_;
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
