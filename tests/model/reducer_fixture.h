#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/session_reducer.h"
#include "protocol/json_writer.h"

namespace vinaro {

/// Test failures show values in their wire form.
template <wire::SelfWriting T>
void PrintTo(const T& value, std::ostream* out) {
  try {
    *out << wire::encode(value);
  } catch (const wire::EncodeError& error) {
    *out << "<" << error.what() << ">";
  }
}

}  // namespace vinaro

namespace vinaro::testing {

/// The instant every fixed context acts at.
inline const Date kNow = Date::fromSecondsSince1970(1'700'000'000);

/// A context at a fixed instant whose ids count up: "id-1", "id-2", ... A copy counts on from
/// where the original stood, independently of it.
inline ReducerContext fixedContext(Date now = kNow) {
  return ReducerContext{now, [counter = 0]() mutable { return "id-" + std::to_string(++counter); }};
}

inline Track song(const std::string& id, std::optional<double> duration = std::nullopt) {
  Track track;
  track.id = id;
  track.title = "Song " + id;
  track.artist = "Artist";
  track.duration = duration;
  return track;
}

inline PlaylistRef collection(PlaylistRef::Source source, const std::string& id, const std::string& name) {
  PlaylistRef ref;
  ref.source = source;
  ref.id = id;
  ref.name = name;
  return ref;
}

inline const Participant alice{"alice", "Alice", Role::guest};
inline const Participant bob{"bob", "Bob", Role::guest};
inline const Participant dee{"dee", "Dee", Role::dj};

inline QueueItem queued(const Track& track, const Participant& addedBy = alice) {
  return QueueItem{"item-" + track.id, track, addedBy, kNow.addingSeconds(-60)};
}

inline SongRequest request(const std::string& id, RequestItem item, const Participant& by,
                           std::vector<std::string> votes, Date createdAt = kNow.addingSeconds(-60)) {
  return SongRequest{id, std::move(item), by, createdAt, RequestStatus::pending, std::nullopt, std::move(votes)};
}

inline SessionState party(PartyMode mode = PartyMode::collaboration) {
  SessionState state = SessionState::newParty("session", "Party");
  state.mode = mode;
  state.revision = 7;
  return state;
}

/// Runs actions through the reducer with one fixed context, both as a copying step and in
/// place, checking the revision rule and that a refusal leaves the state as it was.
class ReducerTest : public ::testing::Test {
 protected:
  ReducerContext context = fixedContext();

  SessionState accept(const SessionState& state, const SessionAction& action, const Actor& actor = Actor::host()) {
    ReducerContext sameContext = context;
    auto result = SessionReducer::reduce(state, action, actor, context);
    if (!result) {
      ADD_FAILURE() << "refused: " << result.error().message;
      return state;
    }
    EXPECT_EQ(result->revision, state.revision + 1);
    SessionState inPlace = state;
    EXPECT_EQ(SessionReducer::apply(inPlace, action, actor, sameContext), std::nullopt);
    EXPECT_EQ(inPlace, *result) << "in place";
    return std::move(result).value();
  }

  ProtocolError refuse(const SessionState& state, const SessionAction& action, const Actor& actor = Actor::host()) {
    ReducerContext sameContext = context;
    auto result = SessionReducer::reduce(state, action, actor, context);
    if (result) {
      ADD_FAILURE() << "accepted an action that should be refused";
      return {};
    }
    SessionState inPlace = state;
    EXPECT_EQ(SessionReducer::apply(inPlace, action, actor, sameContext), result.error()) << "in place";
    EXPECT_EQ(inPlace, state) << "a refusal changed the state";
    return std::move(result).error();
  }
};

}  // namespace vinaro::testing
