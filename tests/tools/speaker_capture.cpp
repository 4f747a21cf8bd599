// speaker_capture FIFO OUT: copies what an AirPlay receiver of the test rig plays (its raw PCM,
// written to FIFO) to OUT, and notes in OUT.times when each piece arrived, as lines
// "<bytes of OUT before the piece> <steady clock in ns>". The receiver writes each piece its
// output buffer's length before it is due to be heard (the rig notes that length).
// The FIFO is held open for writing too, so the receiver may stop and start again without ending
// the capture. Runs until it is killed.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

bool writeAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    const auto written = ::write(fd, data, static_cast<std::size_t>(size));
    if (written < 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: speaker_capture FIFO OUT\n");
    return 2;
  }
  const int in = ::open(argv[1], O_RDWR);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int times = ::open((std::string(argv[2]) + ".times").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || times < 0) {
    std::perror("speaker_capture");
    return 1;
  }
  char buffer[65536];
  long long total = 0;
  for (;;) {
    const auto got = ::read(in, buffer, sizeof buffer);
    if (got <= 0) return got == 0 ? 0 : 1;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto line = std::to_string(total) + ' ' +
                      std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) + '\n';
    // The times first: a reader that sees the sound finds when it arrived.
    if (!writeAll(times, line.data(), static_cast<ssize_t>(line.size())) || !writeAll(out, buffer, got)) return 1;
    total += got;
  }
}
