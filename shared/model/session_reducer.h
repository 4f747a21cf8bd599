#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/actor.h"
#include "model/reducer_context.h"
#include "model/session_action.h"
#include "model/session_state.h"
#include "model/song_request.h"
#include "protocol/expected.h"
#include "protocol/protocol_error.h"

namespace vinaro {

/// The one pure function that turns a party state into the next.
struct SessionReducer {
  /// How long, in seconds, a resolved request stays before it is pruned.
  static constexpr double resolvedRequestLifetime = 600;

  /// Pending requests first, more votes first, then earlier first (stable); then the resolved
  /// ones in their previous order.
  static std::vector<SongRequest> orderedRequests(std::vector<SongRequest> requests);

  /// Applies `action` on behalf of `actor`: the next state with its revision raised by one, or
  /// the refusal. Reads no clock and makes no id but through `context`.
  static Expected<SessionState, ProtocolError> reduce(const SessionState& state, const SessionAction& action,
                                                      const Actor& actor, ReducerContext& context);

  /// The same step applied to `state` itself, for a caller that keeps one state and need not pay
  /// for a copy of it: on success `state` becomes what `reduce` returns; on a refusal it is left
  /// exactly as it was.
  static std::optional<ProtocolError> apply(SessionState& state, const SessionAction& action, const Actor& actor,
                                            ReducerContext& context);

  /// Why the queue cannot play while a live input is the source, or nothing.
  static std::optional<ProtocolError> sourceBlockError(const SessionState& state);

 private:
  /// What a handler returns: nothing when it changed the state it was given, else the refusal.
  /// Every handler makes all its checks before it changes anything, so a refused action leaves
  /// the state as it was.
  using Refusal = std::optional<ProtocolError>;

  static Refusal handle(SessionState& state, const SessionAction& action, const Actor& actor,
                        ReducerContext& context);

  // Queue (reducer_queue.cpp)
  static Refusal add(const Track& track, SessionState& state, const Actor& actor, ReducerContext& context);
  static Refusal removeItem(const std::string& itemID, SessionState& state);
  static Refusal moveItem(const std::string& itemID, std::int64_t toIndex, SessionState& state);
  static void loadTracks(const action::LoadTracks& load, SessionState& state, const Actor& actor,
                         ReducerContext& context);
  static ProtocolError alreadyQueued();
  static QueueItem newQueueItem(const Track& track, const Participant& addedBy, ReducerContext& context);
  /// New items for `tracks` in order; unless duplicates are allowed, a song already playing,
  /// queued or taken earlier in the list is passed over without making an id.
  static std::vector<QueueItem> newQueueItems(const std::vector<Track>& tracks, const Participant& addedBy,
                                              const SessionState& state, ReducerContext& context);

  // Playback (reducer_playback.cpp)
  static void play(SessionState& state, Date now);
  static void pause(SessionState& state, Date now);
  static void advance(SessionState& state, Date now);
  static void observePlayback(const action::PlaybackObserved& observed, SessionState& state, Date now);
  static void setInput(const std::optional<LiveInput>& input, SessionState& state, Date now);

  // Requests (reducer_requests.cpp)
  static Refusal suggestSong(const Track& track, SessionState& state, const Actor& actor, ReducerContext& context);
  static Refusal suggest(const PlaylistRef& ref, SessionState& state, const Actor& actor, ReducerContext& context);
  static Refusal vote(const action::Vote& vote, SessionState& state, const Actor& actor);
  static Refusal approveRequest(const action::ApproveRequest& approval, SessionState& state,
                                ReducerContext& context);
  static Refusal approveCollectionRequest(const action::ApproveCollectionRequest& approval, SessionState& state,
                                          ReducerContext& context);
  static Refusal rejectRequest(const std::string& id, SessionState& state, Date now);
  static void pruneResolvedRequests(SessionState& state, Date now);

  // Presence (reducer_presence.cpp)
  static Refusal setBadge(const std::optional<std::string>& tier, SessionState& state, const Actor& actor);
  static void dropBadges(const std::vector<std::string>& participantIDs, SessionState& state);
  static void setParticipantCount(std::int64_t count, SessionState& state);
  static void setPartygoers(const std::vector<Participant>& partygoers, SessionState& state);
  static void setDelayedOutputs(const std::vector<std::string>& names, SessionState& state);

  // Settings (reducer_settings.cpp)
  static Refusal updateSettings(const SessionSettings& settings, SessionState& state);
};

}  // namespace vinaro
