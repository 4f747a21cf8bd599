#include "platform/sound/airplay/hls_segment_decoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "platform/runtime/ffmpeg_log.h"

namespace kovali {

namespace {

constexpr int ioBufferSize = 16384;
// The AAC encoder starts with this many frames of silence that the stream's segments do not
// mark; without taking them off, every sound would be placed that much late.
constexpr std::int64_t encoderPriming = 1024;

/// The initialization segment followed by one media segment, read as one file from memory.
struct MemoryFile {
  const QByteArray& head;
  const QByteArray& body;
  std::int64_t position = 0;

  std::int64_t size() const { return head.size() + body.size(); }

  static int read(void* opaque, std::uint8_t* to, int wanted) {
    auto* file = static_cast<MemoryFile*>(opaque);
    int done = 0;
    while (done < wanted && file->position < file->size()) {
      const bool inHead = file->position < file->head.size();
      const QByteArray& part = inHead ? file->head : file->body;
      const std::int64_t offset = inHead ? file->position : file->position - file->head.size();
      const auto count = static_cast<int>(std::min<std::int64_t>(wanted - done, part.size() - offset));
      std::memcpy(to + done, part.constData() + offset, static_cast<std::size_t>(count));
      done += count;
      file->position += count;
    }
    return done > 0 ? done : AVERROR_EOF;
  }

  static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(opaque);
    if (whence & AVSEEK_SIZE) return file->size();
    const std::int64_t base = (whence & 3) == SEEK_CUR ? file->position : (whence & 3) == SEEK_END ? file->size() : 0;
    if (base + offset < 0 || base + offset > file->size()) return AVERROR(EINVAL);
    file->position = base + offset;
    return file->position;
  }
};

/// A demuxer over a memory file, closed with its I/O when it goes.
class Demuxer {
 public:
  explicit Demuxer(MemoryFile& file) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(ioBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, ioBufferSize, 0, &file, &MemoryFile::read, nullptr, &MemoryFile::seek)
                 : nullptr;
    if (!io_) {
      av_free(buffer);
      error_ = AVERROR(ENOMEM);
      return;
    }
    context_ = avformat_alloc_context();
    if (!context_) {
      error_ = AVERROR(ENOMEM);
      return;
    }
    context_->pb = io_;
    context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    error_ = avformat_open_input(&context_, nullptr, av_find_input_format("mp4"), nullptr);
  }
  ~Demuxer() {
    avformat_close_input(&context_);
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  Demuxer(const Demuxer&) = delete;
  Demuxer& operator=(const Demuxer&) = delete;

  int error() const { return error_; }
  AVFormatContext* context() const { return context_; }
  /// The audio track, or none.
  AVStream* audio() const {
    if (error_ < 0) return nullptr;
    for (unsigned i = 0; i < context_->nb_streams; ++i) {
      if (context_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) return context_->streams[i];
    }
    return nullptr;
  }

 private:
  AVIOContext* io_ = nullptr;
  AVFormatContext* context_ = nullptr;
  int error_ = 0;
};

std::string unreadable(const std::string& what) { return "The stream could not be decoded (" + what + ")."; }

}  // namespace

vinaro::Expected<std::unique_ptr<HLSSegmentDecoder>, std::string> HLSSegmentDecoder::make(const QByteArray& initialization) {
  std::unique_ptr<HLSSegmentDecoder> decoder(new HLSSegmentDecoder(initialization));
  if (auto error = decoder->open(); !error.empty()) return unreadable(error);
  return decoder;
}

HLSSegmentDecoder::HLSSegmentDecoder(QByteArray initialization) : initialization_(std::move(initialization)) {}

HLSSegmentDecoder::~HLSSegmentDecoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
}

