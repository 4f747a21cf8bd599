#include "platform/library/index/library_walker.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <utility>

namespace kovali {

namespace {

constexpr int kMaxDepth = 64;

enum class Kind { audio, playlist, other };

Kind kindOf(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return Kind::other;
  std::string extension = name.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  static const std::set<std::string> audio = {"mp3", "m4a", "aac", "flac", "ogg", "oga", "opus", "wav"};
  if (audio.contains(extension)) return Kind::audio;
  if (extension == "m3u" || extension == "m3u8") return Kind::playlist;
  return Kind::other;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

bool isLink(const dirent& entry, const std::string& path) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_LNK;
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
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

std::variant<LibraryWalk, FolderProblem> walkLibrary(const std::string& root, const std::atomic<bool>& cancelled) {
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
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name.empty() || name[0] == '.') continue;
      const std::string relative = joined(folder, name);
      const std::string path = root + "/" + relative;
      struct stat info {};
      // stat follows links; a dangling or looping link fails here and is passed by.
      if (::stat(path.c_str(), &info) != 0) continue;
      if (S_ISDIR(info.st_mode)) {
        if (depth + 1 >= kMaxDepth) continue;
        if (isLink(*entry, path)) {
          pendingLinks.emplace(relative, depth + 1);
        } else if (entered.insert({info.st_dev, info.st_ino}).second) {
          pending.emplace_back(relative, depth + 1);
        }
      } else if (S_ISREG(info.st_mode)) {
        const Kind kind = kindOf(name);
        if (kind == Kind::other) continue;
        WalkedFile file{relative, static_cast<std::int64_t>(info.st_size), nanoseconds(info.st_mtim)};
        (kind == Kind::audio ? walk.audioFiles : walk.playlists).push_back(std::move(file));
      }
    }
  }
  const auto byPath = [](const WalkedFile& a, const WalkedFile& b) { return a.relativePath < b.relativePath; };
  std::sort(walk.audioFiles.begin(), walk.audioFiles.end(), byPath);
  std::sort(walk.playlists.begin(), walk.playlists.end(), byPath);
  return walk;
}

}  // namespace kovali
