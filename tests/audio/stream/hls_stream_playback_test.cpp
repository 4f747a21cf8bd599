// The live stream as a real HLS client sees it: ffmpeg plays it from the stream server.

#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/stream/hls_stream.h"
#include "audio/stream/stream_server.h"
#include "support/stream_audio.h"

namespace kovali {
namespace {

TEST(HLSStreamPlayback, FFmpegPlaysTheLiveStreamAsTheTone) {
  const auto ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  const auto timeout = QStandardPaths::findExecutable(QStringLiteral("timeout"));
  if (ffmpeg.isEmpty() || timeout.isEmpty()) GTEST_SKIP() << "ffmpeg or timeout is not installed";

  auto made = HLSStream::make({48000, 2});
  ASSERT_TRUE(made) << made.error().message;
  const auto stream = std::move(made).value();
  test::appendSineUntil(*stream, 11, 440, 0.5f);
  StreamServer server(stream);
  QSignalSpy started(&server, &StreamServer::started);
  server.start();
  ASSERT_TRUE(started.wait(5000));
  const auto url = QStringLiteral("http://127.0.0.1:%1/stream.m3u8").arg(started.front().front().value<quint16>());

  // A live playlist has no end, so ffmpeg stops after 2 s of sound, and `timeout` stops it anyway.
  QProcess player;
  player.start(timeout, {QStringLiteral("30"), ffmpeg, QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                         QStringLiteral("error"), QStringLiteral("-i"), url, QStringLiteral("-t"), QStringLiteral("2"),
                         QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-ac"), QStringLiteral("2"),
                         QStringLiteral("-ar"), QStringLiteral("48000"), QStringLiteral("-")});
  ASSERT_TRUE(player.waitForFinished(40000));
  EXPECT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();

  const QByteArray bytes = player.readAllStandardOutput();
  std::vector<float> both(static_cast<std::size_t>(bytes.size()) / sizeof(float));
  std::memcpy(both.data(), bytes.constData(), both.size() * sizeof(float));
  std::vector<float> sound;  // the left channel
  for (std::size_t i = 0; i < both.size(); i += 2) sound.push_back(both[i]);
  EXPECT_NEAR(static_cast<double>(sound.size()), 2 * 48000, 1024);
  EXPECT_NEAR(test::toneFrequency(sound, 48000), 440, 3);
  EXPECT_NEAR(test::rootMeanSquare(sound), 0.5 / std::sqrt(2), 0.03);
}

}  // namespace
}  // namespace kovali
