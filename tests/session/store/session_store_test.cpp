#include <atomic>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include "app/console/console_snapshot.h"
#include "session/archive/archive_files.h"
#include "protocol/message_codec.h"
#include "session/store/session_store_fixture.h"
#include "support/sample_values.h"
#include "support/stalled_phone.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;
using vinaro::SessionState;
namespace action = vinaro::action;
namespace samples = vinaro::samples;

QByteArray fileContents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The revision of the session saved at `path`; -1 when there is none.
std::int64_t savedRevision(const QString& path) {
  return QJsonDocument::fromJson(fileContents(path)).object()["state"].toObject()["revision"].toInteger(-1);
}

/// The newest revision among the states and the welcome `phone` has read.
std::int64_t newestHeard(const StalledPhone& phone) {
  std::int64_t newest = -1;
  for (const auto& text : phone.messages()) {
    const auto event = vinaro::MessageCodec::decode<vinaro::Event>(text);
    if (!event) continue;
    if (const auto* state = std::get_if<SessionState>(&event.value().body.payload)) {
      newest = std::max(newest, state->revision);
    } else if (const auto* welcome = std::get_if<vinaro::Event::Welcome>(&event.value().body.payload)) {
      newest = std::max(newest, welcome->state.revision);
    }
  }
  return newest;
}

TEST_F(SessionStoreTest, AFreshLaunchStartsAnEmptyStoppedPartyAndSavesNothing) {
  auto& store = makeStore();
  const SessionState& state = store.state();

  EXPECT_EQ(state.name, "Test Party");
  EXPECT_EQ(state.revision, 0);
  EXPECT_EQ(state.mode, vinaro::PartyMode::collaboration);
  EXPECT_EQ(state.settings, vinaro::SessionSettings{});
  EXPECT_EQ(state.settings.maxPendingPerGuest, 3);
  EXPECT_EQ(state.settings.maxRequestsPerGuest, 3);
  EXPECT_EQ(state.playback.status, PlaybackStatus::stopped);
  EXPECT_TRUE(state.queue.empty());
  EXPECT_EQ(state.sessionID.size(), 36u);
  EXPECT_EQ(QString::fromStdString(state.sessionID).toUpper().toStdString(), state.sessionID);
  EXPECT_FALSE(QFile::exists(store.archive()->filePath())) << "construction saves nothing";
  EXPECT_EQ(output->calls, (std::vector<std::string>{"refresh", "startListening"}));
  EXPECT_EQ(server->status(), HostServerStatus::stopped()) << "construction does not start the server";
}

TEST_F(SessionStoreTest, ALaunchWithASavedSessionRestoresItOneRevisionOnWithItsDJs) {
  SessionState saved = SessionState::newParty("0B5E8A02-9A1C-4D6B-8F4E-2A1F3C5D7E90", "Old Name");
  saved.revision = 7;
  saved.playback.status = PlaybackStatus::playing;
  saved.playback.current = samples::queueItem("q1", "t1");
  saved.queue = {samples::queueItem("q2", "t2")};
  saved.participantCount = 4;
  {
    auto archive = SessionArchive::open(archiveFolder.path());
    ASSERT_TRUE(archive);
    ASSERT_TRUE(archive.value().save(SessionSnapshot::of(saved, {"device-b", "device-a"}, vinaro::Date{1000})));
  }

  const SessionState& state = makeStore().state();

  EXPECT_EQ(state.sessionID, saved.sessionID);
  EXPECT_EQ(state.name, "Test Party");
  EXPECT_EQ(state.revision, 8);
  EXPECT_EQ(state.playback.status, PlaybackStatus::stopped);
  EXPECT_EQ(state.playback.current, std::nullopt);
  ASSERT_EQ(state.queue.size(), 2u);
  EXPECT_EQ(state.queue[0].id, "q1");
  EXPECT_EQ(state.participantCount, 0);
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{"device-a", "device-b"}));
}

