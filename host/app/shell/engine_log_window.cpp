#include "app/shell/engine_log_window.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "music/player_engine.h"

namespace kovali {

EngineLogWindow::EngineLogWindow(PlayerEngine& player, QWidget* parent) : QWidget(parent, Qt::Window), player_(player) {
  setWindowTitle(QStringLiteral("Engine Log"));
  resize(760, 400);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  log_ = new QPlainTextEdit(this);
  log_->setReadOnly(true);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(log_);
  connect(&player_, &PlayerEngine::logChanged, this, &EngineLogWindow::refresh);
  refresh();
}

QString EngineLogWindow::text() const { return log_->toPlainText(); }

void EngineLogWindow::refresh() {
  QStringList lines;
  for (const auto& line : player_.log()) {
    const auto time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(line.date.millisecondsSince1970));
    lines << time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + QString::fromStdString(line.text);
  }
  // Stay at the newest line unless the reader scrolled back.
  QScrollBar* scroll = log_->verticalScrollBar();
  const bool atEnd = scroll->value() == scroll->maximum();
  log_->setPlainText(lines.join(u'\n'));
  if (atEnd) scroll->setValue(scroll->maximum());
}

}  // namespace kovali
