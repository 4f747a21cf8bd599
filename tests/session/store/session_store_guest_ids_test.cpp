// Phones know each other only by public ids: a device id, which decides the DJ role, never
// reaches another phone, and sending an id seen on the wire gains nothing; nor does guessing
// the PIN from many addresses.

#include <functional>
#include <map>
#include <set>

#include "session/store/session_store_fixture.h"
#include "support/log_capture.h"
#include "support/stalled_phone.h"

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

  void guessFromManyAddresses(const std::function<QHostAddress(int)>& source);

  /// The role a new connection gets when it says hello as `deviceID`.
  Role roleOfHello(const std::string& deviceID) {
    auto phone = join("Probe", deviceID);
    const auto welcome = payloadAt<Event::Welcome>(*phone, 0);
    EXPECT_TRUE(welcome) << deviceID;
    return welcome ? welcome->role : Role::dj;
  }

  /// Waits until the reply to `id` has come, or until the host has read everything `phone` sent
  /// after it without replying; answers the reply.
  std::optional<EventEnvelope> replyIfAny(GuestClient& phone, const std::string& id) {
    sync(phone);
    for (std::size_t i = 0; i < phone.received.size(); ++i) {
      if (auto event = phone.event(i); event && event->replyTo == id) return event;
    }
    return std::nullopt;
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

/// Phones from addresses of their own that say hello and guess the PIN once, as a crowd of
/// guessers taking turns does.
class Guessers {
 public:
  /// Connects a phone from each of `sources`, each of which sends hello and then a wrong PIN;
  /// waits until the host has read both.
  bool arrive(std::uint16_t port, const std::vector<QHostAddress>& sources) {
    phones_.clear();
    for (const auto& source : sources) {
      auto phone = std::make_unique<StalledPhone>();
      const std::string device = "guesser-" + source.toString().toStdString();
      if (!phone->connectTo(port, source) ||
          !phone->sendText(commandMessage("hello", vinaro::Command{vinaro::Command::Hello{"Guest", device, 1}})) ||
          !phone->sendText(commandMessage("guess", vinaro::Command{vinaro::Command::AuthenticateDJ{"0000"}}))) {
        return false;
      }
      phones_.push_back(std::move(phone));
    }
    return settle();
  }
  /// Waits until the host has read everything the phones sent, answering what it answers at once.
  bool settle() {
    const std::string id = "settled-" + std::to_string(++settles_);
    const auto marker = commandMessage(id, vinaro::Command{vinaro::Command::DeletePlaylist{"none"}});
    for (auto& phone : phones_) {
      if (!phone->sendText(marker)) return false;
    }
    return QTest::qWaitFor(
        [&] {
          return std::all_of(phones_.begin(), phones_.end(), [&](auto& phone) {
            if (phone->drain() < 0) return true;
            const auto messages = phone->messages();
            return std::any_of(messages.begin(), messages.end(),
                               [&](const std::string& message) { return message.find(id) != std::string::npos; });
          });
        },
        GuestClient::timeoutMs);
  }
  /// How many answers so far said "Wrong PIN.": the PINs the host compared.
  int compared() const {
    int count = 0;
    for (const auto& phone : phones_) {
      for (const auto& message : phone->messages()) count += message.find("\"Wrong PIN.\"") != std::string::npos;
    }
    return count;
  }
  /// Hangs up every phone.
  void leave() { phones_.clear(); }

 private:
  std::vector<std::unique_ptr<StalledPhone>> phones_;
  int settles_ = 0;
};

/// `count` loopback addresses from `first` on.
std::vector<QHostAddress> ipv4Sources(std::uint32_t first, int count) {
  std::vector<QHostAddress> sources;
  for (int i = 0; i < count; ++i) sources.emplace_back(first + static_cast<std::uint32_t>(i));
  return sources;
}

/// Guessers that come, guess and go in rounds from more addresses than the limiter remembers,
/// taking the `n`th address from `source(n)`; the DJ rejoins meanwhile, and the right PIN gets
/// in once they stop.
void SessionStoreGuestIDsTest::guessFromManyAddresses(const std::function<QHostAddress(int)>& source) {
  auto dj = join("Dee", kDJDevice);
  ASSERT_TRUE(exchange(*dj, Command{Command::AuthenticateDJ{"2468"}}, "pin"));
  dj.reset();
  LogCapture log("kovaliapp.session");
  const std::uint16_t port = std::get<HostServer::Status::Ready>(server->status().value).port;

  // Fifty new addresses every forty seconds, 600 in all: more than the limiter remembers. Each
  // phone stays until the longest wait has passed.
  constexpr int kRounds = 12;
  constexpr int kPerRound = 50;
  constexpr double kRoundSeconds = PINAttemptLimiter::longestWaitSeconds;
  Guessers guessers;
  int compared = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<QHostAddress> sources;
    for (int i = 0; i < kPerRound; ++i) sources.push_back(source(round * kPerRound + i));
    ASSERT_TRUE(guessers.arrive(port, sources)) << "round " << round;
    advance(kRoundSeconds);  // the waiting attempts are compared at their turns
    ASSERT_TRUE(guessers.settle());
    compared += guessers.compared();
    guessers.leave();
    if (round == kRounds / 2) {
      EXPECT_EQ(roleOfHello(kDJDevice), Role::dj) << "the DJ's phone rejoins as DJ during the guessing";
    }
  }
  const double turns = (kRounds * kRoundSeconds + PINAttemptLimiter::longestWaitSeconds) / PINAttemptLimiter::turnSeconds;
  EXPECT_LE(compared, PINAttemptLimiter::allowedHostFailures + turns) << "of " << kRounds * kPerRound << " guesses";
  EXPECT_GE(compared, PINAttemptLimiter::allowedHostFailures + kRounds) << "the waiting ones are compared in turn";
  EXPECT_TRUE(log.hasLineStartingWith("Wrong DJ PINs from 20 addresses: the host now compares at most one PIN every 20 s."));

  // The guessing has stopped: a phone that has the PIN, trying every ten seconds, gets in soon.
  const vinaro::Date stopped = scheduler.now();
  auto late = join("Lee", "device-lee");
  bool granted = false;
  for (int attempt = 0; !granted && scheduler.now().secondsSince(stopped) <= 90; ++attempt) {
    const std::string id = "pin-" + std::to_string(attempt);
    late->received.clear();
    late->sendCommand(id, Command{Command::AuthenticateDJ{"2468"}});
    auto reply = replyIfAny(*late, id);
    while (!reply && scheduler.now().secondsSince(stopped) <= 90) {  // waiting for its turn
      advance(1);
      reply = replyIfAny(*late, id);
    }
    if (!reply) break;
    granted = payload<Event::RoleChanged>(*reply) != nullptr;
    if (const auto* refused = payload<vinaro::ProtocolError>(*reply)) {
      EXPECT_EQ(refused->message, "Too many wrong PINs at this party. Try again later.");
      advance(10);
    }
  }
  EXPECT_TRUE(granted);
  EXPECT_LE(scheduler.now().secondsSince(stopped), 90) << "within 90 s of the last guess";
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{kDJDevice, "device-lee"}));
}

