#include "protocol/envelope.h"

namespace vinaro {

void writeJSON(wire::Writer& writer, const EmptyPayload&) {
  writer.writeObject([](wire::ObjectWriter&) {});
}

EmptyPayload readJSON(const wire::Value&, std::type_identity<EmptyPayload>) { return {}; }

}  // namespace vinaro
