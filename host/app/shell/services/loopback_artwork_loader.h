#pragma once

#include "app/look/artwork/artwork_loader.h"

namespace kovali {

class HostServer;

/// The artwork loader of the host's own windows. Art that `server` serves is fetched from the
/// loopback address of its port instead of the name advertised to phones, which this computer
/// may not resolve itself (no mDNS name service); any other address goes to `network` as it is.
/// Both must outlive the loader; main thread.
class LoopbackArtworkLoader final : public ArtworkLoader {
 public:
  LoopbackArtworkLoader(ArtworkLoader& network, const HostServer& server);

  QCoro::Task<QImage> load(QUrl url, CancellationToken token) override;

 private:
  /// `url` as this computer fetches it.
  QUrl located(QUrl url) const;

  ArtworkLoader& network_;
  const HostServer& server_;
};

}  // namespace kovali
