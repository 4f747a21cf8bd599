#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "platform/bonjour/service_advertiser.h"
#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/scheduler.h"
#include "protocol/command.h"
#include "protocol/envelope.h"
#include "protocol/event.h"
#include "server/connection_budget.h"
#include "server/connection_id.h"
#include "server/guest_limits.h"
#include "server/artwork_responder.h"
#include "server/host_server_status.h"
#include "server/incoming_pool.h"
#include "server/parties_in_flight.h"
#include "server/outgoing_event.h"

namespace kovali {

class GuestConnection;
class RequestHead;

/// The guest connection server: a WebSocket listener on a port the system picks, advertised over
/// Bonjour, with one connection per phone. It knows nothing of sessions: each message becomes one
/// decoded envelope for its owner, and the owner sends events back by connection id. A failing
/// listener (or advertisement) is replaced after a growing pause, on the same port where it is
/// free; open connections stay.
///
/// Everything, socket I/O included, runs on the thread that owns the server (the main thread).
class HostServer final : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::HostServerStatus status READ status NOTIFY statusChanged)
  Q_PROPERTY(std::optional<std::string> advertisedName READ advertisedName NOTIFY advertisedNameChanged)
  Q_PROPERTY(int connectionCount READ connectionCount NOTIFY connectionCountChanged)

 public:
  using Status = HostServerStatus;
  using ConnectionID = kovali::ConnectionID;
  using TXTPairs = std::map<std::string, std::string>;

  /// The largest message a phone may send; a larger one closes its connection (close code 1009).
  static constexpr std::int64_t maxMessageBytes = GuestLimits::maxIncomingMessageBytes;
  /// Connection attempts the system holds for the listener before it takes them: a festival's
  /// phones all at once (the system caps it at net.core.somaxconn, 4096 on Debian 12).
  static constexpr int listenBacklog = 2048;
  /// Connections (WebSockets and cover art requests) from one address; more are closed at once.
  static constexpr std::size_t maxConnectionsPerAddress = 16;
  /// A WebSocket that has sent no hello this long after its handshake is closed.
  static constexpr double helloSeconds = 10;

  /// How many connections the port holds in all with `descriptors` open files allowed: what
  /// the host's own files, devices and threads leave, at most 4,096.
  static std::size_t connectionLimit(std::size_t descriptors);

  /// Listens on `address` (any interface in the app, loopback in tests) once started.
  HostServer(Scheduler& scheduler, std::unique_ptr<ServiceAdvertiser> advertiser, QHostAddress address,
             QObject* parent = nullptr);

  const Status& status() const { return status_; }
  /// The name the service is registered under, which differs from `serviceName` after a name
  /// conflict; none while not registered.
  const std::optional<std::string>& advertisedName() const { return advertisedName_; }
  int connectionCount() const { return connectionCount_; }

  /// Listens and advertises; the status becomes ready once the service is registered.
  void start();
  /// Closes every connection (each reported through `connectionEnded`), drops the listener and
  /// any pending restart.
  void stop();

  /// The Bonjour instance name and the session id; they take effect at the next start or TXT update.
  const std::string& serviceName() const { return serviceName_; }
  void setServiceName(std::string name) { serviceName_ = std::move(name); }
  const std::string& sessionID() const { return sessionID_; }
  void setSessionID(std::string id) { sessionID_ = std::move(id); }
  /// Further TXT pairs; a change is published at once while a listener runs.
  void setExtraTXT(TXTPairs pairs);
  /// Replaces `maxConnectionsPerAddress` before start, for load tools whose many phones all
  /// come from one loopback address.
  void setConnectionsPerAddress(std::size_t count) { budget_ = ConnectionBudget(count, budget_.total()); }
  /// Replaces `GuestLimits::oldPartiesBytes`, for tests whose parties are small.
  void setOldPartiesBudget(qint64 bytes) { parties_->setBudget(bytes); }
  /// Replaces `GuestLimits::oldPartiesCeilingBytes`, likewise.
  void setOldPartiesCeiling(qint64 bytes) { parties_->setCeiling(bytes); }

  /// Where the cover art requested on the guests' port comes from (see ArtworkResponder).
  void setArtworkLookup(ArtworkResponder::Lookup lookup) { artwork_.setLookup(std::move(lookup)); }
  /// The name in the artwork address: this computer's mDNS name unless set (tests use 127.0.0.1).
  void setHTTPHostName(std::string name) { httpHostName_ = std::move(name); }
  /// "http://<host name>:<port>" while a listener runs, where phones fetch cover art; else none.
  std::optional<std::string> artworkAddress() const;
  /// "http://127.0.0.1:<port>" while a listener runs: where this computer fetches the same art
  /// without resolving its own name; else none.
  std::optional<std::string> loopbackArtworkAddress() const;

  /// Sends `event` as one envelope with a fresh id; `completion` runs once the connection has
  /// taken it (a close after it still sends it first). A state that answers nothing replaces an
  /// older such state the phone has not been sent yet. An id that is no longer connected gets
  /// nothing, and no completion runs; an event that cannot be encoded is logged and goes nowhere.
  void send(const vinaro::Event& event, ConnectionID to, std::optional<std::string> replyTo = std::nullopt,
            std::function<void()> completion = {});
  /// As above, for an event made ready once for many phones.
  void send(const OutgoingEvent& event, ConnectionID to, const std::optional<std::string>& replyTo = std::nullopt,
            std::function<void()> completion = {});
  /// Bytes sent to a connection that the system has not taken yet, as they go on the wire (a newer
  /// state that answers nothing replaces an older one still waiting); nothing once it has left the
  /// table. A connection that a message would take past `GuestLimits::maxUnsentBytes` beyond
  /// its party is dropped at once and reported through `connectionEnded`.
  std::optional<qint64> unsentBytes(ConnectionID id) const;
  /// The address a connection comes from; nothing once it has left the table.
  std::optional<QHostAddress> peerAddress(ConnectionID id) const;
  /// Whether a connection is the DJ's: what it is sent goes first, and the old parties' ceiling
  /// never lets it go (see `GuestConnection::setDJ`).
  void setDJ(ConnectionID id, bool dj);
  bool isDJ(ConnectionID id) const;
  /// Closes the connection behind what is already queued, then removes it.
  void close(ConnectionID id);
  /// Takes the connection out of the table and reports it through `connectionEnded`, once.
  void remove(ConnectionID id);

 signals:
  /// Every decoded guest message.
  void messageReceived(kovali::ConnectionID connection, const vinaro::Envelope<vinaro::Command>& envelope);
  /// A connection left the table.
  void connectionEnded(kovali::ConnectionID connection);
  void statusChanged();
  /// The port came or went, and with it the cover art's address, known before the service registers.
  void listeningChanged();
  void advertisedNameChanged();
  void connectionCountChanged();

 private:
  void listenerFailed(const std::string& message);
  void dropListener();
  void registered(const std::string& name);
  /// Sorts what `port` accepts, and follows its accept errors.
  void servePort(QTcpServer& port);
  /// Pauses accepting after a failed accept and takes the socket up again once it can.
  void acceptFailed(QTcpServer& port);
  /// Counts `socket` against the connection budget until its connection ends; false, counting
  /// nothing, when its address or the port is full.
  bool admit(QTcpSocket& socket);
  void helloMissed(ConnectionID id);
  /// Hands each new socket on once its first request shows whether it is a WebSocket.
  void sort(QTcpServer& port);
  /// Answers the WebSocket handshake whose request `head` came on `socket` and takes the phone in.
  void accept(QTcpSocket* socket, const QByteArray& head);
  std::uint16_t listeningPort() const;
  void handle(const QByteArray& bytes, ConnectionID id);
  /// Drops a connection whose phone stopped reading.
  void dropStalled(ConnectionID id, qint64 unsent);
  /// Lets go of the phones not reading that alone keep the most old parties alive, until they
  /// cost no more than `GuestLimits::oldPartiesBytes` or every phone left holding one reads on;
  /// then, past `GuestLimits::oldPartiesCeilingBytes`, of those that cost the most to keep.
  void letGoOfOldParties();
  /// Decodes and hands on one message; `type` becomes its command type once decoded.
  void receive(const QByteArray& bytes, ConnectionID id, std::string& type);
  void messageFailed(ConnectionID id, const std::string& type, const char* what);
  ServiceRecord serviceRecord() const;
  TXTRecord makeTXTRecord() const;

  void setStatus(Status status);
  void setAdvertisedName(std::optional<std::string> name);
  void updateConnectionCount();

  Scheduler& scheduler_;
  std::unique_ptr<ServiceAdvertiser> advertiser_;
  QHostAddress address_;

  Status status_;
  std::optional<std::string> advertisedName_;
  int connectionCount_ = 0;

  std::unique_ptr<QTcpServer> port_;  // the phones' WebSockets and artwork_'s requests
  int listenerGeneration_ = 0;        // which listener a request under way came to
  std::vector<QPointer<RequestHead>> headsUnderWay_;
  ArtworkResponder artwork_;
  std::string httpHostName_;
  CancellableTask restartTask_;
  CancellableTask acceptRetryTask_;
  int failures_ = 0;
  std::uint16_t restartPort_ = 0;  // the failed listener's port, tried first by the restart
  std::map<ConnectionID, GuestConnection*> connections_;
  ConnectionBudget budget_;
  std::shared_ptr<IncomingPool> incoming_ = std::make_shared<IncomingPool>(GuestLimits::incomingPoolBytes);
  std::shared_ptr<PartiesInFlight> parties_ = std::make_shared<PartiesInFlight>(GuestLimits::oldPartiesBytes, scheduler_);
  std::int64_t nextID_ = 0;
  std::string serviceName_;
  std::string sessionID_;
  TXTPairs extraTXT_;
};

}  // namespace kovali
