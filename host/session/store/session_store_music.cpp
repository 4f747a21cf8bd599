// Wire text: the refusals made here reach the phones word for word.
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <climits>
#include <iterator>

#include "model/overloaded.h"
#include "protocol/event.h"
#include "session/store/session_store.h"
#include "session/store/session_store_errors.h"

namespace kovali {

using vinaro::Command;
using vinaro::Event;
using vinaro::PlaylistRef;
using vinaro::ProtocolError;
using vinaro::Track;

namespace {

// A collection is loaded whole up to this many songs.
constexpr int kCollectionLimit = 500;

ProtocolError musicFailure(const MusicError& error) { return ProtocolError::musicUnavailable(error.description); }

}  // namespace

bool SessionStore::musicIsReady() const { return std::holds_alternative<MusicService::Ready>(music_.availability()); }

vinaro::Participant SessionStore::actingParticipant(ConnectionID connection, const vinaro::Participant& sender) const {
  const auto found = participants_.find(connection);
  return found != participants_.end() ? found->second : sender;
}

// ---- Operations of the host and the phones --------------------------------------------------

QCoro::Task<SessionStore::MusicOutcome<std::vector<PlaylistRef>>> SessionStore::playlists(PlaylistRef::Source source) {
  switch (source) {
    case PlaylistRef::Source::custom:
      co_return std::vector<PlaylistRef>{};
    case PlaylistRef::Source::catalog:
    case PlaylistRef::Source::album:
      co_return ProtocolError::badRequest("Catalog playlists and albums are found through search, not listed.");
    case PlaylistRef::Source::library:
      break;
  }
  if (!musicIsReady()) co_return StoreErrors::musicUnavailable();
  auto found = co_await music_.libraryPlaylists();
  if (!found) co_return musicFailure(found.error());
  co_return std::move(found).value();
}

QCoro::Task<SessionStore::MusicOutcome<std::vector<Track>>> SessionStore::tracks(PlaylistRef ref) {
  if (ref.source == PlaylistRef::Source::custom) co_return StoreErrors::savedPlaylistsRetired();
  if (!musicIsReady()) co_return StoreErrors::musicUnavailable();
  const QPointer<SessionStore> self(this);
  auto songs = co_await music_.tracks(ref, kCollectionLimit);
  if (!songs) co_return musicFailure(songs.error());
  std::vector<Track> found;
  for (const Song& song : songs.value()) {
    if (self) cacheSong(song.id, song);
    found.push_back(MusicService::track(song));
  }
  co_return found;
}

QCoro::Task<> SessionStore::approveRequest(std::string id, vinaro::QueuePosition position, vinaro::Actor actor,
                                           std::optional<ReplyTarget> replyTo) {
  const QPointer<SessionStore> self(this);
  std::optional<ProtocolError> failure;
  const auto request = std::find_if(state_->requests.begin(), state_->requests.end(),
                                    [&](const vinaro::SongRequest& r) { return r.id == id; });
  const auto collection = request != state_->requests.end() ? request->collection() : std::nullopt;
  if (collection) {
    auto songs = co_await tracks(*collection);
    if (!self) co_return;
    if (!songs) {
      failure = songs.error();
    } else if (auto result = dispatch(vinaro::action::ApproveCollectionRequest{id, std::move(songs).value(), position},
                                      actor, true, replyTo);
               !result) {
      failure = result.error();
    }
  } else if (auto result = dispatch(vinaro::action::ApproveRequest{id, position}, actor, true, replyTo); !result) {
    failure = result.error();  // an unknown id is the reducer's to report
  }

  if (!replyTo) {
    setLastHostError(failure);
  } else if (failure) {
    sendError(*failure, replyTo->connection, replyTo->envelopeID);
  }
}

void SessionStore::add(const Song& song) {
  cacheSong(song.id, song);
  performHostAction(vinaro::action::Add{MusicService::track(song)});
}

void SessionStore::togglePlayback() {
  vinaro::SessionAction action = vinaro::action::Play{};
  if (state_->playback.status == vinaro::PlaybackStatus::playing) action = vinaro::action::Pause{};
  const auto result = dispatchAsHost(action);
  if (!result) {
    setLastHostError(result.error());
    return;
  }
  setLastHostError(std::nullopt);
  if (auto note = state_->delayedOutputsNote()) showTransportNotice(std::move(*note));
}

// ---- The phones' commands ---------------------------------------------------------------------

void SessionStore::routeMusicCommand(const Command& command, const vinaro::Participant& participant,
                                     const std::string& envelopeID, ConnectionID connection) {
  // Each runs on its own once this message is done with, so the phone's next message may be
  // handled before this one is answered.
  QMetaObject::invokeMethod(
      this,
      [this, command, participant, envelopeID, connection] {
        std::visit(
            vinaro::Overloaded{
                [&](const Command::Search& query) { (void)search(query, envelopeID, connection); },
                [&](const Command::ListTracks& list) { (void)listTracks(list.ref, envelopeID, connection); },
                [&](const Command::Add& add) { (void)addTrack(add.trackID, participant, envelopeID, connection); },
                [&](const Command::ApproveRequest& approval) {
                  const auto actor = vinaro::Actor::participant(actingParticipant(connection, participant));
                  (void)approveRequest(approval.requestID, approval.position, actor,
                                       ReplyTarget{connection, envelopeID});
                },
                [&](const Command::ListPlaylists& list) { (void)listPlaylists(list.source, envelopeID, connection); },
                [&](const Command::LoadPlaylist& load) {
                  (void)loadPlaylist(load, participant, envelopeID, connection);
                },
                [](const auto&) {},
            },
            command.payload);
      },
      Qt::QueuedConnection);
}

std::optional<SearchBudget::Ticket> SessionStore::takeSearch(ConnectionID connection, const std::string& envelopeID) {
  auto ticket = searchBudget_->take(connection);
  if (!ticket) sendError(StoreErrors::tooManySearches(), connection, envelopeID);
  return ticket;
}

QCoro::Task<> SessionStore::search(Command::Search search, std::string envelopeID, ConnectionID connection) {
  if (!musicIsReady()) {
    sendError(StoreErrors::musicUnavailable(), connection, envelopeID);
    co_return;
  }
  const auto ticket = takeSearch(connection, envelopeID);
  if (!ticket) co_return;
  const QPointer<SessionStore> self(this);
  // The service keeps the limit within 1...25; this only keeps it within reach of an int.
  const int limit = static_cast<int>(std::clamp<std::int64_t>(search.limit, INT_MIN, INT_MAX));
  Event::SearchResults results;
  std::optional<MusicError> failure;
  switch (search.kind) {
    case Command::SearchKind::songs: {
      auto found = co_await music_.searchSongs(search.query, limit);
      if (!self || !stillConnected(connection)) co_return;
      if (!found) {
        failure = found.error();
        break;
      }
      for (const Song& song : found.value()) {
        cacheSong(song.id, song);
        results.tracks.push_back(MusicService::track(song));
      }
      break;
    }
    case Command::SearchKind::albums: {
      auto found = co_await music_.searchAlbums(search.query, limit);
      if (!self || !stillConnected(connection)) co_return;
      if (!found) {
        failure = found.error();
        break;
      }
      std::ranges::transform(found.value(), std::back_inserter(results.collections), MusicService::albumRef);
      break;
    }
    case Command::SearchKind::playlists: {
      auto found = co_await music_.searchPlaylists(search.query, limit);
      if (!self || !stillConnected(connection)) co_return;
      if (!found) {
        failure = found.error();
        break;
      }
      std::ranges::transform(found.value(), std::back_inserter(results.collections), MusicService::playlistRef);
      break;
    }
  }
  if (failure) {
    sendError(musicFailure(*failure), connection, envelopeID);
  } else {
    server_.send(Event{std::move(results)}, connection, envelopeID);
  }
}

QCoro::Task<> SessionStore::listTracks(PlaylistRef ref, std::string envelopeID, ConnectionID connection) {
  const auto ticket = takeSearch(connection, envelopeID);
  if (!ticket) co_return;
  const QPointer<SessionStore> self(this);
  auto found = co_await tracks(ref);
  if (!self || !stillConnected(connection)) co_return;
  if (!found) {
    sendError(found.error(), connection, envelopeID);
    co_return;
  }
  server_.send(Event{Event::Tracks{std::move(ref), std::move(found).value()}}, connection, envelopeID);
}

QCoro::Task<> SessionStore::addTrack(std::string trackID, vinaro::Participant sender, std::string envelopeID,
                                     ConnectionID connection) {
  const QPointer<SessionStore> self(this);
  const auto song = co_await resolveSong(trackID);
  if (!self) co_return;
  if (!song) {
    sendError(ProtocolError::notFound("Song " + trackID + " was not found."), connection, envelopeID);
    co_return;
  }
  // A phone that left meanwhile still added the song; only the answer is lost.
  const auto adder = actingParticipant(connection, sender);
  vinaro::action::Add add{MusicService::track(*song)};
  if (adder.role == vinaro::Role::guest) {
    offerGuestChange({connection, std::move(envelopeID), std::move(add), adder});
    co_return;
  }
  const auto result = dispatch(add, vinaro::Actor::participant(adder), true, ReplyTarget{connection, envelopeID});
  if (!result) sendError(result.error(), connection, envelopeID);
}

QCoro::Task<> SessionStore::listPlaylists(PlaylistRef::Source source, std::string envelopeID, ConnectionID connection) {
  const auto ticket = takeSearch(connection, envelopeID);
  if (!ticket) co_return;
  const QPointer<SessionStore> self(this);
  auto found = co_await playlists(source);
  if (!self || !stillConnected(connection)) co_return;
  if (!found) {
    sendError(found.error(), connection, envelopeID);
    co_return;
  }
  server_.send(Event{std::move(found).value()}, connection, envelopeID);
}

QCoro::Task<> SessionStore::loadPlaylist(Command::LoadPlaylist load, vinaro::Participant sender, std::string envelopeID,
                                         ConnectionID connection) {
  const QPointer<SessionStore> self(this);
  const auto actor = vinaro::Actor::participant(actingParticipant(connection, sender));
  auto found = co_await tracks(load.ref);
  if (!self) co_return;
  if (!found) {
    sendError(found.error(), connection, envelopeID);
    co_return;
  }
  if (found.value().empty()) {
    sendError(ProtocolError::notFound(load.ref.name + " has no playable songs."), connection, envelopeID);
    co_return;
  }
  const auto result = dispatch(vinaro::action::LoadTracks{std::move(found).value(), load.replaceQueue, load.ref}, actor,
                               true, ReplyTarget{connection, envelopeID});
  if (!result) sendError(result.error(), connection, envelopeID);
}

}  // namespace kovali
