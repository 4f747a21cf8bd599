#include "session/store/session_store_fixture.h"
#include "session/participants/command_rate.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

using vinaro::ProtocolError;
using vinaro::Role;
using vinaro::SessionState;
using Code = vinaro::ProtocolError::Code;

class SessionStoreIntakeTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    setPIN("2468");
    makeStore();
    startHosting();
  }

  /// Sends `command` and answers the one reply it gets, which must be an error.
  std::optional<ProtocolError> refusalOf(GuestClient& phone, const Command& command, const std::string& id) {
    sync(phone);
    phone.received.clear();
    phone.sendCommand(id, command);
    if (!phone.waitForMessages(1)) return std::nullopt;
    const auto reply = eventAt(phone, 0);
    EXPECT_EQ(reply.replyTo, id);
    const auto* error = payload<ProtocolError>(reply);
    return error ? std::optional(*error) : std::nullopt;
  }

  void becomeDJ(GuestClient& phone) {
    phone.sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
    ASSERT_TRUE(phone.waitForMessages(3));
    phone.received.clear();
  }
};

TEST_F(SessionStoreIntakeTest, NamesAreTrimmedAndAnEmptyNameBecomesPartygoer) {
  struct Case {
    const char* sent;
    const char* stored;
  } cases[] = {{"  Ana \n", "Ana"}, {" \t\n ", "Partygoer"}, {"", "Partygoer"}};
  int n = 0;
  for (const auto& c : cases) {
    auto phone = connectPhone();
    const std::string device = "device-" + std::to_string(++n);
    phone->sendCommand("hi", hello(c.sent, device));
    ASSERT_TRUE(phone->waitForMessages(1));
    const auto partygoers = store().state().partygoers.value_or(std::vector<vinaro::Participant>{});
    const bool found = std::any_of(partygoers.begin(), partygoers.end(), [&](const auto& p) {
      return p.id == store().participantID(device) && p.name == c.stored;
    });
    EXPECT_TRUE(found) << "sent \"" << c.sent << "\"";
  }
}

TEST_F(SessionStoreIntakeTest, ALongNameIsCutTo64CharactersAsPeopleCountThem) {
  std::string accented;  // "é" written as "e" and a combining accent: one character, two code points
  for (int i = 0; i < 100; ++i) accented += "e\u0301";
  const std::string expected = accented.substr(0, 64 * 3);
  auto phone = join(accented, "device-long-name");
  ASSERT_EQ(store().participants().size(), 1u);
  EXPECT_EQ(store().participants().begin()->second.name, expected);
  auto exact = join(std::string(64, 'x') + "   ", "device-exact");
  EXPECT_EQ(store().participants().rbegin()->second.name, std::string(64, 'x'));
}