TEST_F(SessionStoreGuestIDsTest, GuessersFromMoreAddressesThanAreRememberedGetOnlyTheTurnsAndTheDJStaysDJ) {
  guessFromManyAddresses([](int n) { return QHostAddress(0x7F000100 + static_cast<std::uint32_t>(n)); });
}

/// The same guessing from 600 addresses of one IPv6 /64, as any device can give itself. Run by
/// ipv6_guessers_test.sh in a network namespace whose loopback takes every address of the prefix.
class SessionStoreIPv6GuessersTest : public SessionStoreGuestIDsTest {
 protected:
  void SetUp() override {
    const QByteArray prefix = qgetenv("KOVALI_IPV6_GUESSERS");
    if (prefix.isEmpty()) GTEST_SKIP() << "run by ipv6_guessers_test.sh";
    prefix_ = QHostAddress(QString::fromLatin1(prefix));
    ASSERT_EQ(prefix_.protocol(), QAbstractSocket::IPv6Protocol) << prefix.constData();
    // Inside the test's own namespace: IPv6 phones and the IPv4 test clients both reach it.
    auto fake = std::make_unique<FakeServiceAdvertiser>();
    advertiser = fake.get();
    server = std::make_unique<HostServer>(scheduler, std::move(fake), QHostAddress(QHostAddress::Any));
    SessionStoreGuestIDsTest::SetUp();
  }
  QHostAddress address(int n) const {
    Q_IPV6ADDR bytes = prefix_.toIPv6Address();
    bytes[14] = static_cast<quint8>(1 + n / 256);
    bytes[15] = static_cast<quint8>(n % 256);
    return QHostAddress(bytes);
  }

