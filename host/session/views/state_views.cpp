#include "session/views/state_views.h"

#include <utility>

namespace kovali {

StateViews::StateViews(const vinaro::SessionState& state, const std::optional<EncodedParty>& party)
    : state_(state), party_(party) {
  if (party_) views_.emplace(Key{}, party_->everything);
  for (const auto& request : state_.requests) {
    if (!request.isPending()) resolvedRequesters_.insert(request.requestedBy.id);
  }
}

const std::optional<OutgoingEvent>& StateViews::viewFor(const vinaro::Participant& participant) {
  const Key key = keyFor(participant);
  const auto [view, added] = views_.try_emplace(key);
  if (added && party_) view->second = cut(participant);
  return view->second;
}

StateViews::Key StateViews::keyFor(const vinaro::Participant& participant) const {
  if (participant.role != vinaro::Role::guest || resolvedRequesters_.empty()) return {Kind::everything, {}};
  if (resolvedRequesters_.contains(participant.id)) return {Kind::ownResolved, participant.id};
  return {Kind::pendingOnly, {}};
}

OutgoingEvent StateViews::cut(const vinaro::Participant& participant) const {
  const std::string& text = party_->text;
  const auto [requestsBegin, requestsEnd] = party_->requests;
  QByteArray rest;
  rest.reserve(static_cast<qsizetype>(text.size() - requestsBegin));
  rest.append('[');
  bool first = true;
  for (std::size_t i = 0; i < state_.requests.size(); ++i) {
    if (!vinaro::SessionState::shows(participant, state_.requests[i])) continue;
    if (!std::exchange(first, false)) rest.append(',');
    const auto [begin, end] = party_->eachRequest[i];
    rest.append(text.data() + begin, static_cast<qsizetype>(end - begin));
  }
  rest.append(']');
  rest.append(text.data() + requestsEnd, static_cast<qsizetype>(text.size() - requestsEnd));
  return OutgoingEvent::encoded<vinaro::SessionState>(party_->everything.payload(), std::move(rest));
}

}  // namespace kovali
