#pragma once

#include <QLoggingCategory>
#include <QString>

namespace kovali {

// One category per component under "kovaliapp", showing info and above;
// QT_LOGGING_RULES="kovaliapp.*.debug=true" adds the debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcApp)        // "kovaliapp.app": the start-up report and what the host does
Q_DECLARE_LOGGING_CATEGORY(lcArchive)    // "kovaliapp.archive": the saved session
Q_DECLARE_LOGGING_CATEGORY(lcAudio)      // "kovaliapp.audio": sound outputs and live inputs
Q_DECLARE_LOGGING_CATEGORY(lcFFmpeg)     // "kovaliapp.ffmpeg": FFmpeg's own errors, with their file
Q_DECLARE_LOGGING_CATEGORY(lcHEOS)       // "kovaliapp.heos": HEOS speakers
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)    // "kovaliapp.library": the music library
Q_DECLARE_LOGGING_CATEGORY(lcMultiroom)  // "kovaliapp.multiroom": multi-room audio
Q_DECLARE_LOGGING_CATEGORY(lcNet)        // "kovaliapp.net": guest server and Bonjour
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)     // "kovaliapp.player": the player engine and automatic play
Q_DECLARE_LOGGING_CATEGORY(lcSecrets)    // "kovaliapp.secrets": the keychain and the secrets file
Q_DECLARE_LOGGING_CATEGORY(lcSession)    // "kovaliapp.session": phones, roles and the party's changes

/// "1 song", "3 songs": a count with the noun in the right number.
inline QString counted(qint64 count, const char* one, const char* many) {
  return QString::number(count) + u' ' + QString::fromUtf8(count == 1 ? one : many);
}

}  // namespace kovali
