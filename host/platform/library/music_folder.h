#pragma once

#include <optional>

#include <QString>

#include "platform/library/index/library_scanner.h"
#include "platform/runtime/preferences.h"

namespace kovali {

/// The preference holding the music folder chosen by the user.
inline const QString kMusicFolderPreference = QStringLiteral("musicFolder");

/// What the local library indexes: the folder given on the command line (`--music DIR`), else
/// the one in the preferences, else the user's music folder (XDG_MUSIC_DIR), which may not exist
/// yet. The index cache and the demo library go into `dataFolder`.
LibraryScanSettings musicLibrarySettings(const std::optional<QString>& commandLineFolder,
                                         const Preferences& preferences, const QString& dataFolder);

}  // namespace kovali
