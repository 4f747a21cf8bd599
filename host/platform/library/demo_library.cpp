#include "platform/library/demo_library.h"

#include <array>
#include <cmath>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/library/tone_file_writer.h"

namespace kovali {

namespace {

constexpr int kNotesPerTrack = 40;
constexpr double kNoteSeconds = 0.5;

struct DemoAlbum {
  const char* title;
  const char* artist;
  double rootHz;
  std::array<const char*, 4> tracks;
};

const std::array<DemoAlbum, 3> kAlbums = {{
    {"Morning Tones", "The Sine Waves", 261.63, {"Sunrise Arpeggio", "Coffee Intervals", "Open Window", "Bicycle Bells"}},
    {"Café Oscillator", "Les Fréquences", 293.66, {"Déjà Entendu", "Crème de la Crème", "Métronome", "À Bientôt"}},
    {"Night Drones", "Tuning Fork Trio", 196.00, {"Low Hum", "Starlight Square", "Midnight Ramp", "Last Call"}},
}};

// Playlists as (album, track) pairs.
struct DemoPlaylist {
  const char* name;
  std::vector<std::pair<int, int>> tracks;
};
const std::array<DemoPlaylist, 2> kPlaylists = {{
    {"Party Warm-Up", {{0, 0}, {1, 1}, {2, 1}, {0, 3}, {1, 2}, {2, 3}}},
    {"Chill", {{2, 0}, {1, 0}, {2, 2}, {0, 2}}},
}};

// A tune in the major pentatonic scale: a rising and falling figure that each track varies,
// with a rest closing every phrase of eight notes.
std::vector<double> tune(double rootHz, int seed) {
  static constexpr int kScale[] = {0, 2, 4, 7, 9, 12, 14, 16};
  std::vector<double> notes;
  for (int n = 0; n < kNotesPerTrack; ++n) {
    if (n % 8 == 7) {
      notes.push_back(0);
      continue;
    }
    const int step = n % 8 < 4 ? n % 8 : 7 - n % 8;
    const int degree = (step * (seed % 3 + 1) + n / 8 + seed) % 8;
    notes.push_back(rootHz * std::pow(2.0, kScale[degree] / 12.0));
  }
  return notes;
}

QString trackPath(int album, int track) {
  return QStringLiteral("%1/%2 %3.flac")
      .arg(QString::fromUtf8(kAlbums[album].title))
      .arg(track + 1, 2, 10, QLatin1Char('0'))
      .arg(QString::fromUtf8(kAlbums[album].tracks[track]));
}

std::optional<std::string> writeLibrary(const QDir& folder) {
  for (int a = 0; a < static_cast<int>(kAlbums.size()); ++a) {
    const DemoAlbum& album = kAlbums[a];
    if (!folder.mkpath(QString::fromUtf8(album.title))) return "The folder " + folder.path().toStdString() + " could not be written.";
    for (int t = 0; t < static_cast<int>(album.tracks.size()); ++t) {
      ToneFile file;
      file.path = QFile::encodeName(folder.filePath(trackPath(a, t))).toStdString();
      file.notes = tune(album.rootHz, a * 4 + t);
      file.noteSeconds = kNoteSeconds;
      file.tags = {{"title", album.tracks[t]},
                   {"artist", album.artist},
                   {"album", album.title},
                   {"album_artist", album.artist},
                   {"track", std::to_string(t + 1) + "/" + std::to_string(album.tracks.size())}};
      if (auto failure = writeToneFile(file)) return failure;
    }
  }
  for (const auto& playlist : kPlaylists) {
    QFile file(folder.filePath(QString::fromUtf8(playlist.name) + QStringLiteral(".m3u8")));
    if (!file.open(QIODevice::WriteOnly)) return "The file " + file.fileName().toStdString() + " could not be written.";
    QByteArray text = "#EXTM3U\n";
    for (const auto& [album, track] : playlist.tracks) text += trackPath(album, track).toUtf8() + '\n';
    if (file.write(text) != text.size()) return "The file " + file.fileName().toStdString() + " could not be written.";
  }
  return std::nullopt;
}

}  // namespace

QString demoLibraryFolder(const QString& dataFolder) { return QDir(dataFolder).filePath(QStringLiteral("Demo Library")); }

std::optional<std::string> ensureDemoLibrary(const QString& folder) {
  if (QFileInfo(folder).isDir()) return std::nullopt;
  QDir scratch(folder + QStringLiteral(".partial"));
  scratch.removeRecursively();
  if (!scratch.mkpath(QStringLiteral("."))) return "The folder " + scratch.path().toStdString() + " could not be made.";
  if (auto failure = writeLibrary(scratch)) {
    scratch.removeRecursively();
    return failure;
  }
  if (!QDir().rename(scratch.path(), folder)) {
    scratch.removeRecursively();
    return "The folder " + folder.toStdString() + " could not be made.";
  }
  return std::nullopt;
}

}  // namespace kovali
