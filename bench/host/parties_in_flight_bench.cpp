// What the host-wide account of the parties sockets hold costs each time a socket reports that it
// wrote more, the parties unchanged: 120 phones holding an old party of 10,000 songs (4 MB) and
// the newest one, beside the floor of the same with parties of 1 KB. The account tells parties
// apart by their shared bytes, so the ratio stays near 1 whatever the party's size.

#include <array>

#include <benchmark/benchmark.h>

#include "support/bench_figures.h"
#include "platform/runtime/qt_scheduler.h"
#include "server/guest_limits.h"
#include "server/parties_in_flight.h"

namespace kovali {
namespace {

constexpr int phones = 120;
constexpr int reportsEach = 200;

/// Seconds per report, each phone reporting `reportsEach` times that a little more was written.
double secondsPerReport(qsizetype partyBytes) {
  QtScheduler scheduler;
  PartiesInFlight account(GuestLimits::oldPartiesBytes, scheduler);
  const QByteArray old(partyBytes, 'o'), newest(partyBytes, 'n');
  std::array<char, phones> places{};  // the account only tells holders apart
  const auto report = [&](int phone, qint64 written) {
    account.update(reinterpret_cast<GuestConnection*>(&places.at(static_cast<std::size_t>(phone))),
                   {{{old, partyBytes}}, newest, written}, {written, true});
  };
  for (int phone = 0; phone < phones; ++phone) report(phone, 0);
  const auto start = BenchClock::now();
  for (int written = 1; written <= reportsEach; ++written) {
    for (int phone = 0; phone < phones; ++phone) report(phone, written);
  }
  benchmark::DoNotOptimize(account.oldBytes());
  return milliseconds(BenchClock::now() - start) / 1000 / (phones * reportsEach);
}

void PartiesInFlightReportWithAnUnchangedParty(benchmark::State& state) {
  double ours = 0, floor = 0;
  for (auto _ : state) {
    ours += secondsPerReport(4'000'000);
    floor += secondsPerReport(1'000);
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["ns_per_report"] = ours / runs * 1e9;
  state.counters["floor_ns_per_report"] = floor / runs * 1e9;
  state.counters["ratio"] = ours / floor;
}
BENCHMARK(PartiesInFlightReportWithAnUnchangedParty)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kovali
