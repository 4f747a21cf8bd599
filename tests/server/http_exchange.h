#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QTcpSocket>
#include <QTest>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/guest_client.h"

namespace kovali {

/// What came back for a request, read until the host closed the connection or switched it to a
/// WebSocket.
struct HTTPAnswer {
  QByteArray bytes;
  bool closed = false;

  int status() const { return bytes.mid(9, 3).toInt(); }
  QByteArray body() const { return bytes.mid(bytes.indexOf("\r\n\r\n") + 4); }
  QByteArray header(const QByteArray& name) const {
    for (const QByteArray& line : bytes.left(bytes.indexOf("\r\n\r\n")).split('\n')) {
      if (line.toLower().startsWith(name.toLower() + ':')) return line.mid(name.size() + 1).trimmed();
    }
    return {};
  }
  bool switched() const { return bytes.startsWith("HTTP/1.1 101 ") && bytes.contains("\r\n\r\n"); }
};

/// Sends each of `requests` to 127.0.0.1:`port` on a connection of its own, all before waiting
/// for any answer; answers what came back on each, or nothing when a connection failed.
inline std::vector<HTTPAnswer> exchangeAll(std::uint16_t port, const std::vector<QByteArray>& requests) {
  std::vector<std::unique_ptr<QTcpSocket>> sockets;
  std::vector<HTTPAnswer> answers(requests.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    QTcpSocket& socket = *sockets.emplace_back(std::make_unique<QTcpSocket>());
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    if (!socket.waitForConnected(GuestClient::timeoutMs)) return {};
    QObject::connect(&socket, &QTcpSocket::readyRead,
                     [&socket, &answer = answers[i]] { answer.bytes += socket.readAll(); });
    // Written in pieces, as a slow or hostile client would; the host may close before the end.
    const QByteArray& request = requests[i];
    for (qsizetype at = 0; at < request.size() && socket.state() == QAbstractSocket::ConnectedState; at += 65536) {
      socket.write(request.mid(at, 65536));
      socket.waitForBytesWritten(1000);
      QCoreApplication::processEvents();
    }
  }
  const auto done = [&](std::size_t i) {
    return sockets[i]->state() == QAbstractSocket::UnconnectedState || answers[i].switched();
  };
  (void)QTest::qWaitFor(
      [&] {
        for (std::size_t i = 0; i < answers.size(); ++i) {
          if (!done(i)) return false;
        }
        return true;
      },
      GuestClient::timeoutMs);
  for (std::size_t i = 0; i < answers.size(); ++i) {
    answers[i].closed = sockets[i]->state() == QAbstractSocket::UnconnectedState;
    answers[i].bytes += sockets[i]->readAll();
  }
  return answers;
}

inline HTTPAnswer exchange(std::uint16_t port, const QByteArray& request) {
  const auto answers = exchangeAll(port, {request});
  return answers.empty() ? HTTPAnswer{} : answers.front();
}

}  // namespace kovali
