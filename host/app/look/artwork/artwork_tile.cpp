#include "app/look/artwork/artwork_tile.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <cmath>

#include "app/look/artwork/artwork_loader.h"
#include "app/look/palette.h"
#include "app/look/symbols/record_mark.h"

namespace kovali {

ArtworkTile::ArtworkTile(ArtworkLoader& loader, double size, double cornerRadius, bool darkPlaceholder,
                         QWidget* parent)
    : QWidget(parent), loader_(loader), size_(size), cornerRadius_(cornerRadius), darkPlaceholder_(darkPlaceholder) {
  const int side = static_cast<int>(std::lround(size));
  setFixedSize(side, side);
}

void ArtworkTile::setTrack(const std::optional<vinaro::Track>& track) {
  // Twice the side, so the image stays sharp on high-density screens.
  const int pixels = static_cast<int>(size_ * 2);
  std::optional<std::string> url = track ? track->artworkURL(pixels, pixels) : std::nullopt;
  if (url == url_) return;
  url_ = std::move(url);
  image_ = QImage();
  loadTask_.cancel();
  if (url_) load(*url_);
  update();
}

void ArtworkTile::load(std::string url) {
  loadTask_.start([this, url = std::move(url)](CancellationToken token) -> QCoro::Task<> {
    QPointer<ArtworkTile> self(this);
    QImage image = co_await loader_.load(QUrl(QString::fromStdString(url)), token);
    if (token.isCancelled() || !self) co_return;
    image_ = std::move(image);
    update();
  });
}

void ArtworkTile::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF tile(rect());
  QPainterPath clip;
  clip.addRoundedRect(tile, cornerRadius_, cornerRadius_);
  painter.setClipPath(clip);

  if (!image_.isNull()) {
    // Fills the tile with the aspect ratio kept; the overflow falls outside the clip.
    const QSizeF scaled = QSizeF(image_.size()).scaled(tile.size(), Qt::KeepAspectRatioByExpanding);
    QRectF target(QPointF(), scaled);
    target.moveCenter(tile.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
    return;
  }
  painter.fillRect(tile, darkPlaceholder_ ? Palette::charcoal() : Palette::surface(appearanceOf(*this)));
  const double markSide = size_ * 0.7;
  QRectF mark(0, 0, markSide, markSide);
  mark.moveCenter(tile.center());
  paintRecordMark(painter, mark, darkPlaceholder_);
}

void ArtworkTile::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) update();  // the placeholder follows light and dark
  QWidget::changeEvent(event);
}

}  // namespace kovali
