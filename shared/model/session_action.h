#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/playback_state.h"
#include "model/session_settings.h"
#include "model/track.h"

namespace vinaro {

/// One struct per change the reducer knows; field names follow the guest commands they come from.
namespace action {

/// Puts a song in the queue; a guest's add in suggestion mode becomes a request instead.
struct Add {
  Track track;
  bool operator==(const Add&) const = default;
};
struct Remove {
  std::string itemID;
  bool operator==(const Remove&) const = default;
};
struct Move {
  std::string itemID;
  std::int64_t toIndex = 0;
  bool operator==(const Move&) const = default;
};
struct ClearQueue {
  bool operator==(const ClearQueue&) const = default;
};
struct Play {
  bool operator==(const Play&) const = default;
};
struct Pause {
  bool operator==(const Pause&) const = default;
};
struct Skip {
  bool operator==(const Skip&) const = default;
};
struct SetMode {
  PartyMode mode = PartyMode::collaboration;
  bool operator==(const SetMode&) const = default;
};
struct ApproveRequest {
  std::string id;
  QueuePosition position = QueuePosition::end;
  bool operator==(const ApproveRequest&) const = default;
};
/// Approves an album or playlist request with the songs the host resolved for it.
struct ApproveCollectionRequest {
  std::string id;
  std::vector<Track> tracks;
  QueuePosition position = QueuePosition::end;
  bool operator==(const ApproveCollectionRequest&) const = default;
};
struct RejectRequest {
  std::string id;
  bool operator==(const RejectRequest&) const = default;
};
/// A guest suggests a whole album or playlist.
struct Suggest {
  PlaylistRef ref;
  bool operator==(const Suggest&) const = default;
};
/// Adds (`up`) or withdraws the actor's vote.
struct Vote {
  std::string requestID;
  bool up = true;
  bool operator==(const Vote&) const = default;
};
/// The acting participant's badge as a tier raw value; nothing removes it.
struct SetBadge {
  std::optional<std::string> tier;
  bool operator==(const SetBadge&) const = default;
};
struct LoadTracks {
  std::vector<Track> tracks;
  bool replaceQueue = false;
  std::optional<PlaylistRef> source;  // kept as the party's source when given
  bool operator==(const LoadTracks&) const = default;
};
struct UpdateSettings {
  SessionSettings settings;
  bool operator==(const UpdateSettings&) const = default;
};
/// The player's real status and position, in seconds.
struct PlaybackObserved {
  PlaybackStatus status = PlaybackStatus::stopped;
  double elapsed = 0;
  bool operator==(const PlaybackObserved&) const = default;
};
struct TrackEnded {
  bool operator==(const TrackEnded&) const = default;
};
struct PruneResolvedRequests {
  bool operator==(const PruneResolvedRequests&) const = default;
};
struct SetParticipantCount {
  std::int64_t count = 0;
  bool operator==(const SetParticipantCount&) const = default;
};
struct SetPartygoers {
  std::vector<Participant> partygoers;
  bool operator==(const SetPartygoers&) const = default;
};
/// The badges of these participants go (the host keeps badges of long-gone guests in bounds).
struct DropBadges {
  std::vector<std::string> participantIDs;
  bool operator==(const DropBadges&) const = default;
};
/// A live input becomes the source; nothing hands the source back to the queue. The reducer
/// decides `queueWasPlaying` itself.
struct SetInput {
  std::optional<LiveInput> input;
  bool operator==(const SetInput&) const = default;
};
/// Names of the outputs that play a few seconds behind the others.
struct SetDelayedOutputs {
  std::vector<std::string> names;
  bool operator==(const SetDelayedOutputs&) const = default;
};

}  // namespace action

using SessionAction =
    std::variant<action::Add, action::Remove, action::Move, action::ClearQueue, action::Play, action::Pause,
                 action::Skip, action::SetMode, action::ApproveRequest, action::ApproveCollectionRequest,
                 action::RejectRequest, action::Suggest, action::Vote, action::SetBadge, action::LoadTracks,
                 action::UpdateSettings, action::PlaybackObserved, action::TrackEnded,
                 action::PruneResolvedRequests, action::SetParticipantCount, action::SetPartygoers,
                 action::SetInput, action::SetDelayedOutputs, action::DropBadges>;

/// Feeds the case's index, then its values in order.
std::size_t hashValue(const SessionAction& action);

}  // namespace vinaro

template <>
struct std::hash<vinaro::SessionAction> {
  std::size_t operator()(const vinaro::SessionAction& action) const { return vinaro::hashValue(action); }
};
