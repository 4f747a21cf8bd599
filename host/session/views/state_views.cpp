#include "session/views/state_views.h"

namespace kovali {

StateViews::StateViews(const vinaro::SessionState& state, const std::optional<OutgoingEvent>& everything)
    : state_(state) {
  if (everything) views_.emplace(Key{}, everything);
  for (const auto& request : state_.requests) {
    if (!request.isPending()) resolvedRequesters_.insert(request.requestedBy.id);
  }
}

const std::optional<OutgoingEvent>& StateViews::viewFor(const vinaro::Participant& participant) {
  const Key key = keyFor(participant);
  const auto [view, added] = views_.try_emplace(key);
  if (added) {
    // The full view needs no copy of the state.
    view->second = key.kind == Kind::everything ? OutgoingEvent::of(state_)
                                                : OutgoingEvent::of(state_.visible(participant));
  }
  return view->second;
}

StateViews::Key StateViews::keyFor(const vinaro::Participant& participant) const {
  if (participant.role != vinaro::Role::guest || resolvedRequesters_.empty()) return {Kind::everything, {}};
  if (resolvedRequesters_.contains(participant.id)) return {Kind::ownResolved, participant.id};
  return {Kind::pendingOnly, {}};
}

}  // namespace kovali