TEST_F(SessionStoreTest, WithoutAnArchiveNothingIsSaved) {
  auto& store = makeStore(false);
  EXPECT_EQ(store.archive(), nullptr);
  ASSERT_TRUE(store.dispatch(action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_FALSE(QFile::exists(archiveFolder.filePath("Session.json")));
}

TEST_F(SessionStoreTest, AnAcceptedChangeIsSavedAndNotifiedOnce) {
  auto& store = makeStore();
  QSignalSpy changes(&store, &SessionStore::stateChanged);

  const auto result = store.dispatch(action::Add{samples::track("t1")}, vinaro::Actor::host());

  ASSERT_TRUE(result);
  ASSERT_EQ(store.state().queue.size(), 1u);
  EXPECT_EQ(store.state().queue.front().track.id, "t1");
  EXPECT_EQ(store.state().revision, 1);
  EXPECT_EQ(changes.count(), 1);
  const auto saved = fileContents(store.archive()->filePath());
  EXPECT_TRUE(saved.contains(R"("revision":1)")) << saved.toStdString();
}

TEST_F(SessionStoreTest, APhoneFirstHearsOfEachRevisionWhenItIsAlreadyInTheFile) {
  // A phone that reads what has reached it only as a save is put in place: what the host sent
  // it before the save is in its socket by then, whenever the event loop would deliver it.
  StalledPhone reader;
  struct Save {
    std::int64_t heard, held, saving;  // what the phone had read, the file held and the save holds
  };
  std::vector<Save> saves;
  // The sync's thread renames copies of its own; only the session file's renames are saves.
  const QByteArray sessionFile = QFile::encodeName(QDir(archiveFolder.path()).filePath(QStringLiteral("Session.json")));
  archiveCalls.rename = [&reader, &saves, sessionFile](const char* from, const char* to) {
    if (to == sessionFile) {
      reader.drain();
      saves.push_back(
          {newestHeard(reader), savedRevision(QFile::decodeName(to)), savedRevision(QFile::decodeName(from))});
    }
    return ::rename(from, to);
  };
  startHostingThreeSongs();
  const QString path = store().archive()->filePath();
  const auto* ready = std::get_if<HostServer::Status::Ready>(&server->status().value);
  ASSERT_TRUE(ready && reader.connectTo(ready->port));
  ASSERT_TRUE(reader.sendText(commandMessage("hello", hello("Rae", "device-reader"))));
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().welcomesWaiting() > 0; }, GuestClient::timeoutMs));
  advance(SessionStore::welcomeIntervalSeconds);
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == 1; }, GuestClient::timeoutMs));
  std::vector<std::pair<std::int64_t, std::int64_t>> heardAndSaved;  // read the moment a phone hears
  const auto listen = [&](GuestClient& phone) {
    QObject::connect(&phone.socket, &QWebSocket::textMessageReceived, &phone.socket, [&phone, &path, &heardAndSaved] {
      const auto event = phone.event(phone.received.size() - 1);  // its own handler kept it first
      if (!event) return;
      std::optional<std::int64_t> heard;
      if (const auto* state = payload<SessionState>(*event)) heard = state->revision;
      if (const auto* welcome = payload<Event::Welcome>(*event)) heard = welcome->state.revision;
      if (!heard) return;
      const auto saved = QJsonDocument::fromJson(fileContents(path)).object()["state"].toObject()["revision"];
      heardAndSaved.emplace_back(*heard, saved.toInteger(-1));
    });
  };
  auto dj = connectPhone();
  listen(*dj);
  ASSERT_TRUE(sayHello(*dj, "hello", hello("Dee", "device-dj")));
  ASSERT_TRUE(ask(*dj, Command{Command::AuthenticateDJ{"2468"}}, "pin"));
  auto guest = connectPhone();
  listen(*guest);
  ASSERT_TRUE(sayHello(*guest, "hello", hello("Ana", "device-ana")));
  ASSERT_TRUE(ask(*dj, Command{Command::SetMode{vinaro::PartyMode::suggestion}}, "mode"));
  ASSERT_TRUE(ask(*dj, Command{Command::Add{"s1"}}, "add"));
  advance(SessionStore::presenceIntervalSeconds);
  sync(*guest);

  ASSERT_GE(heardAndSaved.size(), 6u);
  EXPECT_GT(heardAndSaved.back().first, 3);
  for (const auto& [heard, saved] : heardAndSaved) EXPECT_GE(saved, heard) << "revision " << heard;
  ASSERT_GE(saves.size(), 3u);
  for (const auto& [heard, held, saving] : saves) {
    if (saving > held) {
      EXPECT_LT(heard, saving) << "heard before it was saved";
    }
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return reader.drain() >= 0 && newestHeard(reader) > 3; }, GuestClient::timeoutMs));
}