TEST_F(SessionStoreIntakeTest, ANameIsCutBetweenCharactersToAt256Bytes) {
  const auto repeated = [](const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
  };
  const std::string heavy = "a" + repeated("\u0301", 100);  // one character of 201 bytes
  struct Case {
    const char* what;
    std::string sent;
    std::string stored;
  } cases[] = {
      {"64 four-byte characters", repeated("\U0001F600", 64), repeated("\U0001F600", 64)},
      {"characters of 201 bytes", repeated(heavy, 10), heavy},
      {"one character over 256 bytes", repeated("a" + repeated("\u0301", 7000), 64), "Partygoer"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string device = "device-heavy-" + std::to_string(++n);
    auto phone = join(c.sent, device);
    const auto found = std::find_if(store().participants().begin(), store().participants().end(),
                                    [&](const auto& entry) { return entry.second.id == store().participantID(device); });
    ASSERT_NE(found, store().participants().end()) << c.what;
    EXPECT_EQ(found->second.name, c.stored) << c.what;
    EXPECT_LE(found->second.name.size(), 256u) << c.what;
  }
}

TEST_F(SessionStoreIntakeTest, ADeviceIDTooLongOrWithControlCharactersIsRefused) {
  struct Case {
    const char* name;
    std::string deviceID;
    std::optional<ProtocolError> refusal;
  } cases[] = {
      {"128 bytes", std::string(128, 'd'), std::nullopt},
      {"129 bytes", std::string(129, 'd'),
       ProtocolError::badRequest("The device ID is too long; it may have at most 128 bytes.")},
      {"a line break", "device\n1", ProtocolError::badRequest("The device ID must not contain control characters.")},
      {"a C1 control", "device\u00851",
       ProtocolError::badRequest("The device ID must not contain control characters.")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto phone = connectPhone();
    phone->sendCommand("hi", hello("Ana", c.deviceID));
    ASSERT_TRUE(phone->waitForMessages(1));
    const auto reply = eventAt(*phone, 0);
    if (!c.refusal) {
      EXPECT_TRUE(payload<Event::Welcome>(reply));
      continue;
    }
    const auto* error = payload<ProtocolError>(reply);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, *c.refusal);
    EXPECT_EQ(refusalOf(*phone, Command{Command::Skip{}}, "skip"), ProtocolError::badRequest("Send hello first."))
        << "no participant was made";
  }
}

TEST_F(SessionStoreIntakeTest, RefusesEverythingButHelloBeforeHello) {
  auto phone = connectPhone();
  const auto refusal = refusalOf(*phone, Command{Command::Play{}}, "early");
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, ProtocolError::badRequest("Send hello first."));
  EXPECT_TRUE(store().participants().empty());
}

TEST_F(SessionStoreIntakeTest, AHelloOfAnotherVersionIsAnsweredAndTheConnectionClosed) {
  const auto revision = store().state().revision;
  auto phone = connectPhone();
  phone->sendCommand("hi", hello("Ana", "device-ana", 2));
  ASSERT_TRUE(phone->waitForMessages(1));
  ASSERT_TRUE(phone->waitForDisconnect());
  const auto reply = eventAt(*phone, 0);
  EXPECT_EQ(reply.replyTo, "hi");
  const auto* error = payload<ProtocolError>(reply);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, ProtocolError::unsupportedVersion("Unsupported protocol version."));
  EXPECT_TRUE(store().participants().empty());
  EXPECT_EQ(store().state().revision, revision) << "nothing was dispatched";
}

TEST_F(SessionStoreIntakeTest, TheDJGateLetsGuestsThroughOnlyWithGuestCommands) {
  auto guest = join("Ana", "device-ana");
  struct Case {
    const char* name;
    Command command;
    std::optional<Code> expected;  // none: a reply that is not the gate's
  } cases[] = {
      {"remove", Command{Command::Remove{"q1"}}, Code::forbidden},
      {"play", Command{Command::Play{}}, Code::forbidden},
      {"resignDJ", Command{Command::ResignDJ{}}, Code::forbidden},
      {"saveQueueAsPlaylist", Command{Command::SaveQueueAsPlaylist{"Mix"}}, Code::forbidden},
      {"audio", Command{vinaro::AudioCommand{vinaro::AudioCommand::Refresh{}}}, Code::forbidden},
      {"voteRequest", Command{Command::VoteRequest{"nope", true}}, Code::notFound},
      {"setBadge", Command{Command::SetBadge{"platinum"}}, std::nullopt},
  };
  for (const auto& c : cases) {
    guest->received.clear();
    guest->sendCommand(c.name, c.command);
    ASSERT_TRUE(guest->waitForMessages(1)) << c.name;
    const auto reply = eventAt(*guest, 0);
    EXPECT_EQ(reply.replyTo, c.name);
    const auto* error = payload<ProtocolError>(reply);
    if (c.expected == Code::forbidden) {
      ASSERT_TRUE(error) << c.name;
      EXPECT_EQ(*error, ProtocolError::forbidden("Only the DJ can do that.")) << c.name;
    } else if (error) {
      EXPECT_NE(error->message, "Only the DJ can do that.") << c.name;
      if (c.expected) {
        EXPECT_EQ(error->code, *c.expected) << c.name;
      }
    }
  }
}

