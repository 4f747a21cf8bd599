#include "protocol/encoded_event.h"

namespace vinaro {

// The envelope's keys in the byte order the writer sorts them into: id, payload, replyTo, type, v.

EncodedEvent EncodedEvent::of(const Event& event) {
  return std::visit([](const auto& payload) { return of(payload); }, event.payload);
}

EncodedEvent EncodedEvent::welcome(std::string_view participantID, Role role, std::string_view encodedState) {
  std::string payload = welcomeOpening(participantID, role);
  payload += encodedState;
  payload += welcomeClosing;
  return EncodedEvent(typeOf<Event::Welcome>(), std::move(payload));
}

std::string EncodedEvent::welcomeOpening(std::string_view participantID, Role role) {
  std::string payload;
  // In key order, the state last, so that it can stand apart.
  wire::Writer(payload).writeObject([&](wire::ObjectWriter& object) {
    object.field("participantID", participantID);
    object.field("role", role);
    object.encodedField("state", "");
  });
  payload.resize(payload.size() - welcomeClosing.size());
  return payload;
}

std::string EncodedEvent::head(std::string_view id) {
  std::string out = R"({"id":)";
  wire::Writer(out).writeString(id);
  out += R"(,"payload":)";
  return out;
}

std::string EncodedEvent::tail(std::string_view type, const std::optional<std::string>& replyTo) {
  std::string out = R"(,"replyTo":)";
  wire::Writer writer(out);
  if (replyTo) {
    writer.writeString(*replyTo);
  } else {
    writer.writeNull();
  }
  out += R"(,"type":)";
  writer.writeString(type);
  out += R"(,"v":)";
  writer.writeInteger(ProtocolVersion::current);
  out += '}';
  return out;
}

std::string EncodedEvent::envelope(std::string_view id, const std::optional<std::string>& replyTo) const {
  return head(id) + payload_ + tail(replyTo);
}

}  // namespace vinaro
