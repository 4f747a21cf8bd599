#include "protocol/envelope.h"

namespace vinaro {

void writeJson(wire::Writer& writer, const EmptyPayload&) {
  writer.writeObject([](wire::ObjectWriter&) {});
}

EmptyPayload readJson(const wire::Value&, std::type_identity<EmptyPayload>) { return {}; }

}  // namespace vinaro