TEST_F(SessionStoreIntakeTest, TheDJIsToldThatSavedPlaylistsAreGone) {
  auto dj = join("Dee", "device-dj");
  becomeDJ(*dj);
  for (const auto& command : {Command{Command::SaveQueueAsPlaylist{"Mix"}}, Command{Command::DeletePlaylist{"p1"}}}) {
    const auto refusal = refusalOf(*dj, command, std::string(command.type()));
    ASSERT_TRUE(refusal) << command.type();
    EXPECT_EQ(*refusal, ProtocolError::badRequest(
                            "Saved playlists are no longer kept on the host. Update Kovali on your iPhone."))
        << command.type();
  }
}

TEST_F(SessionStoreIntakeTest, AnyPINIsWrongWhileTheHostHasNoValidPIN) {
  auto phone = join("Ana", "device-ana");
  for (const char* hostPIN : {"", "123", "1234567", "12a4"}) {
    setPIN(hostPIN);
    const auto refusal = refusalOf(*phone, Command{Command::AuthenticateDJ{hostPIN}}, "pin");
    ASSERT_TRUE(refusal) << "host PIN \"" << hostPIN << "\"";
    EXPECT_EQ(*refusal, ProtocolError::invalidPin("Wrong PIN.")) << "host PIN \"" << hostPIN << "\"";
  }
  EXPECT_TRUE(store().djDeviceIDs().empty());
}

TEST_F(SessionStoreIntakeTest, AttemptsWhileTheHostHasNoPINAreNotCountedAgainstTheAddress) {
  auto phone = join("Dee", "device-dj");
  setPIN("");
  for (int attempt = 1; attempt <= PINAttemptLimiter::allowedFailures + 1; ++attempt) {
    EXPECT_EQ(refusalOf(*phone, Command{Command::AuthenticateDJ{"2468"}}, "early"),
              ProtocolError::invalidPin("Wrong PIN."))
        << "attempt " << attempt;
  }

  // The PIN is set, and the first try with it works.
  setPIN("2468");
  sync(*phone);
  phone->received.clear();
  phone->sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(phone->waitForMessages(1));
  EXPECT_EQ(eventAt(*phone, 0).body.type(), "roleChanged");
}

TEST_F(SessionStoreIntakeTest, AfterFiveWrongPINsFromAnAddressItsAttemptsAreHeldBackAndToldHowLong) {
  LogCapture log("kovaliapp.session");
  auto phone = join("Ana", "device-ana");
  for (int attempt = 1; attempt <= 5; ++attempt) {
    const auto refusal = refusalOf(*phone, Command{Command::AuthenticateDJ{"0000"}}, "guess");
    EXPECT_EQ(refusal, ProtocolError::invalidPin("Wrong PIN.")) << "attempt " << attempt;
  }
  EXPECT_TRUE(log.hasLineStartingWith("Too many wrong PINs: DJ logins from 127.0.0.1 are held back for 30 s."));

  // Even the right PIN is not looked at now, and the phone is told so, with the real wait.
  EXPECT_EQ(refusalOf(*phone, Command{Command::AuthenticateDJ{"2468"}}, "locked"),
            ProtocolError::limitReached("Too many wrong PINs. Try again in 30 seconds."));
  advance(29.5);
  EXPECT_EQ(refusalOf(*phone, Command{Command::AuthenticateDJ{"2468"}}, "locked"),
            ProtocolError::limitReached("Too many wrong PINs. Try again in 1 second."));

  // A new device id on the same connection, or a new connection, is held back all the same.
  phone->sendCommand("again", hello("Ana", "device-ana-2"));
  ASSERT_TRUE(phone->waitForMessages(1));
  EXPECT_EQ(refusalOf(*phone, Command{Command::AuthenticateDJ{"2468"}}, "renamed"),
            ProtocolError::limitReached("Too many wrong PINs. Try again in 1 second."));
  auto other = join("Ben", "device-ben");
  EXPECT_EQ(refusalOf(*other, Command{Command::AuthenticateDJ{"2468"}}, "other"),
            ProtocolError::limitReached("Too many wrong PINs. Try again in 1 second."));
  EXPECT_TRUE(store().djDeviceIDs().empty());

  // Once the lock is over, the right PIN works.
  advance(0.5);
  sync(*phone);
  phone->received.clear();
  phone->sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(phone->waitForMessages(1));
  EXPECT_EQ(eventAt(*phone, 0).body.type(), "roleChanged");
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{"device-ana-2"}));
}

