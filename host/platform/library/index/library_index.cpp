#include "platform/library/index/library_index.h"

#include <algorithm>
#include <climits>
#include <map>
#include <numeric>
#include <ranges>
#include <tuple>

#include "platform/library/artwork_address.h"
#include "platform/library/file_url.h"
#include "platform/library/index/library_ids.h"
#include "platform/library/index/library_text.h"

namespace kovali {

void describe(auto& archive, Artwork& artwork) { archive(artwork.urlTemplate); }

void describe(auto& archive, ArtworkSource& source) { archive(source.kind, source.path); }

void describe(auto& archive, Song& song) {
  archive(song.id, song.title, song.artistName, song.albumTitle, song.duration, song.artwork, song.contentRating,
          song.fileURL);
}

void describe(auto& archive, Album& album) {
  archive(album.id, album.title, album.artistName, album.artwork, album.trackCount);
}

void describe(auto& archive, Playlist& playlist) {
  archive(playlist.id, playlist.name, playlist.curatorName, playlist.artwork);
}

namespace {

constexpr const char* kUnknownArtist = "Unknown Artist";

// The file's name without folder and extension.
std::string_view stem(std::string_view path) {
  if (const auto slash = path.rfind('/'); slash != std::string_view::npos) path.remove_prefix(slash + 1);
  if (const auto dot = path.rfind('.'); dot != std::string_view::npos && dot > 0) path = path.substr(0, dot);
  return path;
}

Song songFor(const std::string& root, const LibraryFile& file) {
  const AudioFileTags& tags = file.tags;
  Song song;
  song.id = songID(file.relativePath);
  song.title = !tags.title.empty() ? tags.title : readableText(stem(file.relativePath));
  song.artistName = !tags.artist.empty() ? tags.artist : !tags.albumArtist.empty() ? tags.albumArtist : kUnknownArtist;
  if (!tags.album.empty()) song.albumTitle = tags.album;
  song.duration = tags.duration;
  song.contentRating = tags.contentRating;
  song.fileURL = fileURL(root + "/" + file.relativePath);
  return song;
}

// A picture in the file first, else the folder's.
std::optional<ArtworkSource> artworkOf(const std::string& root, const LibraryFile& file) {
  if (file.tags.embeddedArtwork) return ArtworkSource{ArtworkSource::Kind::embedded, root + "/" + file.relativePath};
  if (file.folderArtwork) return ArtworkSource{ArtworkSource::Kind::folderFile, root + "/" + *file.folderArtwork};
  return std::nullopt;
}

// Untagged track numbers after tagged ones.
int trackOrder(int number) { return number > 0 ? number : INT_MAX; }

template <class Item>
std::unordered_map<std::string, std::size_t> rowsByID(const std::vector<Item>& items) {
  std::unordered_map<std::string, std::size_t> rows;
  rows.reserve(items.size());
  for (std::size_t row = 0; row < items.size(); ++row) rows.emplace(items[row].id, row);
  return rows;
}

}  // namespace

std::shared_ptr<const LibraryIndex> LibraryIndex::build(const std::string& root, std::vector<LibraryFile> files,
                                                        const std::vector<LibraryPlaylistFile>& playlists) {
  auto index = std::make_shared<LibraryIndex>();

  // Songs, in the order that search ties keep.
  std::vector<std::string> sortKeys;
  sortKeys.reserve(files.size());
  for (const auto& file : files) {
    sortKeys.push_back(foldedForSearch(file.tags.title.empty() ? readableText(stem(file.relativePath)) : file.tags.title) +
                       '\x1f' + foldedForSearch(file.tags.artist) + '\x1f' + file.relativePath);
  }
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return sortKeys[a] < sortKeys[b]; });
  std::unordered_map<std::string, std::size_t> songByPath;
  index->songs_.reserve(files.size());
  for (const std::size_t i : order) {
    const std::size_t row = index->songs_.size();
    index->songs_.push_back(songFor(root, files[i]));
    Song& song = index->songs_.back();
    if (auto artwork = artworkOf(root, files[i])) {
      song.artwork = Artwork{localArtworkTemplate(song.id)};
      index->artworkByID_.emplace(song.id, std::move(*artwork));
    }
    songByPath.emplace(files[i].relativePath, row);
    index->songSearch_.add({song.title, song.artistName, song.albumTitle.value_or("")});
  }

  // Albums: songs grouped by album artist (or artist) and album title.
  std::map<std::tuple<std::string, std::string, std::string>, std::vector<std::size_t>> groups;  // sort key, artist, title
  for (std::size_t row = 0; row < index->songs_.size(); ++row) {
    const Song& song = index->songs_[row];
    if (!song.albumTitle) continue;
    const AudioFileTags& tags = files[order[row]].tags;
    const std::string& artist = !tags.albumArtist.empty() ? tags.albumArtist : song.artistName;
    const std::string key = foldedForSearch(*song.albumTitle) + '\x1f' + foldedForSearch(artist);
    groups[{key, artist, *song.albumTitle}].push_back(row);
  }
  for (auto& [key, rows] : groups) {
    const auto& [sortKey, artist, title] = key;
    std::sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
      const AudioFileTags& x = files[order[a]].tags;
      const AudioFileTags& y = files[order[b]].tags;
      return std::tuple(trackOrder(x.discNumber), trackOrder(x.trackNumber), files[order[a]].relativePath) <
             std::tuple(trackOrder(y.discNumber), trackOrder(y.trackNumber), files[order[b]].relativePath);
    });
    Album album{albumID(artist, title), title, artist, std::nullopt, static_cast<std::int64_t>(rows.size())};
    // The album shows the art of its first song that has some.
    for (const std::size_t row : rows) {
      const auto found = index->artworkByID_.find(index->songs_[row].id);
      if (found == index->artworkByID_.end()) continue;
      ArtworkSource source = found->second;
      album.artwork = Artwork{localArtworkTemplate(album.id)};
      index->artworkByID_.emplace(album.id, std::move(source));
      break;
    }
    index->albumSearch_.add({album.title, album.artistName});
    index->albums_.push_back(std::move(album));
    index->albumSongs_.push_back(std::move(rows));
  }

  // Playlists, by name.
  std::vector<std::pair<std::string, std::size_t>> playlistOrder;
  for (std::size_t i = 0; i < playlists.size(); ++i) {
    playlistOrder.emplace_back(foldedForSearch(readableText(stem(playlists[i].relativePath))) + '\x1f' +
                                   playlists[i].relativePath,
                               i);
  }
  std::sort(playlistOrder.begin(), playlistOrder.end());
  for (const auto& [sortKey, i] : playlistOrder) {
    const LibraryPlaylistFile& file = playlists[i];
    Playlist playlist{playlistID(file.relativePath), readableText(stem(file.relativePath)), std::nullopt, std::nullopt};
    std::vector<std::size_t> rows;
    for (const auto& path : file.songPaths) {
      if (auto found = songByPath.find(path); found != songByPath.end()) rows.push_back(found->second);
    }
    index->playlistSearch_.add({playlist.name});
    index->playlists_.push_back(std::move(playlist));
    index->playlistSongs_.push_back(std::move(rows));
  }
  index->mapIDs();
  return index;
}

