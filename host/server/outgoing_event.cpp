#include "server/outgoing_event.h"

#include "platform/runtime/logging.h"

namespace kovali {

OutgoingEvent::OutgoingEvent(vinaro::EncodedEvent encoded)
    : encoded_(std::move(encoded)), payload_(QString::fromStdString(encoded_.payload())) {}

std::optional<OutgoingEvent> OutgoingEvent::of(const vinaro::Event& event) {
  return std::visit([](const auto& payload) { return of(payload); }, event.payload);
}

QString OutgoingEvent::message(std::string_view id, const std::optional<std::string>& replyTo) const {
  const std::string head = vinaro::EncodedEvent::head(id);
  const std::string tail = encoded_.tail(replyTo);
  QString text;
  text.reserve(static_cast<qsizetype>(head.size() + tail.size()) + payload_.size());
  text += QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size()));
  text += payload_;
  text += QString::fromUtf8(tail.data(), static_cast<qsizetype>(tail.size()));
  return text;
}

qint64 OutgoingEvent::wireBytes(std::string_view id, const std::optional<std::string>& replyTo) const {
  return static_cast<qint64>(vinaro::EncodedEvent::head(id).size() + encoded_.payload().size() +
                             encoded_.tail(replyTo).size());
}

void OutgoingEvent::logEncodeFailure(std::string_view type, const char* what) {
  qCWarning(lcNet).noquote() << "Could not encode a" << QString::fromUtf8(type.data(), type.size()) << "event:" << what;
}

}  // namespace kovali