TEST_F(SessionStoreIntakeTest, TheRightPINClearsTheWrongOnesBeforeIt) {
  auto phone = join("Dee", "device-dj");
  for (int attempt = 1; attempt <= 4; ++attempt) {
    EXPECT_EQ(refusalOf(*phone, Command{Command::AuthenticateDJ{"0000"}}, "typo"),
              ProtocolError::invalidPin("Wrong PIN."))
        << "attempt " << attempt;
  }
  becomeDJ(*phone);
  phone->sendCommand("resign", Command{Command::ResignDJ{}});
  ASSERT_TRUE(phone->waitForMessages(3));

  // One more typo is the first since the right PIN, not the fifth.
  EXPECT_EQ(refusalOf(*phone, Command{Command::AuthenticateDJ{"0000"}}, "typo"),
            ProtocolError::invalidPin("Wrong PIN."));
  sync(*phone);
  phone->received.clear();
  phone->sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(phone->waitForMessages(1));
  EXPECT_EQ(eventAt(*phone, 0).body.type(), "roleChanged");
}

TEST_F(SessionStoreIntakeTest, AWelcomeShowsAGuestItsOwnResolvedRequestsButNoOtherGuests) {
  store().performHostAction(vinaro::action::SetMode{vinaro::PartyMode::suggestion});
  auto ana = join("Ana", "device-ana");
  auto ben = join("Ben", "device-ben");
  const auto album = [](const std::string& id) {
    return vinaro::PlaylistRef{vinaro::PlaylistRef::Source::album, id, "Album " + id, std::nullopt, std::nullopt,
                               std::nullopt};
  };
  ASSERT_TRUE(ask(*ana, Command{Command::SuggestCollection{album("a1")}}, "suggest"));
  ASSERT_TRUE(ask(*ben, Command{Command::SuggestCollection{album("b1")}}, "suggest"));
  ASSERT_EQ(store().state().requests.size(), 2u);
  const auto requests = store().state().requests;
  for (const auto& request : requests) store().performHostAction(vinaro::action::RejectRequest{request.id});
  ASSERT_EQ(store().lastHostError(), std::nullopt);

  sync(*ana);
  ana->received.clear();
  ana->sendCommand("again", hello("Ana", "device-ana"));
  ASSERT_TRUE(ana->waitForMessages(1));
  const auto welcome = payloadAt<Event::Welcome>(*ana, 0);
  ASSERT_TRUE(welcome);
  ASSERT_EQ(welcome->state.requests.size(), 1u);
  EXPECT_EQ(welcome->state.requests[0].requestedBy.id, store().participantID("device-ana"));
  EXPECT_EQ(welcome->state.requests[0].status, vinaro::RequestStatus::rejected);
}

TEST_F(SessionStoreIntakeTest, ResigningAnswersThenSendsTheGuestViewThenTheNewPartygoers) {
  auto dj = join("Dee", "device-dj");
  auto guest = join("Ana", "device-ana");
  becomeDJ(*dj);
  sync(*dj);
  sync(*guest);
  dj->received.clear();
  guest->received.clear();

  dj->sendCommand("resign", Command{Command::ResignDJ{}});
  ASSERT_TRUE(dj->waitForMessages(3));
  sync(*guest);
  ASSERT_EQ(types(*dj), (std::vector<std::string>{"roleChanged", "state", "state"}));
  EXPECT_EQ(eventAt(*dj, 0).replyTo, "resign");
  EXPECT_EQ(payloadAt<Event::RoleChanged>(*dj, 0).value_or(Event::RoleChanged{Role::dj}).role, Role::guest);
  EXPECT_EQ(eventAt(*dj, 1).replyTo, std::nullopt);
  EXPECT_EQ(types(*guest), (std::vector<std::string>{"state"}));
  EXPECT_TRUE(store().djDeviceIDs().empty());
  EXPECT_EQ(store().participants().begin()->second.role, Role::guest);
}

