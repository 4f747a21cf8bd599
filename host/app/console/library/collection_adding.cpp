#include "app/console/library/collection_adding.h"

#include "session/store/session_store.h"

namespace kovali {

vinaro::ProtocolError noPlayableSongs(const vinaro::PlaylistRef& ref) {
  return vinaro::ProtocolError::notFound(ref.name + " has no playable songs.");
}

QCoro::Task<std::optional<vinaro::ProtocolError>> addCollection(SessionStore& store, vinaro::PlaylistRef ref) {
  auto tracks = co_await store.tracks(ref);
  if (!tracks) co_return tracks.error();
  if (tracks.value().empty()) co_return noPlayableSongs(ref);
  const auto result =
      store.dispatch(vinaro::action::LoadTracks{std::move(tracks).value(), false, ref}, vinaro::Actor::host(), true);
  if (!result) co_return result.error();
  co_return std::nullopt;
}

}  // namespace kovali
