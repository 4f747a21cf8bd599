#include "protocol/protocol_error.h"

namespace vinaro {

void writeJson(wire::Writer& writer, const ProtocolError& error) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("code", error.code);
    object.field("message", error.message);
  });
}

ProtocolError readJson(const wire::Value& value, std::type_identity<ProtocolError>) {
  const wire::ObjectReader object(value);
  return {object.required<ProtocolError::Code>("code"), object.required<std::string>("message")};
}

}  // namespace vinaro
