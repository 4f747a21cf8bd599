#include "platform/sound/player/audio_file_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/library/file_url.h"
#include "platform/runtime/ffmpeg_log.h"

namespace kovali {

namespace {

std::string failure(const std::string& path, const std::string& what) {
  return "The file " + path + " could not be played (" + what + ").";
}

// A layout that names no channels is taken in the default order for its channel count.
AVChannelLayout inputLayout(const AVFrame& frame) {
  AVChannelLayout layout{};
  if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
  } else {
    av_channel_layout_copy(&layout, &frame.ch_layout);
  }
  return layout;
}

bool takesFrame(SwrContext* resampler, const AVFrame& frame) {
  AVSampleFormat format = AV_SAMPLE_FMT_NONE;
  std::int64_t rate = 0;
  AVChannelLayout layout{};
  if (av_opt_get_sample_fmt(resampler, "in_sample_fmt", 0, &format) < 0 ||
      av_opt_get_int(resampler, "in_sample_rate", 0, &rate) < 0 ||
      av_opt_get_chlayout(resampler, "in_chlayout", 0, &layout) < 0) {
    return false;
  }
  AVChannelLayout frameLayout = inputLayout(frame);
  const bool same =
      format == frame.format && rate == frame.sample_rate && av_channel_layout_compare(&layout, &frameLayout) == 0;
  av_channel_layout_uninit(&layout);
  av_channel_layout_uninit(&frameLayout);
  return same;
}

// The stream's first timestamp: its times count from there.
std::int64_t startOf(const AVStream& stream) { return stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time; }

}  // namespace

