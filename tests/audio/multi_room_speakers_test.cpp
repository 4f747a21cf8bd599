#include <QSignalSpy>
#include <gtest/gtest.h>

#include "audio/observed_multi_room.h"

namespace kovali {
namespace {

using Speakers = MultiRoomAudio::Speakers;
using VolumeCalls = std::vector<std::pair<std::string, float>>;

TEST(MultiRoomSpeakers, PickingSpeakersInTheMenuListsThemWhenItCloses) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.456f}, {"g1", "Garden", std::nullopt}, {"h1", "Hall", 0.2f}});
  QSignalSpy speakers(observed.audio.get(), &MultiRoomAudio::speakersChanged);
  auto& picker = observed.audio->speakerPicker();

  picker.setChosen("k1", true);
  picker.setChosen("g1", true);
  EXPECT_TRUE(observed.audio->speakers().empty()) << "the list is read when the menu closes";
  picker.menuClosed();

  EXPECT_EQ(observed.lines, (std::vector<std::string>{"speakers picked"}));
  EXPECT_EQ(observed.audio->speakers(), (Speakers{{"k1", "Kitchen", 46}, {"g1", "Garden", std::nullopt}}));
  EXPECT_EQ(speakers.count(), 1);
  EXPECT_EQ(observed.changes, 1);
}

TEST(MultiRoomSpeakers, ClosingTheMenuWithoutAChangeStillSaysSo) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});
  observed.audio->speakerPicker().menuClosed();
  QSignalSpy speakers(observed.audio.get(), &MultiRoomAudio::speakersChanged);

  observed.audio->speakerPicker().menuClosed();

  EXPECT_EQ(observed.lines, (std::vector<std::string>{"speakers picked", "speakers picked"}));
  EXPECT_EQ(speakers.count(), 0);
  EXPECT_EQ(observed.changes, 2);
}

TEST(MultiRoomSpeakers, ASpeakerVolumeIsSetOnlyOnAChosenSpeakerThatHasOne) {
  struct Case {
    const char* name;
    std::string id;
    int level;
    VolumeCalls calls;
    int changes;
    std::optional<int> kitchen;
  } cases[] = {
      {"within range", "k1", 30, {{"k1", 0.3f}}, 1, 30},
      {"above 100", "k1", 140, {{"k1", 1.0f}}, 1, 100},
      {"below 0", "k1", -20, {{"k1", 0.0f}}, 1, 0},
      {"the level it has", "k1", 50, {{"k1", 0.5f}}, 0, 50},
      {"without a volume", "g1", 40, {}, 0, 50},
      {"not chosen", "h1", 40, {}, 0, 50},
      {"unknown", "x9", 40, {}, 0, 50},
  };
  for (const auto& c : cases) {
    InMemoryPreferences preferences;
    Observed observed(preferences);
    observed.player->changeSpeakers(
        {{"k1", "Kitchen", 0.5f, true}, {"g1", "Garden", std::nullopt, true}, {"h1", "Hall", 0.2f, false}});
    observed.audio->speakerPicker().menuClosed();
    const int changes = observed.changes;

    observed.audio->setSpeakerVolume(c.id, c.level);

    EXPECT_EQ(observed.player->volumeCalls, c.calls) << c.name;
    EXPECT_EQ(observed.changes - changes, c.changes) << c.name;
    EXPECT_EQ(observed.audio->speakers().front().volume, c.kitchen) << c.name;
  }
}

TEST(MultiRoomSpeakers, StopEmptiesTheListAndTheMenuFillsItAgain) {
  InMemoryPreferences preferences;
  Observed observed(preferences);
  observed.player->changeSpeakers({{"k1", "Kitchen", 0.5f, true}});
  observed.startOn();
  observed.audio->speakerPicker().menuClosed();
  ASSERT_EQ(observed.audio->speakers().size(), 1u);

  observed.audio->stop();
  EXPECT_TRUE(observed.audio->speakers().empty());
  observed.audio->speakerPicker().menuClosed();
  EXPECT_EQ(observed.audio->speakers(), (Speakers{{"k1", "Kitchen", 50}}));
}

}  // namespace
}  // namespace kovali
