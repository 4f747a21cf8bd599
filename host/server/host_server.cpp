#include "server/host_server.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <variant>

#include <QHostInfo>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "platform/runtime/listening_socket.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/open_file_limit.h"
#include "platform/runtime/set_if_changed.h"
#include "protocol/bonjour.h"
#include "protocol/command_limits.h"
#include "protocol/message_codec.h"
#include "protocol/uuid.h"
#include "server/guest_connection.h"
#include "server/request_head.h"
#include "server/websocket_handshake.h"

namespace kovali {

namespace {

/// Status texts are whole sentences, but socket error strings come without the full stop.
std::string asSentence(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.empty()) return "The listener failed.";
  if (text.back() != '.' && text.back() != '!' && text.back() != '?') text += '.';
  return text;
}

/// Why a phone is let go for the old parties it holds, as the log says it.
QString letGoReason(PartiesInFlight::Why why) {
  switch (why) {
    case PartiesInFlight::Why::notReading:
      return QStringLiteral("not reading its old parties");
    case PartiesInFlight::Why::tooSlow:
      return QStringLiteral("too slow to keep up with its oldest party");
    case PartiesInFlight::Why::pastCeiling:
      return QStringLiteral("the old parties are past their ceiling and it keeps the one that costs the most");
  }
  return {};
}

/// 1, 2, 4, 8, 16, then 30 seconds for every later consecutive failure.
int restartDelaySeconds(int failures) { return std::min(1 << std::min(failures - 1, 5), 30); }

void setTXT(TXTRecord& txt, const std::string& key, const std::string& value) {
  const auto existing = std::find_if(txt.begin(), txt.end(), [&](const auto& pair) { return pair.first == key; });
  if (existing != txt.end()) {
    existing->second = value;
  } else {
    txt.emplace_back(key, value);
  }
}

}  // namespace

HostServer::HostServer(Scheduler& scheduler, std::unique_ptr<ServiceAdvertiser> advertiser, QHostAddress address,
                       QObject* parent)
    : QObject(parent),
      scheduler_(scheduler),
      advertiser_(std::move(advertiser)),
      address_(std::move(address)),
      httpHostName_(QHostInfo::localHostName().toStdString() + ".local"),
      budget_(maxConnectionsPerAddress, connectionLimit(openFileLimit())) {
  // The advertiser reports only on its latest publication, and every dropped listener
  // withdraws its own; a report while no listener runs is stale all the same.
  connect(advertiser_.get(), &ServiceAdvertiser::registered, this, [this](const std::string& name) {
    if (port_) registered(name);
  });
  connect(advertiser_.get(), &ServiceAdvertiser::failed, this, [this](const AdvertiserError& error) {
    if (port_) listenerFailed(error.message());
  });
  connect(parties_.get(), &PartiesInFlight::budgetExceeded, this, &HostServer::letGoOfOldParties);
}

void HostServer::start() {
  restartTask_.cancel();
  dropListener();  // never two listeners, even if a caller skipped stop()
  setStatus(Status::starting());

  // One port for the phones' WebSockets and the cover art: our own listener sorts the requests.
  auto port = std::make_unique<QTcpServer>();
  // A party's phones come back all at once after a Wi-Fi drop; with the default backlog of 50
  // the rest would wait a second for their connection attempt to be repeated.
  port->setListenBacklogSize(listenBacklog);
  // After a failure the port it had comes first, so that phones which remembered it keep working.
  const bool listening = (restartPort_ != 0 && port->listen(address_, restartPort_)) || port->listen(address_, 0);
  if (!listening) {
    const auto reason = port->errorString().toStdString();
    listenerFailed("Could not create the listener: " + asSentence(reason));
    return;
  }
  servePort(*port);
  port_ = std::move(port);
  qCInfo(lcNet) << "Guest server listening on port" << listeningPort();
  emit listeningChanged();
  advertiser_->publish(serviceRecord());
}

void HostServer::stop() {
  // Taken out first, so that nothing said to `connectionEnded` reaches a closing connection.
  const auto open = std::exchange(connections_, {});
  for (const auto& [id, connection] : open) {
    connection->release();
    emit connectionEnded(id);
  }
  updateConnectionCount();
  restartTask_.cancel();
  failures_ = 0;
  restartPort_ = 0;
  dropListener();
  setAdvertisedName(std::nullopt);
  setStatus(Status::stopped());
}

void HostServer::setExtraTXT(TXTPairs pairs) {
  if (pairs == extraTXT_) return;
  extraTXT_ = std::move(pairs);
  if (port_) advertiser_->publish(serviceRecord());
}

