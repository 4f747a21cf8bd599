#pragma once

#include <optional>
#include <string>

#include <QString>

namespace kovali {

/// Where the demo library lives in the app data folder.
QString demoLibraryFolder(const QString& dataFolder);

/// Makes the demo library at `folder` unless it is there already: a dozen short tunes of
/// generated tones on three albums, tagged, and two playlists, so that a first run has songs to
/// find and play. It is built in a scratch folder and moved into place in one step, so an
/// interrupted run leaves nothing half made. Gives a sentence when it cannot be made.
std::optional<std::string> ensureDemoLibrary(const QString& folder);

}  // namespace kovali
