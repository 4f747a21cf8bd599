#include "app/party/party_view_model.h"

#include <gtest/gtest.h>

#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::Date;
using vinaro::PlaybackStatus;
using vinaro::SessionState;
namespace samples = vinaro::samples;

const Date kNow{1'700'000'000'000.0};

SessionState party() { return SessionState::newParty("7F3C2A10-0000-4000-8000-00000000A11C", "Friday"); }

vinaro::PlaybackState playing(std::optional<double> duration, double elapsed, double secondsAgo,
                              PlaybackStatus status = PlaybackStatus::playing) {
  auto item = samples::queueItem("q-now", "now");
  item.track.duration = duration;
  return {status, item, elapsed, kNow.addingSeconds(-secondsAgo)};
}

PartySnapshot snapshotOf(SessionState state) {
  PartySnapshot snapshot;
  snapshot.state = std::make_shared<const SessionState>(std::move(state));
  return snapshot;
}

TEST(PartyViewModel, NothingCurrentInvitesPartygoersWithoutBylineAndWithAnEmptyBar) {
  auto state = party();
  state.playback.elapsed = 12;  // a stopped state may still carry a position
  const auto model = PartyViewModel::make(snapshotOf(state));

  const auto& card = std::get<NowPlayingModel>(model.card);
  EXPECT_EQ(card.track, std::nullopt);
  EXPECT_EQ(card.title, "Nothing playing yet");
  EXPECT_EQ(card.subtitle, "Partygoers can add songs from their iPhone");
  EXPECT_EQ(card.addedBy, std::nullopt);

  const auto progress = ProgressModel::at(state.playback, kNow);
  EXPECT_EQ(progress.fraction, 0);
  EXPECT_EQ(progress.fillWidth(400), 0);
  EXPECT_EQ(progress.elapsedText, "0:12");
  EXPECT_EQ(progress.durationText, "\u2013:\u2013\u2013");
  EXPECT_EQ(progress.statusText, "Stopped");
  EXPECT_EQ(ProgressModel::at(party().playback, kNow).elapsedText, "0:00") << "a fresh party";
}

TEST(PartyViewModel, CurrentSongShowsItsTitleArtistAndWhoAddedItWithTheirBadge) {
  auto state = party();
  state.playback = playing(200.0, 0, 0);
  state.badges = std::map<std::string, std::string>{{samples::ana.id, "gold"}};
  const auto model = PartyViewModel::make(snapshotOf(state));

  const auto& card = std::get<NowPlayingModel>(model.card);
  EXPECT_EQ(card.track, state.playback.current->track);
  EXPECT_EQ(card.title, "Title now");
  EXPECT_EQ(card.subtitle, "Artist now");
  EXPECT_EQ(card.addedBy, (BylineModel{"Added by Ana", vinaro::SupporterTier::gold}));
}

TEST(PartyViewModel, ProgressFollowsThePositionWithinTheSongsLength) {
  struct Case {
    const char* name;
    vinaro::PlaybackState playback;
    double fraction;
    double fill;  // in a 400-wide bar
    std::string elapsed;
    std::string duration;
    std::string status;
    bool isPlaying;
  } cases[] = {
      {"a quarter in, playing", playing(200.0, 40, 10), 0.25, 100, "0:50", "3:20", "Playing", true},
      {"no length: no fill, but the time counts", playing(std::nullopt, 40, 10), 0, 0, "0:50",
       "\u2013:\u2013\u2013", "Playing", true},
      {"zero length: no fill, the position held at it", playing(0.0, 40, 10), 0, 0, "0:00", "0:00", "Playing",
       true},
      {"past the end: full bar, the length on both ends", playing(200.0, 190, 60), 1, 400, "3:20", "3:20",
       "Playing", true},
      {"a tiny fraction still shows the smallest fill", playing(3600.0, 1, 0), 1.0 / 3600, 6, "0:01", "60:00",
       "Playing", true},
      {"paused does not advance", playing(200.0, 40, 10, PlaybackStatus::paused), 0.2, 80, "0:40", "3:20",
       "Paused", false},
      {"stopped", playing(200.0, 0, 10, PlaybackStatus::stopped), 0, 0, "0:00", "3:20", "Stopped", false},
  };
  for (const auto& c : cases) {
    const auto progress = ProgressModel::at(c.playback, kNow);
    EXPECT_DOUBLE_EQ(progress.fraction, c.fraction) << c.name;
    EXPECT_DOUBLE_EQ(progress.fillWidth(400), c.fill) << c.name;
    EXPECT_EQ(progress.elapsedText, c.elapsed) << c.name;
    EXPECT_EQ(progress.durationText, c.duration) << c.name;
    EXPECT_EQ(progress.statusText, c.status) << c.name;
    EXPECT_EQ(progress.isPlaying, c.isPlaying) << c.name;
  }
}