template <class Archive, class Index>
void LibraryIndex::describe(Archive& archive, Index& index) {
  archive(index.songs_, index.albums_, index.albumSongs_, index.playlists_, index.playlistSongs_, index.artworkByID_,
          index.songSearch_, index.albumSearch_, index.playlistSearch_);
}

void LibraryIndex::write(ByteWriter& out) const { describe(out, *this); }

std::shared_ptr<const LibraryIndex> LibraryIndex::read(ByteReader& in) {
  auto index = std::make_shared<LibraryIndex>();
  describe(in, *index);
  const auto rowsFit = [](const std::vector<std::vector<std::size_t>>& lists, std::size_t count) {
    return std::ranges::all_of(lists, [&](const auto& rows) {
      return std::ranges::all_of(rows, [&](std::size_t row) { return row < count; });
    });
  };
  // Beyond the checksum: a row out of place would be read outside the songs.
  const std::size_t songs = index->songs_.size();
  if (in.failed() || index->albumSongs_.size() != index->albums_.size() ||
      index->playlistSongs_.size() != index->playlists_.size() || !rowsFit(index->albumSongs_, songs) ||
      !rowsFit(index->playlistSongs_, songs) || index->songSearch_.size() != songs ||
      index->albumSearch_.size() != index->albums_.size() || index->playlistSearch_.size() != index->playlists_.size()) {
    return nullptr;
  }
  index->mapIDs();
  return index;
}

void LibraryIndex::mapIDs() {
  songByID_ = rowsByID(songs_);
  albumByID_ = rowsByID(albums_);
  playlistByID_ = rowsByID(playlists_);
}

const Song* LibraryIndex::song(std::string_view id) const {
  const auto found = songByID_.find(std::string(id));
  return found == songByID_.end() ? nullptr : &songs_[found->second];
}

const Album* LibraryIndex::album(std::string_view id) const {
  const auto found = albumByID_.find(std::string(id));
  return found == albumByID_.end() ? nullptr : &albums_[found->second];
}

const Playlist* LibraryIndex::playlist(std::string_view id) const {
  const auto found = playlistByID_.find(std::string(id));
  return found == playlistByID_.end() ? nullptr : &playlists_[found->second];
}

std::optional<ArtworkSource> LibraryIndex::artworkSource(std::string_view id) const {
  const auto found = artworkByID_.find(std::string(id));
  if (found == artworkByID_.end()) return std::nullopt;
  return found->second;
}

std::vector<Song> LibraryIndex::songs(const Album& album) const {
  const auto found = albumByID_.find(album.id);
  return found == albumByID_.end() ? std::vector<Song>{} : pick(songs_, albumSongs_[found->second]);
}

std::vector<Song> LibraryIndex::songs(const Playlist& playlist) const {
  const auto found = playlistByID_.find(playlist.id);
  return found == playlistByID_.end() ? std::vector<Song>{} : pick(songs_, playlistSongs_[found->second]);
}

std::vector<Song> LibraryIndex::searchSongs(std::string_view term, std::size_t limit) const {
  return pick(songs_, songSearch_.search(term, limit));
}

std::vector<Album> LibraryIndex::searchAlbums(std::string_view term, std::size_t limit) const {
  return pick(albums_, albumSearch_.search(term, limit));
}

std::vector<Playlist> LibraryIndex::searchPlaylists(std::string_view term, std::size_t limit) const {
  return pick(playlists_, playlistSearch_.search(term, limit));
}

template <class Item>
std::vector<Item> LibraryIndex::pick(const std::vector<Item>& items, const std::vector<std::size_t>& rows) {
  std::vector<Item> picked;
  picked.reserve(rows.size());
  for (const std::size_t row : rows) picked.push_back(items[row]);
  return picked;
}

}  // namespace kovali
