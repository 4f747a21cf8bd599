#pragma once

#include <QLoggingCategory>

namespace kovali {

// One category per component under "kovaliapp", showing info and above;
// QT_LOGGING_RULES="kovaliapp.*.debug=true" adds the debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcArchive)    // "kovaliapp.archive": the saved session
Q_DECLARE_LOGGING_CATEGORY(lcHEOS)       // "kovaliapp.heos": HEOS speakers
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)    // "kovaliapp.library": the music library
Q_DECLARE_LOGGING_CATEGORY(lcMultiroom)  // "kovaliapp.multiroom": multi-room audio
Q_DECLARE_LOGGING_CATEGORY(lcNet)        // "kovaliapp.net": guest server and Bonjour
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)     // "kovaliapp.player": the player engine and automatic play
Q_DECLARE_LOGGING_CATEGORY(lcSecrets)    // "kovaliapp.secrets": the keychain and the secrets file
Q_DECLARE_LOGGING_CATEGORY(lcSession)    // "kovaliapp.session": phones, roles and the party's changes

}  // namespace kovali
