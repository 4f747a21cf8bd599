#include "platform/library/music_folder.h"

#include <QStandardPaths>

namespace kovali {

LibraryScanSettings musicLibrarySettings(const std::optional<QString>& commandLineFolder,
                                         const Preferences& preferences, const QString& dataFolder) {
  LibraryScanSettings settings;
  settings.dataFolder = dataFolder;
  if (commandLineFolder && !commandLineFolder->isEmpty()) {
    settings.folder = *commandLineFolder;
  } else if (auto chosen = preferences.stringValue(kMusicFolderPreference); chosen && !chosen->isEmpty()) {
    settings.folder = *chosen;
  } else {
    settings.folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    settings.folderWasChosen = false;
  }
  return settings;
}

}  // namespace kovali
