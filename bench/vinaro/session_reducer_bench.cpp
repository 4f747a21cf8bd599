#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "model/session_reducer.h"

namespace vinaro {
namespace {

using namespace action;

Track benchTrack(const std::string& id) {
  Track track;
  track.id = id;
  track.title = "A song title of usual length " + id;
  track.artist = "Some Artist";
  track.album = "Some Album";
  track.duration = 215;
  track.artworkURLTemplate = "https://artwork.example/" + id + "/{w}x{h}bb.jpg";
  return track;
}

Participant benchGuest(int n) {
  return Participant{"guest-device-" + std::to_string(n), "Guest " + std::to_string(n), Role::guest};
}

/// A busy party: 1,000 songs queued, 200 pending requests from 20 guests.
SessionState busyParty(ReducerContext& context) {
  SessionState state = SessionState::newParty("bench", "Bench Party");
  state.mode = PartyMode::suggestion;
  for (int i = 0; i < 1000; ++i) {
    state.queue.push_back(QueueItem{context.makeID(), benchTrack("q" + std::to_string(i)), benchGuest(i % 20),
                                    context.now});
  }
  for (int i = 0; i < 200; ++i) {
    std::vector<std::string> votes;
    for (int v = 0; v < i % 7; ++v) votes.push_back(benchGuest(v).id);
    state.requests.push_back(SongRequest{context.makeID(), RequestItem::track(benchTrack("r" + std::to_string(i))),
                                         benchGuest(i % 20), context.now, RequestStatus::pending, std::nullopt,
                                         std::move(votes)});
  }
  state.requests = SessionReducer::orderedRequests(std::move(state.requests));
  return state;
}

/// Who acts in the stream.
struct Cast {
  Actor host = Actor::host();
  Actor dj = Actor::participant(Participant{"dj-device", "DJ", Role::dj});
  std::vector<Actor> guests;

  Cast() {
    for (int i = 0; i < 20; ++i) guests.push_back(Actor::participant(benchGuest(i)));
  }
};

/// Step `step` of the stream: queue edits, playback, votes, suggestions, rejections, pruning and one
/// refused edit in turn, chosen so that the queue and the request list keep their size.
std::pair<SessionAction, const Actor*> mixedAction(long step, const SessionState& state, const Cast& cast) {
  const Actor* guest = &cast.guests[static_cast<std::size_t>(step % 20)];
  const auto pick = [&](std::size_t size) { return static_cast<std::size_t>(step * 7919 % static_cast<long>(size)); };
  switch (step % 10) {
    case 0: return {Add{benchTrack("n" + std::to_string(step))}, &cast.dj};
    case 1: return {Skip{}, &cast.dj};
    case 2: return {Vote{state.requests[pick(state.requests.size())].id, step % 20 < 10}, guest};
    case 3: {
      const std::size_t from = pick(state.queue.size());
      return {Move{state.queue[from].id, static_cast<std::int64_t>(state.queue.size() - 1 - from)}, &cast.dj};
    }
    case 4: return {Add{benchTrack("s" + std::to_string(step))}, guest};  // becomes a request
    case 5: return {RejectRequest{state.requests.front().id}, &cast.dj};
    case 6: return {PlaybackObserved{PlaybackStatus::playing, static_cast<double>(step % 200)}, &cast.host};
    case 7: return {Remove{state.queue.front().id}, guest};  // refused: guests may not
    case 8: return {SetBadge{"gold"}, guest};
    default: return {PruneResolvedRequests{}, &cast.host};
  }
}

/// Applies the stream one simulated second apart. `inPlace` runs the step that changes the state
/// itself instead of the one that returns a new copy.
void runMixedActions(benchmark::State& run, bool inPlace) {
  long counter = 0;
  ReducerContext context{Date::fromSecondsSince1970(1'700'000'000),
                         [&counter] { return "item-" + std::to_string(++counter); }};
  SessionState state = busyParty(context);
  const Cast cast;
  long step = 0;
  long refused = 0;
  for (auto _ : run) {
    const auto [action, actor] = mixedAction(step++, state, cast);
    if (inPlace) {
      if (SessionReducer::apply(state, action, *actor, context)) ++refused;
    } else if (auto result = SessionReducer::reduce(state, action, *actor, context)) {
      state = std::move(result).value();
    } else {
      ++refused;
    }
    context.now = context.now.addingSeconds(1);
  }
  run.SetItemsProcessed(run.iterations());
  run.counters["queue"] = static_cast<double>(state.queue.size());
  run.counters["requests"] = static_cast<double>(state.requests.size());
  run.counters["refused"] = static_cast<double>(refused);
}

void BM_MixedActionsReduce(benchmark::State& run) { runMixedActions(run, false); }
void BM_MixedActionsApplyInPlace(benchmark::State& run) { runMixedActions(run, true); }
BENCHMARK(BM_MixedActionsReduce);
BENCHMARK(BM_MixedActionsApplyInPlace);

}  // namespace
}  // namespace vinaro
