#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <QString>
#include <QTextBoundaryFinder>

#include "model/command_bridge.h"
#include "model/overloaded.h"
#include "platform/runtime/logging.h"
#include "protocol/command_limits.h"
#include "protocol/event.h"
#include "session/store/session_store.h"
#include "session/store/session_store_errors.h"

namespace kovali {

using vinaro::Command;
using vinaro::Event;
using vinaro::Participant;
using vinaro::Role;

namespace {

constexpr const char* kDefaultName = "Partygoer";
// Long enough for any name a person types; short enough that one hello cannot bloat every state.
constexpr qsizetype kMaxNameCharacters = 64;
constexpr std::size_t kMaxDeviceIDBytes = 128;

/// The name as the party shows it: trimmed, at most 64 characters as people count them and at
/// most 256 bytes, cut between characters (combining marks would make a short name megabytes).
std::string partygoerName(const std::string& sent) {
  const QString trimmed = QString::fromStdString(sent).trimmed();
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, trimmed);
  qsizetype end = 0;
  for (qsizetype count = 0; count < kMaxNameCharacters; ++count) {
    const qsizetype next = characters.toNextBoundary();
    if (next == -1) break;
    if (static_cast<std::size_t>(trimmed.left(next).toUtf8().size()) > vinaro::CommandLimits::maxNameBytes) break;
    end = next;
  }
  const QString name = trimmed.left(end).trimmed();
  return name.isEmpty() ? std::string(kDefaultName) : name.toStdString();
}

/// Why a device id cannot be taken, or nothing.
std::optional<vinaro::ProtocolError> deviceIDRefusal(const std::string& deviceID) {
  if (deviceID.size() > kMaxDeviceIDBytes) return StoreErrors::deviceIDTooLong();
  const QString text = QString::fromStdString(deviceID);
  const bool control =
      std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
  if (control) return StoreErrors::deviceIDWithControlCharacters();
  return std::nullopt;
}

QString connectionText(ConnectionID connection) { return QString::fromStdString(connection.text()); }

/// Commands that only read: a phone searching as its guest types is not flooding.
bool onlyReads(const Command& command) {
  return std::holds_alternative<Command::Search>(command.payload) ||
         std::holds_alternative<Command::ListTracks>(command.payload) ||
         std::holds_alternative<Command::ListPlaylists>(command.payload);
}

bool isMusicCommand(const Command& command) {
  return std::holds_alternative<Command::Search>(command.payload) ||
         std::holds_alternative<Command::ListTracks>(command.payload) ||
         std::holds_alternative<Command::Add>(command.payload) ||
         std::holds_alternative<Command::ApproveRequest>(command.payload) ||
         std::holds_alternative<Command::ListPlaylists>(command.payload) ||
         std::holds_alternative<Command::LoadPlaylist>(command.payload);
}

}  // namespace

CommandRate& SessionStore::rateFor(ConnectionID connection, bool reads) {
  auto& rates = reads ? readRates_ : commandRates_;
  return rates.try_emplace(connection, reads ? CommandRate::forReads() : CommandRate::forChanges()).first->second;
}

