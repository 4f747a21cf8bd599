#include "support/speaker_capture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <QProcess>

#include "support/sound_recording.h"

namespace kovali {

namespace {

constexpr long long frameBytes = 4;  // 16-bit stereo

std::string rigFolder() {
  const char* folder = std::getenv("KOVALI_AIRPLAY_RIG");
  return folder ? folder : "";
}

long long fileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return file ? static_cast<long long>(file.tellg()) : 0;
}

/// Whether the process noted in `pidFile` runs (a zombie does not); nothing without the file.
std::optional<bool> notedProcessRuns(const std::string& pidFile) {
  std::ifstream noted(pidFile);
  int pid = 0;
  if (!(noted >> pid) || pid <= 0) return std::nullopt;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto end = line.rfind(')');
  return end != std::string::npos && end + 2 < line.size() && line[end + 2] != 'Z';
}

}  // namespace

std::optional<std::string> rigDaemonGone() {
  if (rigFolder().empty()) return std::nullopt;
  for (const char* daemon : {"pulseaudio", "pipewire", "pipewire-pulse", "wireplumber"}) {
    if (notedProcessRuns(rigFolder() + "/client/" + daemon + ".pid") == false) {
      return "the rig's sound server daemon " + std::string(daemon) + " died";
    }
  }
  if (notedProcessRuns(rigFolder() + "/speaker/pulseaudio.pid") == false) {
    return "the sound server the rig's receivers play into (pulseaudio) died";
  }
  for (const auto& speaker : rigSpeakers()) {
    const auto pidFile = rigFolder() + "/speaker/receiver" + std::to_string(speaker.number) + ".pid";
    if (notedProcessRuns(pidFile) == false) return "the rig's receiver of " + speaker.name + " (shairport-sync) died";
  }
  return std::nullopt;
}

std::string rigDaemons() {
  const auto gone = rigDaemonGone();
  return gone ? " (" + *gone + ")" : " (the rig's daemons all run)";
}

std::vector<RigSpeaker> rigSpeakers() {
  std::vector<RigSpeaker> speakers;
  if (rigFolder().empty()) return speakers;
  std::ifstream list(rigFolder() + "/speakers");
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    RigSpeaker speaker;
    std::string number;
    if (std::getline(fields, number, '\t') && std::getline(fields, speaker.name, '\t') &&
        std::getline(fields, speaker.capture)) {
      speaker.number = std::atoi(number.c_str());
      speakers.push_back(std::move(speaker));
    }
  }
  return speakers;
}

std::string rigServer() {
  const char* server = std::getenv("KOVALI_AIRPLAY_SERVER");
  return server ? server : "";
}

RigTimekeeping rigTimekeeping() {
  if (rigServer() == "pipewire") return {0.08, 0.75};
  return {0, 0.1};
}

std::optional<std::string> setRigSpeakerRunning(int number, bool running) {
  const char* script = std::getenv("KOVALI_AIRPLAY_RIG_SCRIPT");
  if (!script) return "Not inside the AirPlay rig.";
  QProcess process;
  process.start("bash", {script, running ? "start-speaker" : "stop-speaker", QString::number(number)});
  if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    return "The rig could not " + std::string(running ? "start" : "stop") + " speaker " + std::to_string(number) +
           ": " + process.readAllStandardError().trimmed().toStdString();
  }
  return std::nullopt;
}

SpeakerCapture::SpeakerCapture(std::string path) : path_(std::move(path)) {
  start_ = fileSize(path_) / frameBytes * frameBytes;
}

bool SpeakerCapture::read() {
  std::ifstream file(path_, std::ios::binary);
  std::ifstream times(path_ + ".times");
  if (!file || !times) return false;

  // The times are written before the sound, so every byte read here has its time.
  times.seekg(timesRead_);
  std::string line;
  while (std::getline(times, line) && !times.eof()) {  // a last line without its end is still being written
    timesRead_ += static_cast<std::streamoff>(line.size()) + 1;
    long long offset = 0;
    std::int64_t nanoseconds = 0;
    if (std::istringstream(line) >> offset >> nanoseconds) {
      played_.emplace_back(offset / frameBytes, Clock::time_point(std::chrono::nanoseconds(nanoseconds)));
    }
  }

  const long long from = start_ + static_cast<long long>(sound_.size()) * frameBytes;
  const long long frames = (fileSize(path_) - from) / frameBytes;
  if (frames <= 0) return true;
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
  file.seekg(from);
  file.read(reinterpret_cast<char*>(samples.data()), frames * frameBytes);
  for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
    sound_.push_back(static_cast<float>(samples[i] + samples[i + 1]) / 2 / 32768);
  }
  return true;
}

SpeakerCapture::Clock::time_point SpeakerCapture::timeOf(std::size_t frame) const {
  return playedTimeOf(played_, static_cast<std::size_t>(start_ / frameBytes) + frame, rate);
}

std::optional<SpeakerCapture::Clock::time_point> SpeakerCapture::onset(double hertz) const {
  const double seconds = onsetOf(sound_, hertz, rate);
  if (seconds < 0) return std::nullopt;
  return timeOf(static_cast<std::size_t>(seconds * rate));
}

double SpeakerCapture::mainTone() const { return mainToneOf(sound_, rate); }

double SpeakerCapture::level(double hertz) const { return levelOfTone(sound_, hertz, rate); }

}  // namespace kovali