vinaro::Expected<std::unique_ptr<AudioFileDecoder>, std::string> AudioFileDecoder::open(const std::string& location,
                                                                                        int sampleRate) {
  keepFFmpegQuiet();
  const auto path = localPath(location);
  std::unique_ptr<AudioFileDecoder> decoder(new AudioFileDecoder);
  decoder->sampleRate_ = sampleRate;
  if (path.empty()) return failure(location, "not a local file");
  if (int error = avformat_open_input(&decoder->format_, path.c_str(), nullptr, nullptr); error < 0) {
    return failure(path, ffmpegErrorText(error));
  }
  if (int error = avformat_find_stream_info(decoder->format_, nullptr); error < 0) {
    return failure(path, ffmpegErrorText(error));
  }
  const AVCodec* codec = nullptr;
  decoder->streamIndex_ = av_find_best_stream(decoder->format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (decoder->streamIndex_ < 0 || !codec) return failure(path, "no audio in it");
  for (unsigned i = 0; i < decoder->format_->nb_streams; ++i) {
    // Cover art and other streams are never read.
    if (static_cast<int>(i) != decoder->streamIndex_) decoder->format_->streams[i]->discard = AVDISCARD_ALL;
  }
  decoder->codec_ = avcodec_alloc_context3(codec);
  decoder->packet_ = av_packet_alloc();
  decoder->frame_ = av_frame_alloc();
  if (!decoder->codec_ || !decoder->packet_ || !decoder->frame_) return failure(path, "out of memory");
  const auto* parameters = decoder->format_->streams[decoder->streamIndex_]->codecpar;
  if (int error = avcodec_parameters_to_context(decoder->codec_, parameters); error < 0) {
    return failure(path, ffmpegErrorText(error));
  }
  if (int error = avcodec_open2(decoder->codec_, codec, nullptr); error < 0) return failure(path, ffmpegErrorText(error));
  return decoder;
}

AudioFileDecoder::~AudioFileDecoder() {
  swr_free(&resampler_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  avformat_close_input(&format_);
}

std::size_t AudioFileDecoder::read(float* out, std::size_t frames) {
  std::size_t written = 0;
  while (written < frames) {
    if (pendingOffset_ < pending_.size()) {
      const auto available = (pending_.size() - pendingOffset_) / channels;
      const auto count = std::min(available, frames - written);
      std::memcpy(out + written * channels, pending_.data() + pendingOffset_, count * channels * sizeof(float));
      pendingOffset_ += count * channels;
      written += count;
    } else if (!decodeMore()) {
      break;
    }
  }
  return written;
}

bool AudioFileDecoder::seek(double seconds) {
  const auto* stream = format_->streams[streamIndex_];
  const auto target = startOf(*stream) + av_rescale_q(std::llround(seconds * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base);
  if (av_seek_frame(format_, streamIndex_, target, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(codec_);
  swr_free(&resampler_);
  pending_.clear();
  pendingOffset_ = 0;
  draining_ = false;
  finished_ = false;
  decodedSeconds_ = -1;
  // The file lands on a frame at or before the wanted time: the sound before it is dropped.
  if (!decodeMore() || decodedSeconds_ < 0) return true;
  auto skip = static_cast<std::size_t>(std::max(seconds - decodedSeconds_, 0.0) * sampleRate_);
  std::vector<float> dropped(4096 * channels);
  while (skip > 0) {
    const auto count = read(dropped.data(), std::min<std::size_t>(skip, 4096));
    if (count == 0) break;
    skip -= count;
  }
  return true;
}

bool AudioFileDecoder::decodeMore() {
  while (!finished_) {
    const int received = avcodec_receive_frame(codec_, frame_);
    if (received == 0) {
      if (const auto at = frame_->best_effort_timestamp; at != AV_NOPTS_VALUE) {
        const auto* stream = format_->streams[streamIndex_];
        decodedSeconds_ = static_cast<double>(at - startOf(*stream)) * av_q2d(stream->time_base);
      }
      const bool converted = convert(frame_);
      av_frame_unref(frame_);
      if (converted) return true;
      continue;
    }
    if (received == AVERROR(EAGAIN)) {
      const int read = av_read_frame(format_, packet_);
      if (read < 0) {
        avcodec_send_packet(codec_, nullptr);  // end of file (or unreadable): drain the codec
        draining_ = true;
        continue;
      }
      if (packet_->stream_index == streamIndex_) avcodec_send_packet(codec_, packet_);  // a bad packet is skipped
      av_packet_unref(packet_);
      continue;
    }
    if (received == AVERROR_EOF || draining_) {
      // What the resampler still holds ends the song.
      finished_ = true;
      if (!resampler_) return false;
      pending_.clear();
      pendingOffset_ = 0;
      appendConverted(nullptr, 0);
      return !pending_.empty();
    }
    // A frame that does not decode is left out; the next one may.
  }
  return false;
}

bool AudioFileDecoder::convert(const AVFrame* frame) {
  pending_.clear();
  pendingOffset_ = 0;
  if (resampler_ && !takesFrame(resampler_, *frame)) {
    // The format changed midway (a chained Ogg file, say): the old resampler hands over what
    // it still holds, and a new one takes the frames from here.
    appendConverted(nullptr, 0);
    swr_free(&resampler_);
  }
  if (!resampler_) {
    AVChannelLayout input = inputLayout(*frame);
    AVChannelLayout output = AV_CHANNEL_LAYOUT_STEREO;
    const int made = swr_alloc_set_opts2(&resampler_, &output, AV_SAMPLE_FMT_FLT, sampleRate_, &input,
                                         static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&input);
    if (made < 0 || swr_init(resampler_) < 0) {
      swr_free(&resampler_);
      finished_ = true;
      return !pending_.empty();
    }
  }
  appendConverted(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
  return !pending_.empty();
}

void AudioFileDecoder::appendConverted(const uint8_t** input, int inputFrames) {
  const int capacity = swr_get_out_samples(resampler_, inputFrames);
  if (capacity <= 0) return;
  const std::size_t start = pending_.size();
  pending_.resize(start + static_cast<std::size_t>(capacity) * channels);
  auto* data = reinterpret_cast<uint8_t*>(pending_.data() + start);
  const int converted = swr_convert(resampler_, &data, capacity, input, inputFrames);
  pending_.resize(start + static_cast<std::size_t>(std::max(converted, 0)) * channels);
}

}  // namespace kovali
