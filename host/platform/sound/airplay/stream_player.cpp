#include "platform/sound/airplay/stream_player.h"

namespace kovali {

StreamPlayer::~StreamPlayer() = default;

}  // namespace kovali
