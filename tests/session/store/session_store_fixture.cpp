#include "session/store/session_store_fixture.h"

#include "protocol/message_codec.h"
#include "server/ready_port.h"

namespace kovali {

SessionStoreTest::SessionStoreTest() {
  auto fake = std::make_unique<FakeServiceAdvertiser>();
  advertiser = fake.get();
  server = std::make_unique<HostServer>(scheduler, std::move(fake), QHostAddress(QHostAddress::LocalHost));
}

SessionStoreTest::~SessionStoreTest() {
  dropStore();
  server->stop();
  // Lets cancelled sleeps and the player's pending operations finish.
  advance(0);
  while (systemPlayer.releaseNext()) runPostedEvents();
}

SessionStore& SessionStoreTest::makeStore(bool withArchive) {
  dropStore();
  std::optional<SessionArchive> archive;
  if (withArchive) {
    auto opened = SessionArchive::open(archiveFolder.path(), archiveSyncer, archiveCalls);
    EXPECT_TRUE(opened.hasValue());
    if (opened) archive = std::move(opened).value();
  }
  auto multiRoomDouble = std::make_unique<TestMultiRoom>(preferences, scheduler);
  auto heosDouble = std::make_unique<RecordingHEOS>(preferences, QString::fromLatin1(SessionStore::heosConfigurationKey),
                                               QString::fromLatin1(SessionStore::heosPresetsKey), scheduler);
  auto outputDouble = std::make_unique<TestAudioOutput>();
  auto inputsDouble = std::make_unique<TestAudioInputs>();
  multiRoom = multiRoomDouble.get();
  heos = heosDouble.get();
  output = outputDouble.get();
  inputs = inputsDouble.get();

  djPIN_ = std::make_unique<DJPIN>(secrets, launchArguments);
  store_ = std::make_unique<SessionStore>(SessionStore::Services{*musicService, player, *server, scheduler, *djPIN_, secrets},
                                          SessionStore::AudioServices{std::move(multiRoomDouble), std::move(heosDouble),
                                                                      std::move(outputDouble), std::move(inputsDouble)},
                                          std::move(archive), "Test Party");
  return *store_;
}

void SessionStoreTest::dropStore() {
  store_.reset();
  multiRoom = nullptr;
  heos = nullptr;
  output = nullptr;
  inputs = nullptr;
}

void SessionStoreTest::startHostingThreeSongs() {
  setPIN("2468");
  catalog.songs = {song("s1"), song("s2"), song("s3")};
  music.setAvailability(MusicService::Ready{});
  makeStore();
  startHosting();
}

void SessionStoreTest::queueWireSizedSongs(int count) {
  std::vector<vinaro::Track> tracks;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    tracks.push_back({.id = "song-" + n,
                      .title = std::string(90, 't') + n,
                      .artist = std::string(60, 'a'),
                      .album = std::string(60, 'b'),
                      .duration = 215,
                      .artworkURLTemplate = "http://host.local:1/artwork/" + std::string(40, 'c') + "/{w}x{h}"});
  }
  store().performHostAction(vinaro::action::LoadTracks{std::move(tracks), true, std::nullopt});
}

std::uint16_t SessionStoreTest::startHosting() {
  store_->start();
  return confirmReadyPort(*advertiser, *server);
}

std::unique_ptr<GuestClient> SessionStoreTest::connectPhone() {
  const auto* ready = std::get_if<HostServer::Status::Ready>(&server->status().value);
  auto phone = std::make_unique<GuestClient>();
  if (!ready || !phone->connectTo(ready->port)) ADD_FAILURE() << "a phone could not connect";
  return phone;
}

std::unique_ptr<GuestClient> SessionStoreTest::join(const std::string& name, const std::string& deviceID) {
  auto phone = connectPhone();
  if (!sayHello(*phone, "hello-" + deviceID, hello(name, deviceID))) ADD_FAILURE() << name << " got no welcome";
  return phone;
}