 private:
  QHostAddress prefix_;
};

TEST_F(SessionStoreIPv6GuessersTest, GuessersFromOneIPv6PrefixGetOnlyTheTurnsAndTheDJStaysDJ) {
  guessFromManyAddresses([this](int n) { return address(n); });
}

TEST_F(SessionStoreGuestIDsTest, OnGuardEachPhoneWaitsWithOnePINForItsTurnAndTheRestAreToldToTryLater) {
  LogCapture log("kovaliapp.session");
  const std::uint16_t port = std::get<HostServer::Status::Ready>(server->status().value).port;
  Guessers guessers;
  ASSERT_TRUE(guessers.arrive(port, ipv4Sources(0x7F000200, PINAttemptLimiter::allowedHostFailures)));
  ASSERT_EQ(guessers.compared(), PINAttemptLimiter::allowedHostFailures) << "compared at once before the guard";
  ASSERT_TRUE(log.hasLineStartingWith("Wrong DJ PINs from 20 addresses: "));

  auto dee = join("Dee", "device-dee");
  const auto logged = log.lines().size();
  dee->sendCommand("first", Command{Command::AuthenticateDJ{"2468"}});
  EXPECT_FALSE(replyIfAny(*dee, "first")) << "it waits for its turn";
  for (int more = 0; more < 10; ++more) dee->sendCommand("more", Command{Command::AuthenticateDJ{"2468"}});
  dee->sendCommand("second", Command{Command::AuthenticateDJ{"2468"}});
  const auto second = replyIfAny(*dee, "second");
  ASSERT_TRUE(second);
  const auto* refused = payload<vinaro::ProtocolError>(*second);
  ASSERT_TRUE(refused);
  EXPECT_EQ(*refused, vinaro::ProtocolError::limitReached("Too many wrong PINs at this party. Try again later."));
  EXPECT_EQ(log.lines().size(), logged) << "PINs refused unread leave no line each, or guessers fill the disk";
  EXPECT_FALSE(replyIfAny(*dee, "first")) << "the first still waits";
  EXPECT_TRUE(store().djDeviceIDs().empty());

  advance(PINAttemptLimiter::turnSeconds);
  const auto granted = replyIfAny(*dee, "first");
  ASSERT_TRUE(granted);
  EXPECT_TRUE(payload<Event::RoleChanged>(*granted));
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{"device-dee"}));
}

/// Phones from addresses of their own around a PIN waiting in line.
class PINLine {
 public:
  explicit PINLine(std::uint16_t port) : port_(port) {}

