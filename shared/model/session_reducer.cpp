// Wire text: the refusals made here reach the phones word for word.
#include "model/session_reducer.h"

#include <type_traits>

#include "model/overloaded.h"

namespace vinaro {

namespace {

enum class Gate { none, dj, host, participant };

template <class A, class... Group>
constexpr bool isOneOf = (std::is_same_v<A, Group> || ...);

/// Who may run each action; the handlers may refuse further.
template <class A>
constexpr Gate gateFor() {
  using namespace action;
  if constexpr (isOneOf<A, Remove, Move, ClearQueue, Play, Pause, Skip, SetMode, ApproveRequest,
                        ApproveCollectionRequest, RejectRequest, LoadTracks, UpdateSettings>) {
    return Gate::dj;
  } else if constexpr (isOneOf<A, PlaybackObserved, TrackEnded, PruneResolvedRequests, SetParticipantCount,
                               SetPartygoers, SetInput, SetDelayedOutputs, DropBadges>) {
    return Gate::host;
  } else if constexpr (isOneOf<A, SetBadge>) {
    return Gate::participant;
  } else {
    static_assert(isOneOf<A, Add, Suggest, Vote>, "every action needs a gate");
    return Gate::none;
  }
}

std::optional<ProtocolError> gateRefusal(Gate gate, const Actor& actor) {
  switch (gate) {
    case Gate::none: return std::nullopt;
    case Gate::dj:
      if (actor.isDJ()) return std::nullopt;
      return ProtocolError::forbidden("Only the DJ can do that.");
    case Gate::host:
      if (actor.isHost()) return std::nullopt;
      return ProtocolError::forbidden("Host-only action.");
    case Gate::participant:
      if (!actor.isHost()) return std::nullopt;
      return ProtocolError::forbidden("Only a participant has a badge.");
  }
  return std::nullopt;
}

}  // namespace

Expected<SessionState, ProtocolError> SessionReducer::reduce(const SessionState& state, const SessionAction& action,
                                                             const Actor& actor, ReducerContext& context) {
  SessionState next = state;
  if (auto refusal = apply(next, action, actor, context)) return *std::move(refusal);
  return next;
}

std::optional<ProtocolError> SessionReducer::apply(SessionState& state, const SessionAction& action,
                                                   const Actor& actor, ReducerContext& context) {
  const Gate gate = std::visit([](const auto& a) { return gateFor<std::decay_t<decltype(a)>>(); }, action);
  if (auto refusal = gateRefusal(gate, actor)) return refusal;
  if (std::holds_alternative<action::Play>(action) || std::holds_alternative<action::Skip>(action)) {
    if (auto blocked = sourceBlockError(state)) return blocked;
  }
  if (auto refusal = handle(state, action, actor, context)) return refusal;
  state.revision = SessionState::nextRevision(state.revision);
  return std::nullopt;
}

std::optional<ProtocolError> SessionReducer::sourceBlockError(const SessionState& state) {
  if (!state.input) return std::nullopt;
  return ProtocolError::badRequest("\u201C" + state.input->name +
                                   "\u201D is the source. Choose the music library as the source to play the queue.");
}

SessionReducer::Refusal SessionReducer::handle(SessionState& state, const SessionAction& action, const Actor& actor,
                                               ReducerContext& context) {
  using namespace action;
  const Date now = context.now;
  return std::visit(
      Overloaded{
          [&](const Add& a) { return add(a.track, state, actor, context); },
          [&](const Remove& a) { return removeItem(a.itemID, state); },
          [&](const Move& a) { return moveItem(a.itemID, a.toIndex, state); },
          [&](const ClearQueue&) -> Refusal { state.queue.clear(); return std::nullopt; },
          [&](const Play&) -> Refusal { play(state, now); return std::nullopt; },
          [&](const Pause&) -> Refusal { pause(state, now); return std::nullopt; },
          [&](const Skip&) -> Refusal { advance(state, now); return std::nullopt; },
          [&](const SetMode& a) -> Refusal { state.mode = a.mode; return std::nullopt; },
          [&](const ApproveRequest& a) { return approveRequest(a, state, context); },
          [&](const ApproveCollectionRequest& a) { return approveCollectionRequest(a, state, context); },
          [&](const RejectRequest& a) { return rejectRequest(a.id, state, now); },
          [&](const Suggest& a) { return suggest(a.ref, state, actor, context); },
          [&](const Vote& a) { return vote(a, state, actor); },
          [&](const SetBadge& a) { return setBadge(a.tier, state, actor); },
          [&](const LoadTracks& a) -> Refusal { loadTracks(a, state, actor, context); return std::nullopt; },
          [&](const UpdateSettings& a) { return updateSettings(a.settings, state); },
          [&](const PlaybackObserved& a) -> Refusal { observePlayback(a, state, now); return std::nullopt; },
          [&](const TrackEnded&) -> Refusal { advance(state, now); return std::nullopt; },
          [&](const PruneResolvedRequests&) -> Refusal { pruneResolvedRequests(state, now); return std::nullopt; },
          [&](const SetParticipantCount& a) -> Refusal { setParticipantCount(a.count, state); return std::nullopt; },
          [&](const SetPartygoers& a) -> Refusal { setPartygoers(a.partygoers, state); return std::nullopt; },
          [&](const SetInput& a) -> Refusal { setInput(a.input, state, now); return std::nullopt; },
          [&](const SetDelayedOutputs& a) -> Refusal { setDelayedOutputs(a.names, state); return std::nullopt; },
          [&](const DropBadges& a) -> Refusal { dropBadges(a.participantIDs, state); return std::nullopt; },
      },
      action);
}

}  // namespace vinaro
