#include "protocol/envelope.h"

namespace vinaro {

void writeJson(wire::Writer& writer, const EmptyPayload&) {
  writer.writeObject([](wire::ObjectWriter&) {});
}

EmptyPayload readJson(const wire::Value&, std::type_identity<EmptyPayload>) { return {}; }

void writeJson(wire::Writer& writer, const EnvelopeHeader& header) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", header.id);
    object.field("replyTo", header.replyTo);
    object.field("type", header.type);
    object.field("v", header.v);
  });
}

EnvelopeHeader readJson(const wire::Value& value, std::type_identity<EnvelopeHeader>) {
  const wire::ObjectReader object(value);
  return EnvelopeHeader{
      .v = object.required<std::int64_t>("v"),
      .id = object.required<std::string>("id"),
      .replyTo = object.optional<std::string>("replyTo"),
      .type = object.required<std::string>("type"),
  };
}

}  // namespace vinaro
