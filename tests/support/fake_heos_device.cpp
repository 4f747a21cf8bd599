#include "support/fake_heos_device.h"

#include <algorithm>

#include <QTest>
#include <QTimer>
#include <nlohmann/json.hpp>

namespace kovali {

std::string heosReplyLine(const std::string& command, const std::string& message, bool succeeded,
                          const std::optional<std::string>& payload) {
  nlohmann::json line;
  line["heos"] = {{"command", command}, {"result", succeeded ? "success" : "fail"}, {"message", message}};
  if (payload) line["payload"] = nlohmann::json::parse(*payload);
  return line.dump();
}

FakeHEOSDevice::FakeHEOSDevice(QHostAddress address, std::uint16_t port)
    : address_(std::move(address)), requestedPort_(port) {
  clock_.start();
  connect(&server_, &QTcpServer::newConnection, this, &FakeHEOSDevice::accept);
}

FakeHEOSDevice::~FakeHEOSDevice() {
  for (auto& connection : connections_) {
    if (connection.socket) connection.socket->disconnect(this);
  }
}

bool FakeHEOSDevice::listen() {
  if (!server_.listen(address_, requestedPort_)) return false;
  requestedPort_ = server_.serverPort();  // listening again takes the same port
  return true;
}

void FakeHEOSDevice::stopListening() { server_.close(); }

void FakeHEOSDevice::accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    socket->setParent(this);
    if (refuseConnections) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const int number = static_cast<int>(connections_.size()) + 1;
    connections_.push_back(Connection{number, socket, {}, {}, 0, false});
    connect(socket, &QIODevice::readyRead, this, [this, number] {
      if (auto* connection = find(number)) read(*connection);
    });
  }
}

FakeHEOSDevice::Connection* FakeHEOSDevice::find(int number) {
  if (number < 1 || number > connectionCount()) return nullptr;
  auto& connection = connections_[static_cast<std::size_t>(number - 1)];
  return connection.socket ? &connection : nullptr;
}

void FakeHEOSDevice::read(Connection& connection) {
  connection.buffer += connection.socket->readAll();
  const int number = connection.number;
  for (;;) {
    // `handle` may close connections; look the connection up again each time.
    Connection* current = find(number);
    if (!current) return;
    const auto end = current->buffer.indexOf("\r\n");
    if (end < 0) return;
    const std::string line = current->buffer.left(end).toStdString();
    current->buffer.remove(0, end + 2);
    handle(*current, line);
  }
}

void FakeHEOSDevice::handle(Connection& connection, const std::string& line) {
  std::string rest = line.starts_with("heos://") ? line.substr(7) : line;
  const auto query = rest.find('?');
  const std::string command = rest.substr(0, query);
  const HEOSMessage parameters = query == std::string::npos ? HEOSMessage{} : parseHEOSMessage(rest.substr(query + 1));
  received.push_back({connection.number, clock_.elapsed() / 1000.0, line, command, parameters});
  ++connection.commands;

  if (command == "system/register_for_change_events") connection.events = parameters.count("enable") && parameters.at("enable") == "on";
  const auto fault = faults.find(command);
  const Fault noFault;
  const Fault& applied = fault != faults.end() ? fault->second : noFault;
  if (!applied.noAnswer) {
    Reply reply = applied.error ? Reply{*applied.error, std::nullopt, true} : answer(command, parameters);
    if (const auto payload = payloads.find(command); payload != payloads.end()) reply.payload = payload->second;
    send(connection, command, applied, reply);
  }
  if (closeAfterCommands >= 0 && connection.commands >= closeAfterCommands) {
    connection.socket->disconnectFromHost();
  }
}

void FakeHEOSDevice::send(Connection& connection, const std::string& command, const Fault& fault, const Reply& reply) {
  QByteArray bytes;
  for (const auto& junk : fault.junkBefore) bytes += QByteArray::fromStdString(junk) + "\r\n";
  if (fault.interim) bytes += QByteArray::fromStdString(heosReplyLine(command, "command under process")) + "\r\n";
  bytes += QByteArray::fromStdString(heosReplyLine(command, reply.message, !reply.failed, reply.payload)) + "\r\n";

  const int number = connection.number;
  const auto deliver = [this, number, bytes, split = fault.split] {
    if (!split) return write(number, bytes);
    const auto half = bytes.size() / 2;
    write(number, bytes.left(half));
    QTimer::singleShot(20, this, [this, number, rest = bytes.mid(half)] { write(number, rest); });
  };
  if (fault.delayMs > 0) {
    QTimer::singleShot(fault.delayMs, this, deliver);
  } else {
    deliver();
  }
}

void FakeHEOSDevice::write(int number, const QByteArray& bytes) {
  Connection* connection = find(number);
  if (!connection) return;
  if (holdReplies) {
    connection->held += bytes;
  } else {
    connection->socket->write(bytes);
  }
}

void FakeHEOSDevice::flush() {
  for (auto& connection : connections_) {
    if (connection.socket && !connection.held.isEmpty()) connection.socket->write(std::exchange(connection.held, {}));
  }
}

void FakeHEOSDevice::pushEvent(const std::string& command, const std::string& message) {
  nlohmann::json line;
  line["heos"] = {{"command", command}, {"message", message}};
  for (auto& connection : connections_) {
    if (connection.socket && connection.events) write(connection.number, QByteArray::fromStdString(line.dump()) + "\r\n");
  }
}

void FakeHEOSDevice::sendRaw(int connection, const QByteArray& bytes) {
  if (Connection* found = find(connection)) found->socket->write(bytes);
}

void FakeHEOSDevice::closeConnections() {
  for (auto& connection : connections_) {
    if (connection.socket) connection.socket->disconnectFromHost();
  }
}

std::vector<FakeHEOSDevice::Received> FakeHEOSDevice::commandsNamed(const std::string& command) const {
  std::vector<Received> named;
  std::copy_if(received.begin(), received.end(), std::back_inserter(named),
               [&](const Received& entry) { return entry.command == command; });
  return named;
}

std::vector<std::string> FakeHEOSDevice::lines() const {
  std::vector<std::string> all;
  for (const auto& entry : received) all.push_back(entry.line);
  return all;
}

bool FakeHEOSDevice::waitForCommands(std::size_t count, int timeoutMs) const {
  return QTest::qWaitFor([&] { return received.size() >= count; }, timeoutMs);
}

bool FakeHEOSDevice::waitForConnections(int count, int timeoutMs) const {
  return QTest::qWaitFor([&] { return connectionCount() >= count; }, timeoutMs);
}

}  // namespace kovali
