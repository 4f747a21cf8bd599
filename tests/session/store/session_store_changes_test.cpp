// Changes read together go out as one state at a big party, and the guests' changes wait their
// turn behind one shared budget while the DJ's go at once.

#include <set>

#include <QSignalSpy>

#include "session/participants/command_rate.h"
#include "session/participants/guest_changes.h"
#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::SessionState;

class SessionStoreChangesTest : public SessionStoreTest {
 protected:
  void SetUp() override { startHostingThreeSongs(); }

  std::unique_ptr<GuestClient> joinAsDJ(const std::string& name, const std::string& deviceID) {
    auto phone = join(name, deviceID);
    EXPECT_TRUE(ask(*phone, Command{Command::AuthenticateDJ{"2468"}}, "pin"));
    sync(*phone);
    phone->received.clear();
    return phone;
  }

  /// The connection of the participant called `name`.
  ConnectionID connectionOf(const std::string& name) const {
    for (const auto& [connection, participant] : store().participants()) {
      if (participant.name == name) return connection;
    }
    ADD_FAILURE() << name << " is not at the party";
    return {};
  }

  /// The revisions of the states that answer the messages of `phone` whose ids start with `prefix`.
  static std::vector<std::int64_t> answeredRevisions(const GuestClient& phone, const std::string& prefix) {
    std::vector<std::int64_t> revisions;
    for (std::size_t i = 0; i < phone.received.size(); ++i) {
      const auto event = phone.event(i);
      if (!event || !event->replyTo || !event->replyTo->starts_with(prefix)) continue;
      if (const auto* state = payload<SessionState>(*event)) revisions.push_back(state->revision);
    }
    return revisions;
  }

  static std::size_t statesReceived(const GuestClient& phone) {
    std::size_t states = 0;
    for (std::size_t i = 0; i < phone.received.size(); ++i) states += payloadAt<SessionState>(phone, i) ? 1 : 0;
    return states;
  }
};

TEST_F(SessionStoreChangesTest, ChangesReadInOnePassAtABigPartyGoOutAsOneStateAnsweringEachPhone) {
  struct Case {
    const char* name;
    int songs;              // queued before, to make the party big
    std::size_t states;     // the states each phone receives for the changes
    std::size_t refreshes;  // of the screens: the DJ's change at once, the guests' together once they are made
    int anasChanges = 1;    // made in one pass beside Ben's and the DJ's one each
  } cases[] = {
      {"at a small party each change goes out at once", 0, 3, 3},
      {"at a big party they go out together once the pass is done", 1'000, 1, 2},
      {"at a big party a phone's two changes in the pass are both answered by the one state", 0, 1, 2, 2},
  };
  auto dj = joinAsDJ("Dee", "device-dj");
  auto ana = join("Ana", "device-ana");
  auto ben = join("Ben", "device-ben");
  const std::vector<GuestClient*> phones{dj.get(), ana.get(), ben.get()};
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.songs > 0) queueWireSizedSongs(c.songs);
    advance(SessionStore::presenceLongestWaitSeconds);
    for (auto* phone : phones) {
      sync(*phone);
      phone->received.clear();
    }
    const std::string prefix = "r" + std::to_string(++round) + "-";
    QSignalSpy refreshes(&store(), &SessionStore::stateChanged);
    for (int i = 0; i < c.anasChanges; ++i) {
      store().handle(
          {.id = prefix + "ana" + std::to_string(i), .body = Command{Command::SetBadge{i % 2 ? "vip" : "gold"}}},
          connectionOf("Ana"));
    }
    store().handle({.id = prefix + "ben", .body = Command{Command::SetBadge{"vip"}}}, connectionOf("Ben"));
    store().handle({.id = prefix + "dee", .body = Command{Command::SetBadge{"vip"}}}, connectionOf("Dee"));

    std::set<std::int64_t> revisions;
    for (auto* phone : phones) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !answeredRevisions(*phone, prefix).empty(); }, GuestClient::timeoutMs));
      sync(*phone);
      const auto answers = answeredRevisions(*phone, prefix);
      ASSERT_EQ(answers.size(), phone == ana.get() ? static_cast<std::size_t>(c.anasChanges) : 1u)
          << "each phone's message is answered once";
      revisions.insert(answers.begin(), answers.end());
      EXPECT_EQ(statesReceived(*phone), c.states + answers.size() - 1) << "with each answer";
    }
    EXPECT_EQ(static_cast<std::size_t>(refreshes.size()), c.refreshes) << "the screens see the guests' changes too";
    EXPECT_EQ(revisions.size(), c.states == 1 ? 1u : 3u) << "the answers carry the state of their own change";
  }
}

