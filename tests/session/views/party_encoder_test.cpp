#include "session/views/party_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>

#include "support/sample_values.h"

namespace kovali {
namespace {

using namespace vinaro::samples;
using vinaro::SessionState;

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
    EXPECT_EQ(kept->payload(), fresh->payload());
    EXPECT_EQ(kept->type(), fresh->type());
  }
}

}  // namespace
}  // namespace kovali
