#include "heos/heos_socket.h"

#include <exception>

#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QPointer>
#include <QStringList>
#include <qcoro/qcorofuture.h>

#include "platform/runtime/logging.h"

namespace kovali {
namespace {

const char* const kNotConnected = "Not connected to HEOS.";
const char* const kClosed = "The HEOS connection was closed.";
const char* const kPeerClosed = "HEOS closed the connection.";
const char* const kGone = "The HEOS connection is gone.";

template <class T>
void resolve(QPromise<T>& promise, T value) {
  promise.addResult(std::move(value));
  promise.finish();
}

/// The command name of a line: without "heos://", cut before its parameters.
std::string commandName(std::string_view line) {
  if (line.starts_with("heos://")) line.remove_prefix(7);
  return std::string(line.substr(0, line.find('?')));
}

/// The pid, gid and sid a request names, which a reply's message may echo.
HEOSMessage echoedParameters(std::string_view line) {
  const auto query = line.find('?');
  HEOSMessage echoed;
  if (query == std::string_view::npos) return echoed;
  for (auto& [name, value] : parseHEOSMessage(line.substr(query + 1))) {
    if (name == "pid" || name == "gid" || name == "sid") echoed.emplace(name, value);
  }
  return echoed;
}

QString stateName(QAbstractSocket::SocketState state) {
  switch (state) {
    case QAbstractSocket::UnconnectedState: return "unconnected";
    case QAbstractSocket::HostLookupState: return "looking up";
    case QAbstractSocket::ConnectingState: return "connecting";
    case QAbstractSocket::ConnectedState: return "ready";
    case QAbstractSocket::BoundState: return "bound";
    case QAbstractSocket::ListeningState: return "listening";
    case QAbstractSocket::ClosingState: return "closing";
  }
  return "unknown";
}

}  // namespace

HEOSSocket::HEOSSocket(QString host, std::uint16_t port, Scheduler& scheduler, QObject* parent)
    : QObject(parent), host_(std::move(host)), port_(port == 0 ? defaultPort : port), scheduler_(scheduler) {
  socket_.setProxy(QNetworkProxy::NoProxy);
  connect(&socket_, &QAbstractSocket::stateChanged, this,
          [this](QAbstractSocket::SocketState state) { recordState(stateName(state)); });
  connect(&socket_, &QAbstractSocket::connected, this, &HEOSSocket::handleConnected);
  connect(&socket_, &QAbstractSocket::errorOccurred, this, &HEOSSocket::handleError);
  connect(&socket_, &QIODevice::readyRead, this, &HEOSSocket::readAvailable);
  connect(&socket_, &QAbstractSocket::disconnected, this, [this] { drop(kPeerClosed); });
}

HEOSSocket::~HEOSSocket() {
  timers_.cancel();
  disconnect(&socket_, nullptr, this, nullptr);
  // Every waiter gets an outcome, so no coroutine waits on a promise that is gone.
  failWaiting(HEOSError::host(kGone));
  failOpening(HEOSError::host(kGone));
  for (auto& turn : std::exchange(turns_, {})) turn.finish();
}

// ---- Opening --------------------------------------------------------------------------------

QCoro::Task<> HEOSSocket::open(double timeout) {
  // A socket is opened once; its owner makes a new one for every attempt.
  if (isOpen_ || isClosed_ || opening_) throw HEOSError::host(kNotConnected);
  QPromise<std::optional<HEOSError>> promise;
  QFuture<std::optional<HEOSError>> opened = promise.future();
  promise.start();
  opening_.emplace(std::move(promise));
  startOpenTimer(timeout);
  socket_.connectToHost(host_, port_);
  const auto failure = co_await opened;
  if (failure) throw *failure;
}

void HEOSSocket::startOpenTimer(double timeout) {
  [](QPointer<HEOSSocket> self, Scheduler& scheduler, double seconds, CancellationToken token) -> QCoro::Task<> {
    co_await scheduler.sleep(seconds, token);
    if (!self || token.isCancelled() || !self->opening_) co_return;
    const auto text = self->host_ + " did not answer (" + self->diagnostics() + ").";
    self->failOpening(HEOSError::host(text.toStdString()));
    self->socket_.abort();
  }(this, scheduler_, timeout, timers_.token());
}

void HEOSSocket::handleConnected() {
  isOpen_ = true;
  socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);  // notices a vanished device
  if (!opening_) return;
  auto opened = std::move(*std::exchange(opening_, std::nullopt));
  resolve(opened, std::optional<HEOSError>{});
}

void HEOSSocket::handleError(QAbstractSocket::SocketError error) {
  recordState("failed: " + socket_.errorString());
  if (isClosed_) return;
  if (!isOpen_) {
    failOpening(HEOSError::host(socket_.errorString().toStdString()));
    socket_.abort();
    return;
  }
  readAvailable();  // what came before the end still counts
  drop(error == QAbstractSocket::RemoteHostClosedError ? kPeerClosed : socket_.errorString().toStdString());
}

void HEOSSocket::recordState(QString state) { states_.push_back(std::move(state)); }

QString HEOSSocket::diagnostics() const {
  QStringList states;
  for (const auto& state : states_) states << state;
  QString text = "states: " + (states.isEmpty() ? QString("none") : states.join(" → "));
  QStringList interfaces;
  for (const auto& interface : QNetworkInterface::allInterfaces()) {
    const auto flags = interface.flags();
    if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)) {
      interfaces << interface.humanReadableName();
    }
  }
  text += interfaces.isEmpty() ? QString("; no path") : "; path up via " + interfaces.join(", ");
  return text;
}

// ---- Requests -------------------------------------------------------------------------------

