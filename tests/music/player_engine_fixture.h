#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "music/player_engine.h"
#include "support/fake_music_player.h"
#include "support/manual_scheduler.h"

namespace kovali {

/// An engine on a fake player in virtual time, recording the events it reports.
class PlayerEngineTest : public ::testing::Test {
 protected:
  using Status = vinaro::PlaybackStatus;
  using Event = PlayerEngine::Event;

  PlayerEngineTest() {
    QObject::connect(&engine, &PlayerEngine::eventReported, [this](const Event& event) { events.push_back(event); });
  }

  ~PlayerEngineTest() override { settle(); }

  static Song song(const std::string& id, std::optional<double> duration = std::nullopt) {
    Song song;
    song.id = id;
    song.title = "Title " + id;
    song.duration = duration;
    return song;
  }

  /// Runs what the event loop holds: queued refreshes, deferred syncs and completions.
  static void runPostedEvents() {
    // Each round delivers what the previous one posted (a completion posts its resumption).
    for (int round = 0; round < 8; ++round) QCoreApplication::processEvents();
  }

  /// Releases every operation the player holds, until the engine waits on nothing.
  void settle() {
    runPostedEvents();
    while (player.releaseNext()) runPostedEvents();
  }

  /// Syncs and lets the sync run to its end.
  void syncAndSettle(std::optional<Song> current, std::optional<Song> next, Status status) {
    engine.sync(std::move(current), std::move(next), status);
    settle();
  }

  std::vector<std::string> logTexts() const {
    std::vector<std::string> texts;
    for (const auto& line : engine.log()) texts.push_back(line.text);
    return texts;
  }

  bool logged(const std::string& text) const {
    const auto texts = logTexts();
    return std::ranges::find(texts, text) != texts.end();
  }

  /// Lines beginning with `prefix`, in order.
  std::vector<std::string> logLinesStartingWith(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const auto& text : logTexts()) {
      if (text.starts_with(prefix)) lines.push_back(text);
    }
    return lines;
  }

  std::vector<Event> takeEvents() { return std::exchange(events, {}); }

  static MusicPlayerError playerError(int code = 2) {
    return MusicPlayerError{"kovaliapp.player", code, std::nullopt, "The song's file could not be read."};
  }

  ManualScheduler scheduler;
  FakeMusicPlayer player{scheduler};
  PlayerEngine engine{player, scheduler};
  std::vector<Event> events;
};

}  // namespace kovali
