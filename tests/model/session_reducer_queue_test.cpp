#include <cstdint>
#include <limits>

#include "reducer_fixture.h"

namespace vinaro::testing {
namespace {

using namespace action;

std::vector<std::string> trackIDs(const std::vector<QueueItem>& queue) {
  std::vector<std::string> ids;
  for (const QueueItem& item : queue) ids.push_back(item.track.id);
  return ids;
}

TEST_F(ReducerTest, AppliesThePerGuestSongLimitToQueuedItemsOnly) {
  struct Case {
    const char* name;
    bool limits;
    std::int64_t maximum;
    int alreadyQueued;
    bool onePlaying;
    std::optional<std::string> refusal;
  } cases[] = {
      {"a limit of 0", true, 0, 0, false, "You can have at most 0 songs in the queue at a time."},
      {"at the limit", true, 2, 2, false, "You can have at most 2 songs in the queue at a time."},
      {"the playing item does not count", true, 2, 1, true, std::nullopt},
      {"limit switched off", false, 0, 4, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionState state = party();
    state.settings.limitsPerGuest = c.limits;
    state.settings.maxPendingPerGuest = c.maximum;
    for (int i = 0; i < c.alreadyQueued; ++i) state.queue.push_back(queued(song("q" + std::to_string(i)), alice));
    state.queue.push_back(queued(song("other"), bob));
    if (c.onePlaying) state.playback.current = queued(song("playing"), alice);
    if (c.refusal) {
      EXPECT_EQ(refuse(state, Add{song("new")}, Actor::participant(alice)), ProtocolError::limitReached(*c.refusal));
    } else {
      EXPECT_EQ(accept(state, Add{song("new")}, Actor::participant(alice)).queue.back().track.id, "new");
    }
    // DJs are never limited.
    accept(state, Add{song("new")}, Actor::participant(dee));
  }
}

TEST_F(ReducerTest, SettingsWithALimitOutsideZeroTo99AreRefusedUnlessItIsTheStoredOne) {
  const std::string songs = "Songs per partygoer must be a number from 0 to 99.";
  const std::string requests = "Requests per partygoer must be a number from 0 to 99.";
  struct Case {
    const char* name;
    std::int64_t storedSongs;
    std::int64_t songs;
    std::int64_t requests;
    std::optional<std::string> refusal;
    std::int64_t storedRequests = 3;
  } cases[] = {
      {"the smallest", 3, 0, 0, std::nullopt},
      {"the largest", 3, 99, 99, std::nullopt},
      {"a negative song limit", 3, -1, 3, songs},
      {"a song limit past two digits", 3, 100, 3, songs},
      {"the largest number", 3, std::numeric_limits<std::int64_t>::max(), 3, songs},
      {"a negative request limit", 3, 3, -1, requests},
      {"a request limit past two digits", 3, 3, 100, requests},
      {"both: the songs are named first", 3, -5, 500, songs},
      {"an odd limit stored before is kept as it is", 150, 150, 3, std::nullopt},
      {"but not changed to another", 150, 151, 3, songs},
      {"an odd request limit stored before is kept as it is", 3, 3, 150, std::nullopt, 150},
      {"but not changed to another request limit", 3, 3, 151, requests, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionState state = party();
    state.settings.maxPendingPerGuest = c.storedSongs;
    state.settings.maxRequestsPerGuest = c.storedRequests;
    SessionSettings wanted;
    wanted.limitsPerGuest = true;
    wanted.maxPendingPerGuest = c.songs;
    wanted.maxRequestsPerGuest = c.requests;
    if (c.refusal) {
      EXPECT_EQ(refuse(state, UpdateSettings{wanted}, Actor::participant(dee)), ProtocolError::badRequest(*c.refusal));
    } else {
      EXPECT_EQ(accept(state, UpdateSettings{wanted}, Actor::participant(dee)).settings, wanted);
    }
  }
}

TEST_F(ReducerTest, AllowsDuplicatesOnlyInCollaborationModeWhenTheDJAllowsThem) {
  struct Case {
    const char* name;
    PartyMode mode;
    bool allowDuplicates;
    Actor actor;
    bool alreadyPlaying;  // else queued
    bool accepted;
  } cases[] = {
      {"guest, allowed", PartyMode::collaboration, true, Actor::participant(alice), false, true},
      {"guest, not allowed, queued", PartyMode::collaboration, false, Actor::participant(alice), false, false},
      {"guest, not allowed, playing", PartyMode::collaboration, false, Actor::participant(alice), true, false},
      {"DJ, not allowed", PartyMode::collaboration, false, Actor::host(), false, false},
      {"DJ, allowed", PartyMode::collaboration, true, Actor::participant(dee), true, true},
      {"DJ in suggestion mode ignores the setting", PartyMode::suggestion, true, Actor::participant(dee), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionState state = party(c.mode);
    state.settings.allowDuplicates = c.allowDuplicates;
    if (c.alreadyPlaying) {
      state.playback.current = queued(song("dup"));
    } else {
      state.queue = {queued(song("dup"))};
    }
    if (c.accepted) {
      EXPECT_EQ(accept(state, Add{song("dup")}, c.actor).queue.back().track.id, "dup");
    } else {
      EXPECT_EQ(refuse(state, Add{song("dup")}, c.actor),
                ProtocolError::duplicate("That song is already in the queue."));
    }
  }
}

TEST_F(ReducerTest, AddingQueuesANewItemWithoutStartingPlayback) {
  const SessionState next = accept(party(), Add{song("a")});
  ASSERT_EQ(next.queue.size(), 1u);
  EXPECT_EQ(next.queue[0], (QueueItem{"id-1", song("a"), Participant{"host", "Host", Role::dj}, kNow}));
  EXPECT_EQ(next.playback, party().playback);
  EXPECT_EQ(accept(party(), Add{song("a")}, Actor::participant(alice)).queue[0].addedBy, alice);
}

TEST_F(ReducerTest, RemovesOnlyQueuedItems) {
  SessionState state = party();
  state.queue = {queued(song("a")), queued(song("b"))};
  state.playback.current = queued(song("now"));
  EXPECT_EQ(trackIDs(accept(state, Remove{"item-a"}).queue), (std::vector<std::string>{"b"}));
  EXPECT_EQ(refuse(state, Remove{"item-now"}), ProtocolError::notFound("No queue item with id item-now."));
}

TEST_F(ReducerTest, MovesWithinRangeAndRefusesEveryOtherIndex) {
  SessionState state = party();
  state.queue = {queued(song("a")), queued(song("b")), queued(song("c"))};
  constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
  constexpr auto highest = std::numeric_limits<std::int64_t>::max();
  struct Case {
    const char* name;
    std::string itemID;
    std::int64_t toIndex;
    std::vector<std::string> order;  // empty when refused
    std::optional<ProtocolError> refusal;
  } cases[] = {
      {"first to last", "item-a", 2, {"b", "c", "a"}, std::nullopt},
      {"last to first", "item-c", 0, {"c", "a", "b"}, std::nullopt},
      {"middle to itself", "item-b", 1, {"a", "b", "c"}, std::nullopt},
      {"one past the end", "item-a", 3, {}, ProtocolError::badRequest("toIndex 3 is out of range 0..<3.")},
      {"negative", "item-a", -1, {}, ProtocolError::badRequest("toIndex -1 is out of range 0..<3.")},
      {"lowest", "item-a", lowest, {},
       ProtocolError::badRequest("toIndex -9223372036854775808 is out of range 0..<3.")},
      {"highest", "item-a", highest, {},
       ProtocolError::badRequest("toIndex 9223372036854775807 is out of range 0..<3.")},
      {"unknown item before the index", "nope", 7, {}, ProtocolError::notFound("No queue item with id nope.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.refusal) {
      EXPECT_EQ(refuse(state, Move{c.itemID, c.toIndex}), *c.refusal);
    } else {
      EXPECT_EQ(trackIDs(accept(state, Move{c.itemID, c.toIndex}).queue), c.order);
    }
  }
}

TEST_F(ReducerTest, ClearingTheQueueKeepsThePlayingItemAndRequests) {
  SessionState state = party();
  state.queue = {queued(song("a"))};
  state.playback.current = queued(song("now"));
  state.requests = {request("r", RequestItem::track(song("x")), bob, {"bob"})};
  const SessionState next = accept(state, ClearQueue{});
  EXPECT_TRUE(next.queue.empty());
  EXPECT_EQ(next.playback, state.playback);
  EXPECT_EQ(next.requests, state.requests);
}

TEST_F(ReducerTest, LoadsTracksOnceEachUnlessDuplicatesAreAllowed) {
  const PlaylistRef earlier = collection(PlaylistRef::Source::library, "1", "Earlier");
  const PlaylistRef mix = collection(PlaylistRef::Source::catalog, "2", "Mix");
  SessionState state = party();
  state.queue = {queued(song("b"))};
  state.playback.current = queued(song("now"));
  state.source = earlier;
  struct Case {
    const char* name;
    bool allowDuplicates;
    LoadTracks load;
    std::vector<std::string> queue;
    std::string nextID;  // shows how many ids were made
    PlaylistRef source;
  } cases[] = {
      {"repeats and queued songs skipped", false, {{song("a"), song("b"), song("a"), song("now")}, false, std::nullopt},
       {"b", "a"}, "id-2", earlier},
      {"replacing the queue", false, {{song("a"), song("b"), song("a")}, true, mix}, {"a", "b"}, "id-3", mix},
      {"duplicates allowed", true, {{song("a"), song("b"), song("a")}, false, mix}, {"b", "a", "b", "a"}, "id-4", mix},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state.settings.allowDuplicates = c.allowDuplicates;
    context = fixedContext();
    const SessionState next = accept(state, c.load);
    EXPECT_EQ(trackIDs(next.queue), c.queue);
    EXPECT_EQ(next.source, c.source);
    EXPECT_EQ(next.playback, state.playback);
    EXPECT_EQ(context.makeID(), c.nextID);
  }
}

}  // namespace
}  // namespace vinaro::testing