TEST_F(SessionStoreTest, ARefusedChangeLeavesTheStateAndTheFileAsTheyWere) {
  auto& store = makeStore();
  ASSERT_TRUE(store.dispatch(action::Add{samples::track("t1")}, vinaro::Actor::host()));
  const auto savedBefore = fileContents(store.archive()->filePath());
  const SessionState before = store.state();
  QSignalSpy changes(&store, &SessionStore::stateChanged);

  const auto result = store.dispatch(action::Remove{"no-such-item"}, vinaro::Actor::host());

  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, vinaro::ProtocolError::Code::notFound);
  EXPECT_EQ(store.state(), before);
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(fileContents(store.archive()->filePath()), savedBefore);
}

TEST_F(SessionStoreTest, HEOSHearsWhenThePartyStartsPlayingAndFollowsEveryState) {
  auto& store = makeStore();
  const auto host = vinaro::Actor::host();
  ASSERT_TRUE(store.dispatch(action::Add{samples::track("t1")}, host));
  ASSERT_TRUE(store.dispatch(action::Add{samples::track("t2")}, host));
  EXPECT_FALSE(heos->partyIsPlaying);

  struct Step {
    const char* name;
    vinaro::SessionAction action;
    bool playing;
    int partyStarts;  // partyDidStart calls so far
  } steps[] = {
      {"play", action::Play{}, true, 1},
      {"skip while playing", action::Skip{}, true, 1},
      {"pause", action::Pause{}, false, 1},
      {"play again", action::Play{}, true, 2},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(store.dispatch(step.action, host)) << step.name;
    EXPECT_EQ(heos->partyIsPlaying, step.playing) << step.name;
    EXPECT_EQ(std::count(heos->calls.begin(), heos->calls.end(), "partyDidStart"), step.partyStarts) << step.name;
  }
  EXPECT_TRUE(store.hasPlayedSinceLaunch());
}

TEST_F(SessionStoreTest, PartygoersAreSortedByNameIgnoringCaseWithEachDeviceOnce) {
  makeStore();
  startHosting();
  auto bob = join("Bob", "device-bob");
  auto anna = join("anna", "device-anna");
  auto bobAgain = join("Bob", "device-bob");

  const auto partygoers = store().partygoers();

  ASSERT_EQ(partygoers.size(), 2u);
  EXPECT_EQ(partygoers[0].name, "anna");
  EXPECT_EQ(partygoers[1].name, "Bob");
  EXPECT_EQ(store().state().participantCount, 2);
  EXPECT_EQ(store().participants().size(), 3u);
}

TEST_F(SessionStoreTest, StartingAgainDisconnectsEveryPhoneAndKeepsTheParty) {
  makeStore();
  startHosting();
  auto phone = join("Ana", "device-ana");
  const auto sessionID = store().state().sessionID;

  startHosting();

  ASSERT_TRUE(phone->waitForDisconnect());
  EXPECT_TRUE(store().participants().empty());
  EXPECT_EQ(store().state().sessionID, sessionID);
  EXPECT_EQ(server->sessionID(), sessionID);
  EXPECT_EQ(server->serviceName(), "Test Party");
}

TEST_F(SessionStoreTest, StartingLooksForHEOSAndPlaysTheSavedLiveInput) {
  SessionState saved = SessionState::newParty("0B5E8A02-9A1C-4D6B-8F4E-2A1F3C5D7E90", "Old Name");
  saved.input = vinaro::LiveInput{"usb-1", "Line In", true};
  {
    auto archive = SessionArchive::open(archiveFolder.path());
    ASSERT_TRUE(archive);
    ASSERT_TRUE(archive.value().save(SessionSnapshot::of(saved, {}, vinaro::Date{1000})));
  }
  makeStore();
  heos->followParty(true);

  startHosting();
  runPostedEvents();

  EXPECT_EQ(heos->calls, (std::vector<std::string>{"search"}));
  EXPECT_EQ(inputs->calls, (std::vector<std::string>{"select usb-1"}));
  EXPECT_EQ(multiRoom->inputID(), std::nullopt) << "multi-room is off";
}

