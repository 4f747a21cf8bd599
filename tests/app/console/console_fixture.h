#pragma once

#include <QDir>
#include <memory>
#include <string>
#include <vector>

#include "app/console/console_view.h"
#include "session/store/session_store_fixture.h"
#include "support/fake_artwork_loader.h"

namespace kovali {

/// A console over a store with fake services in virtual time, the music ready.
class ConsoleTest : public SessionStoreTest {
 protected:
  ConsoleTest();
  ~ConsoleTest() override;

  /// Builds the console (again) over the store.
  ConsoleView& makeConsole();
  ConsoleView& console() { return *console_; }

  /// A song the catalogue knows, so the player can play it.
  vinaro::Track namedTrack(const std::string& id, const std::string& title, const std::string& artist);
  /// Lets a frame of virtual time pass, after which the screens show the party as it is.
  void nextFrame();
  /// Dispatches `action` as the host and fails the test on a refusal.
  void host(const vinaro::SessionAction& action);
  /// Puts songs "Title <prefix><n>" into the queue as the host, n from 1 to `count`.
  void queueSongs(int count, const std::string& prefix = "");
  /// The same songs loaded in one change, as a playlist is: for parties of thousands.
  void loadSongs(int count, const std::string& prefix = "");
  /// A party in full swing: three phones with badges, a song playing, 20 queued, six pending
  /// requests with votes and nine resolved ones.
  void fullParty();

  /// Saves `image` as `name` among the test artifacts.
  static void saveArtifact(const QImage& image, const QString& name);

  FakeArtworkLoader artwork{scheduler};
  std::vector<std::unique_ptr<GuestClient>> phones;

 private:
  std::unique_ptr<ConsoleView> console_;
};

}  // namespace kovali
