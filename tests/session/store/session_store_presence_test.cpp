// Joins and departures that arrive together reach the phones as one state, and the badges of
// guests long gone do not pile up.

#include <map>
#include <set>

#include "session/participants/badge_retention.h"
#include "session/participants/command_rate.h"
#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::SessionState;

class SessionStorePresenceTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    makeStore();
    startHosting();
  }

  /// Everything `phone` received before a sync: the states, each checked to count `count` people.
  std::size_t statesCounting(GuestClient& phone, std::int64_t count) {
    sync(phone);
    std::size_t states = 0;
    for (std::size_t i = 0; i < phone.received.size(); ++i) {
      if (const auto state = payloadAt<SessionState>(phone, i)) {
        ++states;
        EXPECT_EQ(state->participantCount, count) << "message " << i;
      }
    }
    return states;
  }

  static std::size_t welcomes(const GuestClient& phone) {
    const auto names = types(phone);
    return static_cast<std::size_t>(std::count(names.begin(), names.end(), "welcome"));
  }
};

TEST_F(SessionStorePresenceTest, PhonesJoiningTogetherAreOneChangeWelcomedWithEveryoneAndThenOneStateToTheOthers) {
  auto early = join("Early", "device-early");
  sync(*early);
  early->received.clear();
  std::vector<std::unique_ptr<GuestClient>> crowd;
  for (int i = 0; i < 4; ++i) crowd.push_back(connectPhone());
  ASSERT_TRUE(QTest::qWaitFor([&] { return server->connectionCount() == 5; }, GuestClient::timeoutMs));
  const auto revision = store().state().revision;

  // Four hellos in one turn of the event loop, as when a crowd's arrive together.
  for (std::int64_t raw = 2; raw <= 5; ++raw) {
    const std::string device = "device-" + std::to_string(raw);
    store().handle({.id = "hello-" + device, .body = hello("Guest " + std::to_string(raw), device)}, ConnectionID{raw});
  }
  advance(SessionStore::welcomeIntervalSeconds);
  EXPECT_EQ(store().state().participantCount, 5);
  EXPECT_EQ(store().state().revision, revision + 1) << "one change and one save for the four";

  EXPECT_EQ(statesCounting(*early, 5), 0u) << "not within the interval after the last partygoers went out";
  advance(SessionStore::presenceIntervalSeconds);
  EXPECT_EQ(statesCounting(*early, 5), 1u) << "one state for the four arrivals, not four";
  for (auto& phone : crowd) {
    ASSERT_TRUE(phone->waitForMessages(1));
    const auto welcome = payloadAt<vinaro::Event::Welcome>(*phone, 0);
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->state.participantCount, 5) << "the welcome already has everyone";
    EXPECT_EQ(statesCounting(*phone, 5), 0u);
    EXPECT_EQ(welcomes(*phone), 1u);
  }
}

