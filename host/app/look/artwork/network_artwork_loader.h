#pragma once

#include <QNetworkAccessManager>

#include "app/look/artwork/artwork_loader.h"

namespace kovali {

/// Loads artwork over http(s) or from local files with Qt's network access.
class NetworkArtworkLoader final : public ArtworkLoader {
 public:
  NetworkArtworkLoader();

  QCoro::Task<QImage> load(QUrl url, CancellationToken token) override;

 private:
  QNetworkAccessManager network_;
};

}  // namespace kovali
