#include "server/outgoing_event.h"

#include "platform/runtime/logging.h"

namespace kovali {

OutgoingEvent::OutgoingEvent(std::string_view type, const std::string& payload)
    : type_(type), payload_(QByteArray::fromStdString(payload)) {}

std::optional<OutgoingEvent> OutgoingEvent::of(const vinaro::Event& event) {
  return std::visit([](const auto& payload) { return of(payload); }, event.payload);
}

OutgoingEvent OutgoingEvent::welcome(std::string_view participantID, vinaro::Role role, const OutgoingEvent& state) {
  OutgoingEvent welcome = state;
  welcome.type_ = vinaro::EncodedEvent::typeOf<vinaro::Event::Welcome>();
  welcome.opening_ = QByteArray::fromStdString(vinaro::EncodedEvent::welcomeOpening(participantID, role));
  welcome.closing_ = QByteArray::fromStdString(std::string(vinaro::EncodedEvent::welcomeClosing));
  return welcome;
}

QString OutgoingEvent::message(std::string_view id, const std::optional<std::string>& replyTo) const {
  return QString::fromUtf8(head(id) + payload_ + rest_ + tail(replyTo));
}

QByteArray OutgoingEvent::head(std::string_view id) const {
  return QByteArray::fromStdString(vinaro::EncodedEvent::head(id)) + opening_;
}

QByteArray OutgoingEvent::tail(const std::optional<std::string>& replyTo) const {
  return closing_ + QByteArray::fromStdString(vinaro::EncodedEvent::tail(type_, replyTo));
}

void OutgoingEvent::logEncodeFailure(std::string_view type, const char* what) {
  qCWarning(lcNet).noquote() << "Could not encode a" << QString::fromUtf8(type.data(), type.size()) << "event:" << what;
}

}  // namespace kovali
