#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kovali {

/// The songs an M3U playlist lists, as paths relative to the library folder `root`, in order
/// (repeats kept). `playlistPath` is the playlist's own path relative to `root`: entries are read
/// relative to its folder. An entry counts only when `isLibraryFile` says its path is one of the
/// library's audio files; comments, web addresses and entries that lead outside `root` are
/// passed by. Lines may be UTF-8 or Latin-1, with "\" or "/" between folders.
std::vector<std::string> readPlaylist(std::string_view contents, std::string_view playlistPath, std::string_view root,
                                      const std::function<bool(const std::string&)>& isLibraryFile);

}  // namespace kovali
