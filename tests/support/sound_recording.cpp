#include "support/sound_recording.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <QProcess>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kovali {

MonitorRecorder::MonitorRecorder(const char* source) {
  const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, recordingRate, 2};
  // Fragments of 50 ms: the server's default would hold the sound back for seconds.
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.fragsize = recordingRate / 20 * 2 * sizeof(float);
  int error = 0;
  connection_ = pa_simple_new(nullptr, "kovali-test", PA_STREAM_RECORD, source, "monitor", &sampleSpec, nullptr,
                              &attributes, &error);
  if (!connection_) {
    error_ = pa_strerror(error);
    return;
  }
  thread_ = std::thread([this] {
    std::vector<float> chunk(recordingRate / 20 * 2);
    while (!stopping_) {
      if (pa_simple_read(connection_, chunk.data(), chunk.size() * sizeof(float), nullptr) < 0) break;
      for (std::size_t i = 0; i < chunk.size(); i += 2) samples_.push_back((chunk[i] + chunk[i + 1]) / 2);
    }
  });
}

MonitorRecorder::~MonitorRecorder() {
  stop();
  if (connection_) pa_simple_free(connection_);
}

const std::vector<float>& MonitorRecorder::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  return samples_;
}

namespace {

double rootMeanSquare(const float* samples, std::size_t count) {
  double energy = 0;
  for (std::size_t i = 0; i < count; ++i) energy += samples[i] * samples[i];
  return std::sqrt(energy / static_cast<double>(count));
}

/// Calls `visit(start)` for each whole window of `seconds` in `sound`.
template <class Visit>
void eachWindow(const std::vector<float>& sound, int rate, double seconds, Visit visit) {
  const auto window = static_cast<std::size_t>(rate * seconds);
  for (std::size_t start = 0; start + window <= sound.size(); start += window) visit(start, window);
}

}  // namespace

double toneOf(const float* samples, std::size_t count, int rate) {
  if (rootMeanSquare(samples, count) < 0.01) return 0;
  int crossings = 0;
  for (std::size_t i = 1; i < count; ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  }
  return crossings / 2.0 / (static_cast<double>(count) / rate);
}

double secondsOfTone(const std::vector<float>& sound, double hertz, int rate) {
  double seconds = 0;
  eachWindow(sound, rate, 0.05, [&](std::size_t start, std::size_t window) {
    if (std::abs(toneOf(sound.data() + start, window, rate) - hertz) < 30) seconds += 0.05;
  });
  return seconds;
}

double onsetOf(const std::vector<float>& sound, double hertz, int rate) {
  // Five windows of 20 ms in a row, tried at every millisecond.
  const std::size_t window = rate / 50, step = rate / 1000;
  const auto carries = [&](std::size_t start) {
    return std::abs(toneOf(sound.data() + start, window, rate) - hertz) < hertz / 5;
  };
  for (std::size_t start = 0; start + 5 * window <= sound.size(); start += step) {
    int run = 0;
    while (run < 5 && carries(start + run * window)) ++run;
    if (run == 5) return static_cast<double>(start) / rate;
  }
  return -1;
}

double mainToneOf(const std::vector<float>& sound, int rate) {
  std::vector<double> tones;
  eachWindow(sound, rate, 0.1, [&](std::size_t start, std::size_t window) {
    if (const double tone = toneOf(sound.data() + start, window, rate); tone > 0) tones.push_back(tone);
  });
  if (tones.empty()) return 0;
  std::nth_element(tones.begin(), tones.begin() + tones.size() / 2, tones.end());
  return tones[tones.size() / 2];
}

double levelOfTone(const std::vector<float>& sound, double hertz, int rate) {
  double energy = 0;
  std::size_t count = 0;
  eachWindow(sound, rate, 0.05, [&](std::size_t start, std::size_t window) {
    if (std::abs(toneOf(sound.data() + start, window, rate) - hertz) >= 30) return;
    const double level = rootMeanSquare(sound.data() + start, window);
    energy += level * level * static_cast<double>(window);
    count += window;
  });
  return count == 0 ? 0 : std::sqrt(energy / static_cast<double>(count));
}

bool controlSoundServer(const char* what) {
  const QStringList arguments{QString::fromLatin1(what), QString::fromLocal8Bit(std::getenv("KOVALI_SOUND_SERVER_DIR"))};
  return QProcess::execute(QString::fromLocal8Bit(std::getenv("KOVALI_SOUND_SERVER_CONTROL")), arguments) == 0;
}

namespace {

/// What pactl with `arguments` printed; nothing when it failed.
std::optional<QString> pactl(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("pactl"), arguments);
  if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    return std::nullopt;
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

std::optional<int> loadServerModule(const std::string& name, const std::string& arguments) {
  const auto printed = pactl({QStringLiteral("load-module"), QString::fromStdString(name), QString::fromStdString(arguments)});
  bool number = false;
  const int index = printed ? printed->trimmed().toInt(&number) : 0;
  return number ? std::optional<int>(index) : std::nullopt;
}

void unloadServerModule(int index) { pactl({QStringLiteral("unload-module"), QString::number(index)}); }

std::optional<int> serverModuleIndex(const std::string& name, const std::string& arguments) {
  const auto printed = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")});
  if (!printed) return std::nullopt;
  for (const auto& line : printed->split('\n')) {
    const auto fields = line.split('\t');
    if (fields.size() >= 3 && fields[1] == QString::fromStdString(name) &&
        fields[2].trimmed() == QString::fromStdString(arguments)) {
      return fields[0].toInt();
    }
  }
  return std::nullopt;
}

Song pulseTestTrack(const char* name, const char* id) {
  Song song;
  song.id = id;
  song.title = name;
  song.fileURL = std::string("file://") + std::getenv("KOVALI_PULSE_TRACKS") + "/" + name;
  return song;
}

}  // namespace kovali
