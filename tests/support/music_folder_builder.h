#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QString>
#include <QTemporaryDir>

namespace kovali {

/// A music folder made for one test in a temporary folder, with tagged audio files that FFmpeg
/// encodes, and any other files the test wants there.
class MusicFolderBuilder {
 public:
  using Tags = std::vector<std::pair<std::string, std::string>>;

  MusicFolderBuilder();
  /// Removes the folder with byte paths: QTemporaryDir cannot remove names that are not UTF-8.
  ~MusicFolderBuilder();

  const QString& path() const { return path_; }
  /// The folder as bytes, as the library keys its files.
  std::string root() const;

  /// A short tune at `relativePath` (the extension picks the format) with these tags.
  void addSong(const std::string& relativePath, const Tags& tags, int notes = 2);
  /// A file with exactly these bytes; folders on the way are made.
  void addFile(const std::string& relativePath, const std::string& bytes);
  /// The bytes of a file in the folder.
  std::string contents(const std::string& relativePath) const;
  /// Sets the file's modification time `seconds` later than it is.
  void touch(const std::string& relativePath, int seconds);
  std::string absolute(const std::string& relativePath) const;

 private:
  QTemporaryDir dir_;
  QString path_;
};

}  // namespace kovali