QCoro::Task<HEOSResponse> HEOSSocket::request(std::string line, double timeout) {
  QPointer<HEOSSocket> self(this);
  if (busy_) {
    co_await nextTurn();
    if (!self) throw HEOSError::host(kGone);
  } else {
    busy_ = true;
  }
  // The turn passes on when this request ends, however it ends.
  struct TurnHolder {
    QPointer<HEOSSocket> socket;
    ~TurnHolder() {
      if (socket) socket->finishTurn();
    }
  } holder{self};

  const HEOSResponse reply = co_await perform(line, timeout);
  if (!reply.succeeded) throw HEOSError::fromMessage(parseHEOSMessage(reply.message));
  co_return reply;
}

QFuture<void> HEOSSocket::nextTurn() {
  auto& turn = turns_.emplace_back();
  turn.start();
  return turn.future();
}

void HEOSSocket::finishTurn() {
  if (turns_.empty()) {
    busy_ = false;
    return;
  }
  QPromise<void> next = std::move(turns_.front());
  turns_.pop_front();
  next.finish();  // the turn goes straight to the next request
}

QCoro::Task<HEOSResponse> HEOSSocket::perform(const std::string& line, double timeout) {
  if (!isOpen_ || isClosed_) throw HEOSError::host(kNotConnected);
  // A line break inside a value would send a second command.
  if (line.find_first_of("\r\n") != std::string::npos) {
    throw HEOSError::host("A HEOS command cannot hold a line break.");
  }
  const std::string command = commandName(line);
  const std::uint64_t id = ++nextID_;
  QPromise<Outcome> promise;
  QFuture<Outcome> answered = promise.future();
  promise.start();
  waiting_.emplace(Waiting{id, command, echoedParameters(line), std::move(promise)});

  const QByteArray bytes = QByteArray::fromStdString(line) + "\r\n";
  if (socket_.write(bytes) != bytes.size()) complete(id, HEOSError::host(socket_.errorString().toStdString()));
  startRequestTimer(id, command, timeout);

  Outcome outcome = co_await answered;
  if (auto* error = std::get_if<HEOSError>(&outcome)) throw std::move(*error);
  co_return std::get<HEOSResponse>(std::move(outcome));
}

void HEOSSocket::startRequestTimer(std::uint64_t id, const std::string& command, double timeout) {
  [](QPointer<HEOSSocket> self, Scheduler& scheduler, double seconds, CancellationToken token, std::uint64_t request,
     std::string name) -> QCoro::Task<> {
    co_await scheduler.sleep(seconds, token);
    if (!self || token.isCancelled()) co_return;
    self->complete(request, HEOSError::host("HEOS did not answer " + name + " in time."));
  }(this, scheduler_, timeout, timers_.token(), id, command);
}

void HEOSSocket::complete(std::uint64_t id, Outcome outcome) {
  if (!waiting_ || waiting_->id != id) return;  // a late timer or send error
  auto finished = std::exchange(waiting_, std::nullopt);
  resolve(finished->promise, std::move(outcome));
}

void HEOSSocket::failWaiting(const HEOSError& error) {
  if (waiting_) complete(waiting_->id, error);
}

void HEOSSocket::failOpening(const HEOSError& error) {
  if (!opening_) return;
  auto failed = std::move(*std::exchange(opening_, std::nullopt));
  resolve(failed, std::optional<HEOSError>(error));
}

// ---- Receiving ------------------------------------------------------------------------------

void HEOSSocket::readAvailable() {
  if (isClosed_) return;
  buffer_ += socket_.readAll();
  QPointer<HEOSSocket> self(this);
  for (;;) {
    const auto end = buffer_.indexOf("\r\n");
    if (end < 0) break;
    const QByteArray line = buffer_.left(end);
    buffer_.remove(0, end + 2);
    if (!line.isEmpty()) handleLine(line);
    if (!self || isClosed_) return;  // an event's receiver closed this socket
  }
  if (buffer_.size() > maxBufferedBytes) drop("HEOS sent more than 4 MiB without a line end.");
}

void HEOSSocket::handleLine(const QByteArray& line) {
  try {
    auto response = HEOSResponse::parse(std::string_view(line.constData(), line.size()));
    if (!response) return;
    if (response->isEvent()) {
      emit eventArrived(*response);
      return;
    }
    if (response->message.starts_with("command under process")) return;  // the real reply follows
    if (matchesWaiting(*response)) complete(waiting_->id, std::move(*response));
  } catch (const std::exception& error) {
    qCWarning(lcHEOS) << "HEOS line from" << host_ << "failed:" << error.what();
    drop("A HEOS message could not be handled.");
  }
}

bool HEOSSocket::matchesWaiting(const HEOSResponse& response) const {
  if (!waiting_ || waiting_->command != response.command) return false;
  if (waiting_->echoed.empty()) return true;
  // A late reply for another player has the same command name but names its own player.
  const auto message = parseHEOSMessage(response.message);
  for (const auto& [name, value] : waiting_->echoed) {
    const auto echoed = message.find(name);
    if (echoed != message.end() && echoed->second != value) return false;
  }
  return true;
}

// ---- Ending ---------------------------------------------------------------------------------

void HEOSSocket::drop(const std::string& reason) {
  if (isClosed_ || !isOpen_) return;
  isClosed_ = true;
  qCInfo(lcHEOS) << "connection to" << host_ << "lost:" << reason.c_str();
  failWaiting(HEOSError::host(reason));
  socket_.abort();
  emit dropped(reason);
}

void HEOSSocket::close() {
  if (isClosed_) return;
  isClosed_ = true;
  failWaiting(HEOSError::host(kClosed));
  failOpening(HEOSError::host(kClosed));
  socket_.abort();
}

}  // namespace kovali
