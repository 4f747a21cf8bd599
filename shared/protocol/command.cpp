#include "protocol/command.h"

#include "protocol/variant_body.h"

namespace vinaro {

bool Command::requiresDJ() const {
  return std::visit(
      [](const auto& alternative) {
        using P = std::decay_t<decltype(alternative)>;
        return !(std::is_same_v<P, Hello> || std::is_same_v<P, AuthenticateDJ> || std::is_same_v<P, Search> ||
                 std::is_same_v<P, ListTracks> || std::is_same_v<P, Add> || std::is_same_v<P, SuggestCollection> ||
                 std::is_same_v<P, VoteRequest> || std::is_same_v<P, SetBadge>);
      },
      payload);
}

void Command::writeBody(wire::ObjectWriter& object) const { wire::writeVariantBody(object, payload, typeNames); }

Command Command::readBody(const wire::ObjectReader& object) {
  return Command{wire::readVariantBody<Payload>(object, typeNames, "command")};
}

}  // namespace vinaro