TEST_F(SessionStoreIntakeTest, ADeviceConnectedTwiceIsDJOnlyWhereItLoggedInUntilItsNextHello) {
  auto first = join("Dee", "device-dj");
  auto second = join("Dee", "device-dj");
  becomeDJ(*first);

  EXPECT_EQ(refusalOf(*second, Command{Command::Skip{}}, "skip"), ProtocolError::forbidden("Only the DJ can do that."));
  EXPECT_EQ(store().partygoers().size(), 1u) << "one participant however many connections";

  second->received.clear();
  second->sendCommand("again", hello("Dee", "device-dj"));
  ASSERT_TRUE(second->waitForMessages(1));
  const auto welcome = payloadAt<Event::Welcome>(*second, 0);
  ASSERT_TRUE(welcome);
  EXPECT_EQ(welcome->role, Role::dj);
}

TEST_F(SessionStoreIntakeTest, ARefusedActionGetsOneErrorAndNobodyGetsAState) {
  auto a = join("Ana", "device-ana");
  auto b = join("Ben", "device-ben");
  sync(*a);
  a->received.clear();
  const auto revision = store().state().revision;

  const auto refusal = refusalOf(*a, Command{Command::VoteRequest{"missing", true}}, "vote");
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->code, Code::notFound);
  sync(*a);
  sync(*b);
  EXPECT_EQ(types(*a), (std::vector<std::string>{"error"}));
  EXPECT_EQ(types(*b), (std::vector<std::string>{"welcome"}));
  EXPECT_EQ(store().state().revision, revision);
}

TEST_F(SessionStoreIntakeTest, AClosedConnectionLeavesThePartygoersOnlyWhenItHadSaidHello) {
  auto stranger = connectPhone();
  auto ana = join("Ana", "device-ana");
  auto ben = join("Ben", "device-ben");
  const auto revision = store().state().revision;

  stranger.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server->connectionCount() == 2; }, GuestClient::timeoutMs));
  EXPECT_EQ(store().state().revision, revision) << "a phone that never said hello changes nothing";

  ben.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == 1; }, GuestClient::timeoutMs));
  EXPECT_EQ(store().state().revision, revision + 1);
  EXPECT_EQ(store().state().participantCount, 1);
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

TEST_F(SessionStoreIntakeTest, AFloodOfChangesFromOnePhoneIsRefusedPastItsRateAndTheOthersAreStillServed) {
  auto flooder = join("Flood", "device-flood");
  auto other = join("Calm", "device-calm");
  int accepted = 0;
  std::optional<ProtocolError> firstRefusal;
  for (int i = 0; i < 40 && !firstRefusal; ++i) {
    firstRefusal = refusalOf(*flooder, Command{Command::SetBadge{"gold"}}, "b" + std::to_string(i));
    if (!firstRefusal) ++accepted;
  }
  EXPECT_EQ(accepted, static_cast<int>(CommandRate::burst) - 1) << "the hello took one";
  EXPECT_EQ(firstRefusal,
            ProtocolError::limitReached("Too many changes at once. Wait a moment and try again."));
  const auto revision = store().state().revision;
  EXPECT_TRUE(refusalOf(*flooder, Command{Command::SetBadge{"vip"}}, "refused"));
  EXPECT_EQ(store().state().revision, revision) << "a refused change changes nothing";
  EXPECT_EQ(refusalOf(*other, Command{Command::SetBadge{"vip"}}, "calm"), std::nullopt) << "another phone is served";
  EXPECT_TRUE(refusalOf(*flooder, Command{Command::Search{"a"}}, "search") != ProtocolError::limitReached(
      "Too many changes at once. Wait a moment and try again.")) << "reading is not limited";

  advance(1);
  EXPECT_EQ(refusalOf(*flooder, Command{Command::SetBadge{"silver"}}, "later"), std::nullopt) << "a second later";
}

}  // namespace
}  // namespace kovali
