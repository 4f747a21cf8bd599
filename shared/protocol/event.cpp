#include "protocol/event.h"

#include "protocol/variant_body.h"

namespace vinaro {

void Event::writeBody(wire::ObjectWriter& object) const { wire::writeVariantBody(object, payload, typeNames); }

Event Event::readBody(const wire::ObjectReader& object) {
  return Event{wire::readVariantBody<Payload>(object, typeNames, "event")};
}

}  // namespace vinaro
