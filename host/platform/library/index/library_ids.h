#pragma once

#include <string>
#include <string_view>

namespace kovali {

/// Ids of the local library's songs, albums and playlists. The saved session and the phones
/// keep them, so they depend only on what names an item, never on scan order or file contents:
///   song      the file's path relative to the library folder (bytes as on disk)
///   album     the album artist (or, without one, the artist) and the album title, as tagged
///   playlist  the playlist file's path relative to the library folder
/// Each is the first 64 bits of SHA-1 over the kind and that key, as 16 lower-case hex digits;
/// the kind keeps a song and a playlist at the same path apart.
std::string songID(std::string_view relativePath);
std::string albumID(std::string_view albumArtist, std::string_view albumTitle);
std::string playlistID(std::string_view relativePath);

}  // namespace kovali