  /// A phone from the loopback address `source` that said hello, known by `name`.
  StalledPhone& join(std::uint32_t source, const std::string& name) {
    auto& phone = *(phones_[name] = std::make_unique<StalledPhone>());
    EXPECT_TRUE(phone.connectTo(port_, source));
    EXPECT_TRUE(phone.sendText(commandMessage("hello", Command{Command::Hello{"Guest", "device-" + name, 1}})));
    return phone;
  }
  StalledPhone& operator[](const std::string& name) { return *phones_.at(name); }
  /// Sends `pin` from `phone` as the command `id`.
  static void sendPIN(StalledPhone& phone, const std::string& pin, const std::string& id = "pin") {
    EXPECT_TRUE(phone.sendText(commandMessage(id, Command{Command::AuthenticateDJ{pin}})));
  }
  /// The reply to `id` that `phone` has once the host has read all it sent; nothing when the
  /// host has not answered it (yet).
  std::optional<std::string> replyTo(StalledPhone& phone, const std::string& id = "pin") {
    const std::string read = "read-" + std::to_string(++reads_);
    EXPECT_TRUE(phone.sendText(commandMessage(read, Command{Command::DeletePlaylist{"none"}})));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return phone.drain() < 0 || reply(phone, read); },
        GuestClient::timeoutMs))
        << "the host did not read " << read;
    return reply(phone, id);
  }

 private:
  using Command = vinaro::Command;

  static std::optional<std::string> reply(const StalledPhone& phone, const std::string& id) {
    for (const auto& message : phone.messages()) {
      if (message.find("\"replyTo\":\"" + id + "\"") != std::string::npos) return message;
    }
    return std::nullopt;
  }

  std::uint16_t port_;
  std::map<std::string, std::unique_ptr<StalledPhone>> phones_;
  int reads_ = 0;
};

