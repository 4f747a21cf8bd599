#pragma once

namespace kovali {

/// Keeps FFmpeg's own log to errors: its notes on odd but playable files and its encoder
/// statistics would flood the host's output. Any thread, any number of times.
void keepFFmpegQuiet();

}  // namespace kovali