void HostServer::send(const vinaro::Event& event, ConnectionID to, std::optional<std::string> replyTo,
                      std::function<void()> completion) {
  if (!connections_.contains(to)) return;
  if (const auto outgoing = OutgoingEvent::of(event)) send(*outgoing, to, replyTo, std::move(completion));
}

void HostServer::send(const OutgoingEvent& event, ConnectionID to, const std::optional<std::string>& replyTo,
                      std::function<void()> completion) {
  const auto found = connections_.find(to);
  if (found == connections_.end()) return;
  using Kind = GuestConnection::Kind;
  // A whole party is never counted against what a phone may leave unread; a state that answers
  // nothing is one a phone behind on its reading can skip to the newest of.
  const bool state = event.type() == vinaro::EncodedEvent::typeOf<vinaro::SessionState>() ||
                     event.type() == vinaro::EncodedEvent::typeOf<vinaro::Event::Welcome>();
  const Kind kind = !state ? Kind::ordinary : replyTo ? Kind::state : Kind::latestState;
  const std::string id = vinaro::makeUUIDString();
  // A failed send shows as the connection ending; the completion runs either way.
  found->second->send({event.head(id), event.payload(), event.tail(replyTo), kind, FrameOpcode::text, event.rest()});
  if (completion) QMetaObject::invokeMethod(this, std::move(completion), Qt::QueuedConnection);
}

std::optional<qint64> HostServer::unsentBytes(ConnectionID id) const {
  const auto found = connections_.find(id);
  if (found == connections_.end()) return std::nullopt;
  return found->second->unsentBytes();
}

std::optional<QHostAddress> HostServer::peerAddress(ConnectionID id) const {
  const auto found = connections_.find(id);
  if (found == connections_.end()) return std::nullopt;
  return found->second->peerAddress();
}

void HostServer::setDJ(ConnectionID id, bool dj) {
  if (const auto found = connections_.find(id); found != connections_.end()) found->second->setDJ(dj);
}

bool HostServer::isDJ(ConnectionID id) const {
  const auto found = connections_.find(id);
  return found != connections_.end() && found->second->isDJ();
}

void HostServer::close(ConnectionID id) {
  if (const auto found = connections_.find(id); found != connections_.end()) found->second->close();
  remove(id);
}

void HostServer::remove(ConnectionID id) {
  const auto found = connections_.find(id);
  if (found == connections_.end()) return;
  GuestConnection* connection = found->second;
  connections_.erase(found);
  connection->release();
  updateConnectionCount();
  qCDebug(lcNet).noquote() << "Guest connection" << QString::fromStdString(id.text()) << "left";
  emit connectionEnded(id);
}

void HostServer::dropStalled(ConnectionID id, qint64 unsent) {
  const auto found = connections_.find(id);
  if (found == connections_.end()) return;
  found->second->sayWhyItEnds(QStringLiteral("is let go: behind on answers, %1 MiB would wait unsent")
                                  .arg(static_cast<double>(unsent) / (1 << 20), 0, 'f', 1));
  found->second->abort();  // its end takes it out of the table
  remove(id);
}

void HostServer::letGoOfOldParties() {
  // Phones reading slowly take bytes long before their sockets are asked for more.
  for (const auto& [id, connection] : connections_) connection->countParties();
  while (const auto named = parties_->overBudget() ? parties_->heaviest() : std::nullopt) {
    const double kept = static_cast<double>(parties_->oldBytes()) / (1 << 20);
    for (GuestConnection* holder : named->holders) {
      holder->sayWhyItEnds(
          QStringLiteral("is let go: %1, with %2 MiB of old parties kept").arg(letGoReason(named->why)).arg(kept, 0, 'f', 1));
      // No close frame can follow the half-sent party, and waiting for it would keep what this frees.
      holder->abort();
      const auto found = std::find_if(connections_.begin(), connections_.end(),
                                      [&](const auto& entry) { return entry.second == holder; });
      if (found != connections_.end()) remove(found->first);  // else it has left the table already
    }
  }
}

void HostServer::listenerFailed(const std::string& message) {
  if (port_) restartPort_ = listeningPort();
  dropListener();
  setAdvertisedName(std::nullopt);
  ++failures_;
  const int delay = restartDelaySeconds(failures_);
  const auto text = asSentence(message) + " Retrying automatically.";
  qCWarning(lcNet).noquote() << "Guest server failed:" << QString::fromStdString(text) << "Next try in" << delay
                             << "s.";
  setStatus(Status::failed(text));
  restartTask_.start([this, self = QPointer<HostServer>(this), delay](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(delay, token);
    if (token.isCancelled() || !self) co_return;
    start();
  });
}

