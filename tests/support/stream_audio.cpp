#include "support/stream_audio.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kovali::test {

namespace {

/// The middle half, away from the encoder's start-up and the cut at the end.
std::pair<std::size_t, std::size_t> middle(const std::vector<float>& samples) {
  return {samples.size() / 4, samples.size() * 3 / 4};
}

std::string decodeFile(const std::string& path, DecodedAudio& out) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return "cannot open";
  std::string error;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const AVCodec* decoder = nullptr;
  const int index = avformat_find_stream_info(format, nullptr) < 0
                        ? -1
                        : av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index < 0 || !decoder) {
    error = "no audio stream";
  } else {
    codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[index]->codecpar);
    if (avcodec_open2(codec, decoder, nullptr) < 0) error = "cannot open the decoder";
  }
  while (error.empty() && av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(codec, packet) == 0) {
      while (avcodec_receive_frame(codec, frame) == 0) {
        out.sampleRate = frame->sample_rate;
        out.channels = frame->ch_layout.nb_channels;
        if (frame->format != AV_SAMPLE_FMT_FLTP) error = "unexpected sample format";
        const auto* first = reinterpret_cast<const float*>(frame->extended_data[0]);
        out.firstChannel.insert(out.firstChannel.end(), first, first + frame->nb_samples);
      }
    }
    av_packet_unref(packet);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return error;
}

}  // namespace

SharedPCMBuffer sineBuffer(const AudioFormat& format, std::int64_t firstFrame, int frames, double frequency,
                           float amplitude) {
  auto buffer = std::make_shared<PCMBuffer>();
  buffer->format = format;
  buffer->samples.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(format.channels));
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(firstFrame + i) / format.sampleRate;
    const auto value = static_cast<float>(amplitude * std::sin(2 * M_PI * frequency * t));
    for (int c = 0; c < format.channels; ++c)
      buffer->samples[static_cast<std::size_t>(i * format.channels + c)] = value;
  }
  return buffer;
}

double appendSineUntil(HLSStream& stream, int sequence, double frequency, float amplitude, double maxSeconds) {
  const auto& format = stream.sourceFormat();
  const int frames = static_cast<int>(format.sampleRate / 100);
  const std::string name = "seg" + std::to_string(sequence) + ".m4s";
  std::int64_t appended = 0;
  while (!stream.data(name) && appended < format.sampleRate * maxSeconds) {
    stream.append(sineBuffer(format, appended, frames, frequency, amplitude));
    appended += frames;
  }
  return static_cast<double>(appended) / format.sampleRate;
}

DecodedAudio decodeSegments(const QByteArray& initialization, const std::vector<QByteArray>& segments) {
  DecodedAudio decoded;
  QTemporaryDir dir;
  QFile file(dir.filePath(QStringLiteral("stream.mp4")));
  if (!file.open(QIODevice::WriteOnly)) {
    decoded.error = "cannot write a temporary file";
    return decoded;
  }
  file.write(initialization);
  for (const auto& segment : segments) file.write(segment);
  file.close();
  decoded.error = decodeFile(file.fileName().toStdString(), decoded);
  return decoded;
}

double toneFrequency(const std::vector<float>& samples, int sampleRate) {
  const auto [begin, end] = middle(samples);
  int crossings = 0;
  for (std::size_t i = begin + 1; i < end; ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  }
  return end > begin ? crossings / 2.0 * sampleRate / static_cast<double>(end - begin) : 0;
}

double rootMeanSquare(const std::vector<float>& samples) {
  const auto [begin, end] = middle(samples);
  double sum = 0;
  for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0;
}

}  // namespace kovali::test
