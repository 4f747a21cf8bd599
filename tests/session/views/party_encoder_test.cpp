#include "session/views/party_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>

#include "protocol/json_writer.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using namespace vinaro::samples;
using vinaro::RequestItem;
using vinaro::RequestStatus;
using vinaro::SessionState;

std::string textAt(const EncodedParty& party, EncodedParty::Span span) {
  return party.text.substr(span.begin, span.end - span.begin);
}

TEST(PartyEncoderTest, EachStateIsEncodedAsAFreshEncodingWouldWhateverChangedSinceTheLastOrFailsAsItWould) {
  struct Case {
    const char* name;
    std::function<void(SessionState&)> change;
  } cases[] = {
      {"nothing", [](SessionState&) {}},
      {"a song moved to the front", [](SessionState& s) { std::rotate(s.queue.begin(), s.queue.end() - 1, s.queue.end()); }},
      {"a song's title changed under the same id", [](SessionState& s) { s.queue[1].track.title = "Renamed \"Song\""; }},
      {"a song removed", [](SessionState& s) { s.queue.erase(s.queue.begin() + 2); }},
      {"a song added twice under one id", [](SessionState& s) { s.queue.push_back(s.queue.front()); }},
      {"the queue emptied and something else changed", [](SessionState& s) {
         s.queue.clear();
         s.name = "After";
       }},
      {"songs back", [](SessionState& s) { s.queue = {queueItem("q1", "t1"), queueItem("q9", "t9")}; }},
      {"a song that cannot be encoded", [](SessionState& s) { s.queue[1].track.duration = INFINITY; }},
      {"the song mended", [](SessionState& s) { s.queue[1].track.duration = 200; }},
      {"requests asked", [](SessionState& s) {
         s.requests = {request("r1", RequestItem::track(track("t7")), ana, 1000, {}),
                       request("r2", RequestItem::track(track("t8")), ben, 2000, {"device-ana"})};
       }},
      {"a request answered", [](SessionState& s) { s.requests[0].status = RequestStatus::rejected; }},
      {"a request with escaped text", [](SessionState& s) {
         s.requests[1].item = RequestItem::collection(album("a\"1", "Älbum \\ \"日本\"\n"));
       }},
      {"a request that cannot be encoded", [](SessionState& s) {
         s.requests.push_back(request("r3", RequestItem::track(track("t3", NAN)), ana, 3000, {}));
       }},
      {"requests gone", [](SessionState& s) { s.requests.clear(); }},
  };
  SessionState state = SessionState::newParty("S1", "Party");
  for (int i = 1; i <= 5; ++i) state.queue.push_back(queueItem("q" + std::to_string(i), "t" + std::to_string(i)));
  PartyEncoder encoder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.change(state);
    const auto kept = encoder.encode(state);
    const auto fresh = OutgoingEvent::of(state);
    ASSERT_EQ(kept.has_value(), fresh.has_value());
    if (!fresh) continue;
    EXPECT_EQ(kept->text, fresh->payload().toStdString());
    EXPECT_EQ(kept->everything.payload() + kept->everything.rest(), fresh->payload());
    EXPECT_EQ(kept->everything.type(), fresh->type());
    // Where the requests are, for the views that show only some of them.
    EXPECT_EQ(textAt(*kept, kept->requests), vinaro::wire::encode(state.requests));
    ASSERT_EQ(kept->eachRequest.size(), state.requests.size());
    for (std::size_t i = 0; i < state.requests.size(); ++i) {
      EXPECT_EQ(textAt(*kept, kept->eachRequest[i]), vinaro::wire::encode(state.requests[i])) << i;
    }
  }
}

}  // namespace
}  // namespace kovali