TEST(PartyViewModel, UpNextShowsAtMostThreeCardsAndCountsTheRest) {
  struct Case {
    std::size_t queued;
    std::size_t cards;
    std::optional<std::string> more;
  } cases[] = {{0, 0, std::nullopt}, {3, 3, std::nullopt}, {4, 3, "+1"}, {10, 3, "+7"}};
  for (const auto& c : cases) {
    auto state = party();
    for (std::size_t i = 0; i < c.queued; ++i) {
      state.queue.push_back(samples::queueItem("q" + std::to_string(i), "t" + std::to_string(i)));
    }
    const auto upNext = PartyViewModel::make(snapshotOf(state)).upNext;
    ASSERT_EQ(upNext.cards.size(), c.cards) << c.queued << " queued";
    EXPECT_EQ(upNext.moreText, c.more) << c.queued << " queued";
    for (std::size_t i = 0; i < upNext.cards.size(); ++i) {
      EXPECT_EQ(upNext.cards[i].id, state.queue[i].id) << c.queued << " queued: cards keep the queue's order";
    }
  }
}

TEST(PartyViewModel, UpNextBylineJoinsArtistAndAdderAndCarriesTheAddersBadge) {
  auto state = party();
  state.queue = {samples::queueItem("q1", "a", samples::ben), samples::queueItem("q2", "b", samples::ana)};
  state.badges = std::map<std::string, std::string>{{samples::ben.id, "vip"}, {samples::ana.id, "no-such-tier"}};
  const auto cards = PartyViewModel::make(snapshotOf(state)).upNext.cards;

  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].byline, (BylineModel{"Artist a \u00B7 Ben", vinaro::SupporterTier::vip}));
  EXPECT_EQ(cards[1].byline, (BylineModel{"Artist b \u00B7 Ana", std::nullopt}));
}

TEST(PartyViewModel, LiveInputTakesThePlaceOfTheSongButTheQueueStillShows) {
  auto state = party();
  state.playback = playing(200.0, 10, 0);
  state.input = vinaro::LiveInput{"mic-1", "USB Turntable", true};
  state.queue = {samples::queueItem("q1", "a")};
  const auto model = PartyViewModel::make(snapshotOf(state));

  EXPECT_EQ(model.card, (PartyViewModel::Card{LiveInputModel{
                            "USB Turntable", "The queue will resume when the music library is selected as the source."}}));
  EXPECT_EQ(model.upNext.cards.size(), 1u);
}

TEST(PartyViewModel, TheJoinCodeAppearsOnceTheHostIsAdvertisedWhateverTheStatus) {
  auto snapshot = snapshotOf(party());
  snapshot.serverStatus = HostServerStatus::failed("The network went away. Retrying automatically.");
  snapshot.advertisedName = "Zoé's Mac";
  const auto join = PartyViewModel::make(snapshot).join;

  EXPECT_EQ(join, (PartyViewModel::Join{JoinCodeModel{vinaro::JoinLink{"Zoé's Mac", snapshot.state->sessionID},
                                                       "Open Kovali on your iPhone, or pick \u201CZoé's Mac\u201D"}}));
}

TEST(PartyViewModel, WithoutAnAdvertisedNameTheNetworkStatusIsShown) {
  struct Case {
    HostServerStatus status;
    std::string text;
  } cases[] = {
      {HostServerStatus::ready(4242), "Registering on the network\u2026"},
      {HostServerStatus::failed("Could not create the listener: Address in use. Retrying automatically."),
       "Network error: Could not create the listener: Address in use. Retrying automatically."},
      {HostServerStatus::stopped(), "Not advertising"},
      {HostServerStatus::starting(), "Starting\u2026"},
  };
  for (const auto& c : cases) {
    auto snapshot = snapshotOf(party());
    snapshot.serverStatus = c.status;
    EXPECT_EQ(PartyViewModel::make(snapshot).join, (PartyViewModel::Join{NetworkStatusModel{c.text}})) << c.status;
  }
}

TEST(PartyViewModel, FooterCountsPartygoersAndNamesTheMode) {
  EXPECT_EQ(partygoersText(0), "0 partygoers");
  EXPECT_EQ(partygoersText(1), "1 partygoer");
  EXPECT_EQ(partygoersText(2), "2 partygoers");

  auto state = party();
  auto snapshot = snapshotOf(state);
  snapshot.partygoerCount = 1;
  EXPECT_EQ(PartyViewModel::make(snapshot).partygoers, "1 partygoer");
  EXPECT_EQ(PartyViewModel::make(snapshot).mode, (PartyModeModel{Symbol::person3, "Collaboration"}));
  state.mode = vinaro::PartyMode::suggestion;
  EXPECT_EQ(PartyViewModel::make(snapshotOf(state)).mode, (PartyModeModel{Symbol::handRaised, "Per requests"}));
}

}  // namespace
}  // namespace kovali
