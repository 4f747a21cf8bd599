#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

#include "platform/runtime/serial_queue.h"

namespace kovali {

class HLSStream;
class StreamListener;

/// Serves one `HLSStream` over HTTP/1.1 on 127.0.0.1 to the multi-room player: "/stream.m3u8",
/// "/init.mp4" and "/seg<N>.m4s", one response a connection. Listens and answers on a thread of
/// its own ("kovaliapp.host.stream"), so a busy main thread never delays the player. Lives on
/// the main thread.
class StreamServer : public QObject {
  Q_OBJECT

 public:
  /// How long a connection may stay silent before its request head is complete.
  static constexpr std::chrono::milliseconds defaultIdleTimeout{5000};

  explicit StreamServer(std::shared_ptr<const HLSStream> stream,
                        std::chrono::milliseconds idleTimeout = defaultIdleTimeout, QObject* parent = nullptr);
  /// Stops listening and drops the connections still open.
  ~StreamServer() override;
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  /// Listens on a port the system picks; reports once, through `started` or `startFailed`.
  void start();
  /// Stops listening; connections already accepted finish their one response.
  void stop();

 signals:
  /// The listener is ready on 127.0.0.1 at `port`.
  void started(quint16 port);
  /// The listener could not be made or failed before it was ready; `error` is the system's text.
  void startFailed(QString error);

 private:
  SerialQueue queue_;
  StreamListener* listener_;  // lives on queue_'s thread and is deleted there
};

}  // namespace kovali
