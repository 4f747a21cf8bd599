#include "model/session_action.h"

#include "model/overloaded.h"

namespace vinaro {

std::size_t hashValue(const SessionAction& action) {
  std::size_t seed = hashFields(action.index());
  std::visit(Overloaded{
                 [&](const action::Add& a) { hashInto(seed, a.track); },
                 [&](const action::Remove& a) { hashInto(seed, a.itemID); },
                 [&](const action::Move& a) {
                   hashInto(seed, a.itemID);
                   hashInto(seed, a.toIndex);
                 },
                 [&](const action::SetMode& a) { hashInto(seed, a.mode); },
                 [&](const action::ApproveRequest& a) {
                   hashInto(seed, a.id);
                   hashInto(seed, a.position);
                 },
                 [&](const action::ApproveCollectionRequest& a) {
                   hashInto(seed, a.id);
                   hashInto(seed, a.tracks);
                   hashInto(seed, a.position);
                 },
                 [&](const action::RejectRequest& a) { hashInto(seed, a.id); },
                 [&](const action::Suggest& a) { hashInto(seed, a.ref); },
                 [&](const action::Vote& a) {
                   hashInto(seed, a.requestID);
                   hashInto(seed, a.up);
                 },
                 [&](const action::SetBadge& a) { hashInto(seed, a.tier); },
                 [&](const action::LoadTracks& a) {
                   hashInto(seed, a.tracks);
                   hashInto(seed, a.replaceQueue);
                   hashInto(seed, a.source);
                 },
                 [&](const action::UpdateSettings& a) { hashInto(seed, a.settings); },
                 [&](const action::PlaybackObserved& a) {
                   hashInto(seed, a.status);
                   hashInto(seed, a.elapsed);
                 },
                 [&](const action::SetParticipantCount& a) { hashInto(seed, a.count); },
                 [&](const action::SetPartygoers& a) { hashInto(seed, a.partygoers); },
                 [&](const action::SetInput& a) { hashInto(seed, a.input); },
                 [&](const action::SetDelayedOutputs& a) { hashInto(seed, a.names); },
                 [&](const action::DropBadges& a) { hashInto(seed, a.participantIDs); },
                 // The remaining cases carry no values.
                 [](const auto&) {},
             },
             action);
  return seed;
}

}  // namespace vinaro
