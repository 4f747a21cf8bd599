#include "session/views/party_encoder.h"

#include "protocol/json_writer.h"

namespace kovali {

using vinaro::SessionState;

std::optional<OutgoingEvent> PartyEncoder::encode(const SessionState& state) {
  std::string payload;
  payload.reserve(lastBytes_ + 4096);
  try {
    const std::string queue = encodeQueue(state.queue);
    vinaro::wire::Writer writer(payload);
    writer.writeObject([&](vinaro::wire::ObjectWriter& object) {
      static const auto fields = vinaro::wire::sortedFieldWriters<SessionState>();
      for (const auto& [key, writeField] : fields) {
        if (key == "queue") {
          object.encodedField(key, queue);
        } else {
          writeField(object, state);
        }
      }
    });
  } catch (const vinaro::wire::EncodeError&) {
    kept_.clear();
    return OutgoingEvent::of(state);  // says what failed
  }
  lastBytes_ = payload.size();
  return OutgoingEvent::encoded<SessionState>(payload);
}

std::string PartyEncoder::encodeQueue(const std::vector<vinaro::QueueItem>& queue) {
  std::unordered_map<std::string, Kept> next;
  next.reserve(queue.size());
  std::string text = "[";
  text.reserve(lastBytes_ + 2);
  for (const vinaro::QueueItem& item : queue) {
    if (text.size() > 1) text += ',';
    auto found = kept_.find(item.id);
    if (found == kept_.end() || found->second.item != item) {
      std::string encoded = vinaro::wire::encode(item);
      text += encoded;
      next.try_emplace(item.id, Kept{item, std::move(encoded)});
      continue;
    }
    text += found->second.text;
    next.try_emplace(item.id, std::move(found->second));
    kept_.erase(found);
  }
  text += ']';
  kept_ = std::move(next);
  return text;
}

}  // namespace kovali
