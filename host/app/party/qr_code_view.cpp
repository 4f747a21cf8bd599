#include "app/party/qr_code_view.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <memory>
#include <qrencode.h>

#include "app/look/palette.h"

namespace kovali {

namespace {
constexpr int kPixelsPerModule = 8;
}  // namespace

QRCodeView::QRCodeView(vinaro::JoinLink link, double size, QWidget* parent) : QWidget(parent), size_(size) {
  const int side = static_cast<int>(std::lround(size));
  setFixedSize(side, side);
  setLink(std::move(link));
}

void QRCodeView::setLink(vinaro::JoinLink link) {
  link_ = std::move(link);
  image_ = makeImage(QString::fromStdString(link_.url()));
  setAccessibleName(QStringLiteral("Join QR code for ") + QString::fromStdString(link_.host));
  update();
}

std::optional<QImage> QRCodeView::makeImage(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  const std::unique_ptr<QRcode, void (*)(QRcode*)> code(
      QRcode_encodeData(static_cast<int>(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()), 0,
                        QR_ECLEVEL_M),
      QRcode_free);
  if (!code || code->width <= 0) return std::nullopt;

  const int modules = code->width;
  QImage image(modules * kPixelsPerModule, modules * kPixelsPerModule, QImage::Format_ARGB32);
  if (image.isNull()) return std::nullopt;
  image.fill(Qt::transparent);
  const QRgb dark = Palette::charcoal().rgba();
  for (int row = 0; row < modules; ++row) {
    for (int column = 0; column < modules; ++column) {
      // The lowest bit of each module byte says whether it is dark.
      if ((code->data[row * modules + column] & 1) == 0) continue;
      for (int y = row * kPixelsPerModule; y < (row + 1) * kPixelsPerModule; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + column * kPixelsPerModule, line + (column + 1) * kPixelsPerModule, dark);
      }
    }
  }
  return image;
}

void QRCodeView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF tile(0, 0, size_, size_);
  QPainterPath clip;
  clip.addRoundedRect(tile, size_ * 0.08, size_ * 0.08);
  painter.setClipPath(clip);
  painter.fillRect(tile, Palette::cream());

  if (!image_) {
    QColor fill = palette().color(QPalette::PlaceholderText);
    fill.setAlphaF(fill.alphaF() * 0.2f);
    painter.fillRect(tile, fill);
    return;
  }
  // Without smoothing every module stays a sharp square at any size.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const double inset = size_ * 0.07;
  painter.drawImage(tile.adjusted(inset, inset, -inset, -inset), *image_);
}

}  // namespace kovali
