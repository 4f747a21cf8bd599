#include "platform/library/index/library_walker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include "platform/library/artwork_picture.h"

namespace kovali {

namespace {

constexpr int kMaxDepth = 64;
// Sizes of walked files while the walk has yet to ask for them, or has found them gone.
constexpr std::int64_t kSizeToAsk = -1;
constexpr std::int64_t kGone = -2;

enum class Kind { audio, playlist, other };

Kind kindOf(std::string_view name) {
  const auto dot = name.rfind('.');
  constexpr std::size_t kLongest = 4;
  if (dot == std::string_view::npos || name.size() - dot - 1 > kLongest) return Kind::other;
  char lower[kLongest] = {};
  std::transform(name.begin() + static_cast<std::ptrdiff_t>(dot) + 1, name.end(), lower,
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string_view extension(lower, name.size() - dot - 1);
  static constexpr std::array<std::string_view, 8> audio = {"mp3", "m4a", "aac", "flac", "ogg", "oga", "opus", "wav"};
  if (std::find(audio.begin(), audio.end(), extension) != audio.end()) return Kind::audio;
  if (extension == "m3u" || extension == "m3u8") return Kind::playlist;
  return Kind::other;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// Whether the folder entry `name` of the open folder `folder` is a link, asking the disk only
// when the folder listing does not say.
bool isLink(int folder, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_LNK;
  struct stat info {};
  return ::fstatat(folder, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

// Fills in the size and time of the files found without a stat, several at a time: the walk of a
// large library is mostly these. A file that is gone, or no longer a regular file, is dropped.
void askSizesAndTimes(const std::string& root, std::vector<WalkedFile>& files, QThreadPool& statters) {
  QtConcurrent::blockingMap(&statters, files, [&](WalkedFile& file) {
    if (file.size != kSizeToAsk) return;
    struct stat info {};
    const bool found = ::stat((root + "/" + file.relativePath).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    file.size = found ? static_cast<std::int64_t>(info.st_size) : kGone;
    file.modifiedNs = found ? nanoseconds(info.st_mtim) : 0;
  });
  std::erase_if(files, [](const WalkedFile& file) { return file.size == kGone; });
}

std::string joined(const std::string& folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  if (!folder.empty()) (path += folder) += '/';
  path += name;
  return path;
}

}  // namespace

std::optional<FolderProblem> folderProblem(const std::string& root) {
  struct stat info {};
  if (::stat(root.c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FolderProblem::missing : FolderProblem::unreadable;
  }
  if (!S_ISDIR(info.st_mode)) return FolderProblem::notAFolder;
  if (!std::unique_ptr<DIR, DirCloser>(::opendir(root.c_str()))) return FolderProblem::unreadable;
  return std::nullopt;
}

std::variant<LibraryWalk, FolderProblem> walkLibrary(const std::string& root, const std::atomic<bool>& cancelled,
                                                     QThreadPool& statters) {
  if (auto problem = folderProblem(root)) return *problem;
  struct stat rootInfo {};
  if (::stat(root.c_str(), &rootInfo) != 0) return FolderProblem::unreadable;

  LibraryWalk walk;
  // A folder is entered once, under the first path that reaches it. Linked folders wait until
  // every folder reachable without a link is entered, and go in path order, so that each folder
  // is always reached by the same path and its songs keep their ids.
  std::set<std::pair<dev_t, ino_t>> entered = {{rootInfo.st_dev, rootInfo.st_ino}};
  std::vector<std::pair<std::string, int>> pending = {{"", 0}};  // relative folder, depth
  std::map<std::string, int> pendingLinks;
  while (!cancelled.load(std::memory_order_relaxed)) {
    std::string folder;
    int depth = 0;
    if (!pending.empty()) {
      std::tie(folder, depth) = std::move(pending.back());
      pending.pop_back();
    } else if (!pendingLinks.empty()) {
      auto link = pendingLinks.extract(pendingLinks.begin());
      folder = std::move(link.key());
      depth = link.mapped();
      struct stat info {};
      if (::stat((root + "/" + folder).c_str(), &info) != 0 || !entered.insert({info.st_dev, info.st_ino}).second) {
        continue;
      }
    } else {
      break;
    }
    const std::string absoluteFolder = folder.empty() ? root : root + "/" + folder;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(absoluteFolder.c_str()));
    if (!dir) {
      ++walk.unreadableFolders;
      continue;
    }
    const int at = ::dirfd(dir.get());
    std::optional<std::size_t> artworkRank;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string_view name = entry->d_name;
      if (name.empty() || name[0] == '.') continue;
      if (const auto rank = folderArtworkRank(name); rank && (!artworkRank || *rank < *artworkRank)) {
        artworkRank = rank;
        walk.folderArtwork[folder] = joined(folder, name);
      }
      const Kind kind = kindOf(name);
      if (entry->d_type == DT_REG) {
        // Its size and time are asked for below, together with the others'.
        if (kind == Kind::other) continue;
        (kind == Kind::audio ? walk.audioFiles : walk.playlists).push_back({joined(folder, name), kSizeToAsk});
        continue;
      }
      if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
      struct stat info {};
      // stat follows links; a dangling or looping link fails here and is passed by.
      if (::fstatat(at, entry->d_name, &info, 0) != 0) continue;
      if (S_ISDIR(info.st_mode)) {
        if (depth + 1 >= kMaxDepth) continue;
        if (isLink(at, *entry)) {
          pendingLinks.emplace(joined(folder, name), depth + 1);
        } else if (entered.insert({info.st_dev, info.st_ino}).second) {
          pending.emplace_back(joined(folder, name), depth + 1);
        }
      } else if (S_ISREG(info.st_mode) && kind != Kind::other) {
        WalkedFile file{joined(folder, name), static_cast<std::int64_t>(info.st_size), nanoseconds(info.st_mtim)};
        (kind == Kind::audio ? walk.audioFiles : walk.playlists).push_back(std::move(file));
      }
    }
  }
  askSizesAndTimes(root, walk.audioFiles, statters);
  askSizesAndTimes(root, walk.playlists, statters);
  const auto byPath = [](const WalkedFile& a, const WalkedFile& b) { return a.relativePath < b.relativePath; };
  std::sort(walk.audioFiles.begin(), walk.audioFiles.end(), byPath);
  std::sort(walk.playlists.begin(), walk.playlists.end(), byPath);
  return walk;
}

}  // namespace kovali
