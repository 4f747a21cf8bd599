// Wire text: the refusals made here reach the phones word for word.
#include <algorithm>

#include "model/session_reducer.h"

namespace vinaro {

SessionReducer::Refusal SessionReducer::setBadge(const std::optional<std::string>& tier, SessionState& state,
                                                 const Actor& actor) {
  if (tier && !enumFromRawValue<SupporterTier>(*tier)) return ProtocolError::badRequest("Unknown badge.");
  auto badges = state.badges.value_or(std::map<std::string, std::string>{});
  if (tier) {
    badges[actor.participant().id] = *tier;
  } else {
    badges.erase(actor.participant().id);
  }
  state.badges = badges.empty() ? std::nullopt : std::optional(std::move(badges));
  return std::nullopt;
}

void SessionReducer::dropBadges(const std::vector<std::string>& participantIDs, SessionState& state) {
  if (!state.badges) return;
  for (const auto& id : participantIDs) state.badges->erase(id);
  if (state.badges->empty()) state.badges = std::nullopt;
}

void SessionReducer::setParticipantCount(std::int64_t count, SessionState& state) {
  state.participantCount = std::max<std::int64_t>(count, 0);
}

void SessionReducer::setPartygoers(const std::vector<Participant>& partygoers, SessionState& state) {
  state.partygoers = partygoers;
  state.participantCount = static_cast<std::int64_t>(partygoers.size());
}

void SessionReducer::setDelayedOutputs(const std::vector<std::string>& names, SessionState& state) {
  state.delayedOutputs = names.empty() ? std::nullopt : std::optional(names);
}

}  // namespace vinaro