TEST_F(SessionStoreGuestIDsTest, OnGuardEveryPINInLineIsAnsweredAndAnAddressThatNeverGuessedGoesFirst) {
  constexpr std::uint32_t kGuesser = 0x7F000200;  // the first of those that put the host on guard
  constexpr std::uint32_t kNew = 0x7F000301;      // an address that never guessed
  const auto nothing = [](PINLine&) {};
  const auto twoGuessersWait = [](PINLine& line) {
    for (const std::uint32_t guesser : {kGuesser, kGuesser + 1}) {
      auto& phone = line.join(guesser, "guesser-" + std::to_string(guesser - kGuesser));
      PINLine::sendPIN(phone, "0000");
      EXPECT_EQ(line.replyTo(phone), std::nullopt) << "it waits in line";
    }
  };
  const auto waiting = [](PINLine& line) { return &line["waiting"]; };
  struct Case {
    const char* name;
    std::function<void(PINLine&)> before;  // before the right PIN from a new address waits in line
    /// What happens while it waits; answers the phone whose PIN is answered at the turn.
    std::function<StalledPhone*(PINLine&)> meanwhile;
    double turnIn;       // seconds from then
    const char* answer;  // a piece of that answer
  } cases[] = {
      {"its phone hangs up and its address sends the PIN again", nothing,
       [this](PINLine& line) {
         const auto phones = store().participants().size();
         line["waiting"].reset();
         EXPECT_TRUE(QTest::qWaitFor([&] { return store().participants().size() < phones; }, GuestClient::timeoutMs));
         auto& again = line.join(kNew, "again");
         PINLine::sendPIN(again, "2468");
         EXPECT_EQ(line.replyTo(again), std::nullopt) << "it takes the place given up";
         return &again;
       },
       PINAttemptLimiter::turnSeconds, "\"roleChanged\""},
      {"two addresses that guessed wait before it", twoGuessersWait, waiting, PINAttemptLimiter::turnSeconds,
       "\"roleChanged\""},
      {"the last of those, whose place it takes", twoGuessersWait, [](PINLine& line) { return &line["guesser-1"]; },
       0, "Too many wrong PINs at this party. Try again later."},
      {"its address locked once the guard has ended",
       [this](PINLine& line) {
         advance(PINAttemptLimiter::hostWindowSeconds - 25);  // a PIN compared now leaves the next turn at 5 s before the end
         auto& first = line.join(kNew + 1, "first");
         PINLine::sendPIN(first, "2468");
         const auto granted = line.replyTo(first);
         EXPECT_TRUE(granted && granted->find("\"roleChanged\"") != std::string::npos) << "compared at once";
         auto& second = line.join(kNew + 2, "second");
         PINLine::sendPIN(second, "2468");
         EXPECT_EQ(line.replyTo(second), std::nullopt) << "its turn is 5 s before the guard ends";
       },
       [this](PINLine& line) {
         advance(26);  // the guard has ended, and the turn is 14 s away
         auto& sameAddress = line.join(kNew, "same-address");
         for (int wrong = 0; wrong < PINAttemptLimiter::allowedFailures; ++wrong) {
           PINLine::sendPIN(sameAddress, "0000", "wrong-" + std::to_string(wrong));
         }
         const auto fifth = line.replyTo(sameAddress, "wrong-4");
         EXPECT_TRUE(fifth && fifth->find("Wrong PIN.") != std::string::npos) << "compared at once, and locking";
         return &line["waiting"];
       },
       14, "Too many wrong PINs. Try again in "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    makeStore(false);
    const std::uint16_t port = startHosting();
    PINLine line(port);
    Guessers guessers;
    ASSERT_TRUE(guessers.arrive(port, ipv4Sources(kGuesser, PINAttemptLimiter::allowedHostFailures)));
    c.before(line);
    auto& waitingPhone = line.join(kNew, "waiting");
    PINLine::sendPIN(waitingPhone, "2468");
    ASSERT_EQ(line.replyTo(waitingPhone), std::nullopt) << "it waits for its turn";

    StalledPhone* answered = c.meanwhile(line);
    advance(c.turnIn);

    const auto answer = line.replyTo(*answered);
    ASSERT_TRUE(answer) << "never answered";
    EXPECT_NE(answer->find(c.answer), std::string::npos) << *answer;
  }
}

TEST_F(SessionStoreGuestIDsTest, OnGuardADeviceThatMistypedOnceGetsInWhileAddressesKeepGuessing) {
  constexpr std::uint32_t kDJ = 0x7F000301;
  constexpr std::uint32_t kFlooder = 0x7F000401;
  constexpr double kGuessingSeconds = 300;
  struct Case {
    const char* name;
    int flooders;  // addresses sending a wrong PIN again at once whenever theirs is answered
  } cases[] = {{"six addresses", 6}, {"twelve addresses", 12}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    makeStore(false);
    const std::uint16_t port = startHosting();
    PINLine line(port);
    auto& dj = line.join(kDJ, "dj");
    PINLine::sendPIN(dj, "1357", "typo");
    const auto typo = line.replyTo(dj, "typo");
    ASSERT_TRUE(typo && typo->find("Wrong PIN.") != std::string::npos) << "compared at once";
    Guessers guessers;
    ASSERT_TRUE(guessers.arrive(port, ipv4Sources(0x7F000200, PINAttemptLimiter::allowedHostFailures)));
    std::map<std::string, std::string> waiting;  // the PIN each phone waits on
    const auto answered = [&](const std::string& name) {
      return line.replyTo(line[name], waiting.at(name));
    };
    for (int n = 0; n < c.flooders; ++n) line.join(kFlooder + static_cast<std::uint32_t>(n), "flooder-" + std::to_string(n));
    const vinaro::Date start = scheduler.now();
    bool djIn = false;
    // Every 5 s the flooders send again first, so they take every place a turn has freed.
    for (int sent = 0; !djIn && scheduler.now().secondsSince(start) <= kGuessingSeconds; advance(5)) {
      for (int n = 0; n < c.flooders; ++n) {
        const std::string name = "flooder-" + std::to_string(n);
        if (waiting.contains(name) && !answered(name)) continue;
        waiting[name] = "pin-" + std::to_string(++sent);
        PINLine::sendPIN(line[name], "0000", waiting[name]);
      }
      if (waiting.contains("dj")) {
        const auto answer = answered("dj");
        if (!answer) continue;
        djIn = answer->find("\"roleChanged\"") != std::string::npos;
        if (!djIn) {
          EXPECT_NE(answer->find("Too many wrong PINs at this party. Try again later."), std::string::npos) << *answer;
        }
        waiting.erase("dj");
      }
      if (!djIn) {
        waiting["dj"] = "pin-" + std::to_string(++sent);
        PINLine::sendPIN(dj, "2468", waiting["dj"]);
      }
    }
    EXPECT_TRUE(djIn) << "the right PIN every 5 s got in within " << kGuessingSeconds << " s";
    EXPECT_EQ(store().djDeviceIDs().size(), djIn ? 1u : 0u);
  }
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
