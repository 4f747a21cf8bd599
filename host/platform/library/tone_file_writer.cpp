#include "platform/library/tone_file_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include "platform/runtime/ffmpeg_log.h"

namespace kovali {

namespace {

constexpr int kPreferredSampleRate = 44100;
constexpr double kAmplitude = 0.25;

struct OutputCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
struct CodecCloser {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameCloser {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketCloser {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// The well-known external encoders sound better than FFmpeg's experimental ones of the same codec.
const AVCodec* encoderFor(AVCodecID id) {
  const char* preferred = id == AV_CODEC_ID_MP3      ? "libmp3lame"
                          : id == AV_CODEC_ID_VORBIS ? "libvorbis"
                          : id == AV_CODEC_ID_OPUS   ? "libopus"
                                                     : nullptr;
  if (preferred) {
    if (const AVCodec* codec = avcodec_find_encoder_by_name(preferred)) return codec;
  }
  return avcodec_find_encoder(id);
}

int sampleRateFor(const AVCodec& codec) {
  if (!codec.supported_samplerates) return kPreferredSampleRate;
  for (const int* rate = codec.supported_samplerates; *rate; ++rate) {
    if (*rate == kPreferredSampleRate) return *rate;
  }
  return codec.supported_samplerates[0];
}

// One sample of the tune: the note's tone and its octave, faded in and out to avoid clicks.
double sampleAt(const ToneFile& file, std::int64_t index, int sampleRate) {
  const double t = static_cast<double>(index) / sampleRate;
  const auto note = static_cast<std::size_t>(t / file.noteSeconds);
  if (note >= file.notes.size() || file.notes[note] <= 0) return 0;
  const double inNote = t - static_cast<double>(note) * file.noteSeconds;
  const double envelope = std::min({1.0, inNote / 0.01, (file.noteSeconds - inNote) / 0.05});
  const double phase = 2 * std::numbers::pi * file.notes[note] * t;
  return kAmplitude * std::max(envelope, 0.0) * (std::sin(phase) + 0.3 * std::sin(2 * phase)) / 1.3;
}

void storeSample(AVFrame& frame, int channel, int index, double value) {
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const int channels = frame.ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(format);
  const int slot = planar ? index : index * channels + channel;
  std::uint8_t* data = frame.data[planar ? channel : 0];
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(data)[slot] = static_cast<float>(value); break;
    case AV_SAMPLE_FMT_DBL: reinterpret_cast<double*>(data)[slot] = value; break;
    case AV_SAMPLE_FMT_S16: reinterpret_cast<std::int16_t*>(data)[slot] = static_cast<std::int16_t>(value * 32767); break;
    case AV_SAMPLE_FMT_S32:
      reinterpret_cast<std::int32_t*>(data)[slot] = static_cast<std::int32_t>(value * 2147483647.0);
      break;
    default: break;
  }
}

class ToneEncoder {
 public:
  explicit ToneEncoder(const ToneFile& file) : file_(file) {}

  std::optional<std::string> run() {
    if (auto failure = open()) return failure;
    const std::int64_t total = static_cast<std::int64_t>(
        std::llround(static_cast<double>(file_.notes.size()) * file_.noteSeconds * codec_->sample_rate));
    const int frameSize = codec_->frame_size > 0 ? codec_->frame_size : 1024;
    for (std::int64_t written = 0; written < total; written += frameSize) {
      const int count = static_cast<int>(std::min<std::int64_t>(frameSize, total - written));
      auto frame = makeFrame(written, count);
      if (!frame) return fail(AVERROR(ENOMEM));
      if (auto failure = encode(frame.get())) return failure;
    }
    if (auto failure = encode(nullptr)) return failure;
    if (const int error = av_write_trailer(output_.get()); error < 0) return fail(error);
    return std::nullopt;
  }

