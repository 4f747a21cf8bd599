#include <string>

#include "session/participants/search_budget.h"
#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::PlaylistRef;
using vinaro::ProtocolError;

const ProtocolError kTooMany = ProtocolError::limitReached("Too many searches at once. Wait a moment and try again.");

/// Phones searching a catalogue that answers a second later, so their searches stay on the host's
/// hands until the test lets the time pass.
class SessionStoreSearchBudgetTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    startHostingThreeSongs();
    catalog.delay = 1;
  }

  std::unique_ptr<GuestClient> joined(const std::string& name) {
    auto phone = join(name, "device-" + name);
    sync(*phone);
    phone->received.clear();
    return phone;
  }

  static void sendSearches(GuestClient& phone, const std::string& prefix, int count) {
    sendMany(phone, prefix, count, Command{Command::Search{"title", 25, Command::SearchKind::songs}});
  }
  static void sendMany(GuestClient& phone, const std::string& prefix, int count, const Command& command) {
    for (int i = 0; i < count; ++i) phone.sendCommand(prefix + std::to_string(i), command);
  }

  /// The replies to `prefix` searches or listings: refusals for too many, and results.
  struct Replies {
    int refused = 0;
    int results = 0;
  };
  static Replies repliesTo(const GuestClient& phone, const std::string& prefix) {
    Replies replies;
    for (std::size_t i = 0; i < phone.received.size(); ++i) {
      const auto event = phone.event(i);
      if (!event || !event->replyTo || !event->replyTo->starts_with(prefix)) continue;
      if (const auto* error = payload<ProtocolError>(*event); error && *error == kTooMany) ++replies.refused;
      if (payload<Event::SearchResults>(*event) || payload<Event::Tracks>(*event)) ++replies.results;
    }
    return replies;
  }

  /// Waits until `phone` has `refused` refusals of `prefix` searches and the host has taken up the rest.
  static void waitForRefusals(GuestClient& phone, const std::string& prefix, int refused) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return repliesTo(phone, prefix).refused >= refused; }, GuestClient::timeoutMs))
        << repliesTo(phone, prefix).refused << " of " << refused << " refusals";
    runPostedEvents();
  }
};

TEST_F(SessionStoreSearchBudgetTest, APhoneFloodingSearchesLeavesTheOthersTheirShare) {
  catalog.albums = {{Album{"al1", "Blue", "Band", std::nullopt, 1}, std::vector<MusicTrackEntry>{song("s1")}}};
  struct Flood {
    const char* name;
    Command command;
  } floods[] = {
      {"searches", Command{Command::Search{"title", 25, Command::SearchKind::songs}}},
      {"track listings", Command{Command::ListTracks{PlaylistRef{PlaylistRef::Source::album, "al1", "Blue",
                                                                 std::nullopt, std::nullopt, std::nullopt}}}},
  };
  for (const auto& flood : floods) {
    auto hog = joined(std::string("hog ") + flood.name);
    auto calm = joined(std::string("calm ") + flood.name);
    const int sent = SearchBudget::shared + 8;
    sendMany(*hog, "h", sent, flood.command);
    waitForRefusals(*hog, "h", 8);

    calm->sendCommand("c", Command{Command::Search{"title", 25, Command::SearchKind::songs}});
    sync(*calm);
    hog->sendCommand("h-more", flood.command);
    waitForRefusals(*hog, "h", 9);
    EXPECT_EQ(repliesTo(*calm, "c").refused, 0)
        << flood.name << ": the hog holds the whole shared part, yet the newcomer gets in";

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          advance(1);  // a listing asks the catalogue twice
          return repliesTo(*calm, "c").results == 1 && repliesTo(*hog, "h").results == SearchBudget::shared;
        },
        GuestClient::timeoutMs))
        << flood.name << ": " << repliesTo(*hog, "h").results;
    EXPECT_EQ(repliesTo(*hog, "h").refused, 9) << flood.name;
  }
}

TEST_F(SessionStoreSearchBudgetTest, ASearchAnsweredAfterItsPhoneLeftGoesNowhereAndGivesBackItsShare) {
  auto leaver = joined("leaver");
  sendSearches(*leaver, "l", SearchBudget::shared + 1);
  waitForRefusals(*leaver, "l", 1);
  const auto before = store().participants().size();
  leaver->socket.close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == before - 1; }, GuestClient::timeoutMs));

  advance(1);  // the catalogue answers the searches of the phone that left
  runPostedEvents();

  auto stayer = joined("stayer");
  sendSearches(*stayer, "s", SearchBudget::shared + 1);
  waitForRefusals(*stayer, "s", 1);
  advance(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return repliesTo(*stayer, "s").results == SearchBudget::shared; },
                              GuestClient::timeoutMs))
      << "the answers after the leaver's going gave its whole share back";
  EXPECT_EQ(repliesTo(*stayer, "s").refused, 1);
  EXPECT_EQ(repliesTo(*stayer, "l").results + repliesTo(*stayer, "l").refused, 0) << "nothing of the leaver's";
}

}  // namespace
}  // namespace kovali
