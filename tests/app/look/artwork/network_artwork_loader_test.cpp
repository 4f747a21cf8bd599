#include "app/look/artwork/network_artwork_loader.h"

#include <QBuffer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace kovali {
namespace {

QByteArray pngOf(const QColor& color, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

/// An HTTP server on 127.0.0.1 that answers every request with `body`, or never answers.
class LoopbackImageServer {
 public:
  explicit LoopbackImageServer(std::optional<QByteArray> body) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this, body = std::move(body)] {
      QTcpSocket* socket = server_.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QTcpSocket::disconnected, [this] { ++disconnections; });
      if (!body) return;
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, body] {
        if (!socket->readAll().contains("\r\n\r\n")) return;
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body->size()) + "\r\n\r\n" + *body);
        socket->disconnectFromHost();
      });
    });
  }

  QUrl url(const char* path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1String(path)));
  }

  int disconnections = 0;

 private:
  QTcpServer server_;
};

/// Runs `load` to its end, or gives up after a generous while so a hang fails instead of stalling.
std::optional<QImage> finish(QCoro::Task<QImage> load) {
  std::optional<QImage> result;
  auto done = load.then([&](QImage image) { result = std::move(image); });
  static_cast<void>(QTest::qWaitFor([&] { return result.has_value(); }, 10'000));  // the caller checks the result
  return result;
}

TEST(NetworkArtworkLoader, LoadsImagesOverHTTPAndFromFiles) {
  LoopbackImageServer server(pngOf(Qt::green, QSize(12, 8)));
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QFile file(folder.filePath("cover.png"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(pngOf(Qt::blue, QSize(5, 5)));
  file.close();

  NetworkArtworkLoader loader;
  const auto overHTTP = finish(loader.load(server.url("/art/24x24.png"), {}));
  ASSERT_TRUE(overHTTP);
  EXPECT_EQ(overHTTP->size(), QSize(12, 8));
  EXPECT_EQ(overHTTP->pixelColor(3, 3).rgb(), QColor(Qt::green).rgb());

  const auto fromFile = finish(loader.load(QUrl::fromLocalFile(folder.filePath("cover.png")), {}));
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(fromFile->size(), QSize(5, 5));
}

TEST(NetworkArtworkLoader, AMissingOrUndecodableImageGivesANullImage) {
  LoopbackImageServer server(QByteArray("not an image"));
  QTemporaryDir folder;
  NetworkArtworkLoader loader;

  const auto broken = finish(loader.load(server.url("/broken.png"), {}));
  ASSERT_TRUE(broken);
  EXPECT_TRUE(broken->isNull());
  const auto missing = finish(loader.load(QUrl::fromLocalFile(folder.filePath("absent.png")), {}));
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing->isNull());
}

TEST(NetworkArtworkLoader, ACancelledLoadIsAbortedAndGivesNoImage) {
  LoopbackImageServer silent(std::nullopt);
  NetworkArtworkLoader loader;
  CancellationSource source;

  auto load = loader.load(silent.url("/slow.png"), source.token());
  source.cancel();
  const auto result = finish(std::move(load));
  ASSERT_TRUE(result) << "the load ends although the server never answers";
  EXPECT_TRUE(result->isNull());
}

}  // namespace
}  // namespace kovali
