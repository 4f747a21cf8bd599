#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

#include "protocol/join_link.h"

namespace kovali {

/// The square join code that phones scan: the join link's URL as a QR code with sharp modules
/// on a cream tile with rounded corners.
class QRCodeView final : public QWidget {
  Q_OBJECT

 public:
  QRCodeView(vinaro::JoinLink link, double size, QWidget* parent = nullptr);

  const vinaro::JoinLink& link() const { return link_; }
  void setLink(vinaro::JoinLink link);

  /// `text`'s UTF-8 bytes as a QR code at error-correction level M: dark modules in charcoal,
  /// light ones transparent, each module 8 by 8 pixels. Nothing when no code can hold the text.
  static std::optional<QImage> makeImage(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  vinaro::JoinLink link_;
  double size_;
  std::optional<QImage> image_;
};

}  // namespace kovali
