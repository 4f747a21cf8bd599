#include "audio/speaker_picker.h"

namespace kovali {

SpeakerPicker::SpeakerPicker(StreamPlayer& player, QObject* parent) : QObject(parent), player_(player) {
  connect(&player_, &StreamPlayer::speakerChoicesChanged, this, &SpeakerPicker::choicesChanged);
}

}  // namespace kovali