void SessionStore::handle(vinaro::Envelope<Command> envelope, ConnectionID connection) {
  const Command& command = envelope.body;
  const std::string& envelopeID = envelope.id;
  // A phone's earlier hello is answered before anything else it sent, but for a refusal past its
  // burst.
  if (Joining* waiting = joiningAt(connection)) {
    if (waiting->heldBack.size() < heldBackWhileJoining) {
      waiting->heldBack.push_back(std::move(envelope));
    } else {
      sendError(StoreErrors::tooManyCommands(), connection, envelopeID);
    }
    return;
  }
  if (const bool reads = onlyReads(command); !rateFor(connection, reads).take(scheduler_.monotonicNow())) {
    sendError(reads ? StoreErrors::tooManySearches() : StoreErrors::tooManyCommands(), connection, envelopeID);
    return;
  }
  if (const auto* greeting = std::get_if<Command::Hello>(&command.payload)) {
    hello(*greeting, envelopeID, connection);
    return;
  }
  const auto found = participants_.find(connection);
  if (found == participants_.end()) {
    sendError(StoreErrors::helloFirst(), connection, envelopeID);
    return;
  }
  const Participant participant = found->second;
  if (command.requiresDJ() && participant.role != Role::dj) {
    sendError(StoreErrors::djOnly(), connection, envelopeID);
    return;
  }
  if (isMusicCommand(command)) {
    routeMusicCommand(command, participant, envelopeID, connection);
    return;
  }

  std::visit(
      vinaro::Overloaded{
          [&](const Command::AuthenticateDJ& login) { authenticateDJ(login.pin, envelopeID, connection); },
          [&](const Command::ResignDJ&) { resignDJ(participant, envelopeID, connection); },
          [&](const Command::SaveQueueAsPlaylist&) {
            sendError(StoreErrors::savedPlaylistsRetired(), connection, envelopeID);
          },
          [&](const Command::DeletePlaylist&) {
            sendError(StoreErrors::savedPlaylistsRetired(), connection, envelopeID);
          },
          [&](const vinaro::AudioCommand& audio) { handleAudio(audio, envelopeID, connection); },
          [&](const auto& other) {
            auto action = vinaro::sessionAction(command);
            if (!action) return;  // every remaining command has one
            if (participant.role == Role::guest) {
              offerGuestChange({connection, envelopeID, std::move(*action), participant});
              return;
            }
            // Absent holders are dropped before a new badge can take the count past its bound.
            if constexpr (std::is_same_v<std::decay_t<decltype(other)>, Command::SetBadge>) pruneBadges();
            const auto result =
                dispatch(*action, vinaro::Actor::participant(participant), true, ReplyTarget{connection, envelopeID});
            // On success the state that goes out answers this phone.
            if (!result) sendError(result.error(), connection, envelopeID);
          },
      },
      command.payload);
}

void SessionStore::hello(const Command::Hello& hello, const std::string& envelopeID, ConnectionID connection) {
  if (hello.protocolVersion != vinaro::ProtocolVersion::current) {
    qCInfo(lcSession).noquote() << "Guest connection" << connectionText(connection) << "refused: protocol version"
                                << hello.protocolVersion;
    sendError(StoreErrors::unsupportedVersion(), connection, envelopeID);
    // Closed behind the error; its departure comes back through connectionClosed.
    server_.close(connection);
    return;
  }
  if (auto refusal = deviceIDRefusal(hello.deviceID)) {
    sendError(*refusal, connection, envelopeID);
    return;
  }
  // The hellos that arrive together join together: one save, one partygoer change and one version
  // of the party for a crowd, not one each.
  joining_.push_back(Joining{connection, hello.deviceID, partygoerName(hello.name), envelopeID, {}});
  if (welcomesWaitForTheCrowd()) {
    welcomes_.request();
  } else {
    welcomes_.requestSoon();
  }
}

bool SessionStore::welcomesWaitForTheCrowd() {
  // Every change goes out to the phones, so the party as it is now is almost always encoded already.
  const auto& party = encodedParty();
  return party && static_cast<qint64>(party->text.size()) >= welcomeSharedFromBytes;
}

void SessionStore::welcomeJoining() {
  if (joining_.empty()) return;
  auto joining = std::exchange(joining_, {});
  for (const Joining& join : joining) {
    const Role role = djDeviceIDs_.contains(join.deviceID) ? Role::dj : Role::guest;
    const Participant participant{participantIDs_.of(join.deviceID), join.name, role};
    connectionDevices_.insert_or_assign(join.connection, join.deviceID);
    seat(join.connection, participant);
    qCInfo(lcSession).noquote() << "Guest connection" << connectionText(join.connection) << "greeted as"
                                << vinaro::rawValue(role).data();
  }
  emit participantsChanged();
  (void)dispatch(vinaro::action::SetPartygoers{partygoers()}, vinaro::Actor::host(), false);

  StateViews views = currentViews();
  for (const Joining& join : joining) {
    const auto found = participants_.find(join.connection);
    if (found == participants_.end()) continue;  // closed by a send before it
    const Participant& participant = found->second;
    const auto& view = views.viewFor(participant);
    if (!view) continue;  // logged where it failed
    server_.send(OutgoingEvent::welcome(participant.id, participant.role, *view), join.connection, join.envelopeID);
    presenceCurrent_.insert(join.connection);
  }
  schedulePresenceBroadcast();
  for (Joining& join : joining) {
    // A further hello among them waits for its own welcome, and what followed it with it.
    for (auto& envelope : join.heldBack) {
      if (participants_.contains(join.connection)) handle(std::move(envelope), join.connection);
    }
  }
}

