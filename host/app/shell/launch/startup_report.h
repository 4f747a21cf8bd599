#pragma once

#include <qcoro/qcorotask.h>

#include <QObject>
#include <functional>
#include <optional>
#include <string>

namespace kovali {

class LocalMusicLibrary;
class SessionStore;

/// Tells the person at the terminal what a first run needs to know, a line each on the
/// "kovaliapp.app" log: whether a DJ PIN is set and how to set one, whether the sound server
/// answers, the music folder and its songs (or why it cannot be read), and the join link once
/// phones can find the host. From then on it logs each player failure and each refused host
/// action as a warning. Main thread; the store and the library must outlive it.
class StartupReport final : public QObject {
  Q_OBJECT

 public:
  struct Sources {
    SessionStore& store;
    LocalMusicLibrary& library;
    /// Whether a DJ PIN is in force, and whether it was given on the command line.
    bool pinSet = false;
    bool pinGiven = false;
    /// Asks the sound server; blocks, so it runs off the main thread. Nothing when it answers.
    std::function<std::optional<std::string>()> soundServerProblem;
  };

  /// Reports the PIN at once and the rest as each becomes known.
  explicit StartupReport(Sources sources, QObject* parent = nullptr);

 private:
  void reportPIN(bool set, bool given);
  QCoro::Task<> reportSoundServer(std::function<std::optional<std::string>()> probe);
  void musicAvailabilityChanged();
  void libraryIndexed();
  void advertisedNameChanged();
  void playbackErrorChanged();
  void hostErrorChanged();

  SessionStore& store_;
  LocalMusicLibrary& library_;
};

}  // namespace kovali
