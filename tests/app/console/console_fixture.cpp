#include "app/console/console_fixture.h"

#include <algorithm>

#include "app/look/frame_refresh.h"
#include "support/sample_values.h"

namespace kovali {

namespace {

const char* const kTitles[] = {"Midnight Drive", "Paper Moons",    "Salt & Honey", "Golden Hour",   "Neon Rain",
                               "Slow Motion",    "Harbour Lights", "Velvet Sky",   "Static Hearts", "Tidal",
                               "Orbit",          "Cinnamon",       "Late Trains",  "Wildflower",    "Polaroid",
                               "Ember",          "Parallel",       "Blue Hour",    "Satellites",    "Afterglow"};
const char* const kArtists[] = {"The Night Owls", "Lumen", "Ada & The Tides", "Marlow", "Kestrel"};

}  // namespace

ConsoleTest::ConsoleTest() {
  makeStore(false);
  music.setAvailability(MusicService::Ready{});
}

ConsoleTest::~ConsoleTest() { console_.reset(); }

ConsoleView& ConsoleTest::makeConsole() {
  console_.reset();
  console_ = std::make_unique<ConsoleView>(store(), scheduler, artwork);
  return *console_;
}

vinaro::Track ConsoleTest::namedTrack(const std::string& id, const std::string& title, const std::string& artist) {
  Song song;
  song.id = id;
  song.title = title;
  song.artistName = artist;
  song.duration = 150 + static_cast<double>(std::hash<std::string>{}(id) % 120);
  catalog.songs.push_back(song);
  return MusicService::track(song);
}

void ConsoleTest::nextFrame() { advance(FrameRefresh::frameSeconds); }

void ConsoleTest::host(const vinaro::SessionAction& action) {
  const auto result = store().dispatch(action, vinaro::Actor::host());
  ASSERT_TRUE(result) << result.error().message;
}

void ConsoleTest::queueSongs(int count, const std::string& prefix) {
  for (int i = 1; i <= count; ++i) {
    const std::string id = prefix + std::to_string(i);
    host(vinaro::action::Add{namedTrack(id, "Title " + id, "Artist " + id)});
  }
}

void ConsoleTest::loadSongs(int count, const std::string& prefix) {
  vinaro::action::LoadTracks load;
  for (int i = 1; i <= count; ++i) {
    const std::string id = prefix + std::to_string(i);
    load.tracks.push_back(namedTrack(id, "Title " + id, "Artist " + id));
  }
  host(load);
}

void ConsoleTest::fullParty() {
  startHosting();
  phones.push_back(join("Ana", "device-ana"));
  phones.push_back(join("Ben", "device-ben"));
  phones.push_back(join("Chloé", "device-chloe"));
  const vinaro::Participant ana{"device-ana", "Ana", vinaro::Role::guest};
  const vinaro::Participant ben{"device-ben", "Ben", vinaro::Role::guest};
  const vinaro::Participant chloe{"device-chloe", "Chloé", vinaro::Role::guest};
  const std::vector<vinaro::Participant> people = {ana, ben, chloe};
  store().dispatch(vinaro::action::SetBadge{"gold"}, vinaro::Actor::participant(ana));
  store().dispatch(vinaro::action::SetBadge{"vip"}, vinaro::Actor::participant(ben));

  host(vinaro::action::SetMode{vinaro::PartyMode::suggestion});
  for (int i = 0; i < 14; ++i) {
    const auto track = namedTrack("wish" + std::to_string(i), "Wish " + std::to_string(i), kArtists[i % 5]);
    store().dispatch(vinaro::action::Add{track}, vinaro::Actor::participant(people[i % 3]));
  }
  auto album = vinaro::samples::album("album-1", "Blue Season");
  album.subtitle = "Marlow";
  album.trackCount = 11;
  store().dispatch(vinaro::action::Suggest{album}, vinaro::Actor::participant(chloe));
  for (int i = 0; i < 9; ++i) {
    const auto& requests = store().state().requests;
    const auto lastPending =
        std::find_if(requests.rbegin(), requests.rend(), [](const auto& r) { return r.isPending(); });
    ASSERT_NE(lastPending, requests.rend());
    const std::string id = lastPending->id;
    if (i % 3 == 0) {
      host(vinaro::action::RejectRequest{id});
    } else {
      host(vinaro::action::ApproveRequest{id, vinaro::QueuePosition::end});
    }
  }
  for (const auto& request : std::vector(store().state().requests.begin(), store().state().requests.begin() + 3)) {
    store().dispatch(vinaro::action::Vote{request.id, true}, vinaro::Actor::participant(ana));
    store().dispatch(vinaro::action::Vote{request.id, true}, vinaro::Actor::participant(ben));
  }

  host(vinaro::action::SetMode{vinaro::PartyMode::collaboration});
  for (int i = 0; store().state().queue.size() < 21; ++i) {
    const auto track = namedTrack("song" + std::to_string(i), kTitles[i % 20], kArtists[i % 5]);
    store().dispatch(vinaro::action::Add{track}, vinaro::Actor::participant(people[i % 3]));
  }
  host(vinaro::action::Play{});
  host(vinaro::action::SetMode{vinaro::PartyMode::suggestion});
}

void ConsoleTest::saveArtifact(const QImage& image, const QString& name) {
  QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
  EXPECT_TRUE(image.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/") + name)) << name.toStdString();
}

}  // namespace kovali
