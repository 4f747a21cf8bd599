#include "app/shell/services/host_display_name.h"

#include <QFile>
#include <QSysInfo>

namespace kovali {

namespace {

/// A value as an environment-style file writes it: bare, or in single or double quotes, where
/// a backslash keeps the next character.
QString unquoted(QStringView value) {
  if (value.size() < 2 || (value.front() != u'"' && value.front() != u'\'') || value.back() != value.front()) {
    return value.toString();
  }
  const QChar quote = value.front();
  value = value.mid(1, value.size() - 2);
  if (quote == u'\'') return value.toString();
  QString text;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] == u'\\' && i + 1 < value.size()) ++i;
    text += value[i];
  }
  return text;
}

}  // namespace

std::optional<QString> prettyHostName(const QString& machineInfo) {
  std::optional<QString> name;
  const QString key = QStringLiteral("PRETTY_HOSTNAME=");
  for (const QStringView line : QStringView(machineInfo).split(u'\n')) {
    const QStringView trimmed = line.trimmed();
    if (trimmed.startsWith(key)) name = unquoted(trimmed.mid(key.size())).trimmed();
  }
  if (name && name->isEmpty()) return std::nullopt;
  return name;
}

std::string hostDisplayName(const std::optional<QString>& prettyName, const QString& hostName) {
  if (prettyName && !prettyName->isEmpty()) return prettyName->toStdString();
  const QString trimmed = hostName.trimmed();
  return trimmed.isEmpty() ? std::string("Kovali") : trimmed.toStdString();
}

std::string hostDisplayName() {
  QFile file(QStringLiteral("/etc/machine-info"));
  std::optional<QString> pretty;
  if (file.open(QIODevice::ReadOnly)) pretty = prettyHostName(QString::fromUtf8(file.readAll()));
  return hostDisplayName(pretty, QSysInfo::machineHostName());
}

}  // namespace kovali
