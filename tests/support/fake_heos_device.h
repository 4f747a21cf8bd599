#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "heos/heos_message.h"

namespace kovali {

/// A HEOS device on a loopback address for tests: it reads command lines, records them, answers
/// from a model the test fills in, pushes change events to the connections that registered for
/// them, and misbehaves on request. Waits run the event loop and give up after a generous time.
class FakeHEOSDevice : public QObject {
  Q_OBJECT

 public:
  struct Player {
    std::int64_t pid = 0;
    std::string name;
    std::string model = "HEOS 1";
    std::optional<std::int64_t> gid{};
    std::string ip{};
    std::string serial = "SERIAL";  // empty for a secondary zone
    std::string state = "stop";
    std::int64_t volume = 20;
    std::string mid{};  // what it plays; empty for nothing
  };
  struct Group {
    std::int64_t gid = 0;  // the leader's pid
    std::string name{};
    std::vector<std::int64_t> players{};
    std::int64_t volume = 30;
  };
  struct BrowseItem {
    std::string name;
    std::string mid;
  };
  /// What goes wrong with one command.
  struct Fault {
    std::optional<std::string> error{};  // answer with result fail and this message ("eid=2&text=…")
    int delayMs = 0;                   // answer this much later
    bool noAnswer = false;
    bool interim = false;              // a "command under process" notice first
    bool split = false;                // the reply in two writes
    std::vector<std::string> junkBefore{};  // lines sent before the reply
  };
  /// One command line the device read.
  struct Received {
    int connection = 0;  // 1 for the first connection accepted
    double at = 0;       // seconds since the device was made
    std::string line;
    std::string command;
    HEOSMessage parameters;
  };

  explicit FakeHEOSDevice(QHostAddress address = QHostAddress::LocalHost, std::uint16_t port = 0);
  ~FakeHEOSDevice() override;

  /// Listens on the address and the port given, or on the one it had before.
  [[nodiscard]] bool listen();
  void stopListening();
  std::uint16_t port() const { return requestedPort_; }
  QString address() const { return server_.serverAddress().toString(); }

  /// Sends `command` with `message` to every connection that registered for change events.
  void pushEvent(const std::string& command, const std::string& message);
  /// Sends bytes as they are to connection `connection` (1-based).
  void sendRaw(int connection, const QByteArray& bytes);
  /// Writes every reply held while `holdReplies` was set, in one write per connection.
  void flush();
  void closeConnections();
  int connectionCount() const { return static_cast<int>(connections_.size()); }

  /// The commands read so far with that name.
  std::vector<Received> commandsNamed(const std::string& command) const;
  /// The lines read so far, in order.
  std::vector<std::string> lines() const;
  [[nodiscard]] bool waitForCommands(std::size_t count, int timeoutMs = 10'000) const;
  [[nodiscard]] bool waitForConnections(int count, int timeoutMs = 10'000) const;

  // The model and the faults; the test sets them before or between commands.
  std::vector<Player> players;
  std::vector<Group> groups;
  std::map<std::int64_t, std::vector<BrowseItem>> sources;  // sid -> what browsing it lists
  std::map<std::string, Fault> faults;                      // by command name
  std::map<std::string, std::string> payloads;  // by command name: a payload (JSON) sent instead of the model's
  int closeAfterCommands = -1;  // a connection is closed after it read this many commands
  bool refuseConnections = false;  // accepted connections are closed at once
  bool holdReplies = false;     // replies wait for `flush()`, so several arrive in one read

  std::vector<Received> received;

 private:
  struct Connection {
    int number = 0;
    QPointer<QTcpSocket> socket;
    QByteArray buffer;
    QByteArray held;
    int commands = 0;
    bool events = false;
  };
  struct Reply {
    std::string message;
    std::optional<std::string> payload;  // JSON text
    bool failed = false;
  };

  void accept();
  void read(Connection& connection);
  void handle(Connection& connection, const std::string& line);
  void send(Connection& connection, const std::string& command, const Fault& fault, const Reply& reply);
  void write(int number, const QByteArray& bytes);
  Connection* find(int number);
  Reply answer(const std::string& command, const HEOSMessage& parameters);
  Reply setGroup(const std::string& pids);
  Player* player(std::int64_t pid);
  Group* group(std::int64_t gid);

  QHostAddress address_;
  std::uint16_t requestedPort_;
  QTcpServer server_;
  std::vector<Connection> connections_;
  QElapsedTimer clock_;
};

/// The reply line a HEOS device sends: "heos" with command, result and message, and a payload
/// (JSON text) when given.
std::string heosReplyLine(const std::string& command, const std::string& message, bool succeeded = true,
                          const std::optional<std::string>& payload = std::nullopt);

}  // namespace kovali
