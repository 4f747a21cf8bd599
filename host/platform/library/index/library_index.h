#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/library/artwork_picture.h"
#include "platform/library/audio_tag_reader.h"
#include "platform/library/index/library_bytes.h"
#include "platform/library/index/library_search.h"
#include "platform/library/music_items.h"

namespace kovali {

/// A readable audio file of the library and what it is tagged with.
struct LibraryFile {
  std::string relativePath;
  AudioFileTags tags;
  std::optional<std::string> folderArtwork;  // the cover picture in its folder, relative to the root
};

/// A playlist file of the library and the audio files it lists, in order.
struct LibraryPlaylistFile {
  std::string relativePath;
  std::vector<std::string> songPaths;
};

/// The local library as the catalogue answers from it: its songs, its albums (songs grouped by
/// album artist and album title) and its playlists, found by id or by search. Built once per scan
/// on a worker thread and never changed after, so it is shared freely.
class LibraryIndex {
 public:
  static std::shared_ptr<const LibraryIndex> build(const std::string& root, std::vector<LibraryFile> files,
                                                   const std::vector<LibraryPlaylistFile>& playlists);

  /// The index as the index cache keeps it (see library_bytes.h), and read back: nothing when
  /// the bytes are damaged.
  void write(ByteWriter& out) const;
  static std::shared_ptr<const LibraryIndex> read(ByteReader& in);

  const Song* song(std::string_view id) const;
  const Album* album(std::string_view id) const;
  const Playlist* playlist(std::string_view id) const;
  /// Where the cover art of the song or album with this id comes from; none without art.
  std::optional<ArtworkSource> artworkSource(std::string_view id) const;

  /// The album's songs by disc and track number.
  std::vector<Song> songs(const Album& album) const;
  /// The playlist's songs in its order.
  std::vector<Song> songs(const Playlist& playlist) const;

  /// Every playlist, by name.
  const std::vector<Playlist>& playlists() const { return playlists_; }
  std::size_t songCount() const { return songs_.size(); }
  std::size_t albumCount() const { return albums_.size(); }

  /// The best matches for `term` over titles, artists and albums (albums: title and artist;
  /// playlists: name), at most `limit`.
  std::vector<Song> searchSongs(std::string_view term, std::size_t limit) const;
  std::vector<Album> searchAlbums(std::string_view term, std::size_t limit) const;
  std::vector<Playlist> searchPlaylists(std::string_view term, std::size_t limit) const;

 private:
  template <class Archive, class Index>
  static void describe(Archive& archive, Index& index);
  void mapIDs();

  template <class Item>
  static std::vector<Item> pick(const std::vector<Item>& items, const std::vector<std::size_t>& rows);

  std::vector<Song> songs_;  // by title, then artist, then path: ties in search keep this order
  std::vector<Album> albums_;
  std::vector<std::vector<std::size_t>> albumSongs_;
  std::vector<Playlist> playlists_;
  std::vector<std::vector<std::size_t>> playlistSongs_;
  std::unordered_map<std::string, std::size_t> songByID_;
  std::unordered_map<std::string, std::size_t> albumByID_;
  std::unordered_map<std::string, std::size_t> playlistByID_;
  std::unordered_map<std::string, ArtworkSource> artworkByID_;  // songs' and albums'
  LibrarySearch songSearch_;
  LibrarySearch albumSearch_;
  LibrarySearch playlistSearch_;
};

}  // namespace kovali
