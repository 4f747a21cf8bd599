#include "model/session_state.h"

#include <algorithm>
#include <limits>

#include "model/session_reducer.h"

namespace vinaro {

SessionState SessionState::newParty(std::string sessionID, std::string name) {
  SessionState state;
  state.sessionID = std::move(sessionID);
  state.name = std::move(name);
  return state;
}

bool SessionState::allowsDuplicates() const {
  return mode == PartyMode::collaboration && settings.allowDuplicates;
}

bool SessionState::contains(std::string_view trackID) const {
  if (playback.current && playback.current->track.id == trackID) return true;
  return std::any_of(queue.begin(), queue.end(), [&](const QueueItem& item) { return item.track.id == trackID; });
}

std::vector<QueueItem> SessionState::queueItems(std::string_view addedBy) const {
  std::vector<QueueItem> items;
  std::copy_if(queue.begin(), queue.end(), std::back_inserter(items),
               [&](const QueueItem& item) { return item.addedBy.id == addedBy; });
  return items;
}

std::vector<SongRequest> SessionState::pendingRequests(std::string_view requestedBy) const {
  std::vector<SongRequest> pending;
  std::copy_if(requests.begin(), requests.end(), std::back_inserter(pending), [&](const SongRequest& request) {
    return request.isPending() && request.requestedBy.id == requestedBy;
  });
  return pending;
}

bool SessionState::hasPendingRequest(std::string_view trackID) const {
  return std::any_of(requests.begin(), requests.end(), [&](const SongRequest& request) {
    const Track* song = request.item.trackValue();
    return request.isPending() && song && song->id == trackID;
  });
}

bool SessionState::hasPendingRequest(const RequestItem& item) const {
  const std::string key = item.key();
  return std::any_of(requests.begin(), requests.end(),
                     [&](const SongRequest& request) { return request.isPending() && request.item.key() == key; });
}

std::optional<SupporterTier> SessionState::badge(std::string_view participantID) const {
  if (!badges) return std::nullopt;
  const auto entry = badges->find(std::string(participantID));
  if (entry == badges->end()) return std::nullopt;
  return enumFromRawValue<SupporterTier>(entry->second);
}

std::optional<std::string> SessionState::delayedOutputsNote() const {
  if (!delayedOutputs || delayedOutputs->empty()) return std::nullopt;
  const auto& names = *delayedOutputs;
  std::string text = names.front();
  for (std::size_t i = 1; i < names.size(); ++i) {
    text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text + " speakers follow a few seconds later.";
}

std::optional<SongRequest> SessionState::autoPlayCandidate(const std::set<std::string>& excluding) const {
  if (!settings.autoPlaysTopRequest || mode != PartyMode::suggestion || !queue.empty()) return std::nullopt;
  for (const SongRequest& request : SessionReducer::orderedRequests(requests)) {
    if (!request.isPending() || excluding.contains(request.id)) continue;
    const Track* song = request.item.trackValue();
    if (song && playback.current && playback.current->track.id == song->id) continue;
    return request;
  }
  return std::nullopt;
}

bool SessionState::shows(const Participant& participant, const SongRequest& request) {
  return participant.role != Role::guest || request.isPending() || request.requestedBy.id == participant.id;
}

SessionState SessionState::visible(const Participant& participant) const {
  if (participant.role != Role::guest) return *this;
  SessionState view = *this;
  std::erase_if(view.requests, [&](const SongRequest& request) { return !shows(participant, request); });
  return view;
}

SessionState SessionState::restored(std::string newName, Date now) const {
  SessionState state = *this;
  state.name = std::move(newName);
  if (state.playback.current) state.queue.insert(state.queue.begin(), *state.playback.current);
  state.playback = PlaybackState{PlaybackStatus::stopped, std::nullopt, 0, now};
  state.participantCount = 0;
  state.partygoers.reset();
  if (state.input) state.input->queueWasPlaying = false;
  state.revision = nextRevision(state.revision);
  return state;
}

SessionState SessionState::mappingParticipantIDs(const std::function<std::string(const std::string&)>& map) const {
  SessionState state = *this;
  const auto remap = [&](std::string& id) {
    if (id != Participant::hostID) id = map(id);
  };
  if (state.playback.current) remap(state.playback.current->addedBy.id);
  for (QueueItem& item : state.queue) remap(item.addedBy.id);
  for (SongRequest& request : state.requests) {
    remap(request.requestedBy.id);
    for (std::string& vote : request.votes) remap(vote);
  }
  if (state.badges) {
    std::map<std::string, std::string> mapped;
    for (const auto& [id, tier] : *state.badges) {
      std::string key = id;
      remap(key);
      mapped.insert_or_assign(std::move(key), tier);
    }
    state.badges = std::move(mapped);
  }
  if (state.partygoers) {
    for (Participant& partygoer : *state.partygoers) remap(partygoer.id);
  }
  return state;
}

std::int64_t SessionState::nextRevision(std::int64_t revision) {
  return revision < std::numeric_limits<std::int64_t>::max() ? revision + 1 : revision;
}

}  // namespace vinaro
