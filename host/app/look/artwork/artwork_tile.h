#pragma once

#include <QImage>
#include <QWidget>
#include <optional>
#include <string>

#include "model/track.h"
#include "platform/runtime/cancellable_task.h"

namespace kovali {

class ArtworkLoader;

/// A square song artwork with rounded corners. Until the image has loaded, and when there is
/// none or it fails, a drawn placeholder stands in: the brand mark on a plain fill.
class ArtworkTile final : public QWidget {
  Q_OBJECT

 public:
  ArtworkTile(ArtworkLoader& loader, double size, double cornerRadius, bool darkPlaceholder,
              QWidget* parent = nullptr);

  /// Shows `track`'s artwork; the same address as before keeps the image without a new load.
  void setTrack(const std::optional<vinaro::Track>& track);

  /// The address being shown or loaded, when there is one.
  const std::optional<std::string>& artworkURL() const { return url_; }
  bool showsImage() const { return !image_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void load(std::string url);

  ArtworkLoader& loader_;
  double size_;
  double cornerRadius_;
  bool darkPlaceholder_;
  std::optional<std::string> url_;
  QImage image_;
  CancellableTask loadTask_;
};

}  // namespace kovali