void HostServer::servePort(QTcpServer& port) {
  connect(&port, &QTcpServer::newConnection, this, [this, &port] { sort(port); });
  connect(&port, &QTcpServer::acceptError, this, [this, &port] { acceptFailed(port); });
}

void HostServer::acceptFailed(QTcpServer& port) {
  // Out of descriptors (or memory) clears once connections close; the port phones know stays.
  port.pauseAccepting();
  if (&port != port_.get()) return;
  qCWarning(lcNet).noquote() << "The guest server cannot accept connections for now:" << port.errorString()
                             << "- it tries again every second";
  acceptRetryTask_.start([this, self = QPointer<HostServer>(this)](CancellationToken token) -> QCoro::Task<> {
    while (true) {
      co_await scheduler_.sleep(1, token);
      if (token.isCancelled() || !self || !port_) co_return;
      if (QTcpServer* fresh = takeOverListeningSocket(*port_, nullptr)) {
        std::unique_ptr<QTcpServer> old = std::exchange(port_, std::unique_ptr<QTcpServer>(fresh));
        servePort(*fresh);
        old->close();
        old.release()->deleteLater();  // this may run inside one of its own signals
        co_return;
      }
    }
  });
}

void HostServer::dropListener() {
  acceptRetryTask_.cancel();
  ++listenerGeneration_;  // requests under way came to the listener that goes
  for (const auto& head : std::exchange(headsUnderWay_, {})) {
    if (head) head->abandon();
  }
  if (!port_) return;
  port_->close();  // the port is free at once
  port_.release()->deleteLater();  // this may run inside one of its own signals
  advertiser_->withdraw();
  emit listeningChanged();
}

std::uint16_t HostServer::listeningPort() const { return port_ ? port_->serverPort() : std::uint16_t{0}; }

std::optional<std::string> HostServer::artworkAddress() const {
  if (!port_) return std::nullopt;
  return "http://" + httpHostName_ + ":" + std::to_string(listeningPort());
}

std::optional<std::string> HostServer::loopbackArtworkAddress() const {
  if (!port_) return std::nullopt;
  return "http://127.0.0.1:" + std::to_string(listeningPort());
}

std::size_t HostServer::connectionLimit(std::size_t descriptors) {
  constexpr std::size_t keptForTheHost = 256;
  constexpr std::size_t fewest = 16, most = 4096;
  if (descriptors <= keptForTheHost + fewest) return fewest;
  return std::min(descriptors - keptForTheHost, most);
}

bool HostServer::admit(QTcpSocket& socket) {
  const std::string address = socket.peerAddress().toString().toStdString();
  if (!budget_.take(address)) return false;
  // However the connection ends, and whoever holds its socket then.
  auto givenBack = std::make_shared<bool>(false);
  const auto giveBack = [this, address, givenBack] {
    if (!std::exchange(*givenBack, true)) budget_.giveBack(address);
  };
  connect(&socket, &QAbstractSocket::disconnected, this, giveBack);
  connect(&socket, &QObject::destroyed, this, giveBack);
  return true;
}

void HostServer::sort(QTcpServer& port) {
  while (QTcpSocket* socket = port.nextPendingConnection()) {
    socket->setParent(nullptr);  // upgraded connections outlive the listener that took them
    if (!admit(*socket)) {
      // Refused at once rather than at the cost of the phones already in.
      qCDebug(lcNet).noquote() << "Connection from" << socket->peerAddress().toString()
                               << "refused: too many connections";
      socket->abort();
      socket->deleteLater();
      continue;
    }
    auto* head = new RequestHead(socket);
    std::erase_if(headsUnderWay_, [](const auto& underWay) { return underWay.isNull(); });
    headsUnderWay_.emplace_back(head);
    connect(head, &RequestHead::upgradeArrived, this,
            [this, generation = listenerGeneration_](QTcpSocket* upgraded, const QByteArray& request) {
              if (generation == listenerGeneration_) {
                accept(upgraded, request);
              } else {
                upgraded->abort();  // no one would read it
                upgraded->deleteLater();
              }
            });
    connect(head, &RequestHead::requestArrived, &artwork_, &ArtworkResponder::respond);
  }
}

void HostServer::registered(const std::string& name) {
  qCInfo(lcNet).noquote() << "Guest server advertised as" << QString::fromStdString(name);
  setAdvertisedName(name);
  failures_ = 0;
  setStatus(Status::ready(listeningPort()));
}

