#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "music/music_service.h"
#include "music/player_engine.h"
#include "platform/runtime/in_memory_preferences.h"
#include "protocol/event.h"
#include "server/host_server.h"
#include "session/archive/session_archive.h"
#include "session/participants/dj_pin.h"
#include "session/store/session_store.h"
#include "session/store/store_service_doubles.h"
#include "support/fake_music_catalog.h"
#include "support/fake_music_player.h"
#include "support/fake_service_advertiser.h"
#include "support/guest_client.h"
#include "support/in_memory_secret_store.h"
#include "support/manual_scheduler.h"

namespace kovali {

/// A session store on a real server on 127.0.0.1, with a scripted catalogue, a fake player and
/// doubles of the sound and HEOS services, all in virtual time. Phones are real WebSocket clients.
class SessionStoreTest : public ::testing::Test {
 protected:
  using Event = vinaro::Event;
  using Command = vinaro::Command;
  using EventEnvelope = vinaro::Envelope<vinaro::Event>;

  SessionStoreTest();
  ~SessionStoreTest() override;

  /// Builds the store (again), saving into `archiveFolder` unless `withArchive` is false.
  SessionStore& makeStore(bool withArchive = true);
  SessionStore& store() const { return *store_; }
  /// Takes the store down, as a quitting host does.
  void dropStore();

  /// The DJ PIN the store checks logins against.
  DJPIN& djPIN() { return *djPIN_; }
  /// Sets the DJ PIN in the secret store.
  void setPIN(const std::string& pin) { secrets.items[{DJPIN::service, DJPIN::account}] = pin; }

  /// Starts hosting and confirms the Bonjour registration; answers the port.
  std::uint16_t startHosting();
  /// A hosting store with the DJ PIN "2468" and the ready songs s1, s2 and s3: where the phone
  /// tests begin.
  void startHostingThreeSongs();

  /// A phone connected to the running host, not yet introduced.
  std::unique_ptr<GuestClient> connectPhone();
  /// A phone that said hello and got its welcome (its first message).
  std::unique_ptr<GuestClient> join(const std::string& name, const std::string& deviceID);
  /// Sends `greeting` (a hello) from `phone` as message `id` and waits for the answer to it: once
  /// the host has read it, virtual time passes while its welcome waits for others joining.
  /// Answers whether it came.
  bool sayHello(GuestClient& phone, const std::string& id, const Command& greeting);
  /// A catalogue song "Title <id>" by "Artist <id>", 200 s long.
  static Song song(const std::string& id) {
    Song made;
    made.id = id;
    made.title = "Title " + id;
    made.artistName = "Artist " + id;
    made.duration = 200;
    return made;
  }
  /// Puts `count` songs into the queue as the host, about 410 bytes each on the wire, as a party's
  /// real songs take.
  void queueWireSizedSongs(int count);
  /// A hello command.
  static Command hello(const std::string& name, const std::string& deviceID, std::int64_t version = 1);

  /// Waits until everything the host sent `phone` so far has arrived, by sending a command
  /// that is always refused and waiting for that refusal, which is then dropped.
  void sync(GuestClient& phone);

  /// Sends an audio command from `phone` and waits for the answer to it.
  void sendAudio(GuestClient& phone, const vinaro::AudioCommand::Value& action, const std::string& id);

  /// Sends `command` from `phone` and answers the reply to it, skipping states for others;
  /// what `phone` had received before is dropped.
  std::optional<EventEnvelope> ask(GuestClient& phone, const Command& command, const std::string& id);

  /// Runs what the event loop holds: deferred work, coroutine resumptions, player syncs.
  static void runPostedEvents();
  /// Lets virtual time pass, running what falls due and what it posts.
  void advance(double seconds);

  /// The received message `index`, decoded; fails the test when it is not there.
  static EventEnvelope eventAt(const GuestClient& phone, std::size_t index);
  template <class Payload>
  static const Payload* payload(const EventEnvelope& envelope) {
    return std::get_if<Payload>(&envelope.body.payload);
  }
  /// The payload of message `index` when it is a `Payload`.
  template <class Payload>
  static std::optional<Payload> payloadAt(const GuestClient& phone, std::size_t index) {
    const auto envelope = phone.event(index);
    if (!envelope) return std::nullopt;
    if (const auto* found = std::get_if<Payload>(&envelope->body.payload)) return *found;
    return std::nullopt;
  }
  /// The type names of every message `phone` received, in order.
  static std::vector<std::string> types(const GuestClient& phone);

  ManualScheduler scheduler;
  InMemoryPreferences preferences;
  InMemorySecretStore secrets;
  QStringList launchArguments{QStringLiteral("kovali-host")};
  FakeMusicCatalog catalog{&scheduler};
  MusicService music{catalog};
  /// The music service the next `makeStore` hands the store.
  MusicService* musicService = &music;
  FakeMusicPlayer systemPlayer{scheduler};
  PlayerEngine player{systemPlayer, scheduler};
  FakeServiceAdvertiser* advertiser = nullptr;  // owned by the server
  std::unique_ptr<HostServer> server;
  QTemporaryDir archiveFolder;
  /// Stands in for the archive's sync to disk in the next `makeStore`, where set.
  SessionFileSync::Syncer archiveSyncer;
  /// The archive's calls that change its folder in the next `makeStore`.
  FolderCalls archiveCalls;

  // Owned by the store.
  TestMultiRoom* multiRoom = nullptr;
  RecordingHEOS* heos = nullptr;
  TestAudioOutput* output = nullptr;
  TestAudioInputs* inputs = nullptr;

 private:
  std::unique_ptr<DJPIN> djPIN_;
  std::unique_ptr<SessionStore> store_;
  int syncs_ = 0;
};

}  // namespace kovali
