#include "app/settings/log/engine_log_text.h"

#include <QDateTime>

#include "app/look/text/format_time.h"

namespace kovali {

std::string engineStatusLine(vinaro::PlaybackStatus status, double playbackTime,
                             const std::optional<std::string>& currentSongID,
                             const std::optional<std::string>& nextSongID, std::int64_t revision) {
  std::string word = "stopped";
  if (status == vinaro::PlaybackStatus::playing) word = "playing";
  if (status == vinaro::PlaybackStatus::paused) word = "paused";
  return "engine " + word + " at " + formatTime(playbackTime) + " \u00B7 current=" + currentSongID.value_or("nil") +
         " next=" + nextSongID.value_or("nil") + " \u00B7 rev " + std::to_string(revision);
}

namespace {

/// `format` without its time-zone field: every "t" outside quoted text.
QString withoutTimeZone(const QString& format) {
  QString kept;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == u'\'') quoted = !quoted;
    if (!quoted && c == u't') continue;
    kept += c;
  }
  return kept.simplified();
}

}  // namespace

QString logTimeText(vinaro::Date date, const QLocale& locale) {
  // The long format is the one with seconds; it also names the time zone, which the log leaves out.
  const QString format = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
  const QDateTime time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date.millisecondsSince1970));
  return locale.toString(time.time(), format);
}

QString logRowText(const PlayerEngine::LogLine& line, const QLocale& locale) {
  return logTimeText(line.date, locale) + QStringLiteral("  ") + QString::fromStdString(line.text);
}

}  // namespace kovali