bool SessionStoreTest::sayHello(GuestClient& phone, const std::string& id, const Command& greeting) {
  phone.sendCommand(id, greeting);
  const auto answered = [&] {
    for (std::size_t i = 0; i < phone.received.size(); ++i) {
      if (const auto event = phone.event(i); event && event->replyTo == id) return true;
    }
    return false;
  };
  if (!QTest::qWaitFor([&] { return store_->welcomesWaiting() > 0 || answered(); }, GuestClient::timeoutMs)) {
    return false;
  }
  if (store_->welcomesWaiting() > 0) advance(SessionStore::welcomeIntervalSeconds);
  return QTest::qWaitFor(answered, GuestClient::timeoutMs);
}

vinaro::Command SessionStoreTest::hello(const std::string& name, const std::string& deviceID, std::int64_t version) {
  return Command{Command::Hello{name, deviceID, version}};
}

void SessionStoreTest::sendAudio(GuestClient& phone, const vinaro::AudioCommand::Value& action,
                                 const std::string& id) {
  phone.sendCommand(id, Command{vinaro::AudioCommand{action}});
  const bool answered = QTest::qWaitFor(
      [&] {
        for (std::size_t i = 0; i < phone.received.size(); ++i) {
          if (auto event = phone.event(i); event && event->replyTo == id) return true;
        }
        return false;
      },
      GuestClient::timeoutMs);
  if (!answered) ADD_FAILURE() << "no answer to " << id;
  runPostedEvents();
}

void SessionStoreTest::sync(GuestClient& phone) {
  const std::string id = "sync-" + std::to_string(++syncs_);
  phone.sendCommand(id, Command{Command::DeletePlaylist{"none"}});
  const bool answered = QTest::qWaitFor(
      [&] {
        for (std::size_t i = 0; i < phone.received.size(); ++i) {
          const auto event = phone.event(i);
          if (event && event->replyTo == id) {
            phone.received.erase(phone.received.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
          }
        }
        return false;
      },
      GuestClient::timeoutMs);
  if (!answered) ADD_FAILURE() << "the host did not answer " << id;
}

std::optional<SessionStoreTest::EventEnvelope> SessionStoreTest::ask(GuestClient& phone, const Command& command,
                                                                     const std::string& id) {
  phone.received.clear();
  phone.sendCommand(id, command);
  std::optional<EventEnvelope> reply;
  const bool answered = QTest::qWaitFor(
      [&] {
        runPostedEvents();
        for (std::size_t i = 0; i < phone.received.size(); ++i) {
          if (auto event = phone.event(i); event && event->replyTo == id) {
            reply = std::move(event);
            return true;
          }
        }
        return false;
      },
      GuestClient::timeoutMs);
  if (!answered) ADD_FAILURE() << "no reply to " << id;
  return reply;
}

void SessionStoreTest::runPostedEvents() {
  // Each round delivers what the previous one posted (a completion posts its resumption).
  for (int round = 0; round < 8; ++round) QCoreApplication::processEvents();
}

void SessionStoreTest::advance(double seconds) {
  runPostedEvents();
  scheduler.advance(seconds);
  runPostedEvents();
}

SessionStoreTest::EventEnvelope SessionStoreTest::eventAt(const GuestClient& phone, std::size_t index) {
  auto event = phone.event(index);
  if (!event) {
    ADD_FAILURE() << "no event " << index << " (" << phone.received.size() << " received)";
    return EventEnvelope{.body = Event{vinaro::ProtocolError::badRequest("missing")}};
  }
  return *event;
}

std::vector<std::string> SessionStoreTest::types(const GuestClient& phone) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < phone.received.size(); ++i) {
    const auto event = phone.event(i);
    names.push_back(event ? std::string(event->body.type()) : "undecodable");
  }
  return names;
}

}  // namespace kovali