std::string HLSSegmentDecoder::open() {
  keepFFmpegQuiet();
  const QByteArray none;
  MemoryFile file{initialization_, none};
  Demuxer demuxer(file);
  if (demuxer.error() < 0) return ffmpegErrorText(demuxer.error());
  const AVStream* audio = demuxer.audio();
  const AVCodec* aac = audio ? avcodec_find_decoder(audio->codecpar->codec_id) : nullptr;
  if (!aac) return "no audio track it can decode";
  codec_ = avcodec_alloc_context3(aac);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!codec_ || !packet_ || !frame_) return "out of memory";
  if (int error = avcodec_parameters_to_context(codec_, audio->codecpar); error < 0) return ffmpegErrorText(error);
  codec_->pkt_timebase = audio->time_base;
  codec_->request_sample_fmt = AV_SAMPLE_FMT_FLT;
  if (int error = avcodec_open2(codec_, aac, nullptr); error < 0) return ffmpegErrorText(error);
  if (codec_->sample_rate < 1 || codec_->ch_layout.nb_channels < 1) return "no sample rate or channels";
  format_ = AudioFormat{static_cast<double>(codec_->sample_rate), codec_->ch_layout.nb_channels};
  return {};
}

vinaro::Expected<std::vector<SampleBuffer>, std::string> HLSSegmentDecoder::decode(const QByteArray& segment) {
  MemoryFile file{initialization_, segment};
  Demuxer demuxer(file);
  if (demuxer.error() < 0) return unreadable(ffmpegErrorText(demuxer.error()));
  const AVStream* audio = demuxer.audio();
  if (!audio) return unreadable("a segment without its audio track");
  std::vector<SampleBuffer> buffers;
  for (;;) {
    const int read = av_read_frame(demuxer.context(), packet_);
    if (read == AVERROR_EOF) break;
    if (read < 0) return unreadable(ffmpegErrorText(read));
    if (packet_->stream_index != audio->index) {
      av_packet_unref(packet_);
      continue;
    }
    // Each segment is read as if it began the file, so the encoder's start-up samples would be
    // cut again at every one: only the very first segment really begins the stream.
    if (decodedBefore_) av_packet_free_side_data(packet_);
    av_packet_rescale_ts(packet_, audio->time_base, AVRational{1, codec_->sample_rate});
    const int sent = avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
    if (sent < 0) return unreadable(ffmpegErrorText(sent));
    if (!receiveFrames(buffers)) return unreadable("a frame in an unexpected format");
  }
  if (buffers.empty()) return unreadable("a segment without sound");
  decodedBefore_ = true;
  return buffers;
}

bool HLSSegmentDecoder::receiveFrames(std::vector<SampleBuffer>& out) {
  while (avcodec_receive_frame(codec_, frame_) == 0) {
    const int channels = frame_->ch_layout.nb_channels;
    const bool planar = frame_->format == AV_SAMPLE_FMT_FLTP;
    if ((!planar && frame_->format != AV_SAMPLE_FMT_FLT) || channels != format_.channels ||
        frame_->sample_rate != codec_->sample_rate || frame_->pts == AV_NOPTS_VALUE) {
      av_frame_unref(frame_);
      return false;
    }
    auto pcm = std::make_shared<PCMBuffer>();
    pcm->format = format_;
    pcm->samples.resize(static_cast<std::size_t>(frame_->nb_samples) * static_cast<std::size_t>(channels));
    for (int i = 0; i < frame_->nb_samples; ++i) {
      for (int c = 0; c < channels; ++c) {
        const auto* plane = reinterpret_cast<const float*>(frame_->extended_data[planar ? c : 0]);
        pcm->samples[static_cast<std::size_t>(i * channels + c)] = planar ? plane[i] : plane[i * channels + c];
      }
    }
    const MediaTime time{frame_->pts - encoderPriming, codec_->sample_rate};
    av_frame_unref(frame_);
    if (auto buffer = makeSampleBuffer(std::move(pcm), time)) out.push_back(std::move(*buffer));
  }
  return true;
}

}  // namespace kovali
