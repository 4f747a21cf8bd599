#include "audio/stream/aac_segment_encoder.h"

#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/runtime/ffmpeg_log.h"

namespace kovali {

namespace {

constexpr std::int64_t bitRate = 256000;
constexpr int ioBufferSize = 16384;

/// The channel layout a source of `channels` channels is taken to have; none where FFmpeg knows
/// no standard layout for that count (it could not mix it down).
std::optional<AVChannelLayout> sourceLayout(int channels) {
  if (channels < 1) return std::nullopt;
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, channels);
  if (layout.order != AV_CHANNEL_ORDER_NATIVE) {
    av_channel_layout_uninit(&layout);
    return std::nullopt;
  }
  return layout;
}

bool acceptable(const AudioFormat& format) {
  const double rate = format.sampleRate;
  return std::isfinite(rate) && rate >= 1 && rate <= 768000 && rate == std::floor(rate) &&
         sourceLayout(format.channels).has_value();
}

}  // namespace

vinaro::Expected<std::unique_ptr<AACSegmentEncoder>, std::string> AACSegmentEncoder::make(const AudioFormat& source) {
  keepFFmpegQuiet();
  if (!acceptable(source)) return "The encoder does not accept " + source.description() + ".";
  std::unique_ptr<AACSegmentEncoder> encoder(new AACSegmentEncoder(source));
  if (auto failure = encoder->open()) return "Could not start the encoder: " + *failure + ".";
  return encoder;
}

AACSegmentEncoder::AACSegmentEncoder(const AudioFormat& source)
    : source_(source),
      outputRate_(source.sampleRate == 44100 || source.sampleRate == 48000 ? static_cast<int>(source.sampleRate)
                                                                           : 48000),
      outputChannels_(source.channels < 2 ? source.channels : 2) {}

AACSegmentEncoder::~AACSegmentEncoder() {
  if (muxer_) avformat_free_context(muxer_);
  if (io_) av_freep(&io_->buffer);
  avio_context_free(&io_);
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  if (fifo_) av_audio_fifo_free(fifo_);
  swr_free(&resampler_);
  avcodec_free_context(&codec_);
}

std::optional<std::string> AACSegmentEncoder::open() {
  if (auto failure = openCodec()) return failure;
  if (auto failure = openResampler()) return failure;
  return openMuxer();
}

std::optional<std::string> AACSegmentEncoder::openCodec() {
  const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!aac) return "no AAC encoder is installed";
  codec_ = avcodec_alloc_context3(aac);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!codec_ || !packet_ || !frame_) return "out of memory";
  codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec_->sample_rate = outputRate_;
  av_channel_layout_default(&codec_->ch_layout, outputChannels_);
  codec_->bit_rate = bitRate;
  codec_->time_base = AVRational{1, outputRate_};
  codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the initialization segment carries the decoder set-up
  if (int error = avcodec_open2(codec_, aac, nullptr); error < 0) return ffmpegErrorText(error);
  return std::nullopt;
}

std::optional<std::string> AACSegmentEncoder::openResampler() {
  AVChannelLayout input = *sourceLayout(source_.channels);
  const int made = swr_alloc_set_opts2(&resampler_, &codec_->ch_layout, AV_SAMPLE_FMT_FLTP, outputRate_, &input,
                                       AV_SAMPLE_FMT_FLT, static_cast<int>(source_.sampleRate), 0, nullptr);
  av_channel_layout_uninit(&input);
  if (made < 0) return ffmpegErrorText(made);
  if (int error = swr_init(resampler_); error < 0) return ffmpegErrorText(error);
  fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, outputChannels_, codec_->frame_size * 4);
  if (!fifo_) return "out of memory";
  planes_.resize(static_cast<std::size_t>(outputChannels_));
  return std::nullopt;
}

std::optional<std::string> AACSegmentEncoder::openMuxer() {
  if (int error = avformat_alloc_output_context2(&muxer_, nullptr, "mp4", nullptr); error < 0) {
    return ffmpegErrorText(error);
  }
  AVStream* stream = avformat_new_stream(muxer_, nullptr);
  auto* buffer = static_cast<unsigned char*>(av_malloc(ioBufferSize));
  io_ = buffer ? avio_alloc_context(buffer, ioBufferSize, 1, this, nullptr, &AACSegmentEncoder::collect, nullptr)
               : nullptr;
  if (!stream || !io_) {
    if (!io_) av_free(buffer);
    return "out of memory";
  }
  io_->seekable = 0;
  muxer_->pb = io_;
  muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (int error = avcodec_parameters_from_context(stream->codecpar, codec_); error < 0) return ffmpegErrorText(error);
  stream->time_base = codec_->time_base;
  AVDictionary* options = nullptr;
  // Fragments only where this encoder cuts them, each one a self-contained HLS media segment.
  av_dict_set(&options, "movflags", "empty_moov+frag_custom+default_base_moof", 0);
  const int written = avformat_write_header(muxer_, &options);
  av_dict_free(&options);
  if (written < 0) return ffmpegErrorText(written);
  avio_flush(io_);
  if (io_->error < 0) return ffmpegErrorText(io_->error);
  initialization_ = std::exchange(written_, {});
  return std::nullopt;
}