TEST_F(SessionStoreChangesTest, AtABigPartyTheGuestsChangesGoOutAtMostOnceASecondAndTheDJsAtOnce) {
  const struct Case {
    const char* name;
    Command bens;         // Ben's change, half a second after a guest's state
    bool leaves = false;  // Ben's phone goes while its change waits
  } cases[] = {
      {"a badge", Command{Command::SetBadge{"vip"}}},
      {"a song added by id", Command{Command::Add{"s1"}}},
      {"a badge from a phone that goes before its turn", Command{Command::SetBadge{"gold"}}, true},
  };
  auto dj = joinAsDJ("Dee", "device-dj");
  auto ana = join("Ana", "device-ana");
  queueWireSizedSongs(1'000);
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string prefix = "r" + std::to_string(++round) + "-";
    auto ben = join("Ben", "device-ben-" + std::to_string(round));
    advance(SessionStore::presenceLongestWaitSeconds);
    ASSERT_TRUE(ask(*ana, Command{Command::SetBadge{round % 2 ? "gold" : "vip"}}, prefix + "ana"));
    for (auto* phone : {dj.get(), ben.get()}) {
      sync(*phone);
      phone->received.clear();
    }

    advance(SessionStore::guestStatesSeconds / 2);
    store().handle({.id = prefix + "ben", .body = c.bens}, connectionOf("Ben"));
    runPostedEvents();
    sync(*ben);
    EXPECT_TRUE(answeredRevisions(*ben, prefix + "ben").empty())
        << "half a second after a guest's state, the next waits";
    if (c.leaves) {
      ben.reset();
      ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == 2; }, GuestClient::timeoutMs));
      runPostedEvents();
    }
    const auto revision = store().state().revision;
    ASSERT_TRUE(ask(*dj, Command{Command::SetBadge{round % 2 ? "vip" : "gold"}}, prefix + "dee"))
        << "the DJ's goes at once";

    advance(SessionStore::guestStatesSeconds / 2);
    if (c.leaves) {
      runPostedEvents();
      EXPECT_EQ(store().state().revision, revision + 1) << "the DJ's change, and not that of a phone that has gone";
    } else {
      EXPECT_TRUE(
          QTest::qWaitFor([&] { return !answeredRevisions(*ben, prefix + "ben").empty(); }, GuestClient::timeoutMs));
      EXPECT_EQ(store().state().revision, revision + 2);
      server->close(connectionOf("Ben"));
      ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == 2; }, GuestClient::timeoutMs));
    }
  }
}

TEST_F(SessionStoreChangesTest, TheDJIsAnsweredAheadOfAGuestCrowdsChangesWaitingTheirTurn) {
  auto dj = joinAsDJ("Dee", "device-dj");
  std::vector<std::unique_ptr<GuestClient>> guests;
  for (int i = 0; i < 3; ++i) guests.push_back(join("Guest", "device-guest-" + std::to_string(i)));
  // Each guest's connection took one change of its burst with its sync: together past the burst
  // of all guests' changes.
  const int each = static_cast<int>(CommandRate::burst) - 1;
  const int sent = 3 * each;
  ASSERT_GT(sent, static_cast<int>(GuestChanges::burst));
  for (auto& guest : guests) {
    sync(*guest);
    guest->received.clear();
    for (int i = 0; i < each; ++i) guest->sendCommand("b" + std::to_string(i), Command{Command::SetBadge{i % 2 ? "gold" : "vip"}});
  }
  const auto answered = [&] {
    std::size_t count = 0;
    for (const auto& guest : guests) count += answeredRevisions(*guest, "b").size();
    return count;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered() == static_cast<std::size_t>(GuestChanges::burst); },
                              GuestClient::timeoutMs));
  const auto reply = ask(*dj, Command{Command::SetBadge{"gold"}}, "dee");
  ASSERT_TRUE(reply);
  EXPECT_TRUE(payload<SessionState>(*reply)) << "the DJ's change went through";
  EXPECT_EQ(answered(), static_cast<std::size_t>(GuestChanges::burst)) << "the rest of the crowd still waits";

  advance(1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return answered() == static_cast<std::size_t>(sent); }, GuestClient::timeoutMs))
      << answered() << " of " << sent << " answered a second later";
}

}  // namespace
}  // namespace kovali
