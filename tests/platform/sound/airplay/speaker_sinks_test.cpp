#include "platform/sound/airplay/speaker_sinks.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

using Sink = SpeakerSinks::Sink;
using namespace std::chrono_literals;

const Sink kitchen{"raop_output.speakers.local", "Kitchen", 1.0f, 1};
const Sink garden{"raop_output.speakers.local.2", "Garden", 1.0f, 2};
const Sink gardenAgain{"raop_output.speakers.local.2", "Garden", 1.0f, 5};  // made again after a restart

std::vector<std::uint32_t> indexes(const std::vector<Sink>& sinks) {
  std::vector<std::uint32_t> found;
  for (const auto& sink : sinks) found.push_back(sink.index);
  return found;
}

TEST(SpeakerSinks, PicksOneSinkPerChosenSpeaker) {
  const auto now = SpeakerSinks::Clock::now();
  struct Case {
    const char* name;
    std::vector<Sink> listed;
    std::set<std::string> chosen;
    std::map<std::string, std::uint32_t> playing;
    std::vector<std::uint32_t> picked;
  } cases[] = {
      {"both chosen, in the server's order", {garden, kitchen}, {"Kitchen", "Garden"}, {}, {2, 1}},
      {"one chosen", {kitchen, garden}, {"Garden"}, {}, {2}},
      {"a chosen speaker that is not listed", {kitchen}, {"Kitchen", "Garden"}, {}, {1}},
      {"the old sink it plays on stays while listed",
       {kitchen, garden, gardenAgain},
       {"Kitchen", "Garden"},
       {{"Garden", 2}},
       {1, 2}},
      {"the newest sink when it plays on none", {kitchen, garden, gardenAgain}, {"Kitchen", "Garden"}, {}, {1, 5}},
      {"the newest sink when the one it played on is gone",
       {kitchen, gardenAgain},
       {"Kitchen", "Garden"},
       {{"Garden", 2}},
       {1, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(indexes(SpeakerSinks().pick(c.listed, c.chosen, c.playing, now)), c.picked);
  }
}

TEST(SpeakerSinks, ListsEachSpeakerOnceUnderTheSinkItWouldPlayOn) {
  const auto now = SpeakerSinks::Clock::now();
  struct Case {
    const char* name;
    std::vector<Sink> listed;
    std::map<std::string, std::uint32_t> playing;
    std::vector<std::uint32_t> broken;
    std::vector<std::uint32_t> shown;
  } cases[] = {
      {"one sink each", {garden, kitchen}, {}, {}, {2, 1}},
      {"an old and a new sink of one speaker: the new one", {kitchen, garden, gardenAgain}, {}, {}, {1, 5}},
      {"the old one while it plays there", {kitchen, garden, gardenAgain}, {{"Garden", 2}}, {}, {1, 2}},
      {"the new one when the old one broke", {kitchen, garden, gardenAgain}, {{"Garden", 2}}, {2}, {1, 5}},
      {"a speaker whose only sink broke stays listed", {kitchen, garden}, {}, {2}, {1, 2}},
      {"nothing listed", {}, {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SpeakerSinks sinks;
    for (const auto index : c.broken) sinks.broke(index, now);
    EXPECT_EQ(indexes(sinks.perSpeaker(c.listed, c.playing, now)), c.shown);
  }
}

TEST(SpeakerSinks, ASinkWhoseStreamBrokeIsLeftAloneUntilItGoesOrItIsTimeToTryAgain) {
  const auto now = SpeakerSinks::Clock::now();
  const std::set<std::string> chosen{"Kitchen", "Garden"};
  SpeakerSinks sinks;
  sinks.broke(2, now);

  EXPECT_EQ(indexes(sinks.pick({kitchen, garden, gardenAgain}, chosen, {{"Garden", 2}}, now)),
            (std::vector<std::uint32_t>{1, 5}))
      << "the speaker moves to its new sink";
  EXPECT_EQ(indexes(sinks.pick({kitchen, garden}, chosen, {}, now + 1s)), std::vector<std::uint32_t>{1})
      << "the speaker waits while only the broken sink is listed";
  EXPECT_EQ(indexes(sinks.pick({kitchen, garden}, chosen, {}, now + SpeakerSinks::retryAfter)),
            (std::vector<std::uint32_t>{1, 2}))
      << "a sink that stayed is tried again";

  sinks.listed({kitchen}, now);
  const Sink madeUnderTheOldIndex{"raop-sink-7-1", "Garden", 1.0f, 2};
  EXPECT_EQ(indexes(sinks.pick({kitchen, madeUnderTheOldIndex}, chosen, {}, now)), (std::vector<std::uint32_t>{1, 2}))
      << "a new sink under a number given again is not the broken one";
}

TEST(SpeakerSinks, ASinkMadeWhileWatchedSettlesBeforeItGetsAStream) {
  const auto start = SpeakerSinks::Clock::now();
  SpeakerSinks sinks;
  sinks.listed({kitchen, garden}, start);
  sinks.listed({kitchen}, start + 1s);
  sinks.listed({kitchen, gardenAgain}, start + 2s);
  sinks.listed({kitchen, gardenAgain, garden}, start + 2500ms);  // its old index and name, made again
  const auto settled = SpeakerSinks::Clock::duration::zero();
  struct Case {
    const char* name;
    Sink sink;
    SpeakerSinks::Clock::time_point now;
    SpeakerSinks::Clock::duration wait;
  } cases[] = {
      {"listed before it was watched", kitchen, start + 2s, settled},
      {"just made", gardenAgain, start + 2s, SpeakerSinks::settleAfter},
      {"made a moment ago", gardenAgain, start + 2800ms, 200ms},
      {"settled", gardenAgain, start + 2s + SpeakerSinks::settleAfter, settled},
      {"long settled", gardenAgain, start + 10s, settled},
      {"gone and made again under its old index", garden, start + 3s, 500ms},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sinks.untilSettled(c.sink, c.now), c.wait);
  }
}

}  // namespace
}  // namespace kovali
