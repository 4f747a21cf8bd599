// The multi-room stream's costs: the encoder's share of one core per second of 48 kHz stereo,
// and the stream server's time to the first byte of a segment over loopback.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/stream/hls_stream.h"
#include "audio/stream/stream_server.h"

namespace kovali {
namespace {

const AudioFormat stereo48k{48000, 2};

/// One second of a 440 Hz tone in 10 ms buffers; whole periods, so it repeats seamlessly.
std::vector<SharedPCMBuffer> oneSecondOfTone() {
  std::vector<SharedPCMBuffer> buffers;
  for (int b = 0; b < 100; ++b) {
    auto buffer = std::make_shared<PCMBuffer>();
    buffer->format = stereo48k;
    for (int i = 0; i < 480; ++i) {
      const auto value = static_cast<float>(0.5 * std::sin(2 * M_PI * 440 * (b * 480 + i) / 48000.0));
      buffer->samples.push_back(value);
      buffer->samples.push_back(value);
    }
    buffers.push_back(std::move(buffer));
  }
  return buffers;
}

/// One iteration encodes one second of sound: its CPU time in ms over 10 is the share of a core in %.
void HLSStreamEncoding(benchmark::State& state) {
  const auto second = oneSecondOfTone();
  auto stream = HLSStream::make(stereo48k);
  if (!stream) return state.SkipWithError(stream.error().message.c_str());
  for (auto _ : state) {
    for (const auto& buffer : second) stream.value()->append(buffer);
  }
}
BENCHMARK(HLSStreamEncoding)->Unit(benchmark::kMillisecond);

void StreamServerFirstByte(benchmark::State& state) {
  auto made = HLSStream::make(stereo48k);
  if (!made) return state.SkipWithError(made.error().message.c_str());
  const auto stream = std::move(made).value();
  const auto second = oneSecondOfTone();
  while (!stream->data("seg3.m4s")) {
    for (const auto& buffer : second) stream->append(buffer);
  }
  StreamServer server(stream);
  quint16 port = 0;
  QObject::connect(&server, &StreamServer::started, [&](quint16 ready) { port = ready; });
  server.start();
  QElapsedTimer clock;
  clock.start();
  while (port == 0 && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  if (port == 0) return state.SkipWithError("the stream server did not start");

  for (auto _ : state) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    socket.waitForConnected(3000);
    socket.write("GET /seg3.m4s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    if (!socket.waitForReadyRead(3000)) return state.SkipWithError("no answer");
    state.PauseTiming();
    while (socket.waitForReadyRead(1000)) socket.readAll();
    state.ResumeTiming();
  }
}
BENCHMARK(StreamServerFirstByte)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kovali
