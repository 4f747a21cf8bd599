#include "app/look/artwork/network_artwork_loader.h"

#include <QNetworkReply>
#include <QPointer>
#include <memory>
#include <qcoro/qcoronetworkreply.h>

namespace kovali {

NetworkArtworkLoader::NetworkArtworkLoader() {
  network_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QCoro::Task<QImage> NetworkArtworkLoader::load(QUrl url, CancellationToken token) {
  if (token.isCancelled()) co_return QImage();
  QPointer<QNetworkReply> reply = network_.get(QNetworkRequest(url));
  const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(reply.data(), [](QNetworkReply* done) {
    done->deleteLater();
  });
  // Aborting later keeps the reply's end (and this coroutine) out of the canceller's call.
  const auto subscription = token.onCancel([reply] {
    if (reply) QMetaObject::invokeMethod(reply.data(), &QNetworkReply::abort, Qt::QueuedConnection);
  });
  co_await reply.data();
  if (token.isCancelled() || !reply || reply->error() != QNetworkReply::NoError) co_return QImage();
  co_return QImage::fromData(reply->readAll());
}

}  // namespace kovali