TEST_F(SessionStorePresenceTest, HellosALittleApartAtABigPartyShareOneWelcomePartyAndNoneWaitsPastTheLongestWait) {
  struct Case {
    const char* name;
    bool bigParty;        // whether its welcome takes `welcomeSharedFromBytes` or more; once, for good
    int hellos;
    double apart;         // virtual seconds from one hello to the next
    std::size_t parties;  // versions of the party among their welcomes
    double longestWait;   // the most a hello may wait for its welcome
    bool clearedAfterFirst = false;  // the queue is cleared once the first hello is read
    int tapsBehind = 0;              // badge changes each phone sends right behind its hello
  } cases[] = {
      {"alone at a small party, welcomed in the pass that read it", false, 1, 0, 1, 0},
      {"read in one pass at a small party", false, 4, 0, 1, 0},
      {"100 ms apart at a small party", false, 4, 0.1, 4, 0},
      {"alone at a big party", true, 1, 0, 1, SessionStore::welcomeIntervalSeconds},
      {"read in one pass", true, 4, 0, 1, SessionStore::welcomeIntervalSeconds},
      {"100 ms apart", true, 4, 0.1, 1, 0.3 + SessionStore::welcomeIntervalSeconds},
      // They never pause: a welcome every longest wait, for the hellos read since the last one.
      {"150 ms apart for 2 s", true, 15, 0.15, 3, SessionStore::welcomeLongestWaitSeconds},
      // The first one's wait ends with the second: no hello at a small party waits for a crowd.
      {"100 ms apart, the party small from the second", true, 2, 0.1, 1, 0.1, true},
      {"100 ms apart, each phone tapping right behind its hello", true, 4, 0.1, 1,
       0.3 + SessionStore::welcomeIntervalSeconds, false, 2},
      {"tapping past its burst before its welcome: the rest is refused at once", true, 1, 0, 1,
       SessionStore::welcomeIntervalSeconds, false, static_cast<int>(SessionStore::heldBackWhileJoining) + 3},
  };
  std::int64_t connected = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bigParty && store().state().queue.empty()) {
      queueWireSizedSongs(1'000);
      advance(SessionStore::presenceLongestWaitSeconds);
    }
    std::vector<std::unique_ptr<GuestClient>> phones;
    for (int i = 0; i < c.hellos; ++i) phones.push_back(connectPhone());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->connectionCount() == c.hellos; }, GuestClient::timeoutMs));
    const std::int64_t first = connected + 1;
    connected += c.hellos;
    const auto start = scheduler.monotonicNow();
    std::map<std::int64_t, double> heard, welcomed;
    const auto joined = QObject::connect(&store(), &SessionStore::participantsChanged, [&] {
      for (const auto& [connection, participant] : store().participants()) {
        welcomed.try_emplace(connection.raw, secondsBetween(start, scheduler.monotonicNow()));
      }
    });
    for (std::int64_t raw = first; raw < first + c.hellos; ++raw) {
      if (raw > first && c.apart > 0) advance(c.apart);
      heard[raw] = secondsBetween(start, scheduler.monotonicNow());
      const std::string device = "device-" + std::to_string(raw);
      store().handle({.id = "hello-" + device, .body = hello("Guest", device)}, ConnectionID{raw});
      for (int tap = 0; tap < c.tapsBehind; ++tap) {
        store().handle({.id = "tap-" + std::to_string(tap), .body = vinaro::Command{vinaro::Command::SetBadge{"gold"}}},
                       ConnectionID{raw});
      }
      if (raw == first && c.clearedAfterFirst) store().performHostAction(vinaro::action::ClearQueue{});
    }
    advance(SessionStore::welcomeLongestWaitSeconds);
    QObject::disconnect(joined);

    std::set<std::int64_t> revisions;
    for (std::int64_t raw = first; raw < first + c.hellos; ++raw) {
      ASSERT_TRUE(welcomed.contains(raw)) << "c" << raw << " was not welcomed";
      EXPECT_LE(welcomed[raw] - heard[raw], c.longestWait + 1e-6) << "c" << raw;
      auto& phone = *phones[static_cast<std::size_t>(raw - first)];
      const std::size_t refusedAtOnce =
          static_cast<std::size_t>(std::max(0, c.tapsBehind - static_cast<int>(SessionStore::heldBackWhileJoining)));
      ASSERT_TRUE(phone.waitForMessages(refusedAtOnce + 1));
      const auto welcome = payloadAt<vinaro::Event::Welcome>(phone, refusedAtOnce);
      ASSERT_TRUE(welcome) << "c" << raw << ": the welcome comes before all but the refusals past the burst";
      EXPECT_EQ(phone.received[refusedAtOnce].size() >= SessionStore::welcomeSharedFromBytes,
                c.bigParty && !c.clearedAfterFirst)
          << "c" << raw;
      revisions.insert(welcome->state.revision);
    }
    EXPECT_EQ(revisions.size(), c.parties);
    phones.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->connectionCount() == 0; }, GuestClient::timeoutMs));
    advance(SessionStore::presenceLongestWaitSeconds);
  }
}

TEST_F(SessionStorePresenceTest, AnythingAJoiningPhoneSendsIsAnsweredAfterItsWelcome) {
  auto phone = connectPhone();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server->connectionCount() == 1; }, GuestClient::timeoutMs));
  const ConnectionID connection{1};
  // Hellos to the end of the phone's burst, then a command past it, all in one turn.
  std::vector<std::string> sent;
  const auto hellos = static_cast<int>(CommandRate::burst);
  for (int i = 1; i <= hellos; ++i) {
    sent.push_back("hello-" + std::to_string(i));
    store().handle({.id = sent.back(), .body = hello("Name " + std::to_string(i), "device-1")}, connection);
  }
  sent.push_back("resign");
  store().handle({.id = "resign", .body = vinaro::Command{vinaro::Command::ResignDJ{}}}, connection);
  sync(*phone);
  std::vector<std::string> answered;
  for (std::size_t i = 0; i < phone->received.size(); ++i) {
    if (const auto event = phone->event(i); event && event->replyTo && !event->replyTo->starts_with("sync-")) {
      answered.push_back(*event->replyTo);
    }
  }
  EXPECT_EQ(answered, sent) << "each answer in the order sent, the refusal past the burst last";
  EXPECT_EQ(types(*phone).front(), "welcome");
  ASSERT_EQ(store().participants().size(), 1u);
  EXPECT_EQ(store().participants().begin()->second.name, "Name " + std::to_string(hellos));
}

