#pragma once

#include <string>
#include <vector>

#include <QObject>

#include "platform/sound/airplay/stream_player.h"

namespace kovali {

/// The choice of AirPlay speakers for the multi-room player, behind the route picker's menu: the
/// sound server's speakers with check marks; closing the menu is "picked". Main thread; lives as
/// long as its player.
class SpeakerPicker : public QObject {
  Q_OBJECT

 public:
  explicit SpeakerPicker(StreamPlayer& player, QObject* parent = nullptr);

  /// The speakers the menu lists, each with whether the player plays on it.
  std::vector<StreamPlayer::SpeakerChoice> choices() const { return player_.speakerChoices(); }
  /// Ticks or unticks a speaker in the menu.
  void setChosen(const std::string& id, bool chosen) { player_.setSpeakerChosen(id, chosen); }
  /// The user closed the menu.
  void menuClosed() { emit picked(); }

 signals:
  /// The speakers or their check marks changed.
  void choicesChanged();
  /// The user closed the menu after looking at or changing the choice.
  void picked();

 private:
  StreamPlayer& player_;
};

}  // namespace kovali
