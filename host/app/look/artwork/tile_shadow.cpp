#include "app/look/artwork/tile_shadow.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "app/look/palette.h"

namespace kovali {

namespace {

constexpr double kOpacity = 0.22;
constexpr int kOffsetY = 8;
constexpr int kBoxRadius = 8;                 // three box blurs of this radius approximate the soft edge
constexpr int kExtent = 3 * kBoxRadius;       // how far the blur reaches beyond the tile

/// One pass of a box blur along rows (or columns when `vertical`) of an alpha map.
void boxBlur(std::vector<float>& alpha, int width, int height, bool vertical) {
  const int lines = vertical ? width : height;
  const int length = vertical ? height : width;
  std::vector<float> line(static_cast<std::size_t>(length));
  for (int l = 0; l < lines; ++l) {
    auto at = [&](int i) -> float& {
      return vertical ? alpha[static_cast<std::size_t>(i) * width + l] : alpha[static_cast<std::size_t>(l) * width + i];
    };
    float sum = 0;
    for (int i = -kBoxRadius; i <= kBoxRadius; ++i) sum += (i >= 0 && i < length) ? at(i) : 0.0f;
    for (int i = 0; i < length; ++i) {
      line[static_cast<std::size_t>(i)] = sum / (2 * kBoxRadius + 1);
      const int leaving = i - kBoxRadius;
      const int entering = i + kBoxRadius + 1;
      if (leaving >= 0) sum -= at(leaving);
      if (entering < length) sum += at(entering);
    }
    for (int i = 0; i < length; ++i) at(i) = line[static_cast<std::size_t>(i)];
  }
}

}  // namespace

TileShadow::TileShadow(QWidget& tile, QWidget& host, double cornerRadius)
    : QWidget(&host), tile_(&tile), cornerRadius_(cornerRadius) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  for (QWidget* watched = &tile; watched != nullptr && watched != &host; watched = watched->parentWidget()) {
    watched->installEventFilter(this);
  }
  follow();
}

bool TileShadow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    // Sent whenever the tile or a widget between it and the host is shown or hidden, also while
    // the host is not on screen yet (Show and Hide are not).
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
      follow();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void TileShadow::follow() {
  QWidget* host = parentWidget();
  if (!tile_ || !tile_->isVisibleTo(host)) {
    hide();
    return;
  }
  const QRect tile(tile_->mapTo(host, QPoint(0, 0)), tile_->size());
  setGeometry(tile.adjusted(-kExtent, -kExtent + kOffsetY, kExtent, kExtent + kOffsetY));
  // Just under the host's child that holds the tile, so the tile covers it.
  QWidget* holder = tile_;
  while (holder->parentWidget() != host) holder = holder->parentWidget();
  stackUnder(holder);
  show();
}

const QImage& TileShadow::shadowImage() {
  if (shadow_.size() == size() || !tile_) return shadow_;
  const int width = this->width();
  const int height = this->height();
  QImage mask(size(), QImage::Format_Alpha8);
  mask.fill(0);
  {
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(kExtent, kExtent, tile_->width(), tile_->height()), cornerRadius_, cornerRadius_);
  }
  std::vector<float> alpha(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const uchar* line = mask.constScanLine(y);
    for (int x = 0; x < width; ++x) alpha[static_cast<std::size_t>(y) * width + x] = line[x] / 255.0f;
  }
  for (int pass = 0; pass < 3; ++pass) {
    boxBlur(alpha, width, height, false);
    boxBlur(alpha, width, height, true);
  }
  shadow_ = QImage(size(), QImage::Format_ARGB32);
  const QColor color = Palette::charcoal();
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(shadow_.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const float a = std::clamp(alpha[static_cast<std::size_t>(y) * width + x], 0.0f, 1.0f) * kOpacity;
      line[x] = qRgba(color.red(), color.green(), color.blue(), static_cast<int>(a * 255.0f + 0.5f));
    }
  }
  return shadow_;
}

void TileShadow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, shadowImage());
}

}  // namespace kovali