TEST_F(SessionStorePresenceTest, JoinsThatNeverPauseAreStillToldAfterTheLongestWait) {
  auto early = join("Early", "device-early");
  sync(*early);
  early->received.clear();
  const auto states = [&] {
    sync(*early);
    const auto names = types(*early);
    return std::count(names.begin(), names.end(), "state");
  };
  const double step = SessionStore::presenceIntervalSeconds * 0.8;
  std::vector<std::unique_ptr<GuestClient>> crowd;
  double waited = 0;
  int joined = 0;
  // Each join comes before the interval after the one before it is over, and they go on past the
  // longest wait. Each welcome waits part of the step.
  for (; waited < SessionStore::presenceLongestWaitSeconds; waited += step) {
    EXPECT_EQ(states(), 0) << "the joins have not paused after " << joined;
    crowd.push_back(join("Guest", "device-" + std::to_string(joined++)));
    advance(step - SessionStore::welcomeIntervalSeconds);
  }
  advance(SessionStore::welcomeIntervalSeconds);  // the wait of the first of them, the loop's first step
  EXPECT_EQ(states(), 1) << "told at the latest after the longest wait, " << waited << " s";
  crowd.push_back(join("Guest", "device-" + std::to_string(joined++)));
  EXPECT_EQ(states(), 1) << "and the next join waits again";
}

TEST_F(SessionStorePresenceTest, PhonesLeavingTogetherAreOneChangeAndOneStateForThoseWhoStay) {
  auto staying = join("Stay", "device-stay");
  std::vector<std::unique_ptr<GuestClient>> leaving;
  for (int i = 0; i < 3; ++i) leaving.push_back(join("Leave " + std::to_string(i), "device-" + std::to_string(i)));
  advance(SessionStore::presenceIntervalSeconds);
  sync(*staying);
  staying->received.clear();
  const auto revision = store().state().revision;

  for (std::int64_t raw = 2; raw <= 4; ++raw) server->close(ConnectionID{raw});
  advance(SessionStore::presenceIntervalSeconds);
  EXPECT_EQ(store().state().participantCount, 1);
  EXPECT_EQ(store().state().revision, revision + 1) << "the three departures are one change";
  EXPECT_EQ(statesCounting(*staying, 1), 1u);
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

TEST_F(SessionStorePresenceTest, TheBadgeOfAGuestGoneForADayIsDroppedWhileAConnectedGuestKeepsTheirs) {
  auto staying = join("Stay", "device-stay");
  auto leaving = join("Leave", "device-leave");
  ASSERT_TRUE(ask(*staying, Command{Command::SetBadge{"gold"}}, "badge-stay"));
  ASSERT_TRUE(ask(*leaving, Command{Command::SetBadge{"vip"}}, "badge-leave"));
  const std::string stayID = store().participantID("device-stay"), leaveID = store().participantID("device-leave");
  leaving.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == 1; }, GuestClient::timeoutMs));

  scheduler.stepWallClock(2 * BadgeRetention::keepSeconds);  // a clock put right takes no badge
  advance(BadgeRetention::keepSeconds - 120);
  ASSERT_TRUE(store().state().badges);
  EXPECT_EQ(store().state().badges->size(), 2u) << "gone for less than a day";
  advance(240);
  EXPECT_EQ(store().state().badges, (std::map<std::string, std::string>{{stayID, "gold"}}));
}

TEST_F(SessionStorePresenceTest, BadgesOfDepartedGuestsStayBoundedAtEveryMomentNotOnlyAtThePrune) {
  auto phone = join("Shifty", "device-0");
  const std::size_t bound = BadgeRetention::maxAbsentHolders + 1;
  for (int i = 1; i <= static_cast<int>(bound) + 50; ++i) {
    ASSERT_TRUE(ask(*phone, Command{Command::SetBadge{"gold"}}, "badge-" + std::to_string(i)));
    ASSERT_LE(store().state().badges.value_or(std::map<std::string, std::string>{}).size(), bound) << "at " << i;
    // Its welcome waits a quarter of a second: within what one phone may send, and far short of
    // the minute's prune.
    ASSERT_TRUE(sayHello(*phone, "hello-" + std::to_string(i), hello("Shifty", "device-" + std::to_string(i))));
  }
}

}  // namespace
}  // namespace kovali
