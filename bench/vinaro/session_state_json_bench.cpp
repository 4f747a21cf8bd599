#include <benchmark/benchmark.h>

#include "model/session_state.h"

namespace vinaro {
namespace {

SessionState largeSession() {
  SessionState state = SessionState::newParty("6F1C2A3B-0000-4000-8000-00000000ABCD", "Friday at Ana's");
  const Participant guest{"device-42", "Ana", Role::guest};
  auto track = [](int n) {
    return Track{"song-" + std::to_string(n), "Song number " + std::to_string(n), "Some Artist",
                 "An Album", 201.5, "https://art.example/" + std::to_string(n) + "/{w}x{h}bb.jpg", n % 7 == 0};
  };
  for (int i = 0; i < 1000; ++i) {
    state.queue.push_back({"item-" + std::to_string(i), track(i), guest, Date{1733564400000.0 + i}});
  }
  for (int i = 0; i < 200; ++i) {
    state.requests.push_back({"req-" + std::to_string(i), RequestItem::track(track(5000 + i)), guest,
                              Date{1733564400000.5 + i}, RequestStatus::pending, std::nullopt,
                              {"device-42", "device-7", "host"}});
  }
  state.playback = {PlaybackStatus::playing, state.queue.front(), 12.25, Date{1733564401000.0}};
  state.badges = std::map<std::string, std::string>{{"device-42", "gold"}};
  return state;
}

void EncodeSessionState(benchmark::State& run) {
  const SessionState state = largeSession();
  std::size_t bytes = 0;
  for (auto _ : run) {
    const std::string json = wire::encode(state);
    bytes += json.size();
    benchmark::DoNotOptimize(json.data());
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(EncodeSessionState)->Unit(benchmark::kMillisecond);

void DecodeSessionState(benchmark::State& run) {
  const std::string json = wire::encode(largeSession());
  for (auto _ : run) {
    SessionState state = wire::decode<SessionState>(json);
    benchmark::DoNotOptimize(state.revision);
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(json.size() * run.iterations()));
}
BENCHMARK(DecodeSessionState)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vinaro
