#include "app/console/requests/requests_column_model.h"

namespace kovali {

namespace {

using vinaro::PlaylistRef;
using vinaro::SongRequest;

RequestCardModel card(const SongRequest& request, const vinaro::SessionState& state) {
  RequestCardModel model;
  model.id = request.id;
  model.track = request.track();
  if (const auto collection = request.collection()) {
    model.collectionSymbol =
        collection->source == PlaylistRef::Source::album ? Symbol::squareStack : Symbol::musicNoteList;
  }
  model.title = request.item.title();
  model.byline = {request.item.subtitle() + " \u00B7 " + request.requestedBy.name, state.badge(request.requestedBy.id)};
  model.votes = std::to_string(request.voteCount());
  return model;
}

ResolvedRowModel resolvedRow(const SongRequest& request) {
  const bool approved = request.status == vinaro::RequestStatus::approved;
  return {request.id, request.track(), request.item.title(), approved, approved ? "Added" : "Rejected"};
}

}  // namespace

RequestsColumnModel RequestsColumnModel::make(const vinaro::SessionState& state) {
  RequestsColumnModel model;
  std::size_t resolvedCount = 0;
  for (const SongRequest& request : state.requests) {
    if (request.isPending()) {
      model.cards.push_back(card(request, state));
    } else if (++resolvedCount <= maxResolvedRows) {
      model.resolved.push_back(resolvedRow(request));
    }
  }
  model.title = "Requests \u00B7 " + std::to_string(model.cards.size());
  if (model.cards.empty()) {
    model.hint = state.mode == vinaro::PartyMode::suggestion
                     ? "Partygoer suggestions will show up here."
                     : "Switch to Per requests to collect suggestions from partygoers.";
  }
  if (resolvedCount > 0) model.resolvedTitle = "Recently resolved \u00B7 " + std::to_string(resolvedCount);
  return model;
}

}  // namespace kovali
