#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <QObject>
#include <qcoro/qcorotask.h>

#include "model/track.h"
#include "platform/library/music_catalog.h"

namespace kovali {

/// The host's one gateway to the music: whether it can be used, search, the library's
/// playlists, the songs of an album or playlist, and the party's `Track` for a song. Keeps no
/// state but `availability`; the catalogue must outlive the service and every call on it.
class MusicService : public QObject {
  Q_OBJECT
  Q_PROPERTY(Availability availability READ availability WRITE setAvailability NOTIFY availabilityChanged)

 public:
  struct Denied {
    MusicAuthorizationStatus status = MusicAuthorizationStatus::notDetermined;
    bool operator==(const Denied&) const = default;
  };
  struct Failed {
    std::string message;
    bool operator==(const Failed&) const = default;
  };
  struct Unknown {
    bool operator==(const Unknown&) const = default;
  };
  struct Authorizing {
    bool operator==(const Authorizing&) const = default;
  };
  struct Ready {
    bool operator==(const Ready&) const = default;
  };
  struct NoSubscription {
    bool operator==(const NoSubscription&) const = default;
  };
  /// Whether the music can be used; only `Ready` lets guests search and load collections.
  using Availability = std::variant<Denied, Failed, Unknown, Authorizing, Ready, NoSubscription>;

  explicit MusicService(MusicCatalog& catalog, QObject* parent = nullptr);

  const Availability& availability() const { return availability_; }
  void setAvailability(Availability availability);

  /// Asks for access and reads what the user may play; the answer lands in `availability`.
  QCoro::Task<> refresh();

  /// The catalogue's song with this id, or nothing when there is none.
  QCoro::Task<MusicResult<std::optional<Song>>> song(std::string id);

  /// The song as the party knows it.
  static vinaro::Track track(const Song& song);
  /// A catalogue album or playlist as the party refers to it.
  static vinaro::PlaylistRef albumRef(const Album& album);
  static vinaro::PlaylistRef playlistRef(const Playlist& playlist);
  /// The artwork's address as the party writes it: the 4096 by 4096 address with "4096x4096"
  /// turned into "{w}x{h}"; nothing without artwork or address.
  static std::optional<std::string> artworkURLTemplate(const std::optional<Artwork>& artwork);

  /// The first batch of matches for the trimmed term, at most `limit` (kept within 1...25); an
  /// empty term asks nothing and finds nothing.
  QCoro::Task<MusicResult<std::vector<Song>>> searchSongs(std::string term, int limit);
  QCoro::Task<MusicResult<std::vector<Album>>> searchAlbums(std::string term, int limit);
  QCoro::Task<MusicResult<std::vector<Playlist>>> searchPlaylists(std::string term, int limit);

  /// Every playlist of the library, by name, fetched batch after batch.
  QCoro::Task<MusicResult<std::vector<vinaro::PlaylistRef>>> libraryPlaylists();

  /// The songs of an album (its first track batch, whatever its length) or of a playlist (up to
  /// `limit`, fetching batches only until there are enough). A failure drops what was gathered.
  QCoro::Task<MusicResult<std::vector<Song>>> tracks(vinaro::PlaylistRef ref, int limit);

 signals:
  void availabilityChanged();

 private:
  Availability availability_ = Unknown{};
  MusicCatalog& catalog_;
};

}  // namespace kovali
