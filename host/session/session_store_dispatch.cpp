#include <QCollator>
#include <QPointer>
#include <algorithm>

#include "model/session_reducer.h"
#include "protocol/event.h"
#include "session/session_store.h"

namespace kovali {

using vinaro::PlaybackStatus;
using vinaro::QueueItem;
using vinaro::SessionState;

namespace {

const std::optional<QueueItem>& current(const SessionState& state) { return state.playback.current; }

std::optional<QueueItem> queueHead(const SessionState& state) {
  if (state.queue.empty()) return std::nullopt;
  return state.queue.front();
}

/// Whether the player must follow: what plays, what comes next, or whether it plays changed.
bool needsPlayerSync(const SessionState& before, const SessionState& after) {
  return current(before) != current(after) || queueHead(before) != queueHead(after) ||
         before.playback.status != after.playback.status;
}

}  // namespace

SessionStore::DispatchResult SessionStore::dispatch(const vinaro::SessionAction& action, const vinaro::Actor& actor,
                                                    bool broadcast, const std::optional<ReplyTarget>& replyTo) {
  auto context = reducerContext();
  auto reduced = vinaro::SessionReducer::reduce(state_, action, actor, context);
  if (!reduced) return std::move(reduced).error();

  const SessionState before = state_;
  setState(std::move(reduced).value());
  const bool playing = state_.playback.status == PlaybackStatus::playing;
  const bool partyStarted = playing && before.playback.status != PlaybackStatus::playing;

  if (playing) setHasPlayedSinceLaunch(true);
  heos_->partyIsPlaying = playing;
  persist();
  if (needsPlayerSync(before, state_)) syncPlayer();
  if (partyStarted) heos_->partyDidStart();
  if (broadcast) broadcastState(std::nullopt, replyTo);
  scheduleAutoPlay();
  return state_;
}

void SessionStore::broadcastState(std::optional<ConnectionID> except, const std::optional<ReplyTarget>& replyTo) {
  for (const auto& [connection, participant] : participants_) {
    if (connection == except) continue;
    std::optional<std::string> answers;
    if (replyTo && replyTo->connection == connection) answers = replyTo->envelopeID;
    sendState(connection, participant, std::move(answers));
  }
  publishTXT();
}

void SessionStore::sendState(ConnectionID connection, const vinaro::Participant& participant,
                             std::optional<std::string> replyTo) {
  // The server skips a connection that has gone and one whose event cannot be encoded.
  server_.send(vinaro::Event{state_.visible(participant)}, connection, std::move(replyTo));
}

std::vector<vinaro::Participant> SessionStore::partygoers() const {
  std::vector<vinaro::Participant> all;
  all.reserve(participants_.size());
  for (const auto& [connection, participant] : participants_) all.push_back(participant);

  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(all.begin(), all.end(), [&](const auto& a, const auto& b) {
    return collator.compare(QString::fromStdString(a.name), QString::fromStdString(b.name)) < 0;
  });

  std::vector<vinaro::Participant> once;
  for (auto& participant : all) {
    const bool taken = std::any_of(once.begin(), once.end(), [&](const auto& p) { return p.id == participant.id; });
    if (!taken) once.push_back(std::move(participant));
  }
  return once;
}

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

void SessionStore::performHostAction(const vinaro::SessionAction& action) {
  const auto result = dispatchAsHost(action);
  setLastHostError(result ? std::nullopt : std::optional(result.error()));
}

void SessionStore::heosChanged() {
  syncDelayedOutputs();
  publishTXT();
  scheduleAudioPush();
}

}  // namespace kovali
