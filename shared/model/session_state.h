#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/playback_state.h"
#include "model/session_settings.h"
#include "model/song_request.h"

namespace vinaro {

/// The whole party as one value: identity, revision, rules, playback, queue, requests, source,
/// live input and the presence figures the host fills in.
struct SessionState {
  /// The highest revision a saved session may come back with: far beyond any party's count of
  /// changes, and still exact for readers that hold numbers as doubles.
  static constexpr std::int64_t maxRestorableRevision = std::int64_t{1} << 53;

  std::string sessionID;
  std::string name;
  std::int64_t revision = 0;
  PartyMode mode = PartyMode::collaboration;
  SessionSettings settings;
  PlaybackState playback;
  std::vector<QueueItem> queue;  // still to play; the current entry is not in it
  std::vector<SongRequest> requests;
  std::optional<PlaylistRef> source;
  std::int64_t participantCount = 0;
  std::optional<LiveInput> input;
  std::optional<std::vector<std::string>> delayedOutputs;
  std::optional<std::map<std::string, std::string>> badges;  // participant id -> tier raw value
  std::optional<std::vector<Participant>> partygoers;

  /// The state a new party starts from.
  static SessionState newParty(std::string sessionID, std::string name);

  /// Duplicates are allowed only in collaboration mode, and only when the DJ allows them.
  bool allowsDuplicates() const;
  /// Whether the current entry or any queued entry plays this track.
  bool contains(std::string_view trackID) const;
  std::vector<QueueItem> queueItems(std::string_view addedBy) const;
  std::vector<SongRequest> pendingRequests(std::string_view requestedBy) const;
  bool hasPendingRequest(std::string_view trackID) const;
  bool hasPendingRequest(const RequestItem& item) const;
  std::optional<SupporterTier> badge(std::string_view participantID) const;
  /// "Kitchen and Patio speakers follow a few seconds later.", or nothing.
  std::optional<std::string> delayedOutputsNote() const;
  /// The request to queue automatically when the queue runs empty in suggestion mode.
  std::optional<SongRequest> autoPlayCandidate(const std::set<std::string>& excluding) const;
  /// A guest sees every pending request but only its own resolved ones; a DJ sees everything.
  SessionState visible(const Participant& participant) const;
  /// Whether `request` is in what `participant` sees.
  static bool shows(const Participant& participant, const SongRequest& request);
  /// The saved state as it comes back after a relaunch: nothing playing, nobody connected.
  SessionState restored(std::string newName, Date now) const;
  /// The same state with every participant id (who added, who asked, votes, badges, partygoers)
  /// replaced by `map` of it; the host's own id is kept.
  SessionState mappingParticipantIDs(const std::function<std::string(const std::string&)>& map) const;
  /// `revision` plus one, held at the largest value rather than overflowing.
  static std::int64_t nextRevision(std::int64_t revision);

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    using S = SessionState;
    return std::tuple{field("sessionID", &S::sessionID), field("name", &S::name), field("revision", &S::revision),
                      field("mode", &S::mode), field("settings", &S::settings), field("playback", &S::playback),
                      field("queue", &S::queue), field("requests", &S::requests), field("source", &S::source),
                      field("participantCount", &S::participantCount), field("input", &S::input),
                      field("delayedOutputs", &S::delayedOutputs), field("badges", &S::badges),
                      field("partygoers", &S::partygoers)};
  }

  bool operator==(const SessionState&) const = default;
};

}  // namespace vinaro
