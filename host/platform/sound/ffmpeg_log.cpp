#include "platform/sound/ffmpeg_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kovali {

void keepFFmpegQuiet() {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
  }();
  (void)quiet;
}

}  // namespace kovali
