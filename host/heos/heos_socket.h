#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <QByteArray>
#include <QFuture>
#include <QObject>
#include <QPromise>
#include <QString>
#include <QTcpSocket>
#include <qcoro/qcorotask.h>

#include "heos/heos_message.h"
#include "platform/runtime/cancellation_token.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

/// One TCP connection to a HEOS device: opened once with a time limit, then one request in
/// flight at a time, replies matched by command name, change events handed on as signals. It is
/// never reopened; after `close()` or a drop every request fails with "Not connected to HEOS.".
/// Main thread only. Failures are thrown as `HEOSError`.
class HEOSSocket : public QObject {
  Q_OBJECT

 public:
  static constexpr std::uint16_t defaultPort = 1255;
  /// A peer that sends more than this without a line end is dropped.
  static constexpr qsizetype maxBufferedBytes = 4 * 1024 * 1024;

  /// A socket to `host`:`port` (port 0 means 1255) whose time limits run on `scheduler`; nothing
  /// is opened yet.
  HEOSSocket(QString host, std::uint16_t port, Scheduler& scheduler, QObject* parent = nullptr);
  ~HEOSSocket() override;

  const QString& host() const { return host_; }
  bool isOpen() const { return isOpen_; }
  bool isClosed() const { return isClosed_; }

  /// Connects; throws the platform's error, or "<host> did not answer (<diagnostics>)." when the
  /// connection is not ready within `timeout` seconds.
  QCoro::Task<> open(double timeout);

  /// Sends `line` (from `heosCommandLine`) after the requests before it have ended, and returns
  /// the successful reply; throws the device's error, a timeout or the connection's loss.
  QCoro::Task<HEOSResponse> request(std::string line, double timeout);

  /// Closes without a `dropped` signal; a pending request or open fails with "The HEOS
  /// connection was closed.".
  void close();

 signals:
  /// A change event arrived.
  void eventArrived(const kovali::HEOSResponse& event);
  /// The open connection was lost; emitted at most once, never after `close()`.
  void dropped(const std::string& reason);

 private:
  using Outcome = std::variant<HEOSResponse, HEOSError>;
  struct Waiting {
    std::uint64_t id = 0;
    std::string command;
    HEOSMessage echoed;  // the request's pid, gid and sid, which a reply that names them must match
    QPromise<Outcome> promise;
  };

  QCoro::Task<HEOSResponse> perform(const std::string& line, double timeout);
  QFuture<void> nextTurn();
  void finishTurn();
  void startOpenTimer(double timeout);
  void startRequestTimer(std::uint64_t id, const std::string& command, double timeout);

  void handleConnected();
  void handleError(QAbstractSocket::SocketError error);
  void readAvailable();
  void handleLine(const QByteArray& line);
  bool matchesWaiting(const HEOSResponse& response) const;
  void complete(std::uint64_t id, Outcome outcome);
  void failWaiting(const HEOSError& error);
  void failOpening(const HEOSError& error);
  void drop(const std::string& reason);
  void recordState(QString state);
  QString diagnostics() const;

  QString host_;
  std::uint16_t port_;
  Scheduler& scheduler_;
  QTcpSocket socket_;
  QByteArray buffer_;
  std::optional<QPromise<std::optional<HEOSError>>> opening_;
  bool isOpen_ = false;
  bool isClosed_ = false;
  std::optional<Waiting> waiting_;
  std::uint64_t nextID_ = 0;
  bool busy_ = false;                     // a request holds the turn
  std::deque<QPromise<void>> turns_;      // requests waiting for theirs, in call order
  std::vector<QString> states_;           // every connection state seen, for the open-timeout text
  CancellationSource timers_;             // ends the time-limit waits when the socket goes
};

/// Owns a socket: closes it at once and deletes it when control is back in the event loop, since
/// the socket may be the one whose signal led here.
struct HEOSSocketCloser {
  void operator()(HEOSSocket* socket) const {
    socket->close();
    socket->deleteLater();
  }
};
using HEOSSocketHandle = std::unique_ptr<HEOSSocket, HEOSSocketCloser>;

}  // namespace kovali
