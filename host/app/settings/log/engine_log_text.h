#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "model/playback_state.h"
#include "music/player_engine.h"

namespace kovali {

/// The engine log's one-line summary, as
/// "engine playing at 2:05 · current=<id> next=nil · rev 57".
std::string engineStatusLine(vinaro::PlaybackStatus status, double playbackTime,
                             const std::optional<std::string>& currentSongID,
                             const std::optional<std::string>& nextSongID, std::int64_t revision);

/// The time of day with seconds, as `locale` writes it, without the date or the time zone.
QString logTimeText(vinaro::Date date, const QLocale& locale);

/// One row of the log list: the line's time, two spaces, its text unchanged.
QString logRowText(const PlayerEngine::LogLine& line, const QLocale& locale);

}  // namespace kovali
