#include "platform/runtime/logging.h"

namespace kovali {

Q_LOGGING_CATEGORY(lcApp, "kovaliapp.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcArchive, "kovaliapp.archive", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAudio, "kovaliapp.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFFmpeg, "kovaliapp.ffmpeg", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHEOS, "kovaliapp.heos", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLibrary, "kovaliapp.library", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMultiroom, "kovaliapp.multiroom", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNet, "kovaliapp.net", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlayer, "kovaliapp.player", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSecrets, "kovaliapp.secrets", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "kovaliapp.session", QtInfoMsg)

}  // namespace kovali
