#include "platform/sound/player/system_music_player.h"

namespace kovali {

std::string MusicPlayerError::printed() const {
  std::string text = "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
  if (underlyingCode) text += " UserInfo={NSUnderlyingError=Code=" + std::to_string(*underlyingCode) + "}";
  return text;
}

bool MusicPlayerError::isUnplayableFile() const {
  return domain == musicPlayerErrorDomain && code == MusicPlayerErrorCode::unplayableFile;
}

}  // namespace kovali
