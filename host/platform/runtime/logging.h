#pragma once

#include <QLoggingCategory>

namespace kovali {

// One category per component under "kovaliapp", showing info and above;
// QT_LOGGING_RULES="kovaliapp.*.debug=true" adds the debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcArchive)    // "kovaliapp.archive": the saved session
Q_DECLARE_LOGGING_CATEGORY(lcAudio)      // "kovaliapp.audio": sound outputs and live inputs
Q_DECLARE_LOGGING_CATEGORY(lcMultiroom)  // "kovaliapp.multiroom": multi-room audio
Q_DECLARE_LOGGING_CATEGORY(lcMusic)      // "kovaliapp.music": the music library
Q_DECLARE_LOGGING_CATEGORY(lcNet)        // "kovaliapp.net": guest server and Bonjour
Q_DECLARE_LOGGING_CATEGORY(lcSecrets)    // "kovaliapp.secrets": the keychain and the secrets file

}  // namespace kovali
