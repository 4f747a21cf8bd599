#include "support/fake_artwork_loader.h"

namespace kovali {

QCoro::Task<QImage> FakeArtworkLoader::load(QUrl url, CancellationToken token) {
  const std::string address = url.toString().toStdString();
  requests.push_back(address);
  co_await scheduler_.sleep(delaySeconds, token);
  if (token.isCancelled()) co_return QImage();
  const auto image = images.find(address);
  co_return image == images.end() ? QImage() : image->second;
}

}  // namespace kovali
