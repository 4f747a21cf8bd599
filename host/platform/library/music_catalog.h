#pragma once

#include <optional>
#include <string>
#include <variant>

#include <qcoro/qcorotask.h>

#include "platform/library/music_item_collection.h"
#include "platform/library/music_items.h"

namespace kovali {

/// The user's answer to the request for access to the music.
enum class MusicAuthorizationStatus { notDetermined, denied, restricted, authorized };

/// What the user may play.
struct MusicSubscription {
  bool canPlayCatalogContent = false;

  bool operator==(const MusicSubscription&) const = default;
};

/// An entry of an album or playlist that is not a song, such as a music video.
struct MusicVideo {
  std::string id;
  std::string title;

  bool operator==(const MusicVideo&) const = default;
};

/// One entry of an album's or playlist's track list.
using MusicTrackEntry = std::variant<Song, MusicVideo>;

enum class MusicItemKind { songs, albums, playlists };

/// A search of the catalogue for one kind of item.
struct MusicSearchRequest {
  std::string term;
  MusicItemKind kind = MusicItemKind::songs;
  int limit = 25;

  bool operator==(const MusicSearchRequest&) const = default;
};

/// The first batch of a search; only the collection of the requested kind is filled.
struct MusicSearchResponse {
  MusicItemCollection<Song> songs;
  MusicItemCollection<Album> albums;
  MusicItemCollection<Playlist> playlists;
};

/// The music catalogue and the user's library: what the music service reads songs, albums and
/// playlists from. Every request runs on the main thread and answers there; a failure comes back
/// as a `MusicError`, never as an exception.
class MusicCatalog {
 public:
  virtual ~MusicCatalog() = default;

  /// Asks the user for access when not asked before; otherwise answers at once.
  virtual QCoro::Task<MusicAuthorizationStatus> requestAuthorization() = 0;
  virtual QCoro::Task<MusicResult<MusicSubscription>> currentSubscription() = 0;

  /// The first batch of the catalogue's best matches for the request's term, at most `limit`.
  virtual QCoro::Task<MusicResult<MusicSearchResponse>> search(MusicSearchRequest request) = 0;

  /// The catalogue's items whose id equals `id` (none or one).
  virtual QCoro::Task<MusicResult<MusicItemCollection<Song>>> catalogSongs(std::string id) = 0;
  virtual QCoro::Task<MusicResult<MusicItemCollection<Album>>> catalogAlbums(std::string id) = 0;
  virtual QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> catalogPlaylists(std::string id) = 0;

  /// The library's playlists sorted by name, ascending; with `id`, only the playlist with that id.
  virtual QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> libraryPlaylists(
      std::optional<std::string> id = std::nullopt) = 0;

  /// The track list of an album or playlist found by the requests above; nothing when the item
  /// has none.
  virtual QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> tracks(Album album) = 0;
  virtual QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> tracks(Playlist playlist) = 0;
};

}  // namespace kovali