void HostServer::accept(QTcpSocket* socket, const QByteArray& head) {
  const auto answer = websocketHandshakeAnswer(std::string_view(head.constData(), static_cast<std::size_t>(head.size())));
  if (const auto* refusal = std::get_if<HandshakeRefusal>(&answer)) {
    qCDebug(lcNet).noquote() << "A WebSocket handshake from" << socket->peerAddress().toString()
                             << "was refused:" << refusal->reason;
    ArtworkResponder::refuse(socket, refusal->status, refusal->headers);
    return;
  }
  socket->write(std::get<QByteArray>(answer));
  // A small event behind a larger one would otherwise wait for the phone's delayed
  // acknowledgement, tens of milliseconds.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // What one turn of the event loop takes in from a phone stays small, so a flood from some
  // phones does not keep the others waiting.
  socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 16 << 10);
  const ConnectionID id{++nextID_};
  auto* connection = new GuestConnection(socket, id, incoming_, parties_, scheduler_, this);
  connect(connection, &GuestConnection::messageReceived, this,
          [this, id](const QByteArray& bytes) { handle(bytes, id); });
  connect(connection, &GuestConnection::ended, this, [this, id] { remove(id); });
  connect(connection, &GuestConnection::stalled, this, [this, id](qint64 unsent) { dropStalled(id, unsent); });
  connect(connection, &GuestConnection::greetingMissed, this, [this, id] { helloMissed(id); });
  connection->expectGreeting(helloSeconds);
  connections_.emplace(id, connection);
  updateConnectionCount();
  qCDebug(lcNet).noquote() << "Guest connection" << QString::fromStdString(id.text()) << "from"
                           << socket->peerAddress().toString();
}

void HostServer::helloMissed(ConnectionID id) {
  qCInfo(lcNet, "Guest connection %s sent no hello within %.0f s; closing it.", id.text().c_str(), helloSeconds);
  close(id);
}

void HostServer::handle(const QByteArray& bytes, ConnectionID id) {
  // The one guard for a phone's message: whatever fails in it ends that phone's connection,
  // never the host and the other phones' party.
  std::string type = "unreadable";
  try {
    receive(bytes, id, type);
  } catch (const std::exception& error) {
    messageFailed(id, type, error.what());
  } catch (...) {
    messageFailed(id, type, "an unknown exception");
  }
}

void HostServer::receive(const QByteArray& bytes, ConnectionID id, std::string& type) {
  if (bytes.isEmpty()) return;
  const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  auto envelope = vinaro::MessageCodec::decode<vinaro::Command>(text);
  if (envelope) {
    type = envelope.value().body.type();
    if (std::holds_alternative<vinaro::Command::Hello>(envelope.value().body.payload)) {
      if (const auto found = connections_.find(id); found != connections_.end()) found->second->greeted();
    }
    if (auto refusal = vinaro::CommandLimits::refusal(envelope.value().body)) {
      send({std::move(*refusal)}, id, envelope.value().id);
      return;
    }
    emit messageReceived(id, envelope.value());
    return;
  }

  const auto& error = envelope.error();
  std::optional<std::string> replyTo;
  if (const auto header = vinaro::MessageCodec::header(text)) replyTo = header->id;
  if (error.code == vinaro::ProtocolError::Code::unsupportedVersion) {
    qCInfo(lcNet).noquote() << "Guest connection" << QString::fromStdString(id.text())
                            << "refused: unsupported protocol version";
    // The phone gets to read why before the connection goes.
    send({error}, id, std::move(replyTo), [this, id] { close(id); });
  } else {
    send({error}, id, std::move(replyTo));
  }
}

void HostServer::messageFailed(ConnectionID id, const std::string& type, const char* what) {
  qCCritical(lcNet).noquote() << "A" << QString::fromStdString(type) << "message from guest connection"
                              << QString::fromStdString(id.text()) << "failed with" << what
                              << "- closing that connection";
  close(id);
}

ServiceRecord HostServer::serviceRecord() const {
  return ServiceRecord{
      .name = serviceName_,
      .type = std::string(vinaro::Bonjour::serviceType),
      .port = listeningPort(),
      .txt = makeTXTRecord(),
  };
}

TXTRecord HostServer::makeTXTRecord() const {
  TXTRecord txt;
  setTXT(txt, std::string(vinaro::Bonjour::TXTKey::session), sessionID_);
  setTXT(txt, std::string(vinaro::Bonjour::TXTKey::version), std::to_string(vinaro::ProtocolVersion::current));
  for (const auto& [key, value] : extraTXT_) setTXT(txt, key, value);
  return txt;
}

void HostServer::setStatus(Status status) {
  if (setIfChanged(status_, std::move(status))) emit statusChanged();
}

void HostServer::setAdvertisedName(std::optional<std::string> name) {
  if (setIfChanged(advertisedName_, std::move(name))) emit advertisedNameChanged();
}

void HostServer::updateConnectionCount() {
  if (setIfChanged(connectionCount_, static_cast<int>(connections_.size()))) emit connectionCountChanged();
}

}  // namespace kovali
