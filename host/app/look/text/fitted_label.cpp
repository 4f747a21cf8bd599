#include "app/look/text/fitted_label.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QResizeEvent>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace kovali {

namespace {

/// The lines `text` wraps into at `width`, at most `limit + 1` of them (enough to tell "too many").
QStringList wrapped(const QString& text, const QFont& font, double width, int limit) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QStringList lines;
  layout.beginLayout();
  while (lines.size() <= limit) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(width);
    lines << text.mid(line.textStart(), line.textLength());
  }
  layout.endLayout();
  return lines;
}

int pixelSize(const QFont& font) { return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize(); }

}  // namespace

FittedLabel::FittedLabel(int maxLines, double minimumScale, QWidget* parent)
    : QWidget(parent), maxLines_(std::max(1, maxLines)), minimumScale_(std::clamp(minimumScale, 0.1, 1.0)) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void FittedLabel::setText(const QString& text) {
  // A line break a phone sent still counts against the line limit.
  QString single = text;
  single.replace(QLatin1Char('\n'), QChar::LineSeparator);
  if (single == text_) return;
  text_ = single;
  setAccessibleName(text);
  textChanged();
}

void FittedLabel::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

FittedLabel::Fit FittedLabel::fit(int width) const {
  if (!cachedFit_ || cachedFit_->first != width) cachedFit_.emplace(width, computeFit(width));
  return cachedFit_->second;
}

FittedLabel::Fit FittedLabel::computeFit(int width) const {
  const int base = pixelSize(font());
  const int smallest = std::max(1, static_cast<int>(std::ceil(base * minimumScale_)));
  QFont candidate = font();
  for (int size = base; size >= smallest; --size) {
    candidate.setPixelSize(size);
    QStringList lines = wrapped(text_, candidate, width, maxLines_);
    if (lines.size() <= maxLines_) {
      bool fits = true;
      for (const QString& line : lines) {
        fits = fits && QFontMetricsF(candidate).horizontalAdvance(line.trimmed()) <= width;
      }
      // A single word wider than the line is wrapped anywhere; smaller type may still avoid that.
      if (fits || size == smallest) return {candidate, lines, false};
    }
  }
  // Still too long at the smallest size: keep the first lines and cut the last one short.
  QStringList lines = wrapped(text_, candidate, width, maxLines_);
  const qsizetype keep = std::min<qsizetype>(lines.size(), maxLines_);
  QStringList shown = lines.mid(0, keep - 1);
  qsizetype start = 0;
  for (const QString& line : shown) start += line.size();
  QString rest = text_.mid(start);
  rest.replace(QChar::LineSeparator, QLatin1Char(' '));
  shown << QFontMetrics(candidate).elidedText(rest, Qt::ElideRight, width);
  return {candidate, shown, true};
}

int FittedLabel::heightForWidth(int width) const {
  const Fit fitted = fit(width);
  const QFontMetrics metrics(fitted.font);
  const qsizetype lines = std::max<qsizetype>(1, fitted.lines.size());
  return static_cast<int>(lines - 1) * metrics.lineSpacing() + metrics.height();
}

QSize FittedLabel::sizeHint() const {
  const QFontMetrics metrics(font());
  QString widest = text_;
  widest.replace(QChar::LineSeparator, QLatin1Char(' '));
  const int width = metrics.horizontalAdvance(widest) + 1;
  return {width, heightForWidth(width)};
}

QSize FittedLabel::minimumSizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(QStringLiteral("\u2026")), metrics.height()};
}

void FittedLabel::paintEvent(QPaintEvent*) {
  const Fit fitted = fit(width());
  QPainter painter(this);
  painter.setFont(fitted.font);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics metrics(fitted.font);
  const int total = heightForWidth(width());
  int y = (height() - total) / 2;
  for (const QString& line : fitted.lines) {
    QString shown = line;
    shown.replace(QChar::LineSeparator, QLatin1Char(' '));
    painter.drawText(QRect(0, y, width(), metrics.height()), static_cast<int>(alignment_ | Qt::AlignVCenter),
                     shown.trimmed());
    y += metrics.lineSpacing();
  }
}

void FittedLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) textChanged();
  QWidget::changeEvent(event);
}

void FittedLabel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  updateToolTip();
}

void FittedLabel::textChanged() {
  cachedFit_.reset();
  updateGeometry();
  updateToolTip();
  update();
}

void FittedLabel::updateToolTip() {
  QString whole = text_;
  whole.replace(QChar::LineSeparator, QLatin1Char('\n'));
  setToolTip(fit(width()).cut ? whole : QString());
}

}  // namespace kovali
