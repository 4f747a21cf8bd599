#include "platform/library/playlist_file.h"

#include <algorithm>
#include <optional>

#include <QString>

#include "platform/library/file_url.h"
#include "protocol/utf8.h"

namespace kovali {

namespace {

std::string_view trimmed(std::string_view line) {
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// "a/./b/../c" as "a/c"; nothing when ".." climbs above the start.
std::optional<std::string> normalized(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto part : parts) {
    if (!result.empty()) result += '/';
    result += part;
  }
  return result;
}

// The path of a "file://" address, percent-decoded; the entry itself when it is a path; nothing
// for a web address or a file address without a path.
std::optional<std::string> entryPath(std::string_view entry) {
  if (entry.starts_with("file://")) {
    std::string path = localPath(std::string(entry));
    if (path.empty()) return std::nullopt;
    return path;
  }
  if (entry.find("://") != std::string_view::npos) return std::nullopt;
  return std::string(entry);
}

// The entry's path relative to the library folder; nothing when it leads outside.
std::optional<std::string> libraryRelative(const std::string& entry, std::string_view playlistFolder,
                                           std::string_view root) {
  if (!entry.empty() && entry.front() == '/') {
    if (entry.size() <= root.size() + 1 || entry.compare(0, root.size(), root) != 0 || entry[root.size()] != '/') {
      return std::nullopt;
    }
    return normalized(std::string_view(entry).substr(root.size() + 1));
  }
  std::string joined(playlistFolder);
  if (!joined.empty()) joined += '/';
  joined += entry;
  return normalized(joined);
}

// The ways an entry may have been meant: as written, and, for a line that is not UTF-8, as
// Latin-1; each also with Windows "\" separators.
std::vector<std::string> spellings(const std::string& entry) {
  std::vector<std::string> result = {entry};
  if (!vinaro::isValidUTF8(entry)) {
    result.push_back(QString::fromLatin1(entry.data(), static_cast<qsizetype>(entry.size())).toStdString());
  }
  const std::size_t count = result.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (result[i].find('\\') == std::string::npos) continue;
    std::string slashed = result[i];
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    result.push_back(std::move(slashed));
  }
  return result;
}

}  // namespace

std::vector<std::string> readPlaylist(std::string_view contents, std::string_view playlistPath, std::string_view root,
                                      const std::function<bool(const std::string&)>& isLibraryFile) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (contents.substr(0, kByteOrderMark.size()) == kByteOrderMark) contents.remove_prefix(kByteOrderMark.size());
  const auto slash = playlistPath.rfind('/');
  const std::string_view playlistFolder = slash == std::string_view::npos ? std::string_view{} : playlistPath.substr(0, slash);

  std::vector<std::string> songs;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = contents.find('\n', start);
    if (end == std::string_view::npos) end = contents.size();
    const std::string_view line = trimmed(contents.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    for (const auto& spelling : spellings(std::string(line))) {
      const auto path = entryPath(spelling);
      if (!path) continue;
      const auto relative = libraryRelative(*path, playlistFolder, root);
      if (relative && isLibraryFile(*relative)) {
        songs.push_back(*relative);
        break;
      }
    }
  }
  return songs;
}

}  // namespace kovali
