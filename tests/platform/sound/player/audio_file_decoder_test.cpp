#include "platform/sound/player/audio_file_decoder.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <vector>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/library/tone_file_writer.h"

namespace kovali {
namespace {

/// Writes a 16-bit PCM WAV file of a sine tone.
void writeTone(const std::string& path, int rate, int channels, double seconds, double frequency) {
  const auto frames = static_cast<std::uint32_t>(rate * seconds);
  const std::uint32_t dataBytes = frames * static_cast<std::uint32_t>(channels) * 2;
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out << "RIFF";
  u32(36 + dataBytes);
  out << "WAVEfmt ";
  u32(16);
  u16(1);
  u16(static_cast<std::uint16_t>(channels));
  u32(static_cast<std::uint32_t>(rate));
  u32(static_cast<std::uint32_t>(rate * channels * 2));
  u16(static_cast<std::uint16_t>(channels * 2));
  u16(16);
  out << "data";
  u32(dataBytes);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const auto sample = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * frequency * i / rate));
    for (int c = 0; c < channels; ++c) u16(static_cast<std::uint16_t>(sample));
  }
}

TEST(AudioFileDecoder, ConvertsAnyFileToStereoAtThePlayersRate) {
  QTemporaryDir dir;
  struct Case {
    const char* name;
    int rate;
    int channels;
    double peak;
  };
  // Mono goes to both sides at -3 dB each, so that it sounds as loud as before.
  const Case cases[] = {{"mono 44.1 kHz.wav", 44100, 1, 8000.0 / 32768 * M_SQRT1_2},
                        {"stereo 48 kHz.wav", 48000, 2, 8000.0 / 32768}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir.filePath(c.name).toStdString();
    writeTone(path, c.rate, c.channels, 0.5, 440);
    // A file:// URL with an escaped space, as a music library hands it out.
    auto opened = AudioFileDecoder::open("file://" + dir.path().toStdString() + "/" +
                                             std::string(c.name).replace(std::string(c.name).find(' '), 1, "%20"),
                                         48000);
    ASSERT_TRUE(opened) << opened.error();
    std::vector<float> sound(48000 * 2);
    std::size_t frames = 0;
    while (const auto got = opened.value()->read(sound.data() + frames * 2, 1000)) frames += got;
    EXPECT_NEAR(static_cast<double>(frames), 24000, 100);
    EXPECT_EQ(opened.value()->read(sound.data(), 1000), 0u);  // stays at its end
    EXPECT_NEAR(sound[1000 * 2], sound[1000 * 2 + 1], 1e-6);  // both channels carry the tone
    float peak = 0;
    for (std::size_t i = 0; i < frames * 2; ++i) peak = std::max(peak, std::abs(sound[i]));
    EXPECT_NEAR(peak, c.peak, 0.01);
  }
}

TEST(AudioFileDecoder, RefusesWhatItCannotPlayWithASentence) {
  QTemporaryDir dir;
  const auto text = dir.filePath("notes.wav").toStdString();
  std::ofstream(text) << "not a sound";
  for (const auto& location : {dir.filePath("missing.flac").toStdString(), text}) {
    auto opened = AudioFileDecoder::open(location, 48000);
    ASSERT_FALSE(opened) << location;
    EXPECT_TRUE(opened.error().starts_with("The file " + location + " could not be played (")) << opened.error();
  }
}

/// The tone of `frames` frames of interleaved stereo sound from frame `from`, in Hz, from the
/// zero crossings of its left side.
double toneOfStereo(const std::vector<float>& sound, std::size_t from, std::size_t frames) {
  int crossings = 0;
  for (std::size_t i = from + 1; i < from + frames; ++i) crossings += (sound[(i - 1) * 2] < 0) != (sound[i * 2] < 0);
  return crossings / 2.0 / (static_cast<double>(frames) / 48000);
}

// A resumed song goes on where it was: 300, 500, 700 and 900 Hz for half a second each.
TEST(AudioFileDecoder, SeeksToATimeInTheFile) {
  QTemporaryDir dir;
  for (const char* name : {"notes.flac", "notes.mp3"}) {
    SCOPED_TRACE(name);
    ToneFile file{dir.filePath(name).toStdString(), {300, 500, 700, 900}, 0.5, {}, {}, 0, 0};
    ASSERT_EQ(writeToneFile(file), std::nullopt);
    auto opened = AudioFileDecoder::open(file.path, 48000);
    ASSERT_TRUE(opened) << opened.error();
    ASSERT_TRUE(opened.value()->seek(1.1));

    std::vector<float> sound(48000 * 2 * 2);
    std::size_t frames = 0;
    while (const auto got = opened.value()->read(sound.data() + frames * 2, 1000)) frames += got;
    EXPECT_NEAR(static_cast<double>(frames) / 48000, 0.9, 0.06);
    // The last note begins 1.5 s into the file: 0.4 s after the seek.
    std::optional<double> lastNote;
    for (std::size_t at = 0; at + 960 <= frames && !lastNote; at += 960) {
      if (std::abs(toneOfStereo(sound, at, 960) - 900) < 60) lastNote = static_cast<double>(at) / 48000;
    }
    ASSERT_TRUE(lastNote);
    EXPECT_NEAR(*lastNote, 0.4, 0.05);
    EXPECT_NEAR(toneOfStereo(sound, 4800, 9600), 700, 30);  // 1.2 to 1.4 s into the file
  }
}

// Chained Ogg files (streams from the radio, joined recordings) change format at each link.
TEST(AudioFileDecoder, FollowsAFileWhoseFormatChangesMidway) {
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) GTEST_SKIP() << "needs ffmpeg (scripts/setup installs it)";
  QTemporaryDir dir;
  const auto encode = [&](const QString& name, int rate, int channels) {
    QProcess process;
    process.start(ffmpeg, {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                           QStringLiteral("sine=frequency=440:duration=1:sample_rate=%1").arg(rate), "-ac",
                           QString::number(channels), "-c:a", "libvorbis", dir.filePath(name)});
    return process.waitForFinished(30000) && process.exitCode() == 0;
  };
  ASSERT_TRUE(encode("stereo.ogg", 44100, 2));
  ASSERT_TRUE(encode("mono.ogg", 22050, 1));
  const auto contents = [&](const char* name) {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const Case cases[] = {{"stereo then mono.ogg", contents("stereo.ogg") + contents("mono.ogg")},
                        {"mono then stereo.ogg", contents("mono.ogg") + contents("stereo.ogg")}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile file(dir.filePath(c.name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.bytes) == c.bytes.size());
    file.close();
    auto opened = AudioFileDecoder::open(file.fileName().toStdString(), 48000);
    ASSERT_TRUE(opened) << opened.error();
    std::vector<float> sound(1000 * 2);
    std::size_t frames = 0;
    while (const auto got = opened.value()->read(sound.data(), 1000)) frames += got;
    // Two seconds at the player's rate, each link at its own rate (give or take the codec's
    // priming at the start of a link).
    EXPECT_NEAR(static_cast<double>(frames), 96000, 2400);
  }
}

}  // namespace
}  // namespace kovali