 private:
  std::optional<std::string> open() {
    AVFormatContext* output = nullptr;
    if (const int error = avformat_alloc_output_context2(&output, nullptr, nullptr, file_.path.c_str()); error < 0) {
      return fail(error);
    }
    output_.reset(output);
    const AVCodec* codec = encoderFor(output->oformat->audio_codec);
    if (!codec || !codec->sample_fmts) return fail(AVERROR_ENCODER_NOT_FOUND);

    codec_.reset(avcodec_alloc_context3(codec));
    codec_->sample_fmt = codec->sample_fmts[0];
    codec_->sample_rate = sampleRateFor(*codec);
    av_channel_layout_default(&codec_->ch_layout, 2);
    codec_->bit_rate = 128000;
    codec_->time_base = AVRational{1, codec_->sample_rate};
    if (output->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int error = avcodec_open2(codec_.get(), codec, nullptr); error < 0) return fail(error);

    stream_ = avformat_new_stream(output, nullptr);
    if (!stream_) return fail(AVERROR(ENOMEM));
    stream_->time_base = codec_->time_base;
    avcodec_parameters_from_context(stream_->codecpar, codec_.get());
    for (const auto& [key, value] : file_.tags) {
      av_dict_set(&output->metadata, key.c_str(), value.c_str(), 0);
      // Ogg keeps its comments with the stream.
      av_dict_set(&stream_->metadata, key.c_str(), value.c_str(), 0);
    }
    AVStream* picture = file_.coverJPEG.empty() ? nullptr : addPictureStream(*output);
    const std::string url = "file:" + file_.path;
    if (const int error = avio_open(&output->pb, url.c_str(), AVIO_FLAG_WRITE); error < 0) return fail(error);
    if (const int error = avformat_write_header(output, nullptr); error < 0) return fail(error);
    packet_.reset(av_packet_alloc());
    if (picture) return writePicture(*picture);
    return std::nullopt;
  }

  AVStream* addPictureStream(AVFormatContext& output) {
    AVStream* picture = avformat_new_stream(&output, nullptr);
    if (!picture) return nullptr;
    picture->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    picture->codecpar->codec_id = AV_CODEC_ID_MJPEG;
    picture->codecpar->width = file_.coverWidth;
    picture->codecpar->height = file_.coverHeight;
    picture->disposition = AV_DISPOSITION_ATTACHED_PIC;
    av_dict_set(&picture->metadata, "comment", "Cover (front)", 0);
    return picture;
  }

  // The muxers hold the sound back until every attached picture has come.
  std::optional<std::string> writePicture(const AVStream& picture) {
    std::unique_ptr<AVPacket, PacketCloser> packet(av_packet_alloc());
    if (const int error = av_new_packet(packet.get(), static_cast<int>(file_.coverJPEG.size())); error < 0) {
      return fail(error);
    }
    std::memcpy(packet->data, file_.coverJPEG.data(), file_.coverJPEG.size());
    packet->stream_index = picture.index;
    packet->flags |= AV_PKT_FLAG_KEY;
    if (const int error = av_interleaved_write_frame(output_.get(), packet.get()); error < 0) return fail(error);
    return std::nullopt;
  }

  std::unique_ptr<AVFrame, FrameCloser> makeFrame(std::int64_t first, int count) {
    std::unique_ptr<AVFrame, FrameCloser> frame(av_frame_alloc());
    frame->format = codec_->sample_fmt;
    frame->nb_samples = count;
    frame->sample_rate = codec_->sample_rate;
    frame->pts = first;
    av_channel_layout_copy(&frame->ch_layout, &codec_->ch_layout);
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    for (int i = 0; i < count; ++i) {
      const double value = sampleAt(file_, first + i, codec_->sample_rate);
      for (int channel = 0; channel < frame->ch_layout.nb_channels; ++channel) storeSample(*frame, channel, i, value);
    }
    return frame;
  }

  std::optional<std::string> encode(const AVFrame* frame) {
    if (const int error = avcodec_send_frame(codec_.get(), frame); error < 0) return fail(error);
    for (;;) {
      const int received = avcodec_receive_packet(codec_.get(), packet_.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return std::nullopt;
      if (received < 0) return fail(received);
      av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
      packet_->stream_index = stream_->index;
      if (const int error = av_interleaved_write_frame(output_.get(), packet_.get()); error < 0) return fail(error);
    }
  }

  std::optional<std::string> fail(int error) const {
    return "The file " + file_.path + " could not be written: " + ffmpegErrorText(error) + ".";
  }

  const ToneFile& file_;
  std::unique_ptr<AVFormatContext, OutputCloser> output_;
  std::unique_ptr<AVCodecContext, CodecCloser> codec_;
  std::unique_ptr<AVPacket, PacketCloser> packet_;
  AVStream* stream_ = nullptr;
};

}  // namespace

std::optional<std::string> writeToneFile(const ToneFile& file) { return ToneEncoder(file).run(); }

}  // namespace kovali
