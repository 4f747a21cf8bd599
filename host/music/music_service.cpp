#include "music/music_service.h"

#include <algorithm>
#include <utility>

#include <QPointer>
#include <QString>

#include "platform/runtime/set_if_changed.h"

namespace kovali {

namespace {

constexpr int kArtworkProbeSize = 4096;
constexpr std::string_view kArtworkProbeText = "4096x4096";
constexpr std::string_view kArtworkPlaceholders = "{w}x{h}";

// White space and line breaks at both ends, Unicode's included.
std::string trimmed(const std::string& term) {
  return QString::fromStdString(term).trimmed().toStdString();
}

std::string replacingAll(std::string text, std::string_view what, std::string_view with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

template <class Item>
QCoro::Task<MusicResult<std::vector<Item>>> searchCatalog(MusicCatalog& catalog, std::string term, int limit,
                                                          MusicItemKind kind,
                                                          MusicItemCollection<Item> MusicSearchResponse::*found) {
  MusicSearchRequest request{trimmed(term), kind, std::clamp(limit, 1, 25)};
  if (request.term.empty()) co_return std::vector<Item>{};
  auto response = co_await catalog.search(std::move(request));
  if (!response) co_return std::move(response).error();
  co_return std::move((std::move(response).value().*found).items);
}

template <class Item>
std::optional<Item> firstItem(MusicItemCollection<Item>&& collection) {
  if (collection.items.empty()) return std::nullopt;
  return std::move(collection.items.front());
}

QCoro::Task<MusicResult<std::vector<Song>>> albumSongs(MusicCatalog& catalog, Album album) {
  auto loaded = co_await catalog.tracks(std::move(album));
  if (!loaded) co_return std::move(loaded).error();
  std::vector<Song> songs;
  if (!loaded.value()) co_return songs;
  // Only the first batch: an album's songs come in one.
  for (auto& entry : loaded.value()->items) {
    if (auto* song = std::get_if<Song>(&entry)) songs.push_back(std::move(*song));
  }
  co_return songs;
}

QCoro::Task<MusicResult<std::vector<Song>>> playlistSongs(MusicCatalog& catalog, Playlist playlist, int limit) {
  auto loaded = co_await catalog.tracks(std::move(playlist));
  if (!loaded) co_return std::move(loaded).error();
  std::vector<Song> songs;
  std::optional<MusicItemCollection<MusicTrackEntry>> batch = std::move(loaded).value();
  while (batch) {
    for (auto& entry : batch->items) {
      if (auto* song = std::get_if<Song>(&entry)) songs.push_back(std::move(*song));
      if (static_cast<long long>(songs.size()) >= limit) co_return songs;
    }
    if (!batch->hasNextBatch()) break;
    auto next = co_await batch->nextBatch();
    if (!next) co_return std::move(next).error();
    batch = std::move(next).value();
  }
  co_return songs;
}

}  // namespace

MusicService::MusicService(MusicCatalog& catalog, QObject* parent) : QObject(parent), catalog_(catalog) {}

void MusicService::setAvailability(Availability availability) {
  if (setIfChanged(availability_, std::move(availability))) emit availabilityChanged();
}

QCoro::Task<> MusicService::refresh() {
  QPointer<MusicService> self(this);
  MusicCatalog& catalog = catalog_;
  setAvailability(Authorizing{});

  const MusicAuthorizationStatus status = co_await catalog.requestAuthorization();
  if (!self) co_return;
  if (status != MusicAuthorizationStatus::authorized) {
    setAvailability(Denied{status});
    co_return;
  }

  const auto subscription = co_await catalog.currentSubscription();
  if (!self) co_return;
  if (!subscription) {
    setAvailability(Failed{subscription.error().description});
  } else if (subscription->canPlayCatalogContent) {
    setAvailability(Ready{});
  } else {
    setAvailability(NoSubscription{});
  }
}

QCoro::Task<MusicResult<std::optional<Song>>> MusicService::song(std::string id) {
  auto found = co_await catalog_.catalogSongs(std::move(id));
  if (!found) co_return std::move(found).error();
  co_return firstItem(std::move(found).value());
}

std::optional<std::string> MusicService::artworkURLTemplate(const std::optional<Artwork>& artwork) {
  if (!artwork) return std::nullopt;
  auto url = artwork->url(kArtworkProbeSize, kArtworkProbeSize);
  if (!url) return std::nullopt;
  return replacingAll(std::move(*url), kArtworkProbeText, kArtworkPlaceholders);
}

vinaro::Track MusicService::track(const Song& song) {
  return vinaro::Track{song.id,
                       song.title,
                       song.artistName,
                       song.albumTitle,
                       song.duration,
                       artworkURLTemplate(song.artwork),
                       song.contentRating == ContentRating::explicitContent};
}

vinaro::PlaylistRef MusicService::albumRef(const Album& album) {
  return vinaro::PlaylistRef{vinaro::PlaylistRef::Source::album, album.id, album.title, album.artistName,
                             artworkURLTemplate(album.artwork), album.trackCount};
}

vinaro::PlaylistRef MusicService::playlistRef(const Playlist& playlist) {
  return vinaro::PlaylistRef{vinaro::PlaylistRef::Source::catalog, playlist.id, playlist.name, playlist.curatorName,
                             artworkURLTemplate(playlist.artwork), std::nullopt};
}

QCoro::Task<MusicResult<std::vector<Song>>> MusicService::searchSongs(std::string term, int limit) {
  return searchCatalog(catalog_, std::move(term), limit, MusicItemKind::songs, &MusicSearchResponse::songs);
}

QCoro::Task<MusicResult<std::vector<Album>>> MusicService::searchAlbums(std::string term, int limit) {
  return searchCatalog(catalog_, std::move(term), limit, MusicItemKind::albums, &MusicSearchResponse::albums);
}

QCoro::Task<MusicResult<std::vector<Playlist>>> MusicService::searchPlaylists(std::string term, int limit) {
  return searchCatalog(catalog_, std::move(term), limit, MusicItemKind::playlists, &MusicSearchResponse::playlists);
}

QCoro::Task<MusicResult<std::vector<vinaro::PlaylistRef>>> MusicService::libraryPlaylists() {
  MusicCatalog& catalog = catalog_;
  auto response = co_await catalog.libraryPlaylists();
  if (!response) co_return std::move(response).error();

  std::vector<vinaro::PlaylistRef> refs;
  std::optional<MusicItemCollection<Playlist>> batch = std::move(response).value();
  while (batch) {
    for (const auto& playlist : batch->items) {
      refs.push_back(vinaro::PlaylistRef{vinaro::PlaylistRef::Source::library, playlist.id, playlist.name,
                                         std::nullopt, std::nullopt, std::nullopt});
    }
    if (!batch->hasNextBatch()) break;
    auto next = co_await batch->nextBatch();
    if (!next) co_return std::move(next).error();
    batch = std::move(next).value();
  }
  co_return refs;
}

QCoro::Task<MusicResult<std::vector<Song>>> MusicService::tracks(vinaro::PlaylistRef ref, int limit) {
  using Source = vinaro::PlaylistRef::Source;
  MusicCatalog& catalog = catalog_;
  switch (ref.source) {
    case Source::custom:
      co_return std::vector<Song>{};
    case Source::album: {
      auto found = co_await catalog.catalogAlbums(std::move(ref.id));
      if (!found) co_return std::move(found).error();
      auto album = firstItem(std::move(found).value());
      if (!album) co_return std::vector<Song>{};
      co_return co_await albumSongs(catalog, std::move(*album));
    }
    case Source::library:
    case Source::catalog: {
      MusicResult<MusicItemCollection<Playlist>> found = MusicError{};
      if (ref.source == Source::library) {
        found = co_await catalog.libraryPlaylists(std::move(ref.id));
      } else {
        found = co_await catalog.catalogPlaylists(std::move(ref.id));
      }
      if (!found) co_return std::move(found).error();
      auto playlist = firstItem(std::move(found).value());
      if (!playlist) co_return std::vector<Song>{};
      co_return co_await playlistSongs(catalog, std::move(*playlist), limit);
    }
  }
  co_return std::vector<Song>{};
}

}  // namespace kovali
