#include "platform/sound/capture/multi_room_capture.h"

namespace kovali {

MultiRoomCapture::~MultiRoomCapture() = default;

}  // namespace kovali
