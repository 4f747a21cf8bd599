#include "app/shell/services/loopback_artwork_loader.h"

#include "server/host_server.h"

namespace kovali {

LoopbackArtworkLoader::LoopbackArtworkLoader(ArtworkLoader& network, const HostServer& server)
    : network_(network), server_(server) {}

QCoro::Task<QImage> LoopbackArtworkLoader::load(QUrl url, CancellationToken token) {
  return network_.load(located(std::move(url)), std::move(token));
}

QUrl LoopbackArtworkLoader::located(QUrl url) const {
  const auto advertised = server_.artworkAddress();
  const auto loopback = server_.loopbackArtworkAddress();
  if (!advertised || !loopback) return url;
  // Compared as URLs, so that a host name differing only in case still counts as this host.
  const QUrl served(QString::fromStdString(*advertised));
  if (url.scheme() != served.scheme() || url.host() != served.host() || url.port() != served.port()) return url;
  const QUrl local(QString::fromStdString(*loopback));
  url.setHost(local.host());
  url.setPort(local.port());
  return url;
}

}  // namespace kovali
