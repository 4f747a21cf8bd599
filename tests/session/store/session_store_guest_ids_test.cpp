// Phones know each other only by public ids: a device id, which decides the DJ role, never
// reaches another phone, and sending an id seen on the wire gains nothing.

#include <set>

#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::PartyMode;
using vinaro::QueuePosition;
using vinaro::Role;
using vinaro::SessionState;

const std::string kDJDevice = "dj-device-7f3a";
const std::string kAnaDevice = "ana-device-91c2";
const std::string kBenDevice = "ben-device-0b44";

class SessionStoreGuestIDsTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    startHostingThreeSongs();
  }

  /// Sends `command` and waits for the reply to it; every message stays in `received`.
  std::optional<EventEnvelope> exchange(GuestClient& phone, const Command& command, const std::string& id) {
    phone.sendCommand(id, command);
    std::optional<EventEnvelope> reply;
    const bool answered = QTest::qWaitFor(
        [&] {
          runPostedEvents();
          for (std::size_t i = 0; i < phone.received.size() && !reply; ++i) {
            if (auto event = phone.event(i); event && event->replyTo == id) reply = std::move(event);
          }
          return reply.has_value();
        },
        GuestClient::timeoutMs);
    if (!answered) ADD_FAILURE() << "no reply to " << id;
    return reply;
  }

  /// The role a new connection gets when it says hello as `deviceID`.
  Role roleOfHello(const std::string& deviceID) {
    auto phone = join("Probe", deviceID);
    const auto welcome = payloadAt<Event::Welcome>(*phone, 0);
    EXPECT_TRUE(welcome) << deviceID;
    return welcome ? welcome->role : Role::dj;
  }

  std::string requestID() const {
    return store().state().requests.empty() ? std::string() : store().state().requests.front().id;
  }
};

TEST_F(SessionStoreGuestIDsTest, NoPhoneIsSentADeviceIDAndSeenIDsGainNothingAcrossAReconnectAndARelaunch) {
  auto dj = join("Dee", kDJDevice);
  ASSERT_TRUE(exchange(*dj, Command{Command::AuthenticateDJ{"2468"}}, "pin"));
  ASSERT_TRUE(exchange(*dj, Command{Command::SetMode{PartyMode::suggestion}}, "mode"));
  auto ana = join("Ana", kAnaDevice);
  auto ben = join("Ben", kBenDevice);

  // Suggestions, a vote, a badge, an approval and a rejection.
  ASSERT_TRUE(exchange(*ana, Command{Command::Add{"s1"}}, "suggest-1"));
  const std::string anasFirst = requestID();
  ASSERT_TRUE(exchange(*ben, Command{Command::VoteRequest{anasFirst, true}}, "vote"));
  ASSERT_TRUE(exchange(*ben, Command{Command::SetBadge::withTier(vinaro::SupporterTier::gold)}, "badge"));
  ASSERT_TRUE(exchange(*ben, Command{Command::Add{"s2"}}, "suggest-2"));
  ASSERT_TRUE(exchange(*dj, Command{Command::ApproveRequest{anasFirst, QueuePosition::end}}, "approve"));
  std::string bensRequest;
  for (const auto& request : store().state().requests) {
    if (request.isPending()) bensRequest = request.id;
  }
  ASSERT_FALSE(bensRequest.empty());
  ASSERT_TRUE(exchange(*dj, Command{Command::RejectRequest{bensRequest}}, "reject"));
  ASSERT_TRUE(exchange(*ana, Command{Command::Add{"s3"}}, "suggest-3"));
  for (auto* phone : {dj.get(), ana.get(), ben.get()}) sync(*phone);

  const std::string djID = store().participantID(kDJDevice);
  const std::string benID = store().participantID(kBenDevice);
  EXPECT_EQ(store().state().queue.at(0).addedBy.id, store().participantID(kAnaDevice));
  EXPECT_EQ(store().state().badges, (std::map<std::string, std::string>{{benID, "gold"}}));

  // Every byte of every message to every phone: no device id, and every id seen is collected.
  std::set<std::string> seenIDs;
  for (auto* phone : {dj.get(), ana.get(), ben.get()}) {
    ASSERT_GT(phone->received.size(), 5u);
    for (std::size_t i = 0; i < phone->received.size(); ++i) {
      const auto event = phone->event(i);
      ASSERT_TRUE(event) << phone->received[i];
      // The phone's own envelope id comes back as it was sent (the test's ids name devices).
      std::string bytes = phone->received[i];
      if (event->replyTo) bytes.erase(bytes.find("\"replyTo\":\"" + *event->replyTo), event->replyTo->size() + 11);
      for (const std::string& device : {kDJDevice, kAnaDevice, kBenDevice}) {
        EXPECT_EQ(bytes.find(device), std::string::npos) << "message " << i << ": " << phone->received[i];
      }
      if (const auto* welcome = payload<Event::Welcome>(*event)) seenIDs.insert(welcome->participantID);
      if (const auto* state = payload<SessionState>(*event); state && state->partygoers) {
        for (const auto& partygoer : *state->partygoers) seenIDs.insert(partygoer.id);
      }
    }
  }
  ASSERT_TRUE(seenIDs.contains(djID));

  // A guest that says hello with any id it has seen, the DJ's first of all, is a guest.
  for (const std::string& seen : seenIDs) EXPECT_EQ(roleOfHello(seen), Role::guest) << seen;

  // The DJ's own phone comes back as DJ.
  dj.reset();
  EXPECT_EQ(roleOfHello(kDJDevice), Role::dj);

  // A relaunch keeps the DJ and the votes, and the phones recognise themselves again.
  const auto votes = store().state().requests;
  ana.reset();
  ben.reset();
  dropStore();
  server->stop();
  makeStore();
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{kDJDevice}));
  EXPECT_EQ(store().state().requests, votes);
  startHosting();
  auto benAgain = join("Ben", kBenDevice);
  const auto welcome = payloadAt<Event::Welcome>(*benAgain, 0);
  ASSERT_TRUE(welcome);
  EXPECT_EQ(welcome->participantID, benID);
  const auto& requests = store().state().requests;
  const auto found = std::find_if(requests.begin(), requests.end(), [&](const auto& r) { return r.id == anasFirst; });
  ASSERT_NE(found, requests.end());
  EXPECT_TRUE(found->hasVote(welcome->participantID)) << "Ben's vote is still his";
  EXPECT_EQ(roleOfHello(kDJDevice), Role::dj);
}