TEST_F(SessionStoreTest, ARelaunchedPartyPointsItsCoverArtAtTheServerOfThisRun) {
  auto track = vinaro::samples::track("t1");
  track.artworkURLTemplate = "http://old.local:1234/artwork/ab12/{w}x{h}.jpg";
  ASSERT_TRUE(makeStore().dispatch(vinaro::action::Add{track}, vinaro::Actor::host()));
  store().persist();
  dropStore();

  makeStore();
  server->setHTTPHostName("party.local");
  const auto port = startHosting();
  EXPECT_EQ(store().state().queue.at(0).track.artworkURLTemplate,
            "http://party.local:" + std::to_string(port) + "/artwork/ab12/{w}x{h}.jpg");
}

TEST_F(SessionStoreTest, ASaveThatFailsIsTheHostsSaveProblemUntilASaveSucceedsAgain) {
  auto& store = makeStore();
  QSignalSpy changes(&store, &SessionStore::saveProblemChanged);
  ASSERT_TRUE(store.dispatch(action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_EQ(store.saveProblem(), std::nullopt);

  ASSERT_TRUE(QDir(archiveFolder.path()).removeRecursively());
  ASSERT_TRUE(store.dispatch(action::SetMode{vinaro::PartyMode::collaboration}, vinaro::Actor::host()))
      << "the party goes on";
  ASSERT_TRUE(store.saveProblem());
  EXPECT_FALSE(store.saveProblem()->empty());
  EXPECT_EQ(ConsoleSnapshot::of(store).saveProblem, store.saveProblem()) << "the console shows it";

  ASSERT_TRUE(QDir().mkpath(archiveFolder.path()));
  ASSERT_TRUE(store.dispatch(action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_EQ(store.saveProblem(), std::nullopt) << "the next change saves again";
  EXPECT_EQ(changes.count(), 2);
}

TEST_F(SessionStoreTest, APartyRestoredFromThePreviousCopyIsSavedBeforeHostingOrTheHostSaysItCouldNot) {
  struct Case {
    const char* name;
    bool writeBackFails;
  } cases[] = {{"written back", false}, {"no file can be written beside the session file", true}};
  QDir folder(archiveFolder.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(makeStore().dispatch(action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return folder.exists("Session.previous.json"); }, 5000)) << "synced once";
    dropStore();
    archive_files::replaceFile(folder.filePath("Session.json"), "");  // a power cut before its bytes reached the disk
    if (c.writeBackFails) {
      ASSERT_TRUE(folder.mkpath("Session.json.saving/in-the-way"));
    }

    auto& store = makeStore();

    EXPECT_EQ(store.state().mode, vinaro::PartyMode::suggestion) << "restored";
    EXPECT_EQ(store.saveProblem().has_value(), c.writeBackFails);
    EXPECT_EQ(ConsoleSnapshot::of(store).saveProblem, store.saveProblem()) << "the console shows it";
    auto relaunched = SessionArchive::open(archiveFolder.path());  // the host killed before it served a phone
    ASSERT_TRUE(relaunched.hasValue());
    const auto party = relaunched.value().load();
    ASSERT_TRUE(party);
    EXPECT_EQ(party->state.mode, vinaro::PartyMode::suggestion);
    dropStore();
    ASSERT_TRUE(folder.removeRecursively() && folder.mkpath("."));
  }
}

TEST_F(SessionStoreTest, ASyncToDiskThatFailsIsTheHostsSaveProblemUntilOneSucceeds) {
  std::atomic<bool> diskFails = true;
  archiveSyncer = [&](const QString&) -> std::optional<QString> {
    if (diskFails) return QStringLiteral("Input/output error");
    return std::nullopt;
  };
  auto& store = makeStore();
  QSignalSpy changes(&store, &SessionStore::saveProblemChanged);

  ASSERT_TRUE(store.dispatch(action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_EQ(store.saveProblem(), std::nullopt) << "written; the sync has not ended yet";
  ASSERT_TRUE(changes.wait(5000));
  EXPECT_EQ(store.saveProblem(), "Input/output error");

  diskFails = false;
  ASSERT_TRUE(store.dispatch(action::SetMode{vinaro::PartyMode::collaboration}, vinaro::Actor::host()));
  ASSERT_TRUE(changes.wait(5000));
  EXPECT_EQ(store.saveProblem(), std::nullopt);
}

}  // namespace
}  // namespace kovali
