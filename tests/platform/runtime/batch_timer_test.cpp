// When a burst of requests is run, in virtual time: a run waits for the requests to stop, a
// request for one soon goes in the next pass of the event loop, and a run replaced goes with it.

#include "platform/runtime/batch_timer.h"

#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "support/manual_scheduler.h"

namespace kovali {
namespace {

struct Ask {
  double at;  // virtual seconds from the start
  enum { request, soon, now } kind;
};

struct BatchCase {
  const char* name;
  std::vector<Ask> asks;  // in time order; those at the same time in one pass of the event loop
  std::vector<double> runs;
};

TEST(BatchTimer, ARunWaitsForTheRequestsToStopAndOneAskedSoonGoesInTheNextPassTakingInAnyWaiting) {
  const BatchTimer::Timing timing{.quietSeconds = 0.25, .longestWaitSeconds = 1};
  const BatchCase cases[] = {
      {"one request", {{0, Ask::request}}, {0.25}},
      {"requests 0.1 s apart share a run once they stop", {{0, Ask::request}, {0.1, Ask::request}}, {0.35}},
      {"requests that never stop run at the longest wait",
       {{0, Ask::request},
        {0.2, Ask::request},
        {0.4, Ask::request},
        {0.6, Ask::request},
        {0.8, Ask::request},
        {0.9, Ask::request}},
       {1.0}},
      {"asked soon", {{0, Ask::soon}}, {0}},
      {"asked soon while a run waits: the waiting requests go with it at once",
       {{0, Ask::request}, {0.1, Ask::soon}},
       {0.1}},
      {"run at once, then a request: the run posted before does not take it early",
       {{0, Ask::soon}, {0, Ask::now}, {0, Ask::request}},
       {0, 0.25}},
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    QObject owner;
    std::vector<double> runs;
    const auto start = scheduler.monotonicNow();
    BatchTimer timer(owner, scheduler, timing,
                     [&] { runs.push_back(secondsBetween(start, scheduler.monotonicNow())); });
    double now = 0;
    for (const Ask& ask : c.asks) {
      if (ask.at > now) {  // else in the same pass
        QCoreApplication::processEvents();
        scheduler.advance(ask.at - now);
        now = ask.at;
      }
      if (ask.kind == Ask::request) timer.request();
      if (ask.kind == Ask::soon) timer.requestSoon();
      if (ask.kind == Ask::now) timer.runNow();
    }
    for (int step = 0; step < 40; ++step) {  // 2 s, the posted runs run as they would
      QCoreApplication::processEvents();
      scheduler.advance(0.05);
    }
    ASSERT_EQ(runs.size(), c.runs.size()) << c.name;
    for (std::size_t i = 0; i < runs.size(); ++i) EXPECT_NEAR(runs[i], c.runs[i], 1e-9) << c.name << ", run " << i;
  }
}

}  // namespace
}  // namespace kovali
