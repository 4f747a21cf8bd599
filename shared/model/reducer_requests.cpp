// Wire text: the refusals made here reach the phones word for word.
#include <algorithm>
#include <array>
#include <iterator>

#include "model/session_reducer.h"

namespace vinaro {

namespace {

/// The pending request with `id`, or why it cannot be acted on.
Expected<SongRequest*, ProtocolError> findPendingRequest(SessionState& state, const std::string& id) {
  const auto found = std::find_if(state.requests.begin(), state.requests.end(),
                                  [&](const SongRequest& request) { return request.id == id; });
  if (found == state.requests.end()) return ProtocolError::notFound("No request with id " + id + ".");
  if (!found->isPending()) {
    return ProtocolError::badRequest("Request is already " + std::string(rawValue(found->status)) + ".");
  }
  return &*found;
}

std::optional<ProtocolError> requestLimitRefusal(const SessionState& state, const Participant& guest) {
  const std::int64_t maximum = state.settings.maxRequestsPerGuest;
  if (!state.settings.limitsRequestsPerGuest ||
      static_cast<std::int64_t>(state.pendingRequests(guest.id).size()) < maximum) {
    return std::nullopt;
  }
  return ProtocolError::limitReached("You can have at most " + std::to_string(maximum) +
                                     " pending requests at a time.");
}

void keepRequestsOrdered(SessionState& state) {
  state.requests = SessionReducer::orderedRequests(std::move(state.requests));
}

/// A new pending request carrying its requester's own vote.
void addRequest(RequestItem item, SessionState& state, const Participant& requester, ReducerContext& context) {
  state.requests.push_back(SongRequest{
      .id = context.makeID(),
      .item = std::move(item),
      .requestedBy = requester,
      .createdAt = context.now,
      .status = RequestStatus::pending,
      .resolvedAt = std::nullopt,
      .votes = {requester.id},
  });
  keepRequestsOrdered(state);
}

void resolve(SongRequest& request, RequestStatus status, SessionState& state, Date now) {
  request.status = status;
  request.resolvedAt = now;
  keepRequestsOrdered(state);
}

template <class Items>
void insertIntoQueue(Items&& items, QueuePosition position, SessionState& state) {
  const auto where = position == QueuePosition::next ? state.queue.begin() : state.queue.end();
  state.queue.insert(where, std::make_move_iterator(std::begin(items)), std::make_move_iterator(std::end(items)));
}

}  // namespace

SessionReducer::Refusal SessionReducer::suggestSong(const Track& track, SessionState& state, const Actor& actor,
                                                    ReducerContext& context) {
  if (auto refusal = requestLimitRefusal(state, actor.participant())) return refusal;
  if (state.contains(track.id)) return alreadyQueued();
  if (state.hasPendingRequest(track.id)) return ProtocolError::duplicate("That song has already been suggested.");
  addRequest(RequestItem::track(track), state, actor.participant(), context);
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::suggest(const PlaylistRef& ref, SessionState& state, const Actor& actor,
                                                ReducerContext& context) {
  if (actor.isDJ()) return ProtocolError::badRequest("DJs load albums and playlists directly.");
  if (state.mode != PartyMode::suggestion) {
    return ProtocolError::badRequest("Whole albums and playlists can only be suggested in suggestion mode.");
  }
  if (auto refusal = requestLimitRefusal(state, actor.participant())) return refusal;
  RequestItem item = RequestItem::collection(ref);
  if (state.hasPendingRequest(item)) {
    const char* kind = ref.source == PlaylistRef::Source::album ? "album" : "playlist";
    return ProtocolError::duplicate(std::string("That ") + kind + " has already been suggested.");
  }
  addRequest(std::move(item), state, actor.participant(), context);
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::vote(const action::Vote& vote, SessionState& state, const Actor& actor) {
  auto found = findPendingRequest(state, vote.requestID);
  if (!found) return std::move(found).error();
  SongRequest& request = *found.value();
  const std::string& voterID = actor.participant().id;
  if (!vote.up) {
    std::erase(request.votes, voterID);
  } else if (!request.hasVote(voterID)) {
    request.votes.push_back(voterID);
  }
  keepRequestsOrdered(state);
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::approveRequest(const action::ApproveRequest& approval, SessionState& state,
                                                       ReducerContext& context) {
  auto found = findPendingRequest(state, approval.id);
  if (!found) return std::move(found).error();
  SongRequest& request = *found.value();
  const Track* track = request.item.trackValue();
  if (track == nullptr) {
    return ProtocolError::badRequest("This request is for an album or playlist; resolve its tracks first.");
  }
  if (!state.allowsDuplicates() && state.contains(track->id)) return alreadyQueued();
  // Queued in the name of the guest who asked, not the approving DJ.
  insertIntoQueue(std::array{newQueueItem(*track, request.requestedBy, context)}, approval.position, state);
  resolve(request, RequestStatus::approved, state, context.now);
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::approveCollectionRequest(const action::ApproveCollectionRequest& approval,
                                                                 SessionState& state, ReducerContext& context) {
  auto found = findPendingRequest(state, approval.id);
  if (!found) return std::move(found).error();
  SongRequest& request = *found.value();
  if (request.item.collectionValue() == nullptr) return ProtocolError::badRequest("This request is for a single song.");
  std::vector<QueueItem> items = newQueueItems(approval.tracks, request.requestedBy, state, context);
  if (items.empty()) {
    return ProtocolError::notFound(request.item.title() + " has no songs that are not already queued.");
  }
  insertIntoQueue(std::move(items), approval.position, state);
  resolve(request, RequestStatus::approved, state, context.now);
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::rejectRequest(const std::string& id, SessionState& state, Date now) {
  auto found = findPendingRequest(state, id);
  if (!found) return std::move(found).error();
  resolve(*found.value(), RequestStatus::rejected, state, now);
  return std::nullopt;
}

void SessionReducer::pruneResolvedRequests(SessionState& state, Date now) {
  std::erase_if(state.requests, [&](const SongRequest& request) {
    return request.resolvedAt && now.secondsSince(*request.resolvedAt) >= resolvedRequestLifetime;
  });
}

}  // namespace vinaro
