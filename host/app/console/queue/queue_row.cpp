#include "app/console/queue/queue_row.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/byline_text.h"
#include "app/look/text/fitted_label.h"

namespace kovali {

namespace {

// The row's card sits inside these insets of its slot in the list.
constexpr int kInsetX = 22;
constexpr int kInsetY = 3;
constexpr int kPositionWidth = 18;

}  // namespace

PlaceNumber::PlaceNumber(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("place"));
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlaceNumber::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

void PlaceNumber::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) setFixedHeight(fontMetrics().height());
  QWidget::changeEvent(event);
}

void PlaceNumber::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

QueueRow::QueueRow(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent),
      position_(new PlaceNumber),
      artwork_(new ArtworkTile(loader, 34, 7, false)),
      title_(new FittedLabel(1, 1.0)),
      byline_(new BylineText(QString(), std::nullopt, 13, false)) {
  const Appearance appearance = appearanceOf(*this);
  position_->setFont(systemFont(11));
  setForeground(*position_, Palette::inkTertiary(appearance));
  position_->setFixedWidth(kPositionWidth);
  title_->setFont(systemFont(13));
  setForeground(*title_, Palette::ink(appearance));
  byline_->setFont(systemFont(11));
  setForeground(*byline_, Palette::inkSecondary(appearance));

  const SymbolButton::Look buttonLook{.glyph = 12, .color = Palette::inkTertiary(appearance), .frame = QSize(22, 22)};
  playNext_ = new SymbolButton(Symbol::arrowUpToLine, QString(), buttonLook);
  playNext_->setToolTip(QStringLiteral("Play next"));
  playNext_->setAccessibleName(QStringLiteral("Play next"));
  remove_ = new SymbolButton(Symbol::xmark, QString(), buttonLook);
  remove_->setToolTip(QStringLiteral("Remove"));
  remove_->setAccessibleName(QStringLiteral("Remove"));
  connect(playNext_, &QAbstractButton::clicked, this, [this] { emit playNextClicked(model_.id); });
  connect(remove_, &QAbstractButton::clicked, this, [this] { emit removeClicked(model_.id); });

  auto* text = new QWidget;
  auto* lines = new QVBoxLayout(text);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setSpacing(1);
  lines->addWidget(title_);
  lines->addWidget(byline_);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kInsetX + 10, kInsetY + 6, kInsetX + 10, kInsetY + 6);
  row->setSpacing(10);
  row->addWidget(position_);
  row->addWidget(artwork_);
  row->addWidget(text, 1);
  row->addWidget(playNext_);
  row->addWidget(remove_);
}

void QueueRow::setModel(const QueueRowModel& model) {
  // A change before this row renumbers every row after it: only what differs is drawn again.
  // A new row shows the empty model, so its first model fills in what it has.
  if (model.position != model_.position) position_->setText(QString::fromStdString(model.position));
  if (model.track != model_.track) {
    artwork_->setTrack(model.track);
    title_->setText(QString::fromStdString(model.track.title));
  }
  if (model.byline != model_.byline) byline_->setContent(QString::fromStdString(model.byline.text), model.byline.badge);
  playNext_->setEnabled(model.canPlayNext);
  model_ = model;
}

void QueueRow::setPositionDigits(int digits) {
  // Every row takes the width of the longest place, so the titles stay in line.
  const int widest = position_->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) + 1;
  position_->setFixedWidth(std::max(kPositionWidth, widest));
}

void QueueRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Palette::surface(appearanceOf(*this)));
  painter.drawRoundedRect(QRectF(rect()).adjusted(kInsetX, kInsetY, -kInsetX, -kInsetY), 10, 10);
}

void QueueRow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
  event->accept();
}

void QueueRow::mouseMoveEvent(QMouseEvent* event) {
  if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - *pressedAt_).manhattanLength() < QApplication::startDragDistance()) return;
  pressedAt_.reset();
  emit dragStarted(this);
}

}  // namespace kovali
