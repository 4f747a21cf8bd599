#include "audio/stream/stream_server.h"

#include "audio/stream/stream_listener.h"

namespace kovali {

StreamServer::StreamServer(std::shared_ptr<const HLSStream> stream, std::chrono::milliseconds idleTimeout,
                           QObject* parent)
    : QObject(parent),
      queue_(QStringLiteral("kovaliapp.host.stream")),
      listener_(new StreamListener(std::move(stream), idleTimeout)) {
  listener_->moveToThread(queue_.thread());
  connect(listener_, &StreamListener::ready, this, &StreamServer::started);
  connect(listener_, &StreamListener::failed, this, &StreamServer::startFailed);
}

StreamServer::~StreamServer() {
  queue_.async([listener = listener_] { delete listener; });
}

void StreamServer::start() {
  queue_.async([listener = listener_] { listener->listen(); });
}

void StreamServer::stop() {
  queue_.async([listener = listener_] { listener->close(); });
}

}  // namespace kovali
