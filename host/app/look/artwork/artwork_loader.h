#pragma once

#include <QImage>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include "platform/runtime/cancellation_token.h"

namespace kovali {

/// Fetches cover art for the artwork tiles, so tests can hand them images without a network.
class ArtworkLoader {
 public:
  virtual ~ArtworkLoader() = default;

  /// The image at `url`; a null image when it cannot be fetched or decoded, or when `token` is
  /// cancelled first.
  virtual QCoro::Task<QImage> load(QUrl url, CancellationToken token) = 0;
};

}  // namespace kovali
