#pragma once

#include <QMenu>
#include <QMenuBar>
#include <memory>

#include "app/shell/window/host_shell.h"
#include "app/shell/window/main_window.h"
#include "session/store/session_store_fixture.h"
#include "support/fake_artwork_loader.h"

namespace kovali {

/// The shell over a store with fake services in virtual time; nothing is shown until a test
/// launches it.
class HostShellTest : public SessionStoreTest {
 protected:
  HostShellTest();
  ~HostShellTest() override;

  /// Builds the shell (again) over the store.
  HostShell& makeShell();
  HostShell& shell() { return *shell_; }

  /// The song `id` as the catalogue knows it, with a title and an artist of its own.
  static Song song(const std::string& id, const std::string& title, const std::string& artist);
  /// Puts the catalogue's song `id` into the queue as the host.
  void queue(const std::string& id);
  /// The item `text` of the main window's menu `menu`; fails the test when it is missing.
  QAction* windowMenuItem(const QString& menu, const QString& text);
  static QStringList texts(const QMenu& menu);

  FakeArtworkLoader artwork{scheduler};

 private:
  std::unique_ptr<HostShell> shell_;
};

}  // namespace kovali