void SessionStore::seat(ConnectionID connection, const Participant& participant) {
  participants_.insert_or_assign(connection, participant);
  partygoerList_.insert(connection, participant);
  server_.setDJ(connection, participant.role == Role::dj);
}

SessionStore::Joining* SessionStore::joiningAt(ConnectionID connection) {
  const auto found = std::find_if(joining_.begin(), joining_.end(),
                                  [connection](const Joining& join) { return join.connection == connection; });
  return found != joining_.end() ? &*found : nullptr;
}

void SessionStore::resignDJ(Participant participant, const std::string& envelopeID, ConnectionID connection) {
  changeRole(Role::guest, std::move(participant), envelopeID, connection);
}

void SessionStore::changeRole(Role role, Participant participant, const std::string& envelopeID,
                              ConnectionID connection) {
  participant.role = role;
  seat(connection, participant);
  emit participantsChanged();
  const std::string& deviceID = connectionDevices_.at(connection);  // said hello, as every participant did
  if (role == Role::dj) {
    djDeviceIDs_.insert(deviceID);
  } else {
    djDeviceIDs_.erase(deviceID);
  }
  emit djDeviceIDsChanged();
  qCInfo(lcSession).noquote() << "Guest connection" << connectionText(connection)
                              << (role == Role::dj ? "was granted the DJ role" : "gave up the DJ role");
  persist();
  server_.send(Event{Event::RoleChanged{role}}, connection, envelopeID);
  sendState(connection, participant, std::nullopt);
  dispatchPartygoers();
}

void SessionStore::connectionClosed(ConnectionID connection) {
  std::erase_if(joining_, [connection](const Joining& join) { return join.connection == connection; });
  connectionDevices_.erase(connection);
  commandRates_.erase(connection);
  readRates_.erase(connection);
  audioPushed_.erase(connection);
  pinAttempts_.leave(connection);
  waitingPINs_.erase(connection);
  guestChanges_.forget(connection);
  if (const auto leaving = participants_.find(connection); leaving != participants_.end()) {
    badgeRetention_.seen(leaving->second.id, scheduler_.monotonicNow());
  }
  const bool removed = participants_.erase(connection) > 0;
  partygoerList_.erase(connection);
  emit participantsChanged();
  // The device keeps its DJ role for its next hello.
  if (!removed) return;
  // Departures read together leave together, as joins do: a crowd whose network drops is one
  // change and one save.
  if (!std::exchange(departuresPending_, true)) {
    QMetaObject::invokeMethod(this, &SessionStore::settleDepartures, Qt::QueuedConnection);
  }
}

void SessionStore::settleDepartures() {
  if (!std::exchange(departuresPending_, false)) return;
  performHostAction(vinaro::action::SetPartygoers{partygoers()}, false);
  schedulePresenceBroadcast();
}

void SessionStore::schedulePresenceBroadcast() { presenceBroadcast_.request(); }

void SessionStore::broadcastPresence() { sendViews(std::exchange(presenceCurrent_, {})); }

void SessionStore::dispatchPartygoers() { performHostAction(vinaro::action::SetPartygoers{partygoers()}); }

void SessionStore::sendError(const vinaro::ProtocolError& error, ConnectionID connection,
                             const std::string& envelopeID) {
  server_.send(Event{error}, connection, envelopeID);
}

}  // namespace kovali