bool AACSegmentEncoder::append(const SampleBuffer& buffer, std::vector<Output>& out) {
  if (status_ != Status::writing || !buffer.pcm || buffer.pcm->format != source_) return false;
  const auto frames = static_cast<int>(buffer.pcm->frameLength());
  const int capacity = swr_get_out_samples(resampler_, frames);
  if (capacity < 0) return fail("resampling failed", capacity);
  std::vector<std::uint8_t*> planes;
  for (auto& plane : planes_) {
    if (plane.size() < static_cast<std::size_t>(capacity)) plane.resize(static_cast<std::size_t>(capacity));
    planes.push_back(reinterpret_cast<std::uint8_t*>(plane.data()));
  }
  const auto* input = reinterpret_cast<const std::uint8_t*>(buffer.pcm->samples.data());
  const int converted = swr_convert(resampler_, planes.data(), capacity, &input, frames);
  if (converted < 0) return fail("resampling failed", converted);
  if (converted > 0 && av_audio_fifo_write(fifo_, reinterpret_cast<void**>(planes.data()), converted) < converted) {
    return fail("buffering failed", AVERROR(ENOMEM));
  }
  return encodeWaiting(out);
}

void AACSegmentEncoder::cancel() {
  if (status_ == Status::writing) status_ = Status::cancelled;
}

bool AACSegmentEncoder::encodeWaiting(std::vector<Output>& out) {
  const int frameSize = codec_->frame_size;
  while (av_audio_fifo_size(fifo_) >= frameSize) {
    av_frame_unref(frame_);
    frame_->nb_samples = frameSize;
    frame_->format = AV_SAMPLE_FMT_FLTP;
    frame_->sample_rate = outputRate_;
    if (int error = av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout); error < 0) {
      return fail("encoding failed", error);
    }
    if (int error = av_frame_get_buffer(frame_, 0); error < 0) return fail("encoding failed", error);
    if (int read = av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), frameSize); read < frameSize) {
      return fail("buffering failed", read < 0 ? read : AVERROR_BUG);
    }
    frame_->pts = nextPts_;
    nextPts_ += frameSize;
    if (int error = avcodec_send_frame(codec_, frame_); error < 0) return fail("encoding failed", error);
    if (!drainPackets(out)) return false;
  }
  return true;
}

bool AACSegmentEncoder::drainPackets(std::vector<Output>& out) {
  AVStream* stream = muxer_->streams[0];
  for (;;) {
    const int received = avcodec_receive_packet(codec_, packet_);
    if (received == AVERROR(EAGAIN)) return true;
    if (received < 0) return fail("encoding failed", received);
    fragmentSamples_ += packet_->duration;
    packet_->stream_index = 0;
    av_packet_rescale_ts(packet_, codec_->time_base, stream->time_base);
    const int written = av_write_frame(muxer_, packet_);
    av_packet_unref(packet_);
    if (written < 0) return fail("writing a segment failed", written);
    if (fragmentSamples_ >= outputRate_ && !cutSegment(out)) return false;
  }
}

bool AACSegmentEncoder::cutSegment(std::vector<Output>& out) {
  // Closes the fragment gathered so far; a segment that was not wholly written is not handed out.
  if (int error = av_write_frame(muxer_, nullptr); error < 0) return fail("writing a segment failed", error);
  avio_flush(io_);
  if (io_->error < 0) return fail("writing a segment failed", io_->error);
  if (initialization_) out.push_back({Output::Type::initialization, *std::exchange(initialization_, std::nullopt), 0});
  out.push_back(
      {Output::Type::media, std::exchange(written_, {}), static_cast<double>(fragmentSamples_) / outputRate_});
  fragmentSamples_ = 0;
  return true;
}

bool AACSegmentEncoder::fail(const std::string& what, int error) {
  status_ = Status::failed;
  if (!error_) error_ = "The encoder failed: " + what + " (" + ffmpegErrorText(error) + ").";
  return false;
}

int AACSegmentEncoder::collect(void* encoder, std::uint8_t* bytes, int size) {
  static_cast<AACSegmentEncoder*>(encoder)->written_.append(reinterpret_cast<const char*>(bytes), size);
  return size;
}

}  // namespace kovali
