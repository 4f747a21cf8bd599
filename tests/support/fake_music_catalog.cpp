#include "support/fake_music_catalog.h"

#include <algorithm>

namespace kovali {

namespace {

const char* kindName(MusicItemKind kind) {
  switch (kind) {
    case MusicItemKind::songs: return "songs";
    case MusicItemKind::albums: return "albums";
    case MusicItemKind::playlists: return "playlists";
  }
  return "?";
}

template <class Item>
std::vector<Item> firstOf(const std::vector<Item>& items, int limit) {
  return {items.begin(), items.begin() + std::min<std::ptrdiff_t>(std::max(limit, 0), std::ssize(items))};
}

template <class Item, class Entries>
std::vector<Item> itemsOf(const Entries& entries) {
  std::vector<Item> items;
  for (const auto& entry : entries) items.push_back(entry.item);
  return items;
}

template <class Entries>
auto findByID(const Entries& entries, const std::string& id) {
  return std::find_if(entries.begin(), entries.end(), [&](const auto& entry) { return entry.item.id == id; });
}

}  // namespace

QCoro::Task<> FakeMusicCatalog::wait() {
  if (scheduler_ && delay > 0) co_await scheduler_->sleep(delay);
}

std::optional<MusicError> FakeMusicCatalog::record(const std::string& request) {
  requests.push_back(request);
  if (auto found = failures_.find(request); found != failures_.end()) return found->second;
  return std::nullopt;
}

template <class Item>
MusicItemCollection<Item> FakeMusicCatalog::batches(std::shared_ptr<const std::vector<Item>> items,
                                                    std::size_t offset, std::string label, int number) {
  const std::size_t end = std::min(items->size(), offset + static_cast<std::size_t>(std::max(batchSize, 1)));
  std::vector<Item> batch(items->begin() + static_cast<std::ptrdiff_t>(offset),
                          items->begin() + static_cast<std::ptrdiff_t>(end));
  if (end >= items->size()) return MusicItemCollection<Item>(std::move(batch));
  auto next = [this, items, end, label, number]() -> QCoro::Task<typename MusicItemCollection<Item>::Batch> {
    co_await wait();
    if (auto failure = record("next batch " + std::to_string(number + 1) + " of " + label)) co_return *failure;
    co_return std::optional(batches(items, end, label, number + 1));
  };
  return MusicItemCollection<Item>(std::move(batch), std::move(next));
}

QCoro::Task<MusicAuthorizationStatus> FakeMusicCatalog::requestAuthorization() {
  co_await wait();
  record("authorization");
  co_return authorization;
}

QCoro::Task<MusicResult<MusicSubscription>> FakeMusicCatalog::currentSubscription() {
  co_await wait();
  record("subscription");
  co_return MusicResult<MusicSubscription>(subscription);  // a copy: co_return moves from an lvalue
}

QCoro::Task<MusicResult<MusicSearchResponse>> FakeMusicCatalog::search(MusicSearchRequest request) {
  co_await wait();
  searches.push_back(request);
  if (auto failure = record(std::string("search ") + kindName(request.kind) + " \"" + request.term + "\" limit " +
                            std::to_string(request.limit))) {
    co_return *failure;
  }
  MusicSearchResponse response;
  switch (request.kind) {
    case MusicItemKind::songs:
      response.songs = MusicItemCollection<Song>(firstOf(songs, request.limit));
      break;
    case MusicItemKind::albums:
      response.albums = MusicItemCollection<Album>(firstOf(itemsOf<Album>(albums), request.limit));
      break;
    case MusicItemKind::playlists:
      response.playlists = MusicItemCollection<Playlist>(firstOf(itemsOf<Playlist>(playlists), request.limit));
      break;
  }
  co_return response;
}

QCoro::Task<MusicResult<MusicItemCollection<Song>>> FakeMusicCatalog::catalogSongs(std::string id) {
  co_await wait();
  if (auto failure = record("catalog song " + id)) co_return *failure;
  std::vector<Song> found;
  std::copy_if(songs.begin(), songs.end(), std::back_inserter(found), [&](const Song& song) { return song.id == id; });
  co_return MusicItemCollection<Song>(std::move(found));
}

QCoro::Task<MusicResult<MusicItemCollection<Album>>> FakeMusicCatalog::catalogAlbums(std::string id) {
  co_await wait();
  if (auto failure = record("catalog album " + id)) co_return *failure;
  std::vector<Album> found;
  if (auto entry = findByID(albums, id); entry != albums.end()) found.push_back(entry->item);
  co_return MusicItemCollection<Album>(std::move(found));
}

QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> FakeMusicCatalog::catalogPlaylists(std::string id) {
  co_await wait();
  if (auto failure = record("catalog playlist " + id)) co_return *failure;
  std::vector<Playlist> found;
  if (auto entry = findByID(playlists, id); entry != playlists.end()) found.push_back(entry->item);
  co_return MusicItemCollection<Playlist>(std::move(found));
}

QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> FakeMusicCatalog::libraryPlaylists(
    std::optional<std::string> id) {
  co_await wait();
  if (id) {
    if (auto failure = record("library playlist " + *id)) co_return *failure;
    std::vector<Playlist> found;
    if (auto entry = findByID(library, *id); entry != library.end()) found.push_back(entry->item);
    co_return MusicItemCollection<Playlist>(std::move(found));
  }
  if (auto failure = record("library playlists")) co_return *failure;
  co_return batches(std::make_shared<const std::vector<Playlist>>(itemsOf<Playlist>(library)), 0,
                    "library playlists", 1);
}

QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> FakeMusicCatalog::tracks(Album album) {
  co_await wait();
  if (auto failure = record("tracks of album " + album.id)) co_return *failure;
  std::optional<MusicItemCollection<MusicTrackEntry>> collection;
  if (auto entry = findByID(albums, album.id); entry != albums.end() && entry->tracks) {
    collection = batches(std::make_shared<const std::vector<MusicTrackEntry>>(*entry->tracks), 0,
                         "album " + album.id, 1);
  }
  co_return collection;
}

QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> FakeMusicCatalog::tracks(
    Playlist playlist) {
  co_await wait();
  if (auto failure = record("tracks of playlist " + playlist.id)) co_return *failure;
  std::optional<MusicItemCollection<MusicTrackEntry>> collection;
  const WithTracks<Playlist>* entry = nullptr;
  if (auto found = findByID(playlists, playlist.id); found != playlists.end()) entry = &*found;
  if (auto found = findByID(library, playlist.id); !entry && found != library.end()) entry = &*found;
  if (entry && entry->tracks) {
    collection = batches(std::make_shared<const std::vector<MusicTrackEntry>>(*entry->tracks), 0,
                         "playlist " + playlist.id, 1);
  }
  co_return collection;
}

}  // namespace kovali
