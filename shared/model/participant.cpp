#include "model/participant.h"

namespace vinaro {

std::string_view displayName(SupporterTier tier) {
  switch (tier) {
    case SupporterTier::guest: return "Guest";
    case SupporterTier::regular: return "Regular";
    case SupporterTier::gold: return "Gold Member";
    case SupporterTier::vip: return "VIP Member";
  }
  return {};
}

void writeJson(wire::Writer& writer, const Participant& participant) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", participant.id);
    object.field("name", participant.name);
    object.field("role", participant.role);
  });
}

Participant readJson(const wire::Value& value, std::type_identity<Participant>) {
  const wire::ObjectReader object(value);
  return {object.required<std::string>("id"), object.required<std::string>("name"), object.required<Role>("role")};
}

}  // namespace vinaro
