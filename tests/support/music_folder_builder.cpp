#include "support/music_folder_builder.h"

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <QFile>

#include "platform/library/tone_file_writer.h"

namespace kovali {

MusicFolderBuilder::MusicFolderBuilder() : path_(dir_.path()) {
  if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
}

MusicFolderBuilder::~MusicFolderBuilder() {
  std::error_code ignored;
  std::filesystem::remove_all(root(), ignored);
}

std::string MusicFolderBuilder::root() const { return QFile::encodeName(path_).toStdString(); }

std::string MusicFolderBuilder::absolute(const std::string& relativePath) const { return root() + "/" + relativePath; }

void MusicFolderBuilder::addSong(const std::string& relativePath, const Tags& tags, int notes) {
  const std::string path = absolute(relativePath);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ToneFile file;
  file.path = path;
  for (int i = 0; i < notes; ++i) file.notes.push_back(440.0 + 110.0 * i);
  file.tags = tags;
  if (auto failure = writeToneFile(file)) throw std::runtime_error(*failure);
}

void MusicFolderBuilder::addFile(const std::string& relativePath, const std::string& bytes) {
  // Byte paths throughout: a test may name files in any encoding.
  const std::filesystem::path path(absolute(relativePath));
  std::filesystem::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string MusicFolderBuilder::contents(const std::string& relativePath) const {
  std::ifstream file(absolute(relativePath), std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + relativePath);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void MusicFolderBuilder::touch(const std::string& relativePath, int seconds) {
  const std::string path = absolute(relativePath);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path);
  const utimbuf times{info.st_atime, info.st_mtime + seconds};
  if (::utime(path.c_str(), &times) != 0) throw std::runtime_error("cannot touch " + path);
}

}  // namespace kovali
