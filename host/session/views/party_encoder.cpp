#include "session/views/party_encoder.h"

#include "protocol/json_writer.h"

namespace kovali {

using vinaro::SessionState;

std::optional<EncodedParty> PartyEncoder::encode(const SessionState& state) {
  std::string payload;
  payload.reserve(lastBytes_ + 4096);
  // Each request's text, its end within the array's, for views that show only some of them.
  std::string requests = "[";
  std::vector<EncodedParty::Span> eachRequest;
  eachRequest.reserve(state.requests.size());
  std::size_t requestsAt = 0;
  try {
    const std::string queue = encodeQueue(state.queue);
    for (const vinaro::SongRequest& request : state.requests) {
      if (requests.size() > 1) requests += ',';
      const std::size_t begin = requests.size();
      vinaro::wire::Writer(requests).write(request);
      eachRequest.push_back({begin, requests.size()});
    }
    requests += ']';
    vinaro::wire::Writer writer(payload);
    writer.writeObject([&](vinaro::wire::ObjectWriter& object) {
      static const auto fields = vinaro::wire::sortedFieldWriters<SessionState>();
      for (const auto& [key, writeField] : fields) {
        if (key == "queue") {
          object.encodedField(key, queue);
        } else if (key == "requests") {
          object.encodedField(key, requests);
          requestsAt = payload.size() - requests.size();
        } else {
          writeField(object, state);
        }
      }
    });
  } catch (const vinaro::wire::EncodeError&) {
    kept_.clear();
    (void)OutgoingEvent::of(state);  // says what failed
    return std::nullopt;
  }
  lastBytes_ = payload.size();
  for (EncodedParty::Span& span : eachRequest) span = {requestsAt + span.begin, requestsAt + span.end};
  auto everything = OutgoingEvent::encoded<SessionState>(
      QByteArray(payload.data(), static_cast<qsizetype>(requestsAt)),
      QByteArray(payload.data() + requestsAt, static_cast<qsizetype>(payload.size() - requestsAt)));
  return EncodedParty{std::move(payload), {requestsAt, requestsAt + requests.size()}, std::move(eachRequest),
                      std::move(everything)};
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