TEST_F(SessionStoreGuestIDsTest, ASessionSavedWithDeviceIDsIsRestoredUnderPublicIDsOnce) {
  // A session file from before public ids: the queue, a request and its votes and a badge name
  // the phones by their device ids.
  SessionState saved = SessionState::newParty("8C1F0E52-3C1B-4C55-9B7E-7A0D5C1E2F10", "Party");
  saved.revision = 12;
  vinaro::QueueItem item{"q1", MusicService::track(song("s1")), {kAnaDevice, "Ana", Role::guest}, vinaro::Date{1}};
  vinaro::QueueItem byHost{"q2", MusicService::track(song("s2")), vinaro::Participant::host("Host"), vinaro::Date{2}};
  saved.queue = {item, byHost};
  saved.requests = {vinaro::SongRequest{"r1",
                                        vinaro::RequestItem::track(MusicService::track(song("s3"))),
                                        {kBenDevice, "Ben", Role::guest},
                                        vinaro::Date{3},
                                        vinaro::RequestStatus::pending,
                                        std::nullopt,
                                        {kBenDevice, kAnaDevice}}};
  saved.badges = std::map<std::string, std::string>{{kAnaDevice, "vip"}};
  dropStore();
  {
    auto opened = SessionArchive::open(archiveFolder.path());
    ASSERT_TRUE(opened.hasValue());
    SessionArchive archive = std::move(opened).value();
    SessionSnapshot older = SessionSnapshot::of(saved, {kDJDevice}, vinaro::Date{4});
    older.participantIDsArePublic = false;
    ASSERT_TRUE(archive.save(older));
  }
  secrets.items.erase({ParticipantIDs::service, ParticipantIDs::account});

  makeStore();
  const std::string ana = store().participantID(kAnaDevice);
  const std::string ben = store().participantID(kBenDevice);
  EXPECT_EQ(store().state().queue[0].addedBy.id, ana);
  EXPECT_EQ(store().state().queue[1].addedBy.id, "host");
  EXPECT_EQ(store().state().requests[0].requestedBy.id, ben);
  EXPECT_EQ(store().state().requests[0].votes, (std::vector<std::string>{ben, ana}));
  EXPECT_EQ(store().state().badges, (std::map<std::string, std::string>{{ana, "vip"}}));
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{kDJDevice}));

  // Saved again under public ids, it comes back unchanged: the key is kept, nothing is mapped twice.
  store().persist();
  const auto queue = store().state().queue;
  makeStore();
  EXPECT_EQ(store().state().queue, queue);
  EXPECT_EQ(store().participantID(kAnaDevice), ana);
}

TEST_F(SessionStoreGuestIDsTest, OwnershipSurvivesALaunchWithoutTheKeyOfTheParticipantIDs) {
  auto ana = join("Ana", kAnaDevice);
  ASSERT_TRUE(exchange(*ana, Command{Command::Add{"s1"}}, "add"));
  const std::string anaID = store().participantID(kAnaDevice);
  ASSERT_EQ(store().state().queue.at(0).addedBy.id, anaID);
  ana.reset();
  server->stop();

  // One launch cannot read the key: its ids last for that run only.
  const auto kept = secrets.items;
  secrets.failure = SecretError{SecretError::Kind::failed, "locked"};
  makeStore();
  store().persist();
  EXPECT_EQ(store().state().queue.at(0).addedBy.id, anaID) << "saved ids are never hashed again";

  // The next launch reads the key again, and Ana still owns her song.
  secrets.failure.reset();
  ASSERT_EQ(secrets.items, kept);
  makeStore();
  EXPECT_EQ(store().participantID(kAnaDevice), anaID);
  EXPECT_EQ(store().state().queue.at(0).addedBy.id, anaID);
}

}  // namespace
}  // namespace kovali
