#include "support/movie_fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace orin::test {
namespace {

struct Codecs {
  const char* Video;
  const char* Audio;
  const char* Format;
};

Codecs CodecsOf(MovieCodec codec) {
  switch (codec) {
    case MovieCodec::kWmv2: return {"wmv2", "wmav2", "asf"};
    case MovieCodec::kMpeg1: return {"mpeg1video", "mp2", "mpeg"};
    case MovieCodec::kMpeg2: return {"mpeg2video", "mp2", "vob"};
    case MovieCodec::kH264: return {"libx264", "aac", "mp4"};
  }
  return {"", "", ""};
}

// A growing in-memory file that the muxers may seek back in (ASF and MP4 patch their headers).
struct MemoryFile {
  std::string Data;
  size_t Pos = 0;
};

int WritePacket(void* opaque, uint8_t* buf, int size) {
  auto* f = static_cast<MemoryFile*>(opaque);
  if (f->Data.size() < f->Pos + static_cast<size_t>(size)) f->Data.resize(f->Pos + static_cast<size_t>(size));
  std::memcpy(f->Data.data() + f->Pos, buf, static_cast<size_t>(size));
  f->Pos += static_cast<size_t>(size);
  return size;
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(opaque);
  if (whence == AVSEEK_SIZE) return static_cast<int64_t>(f->Data.size());
  whence &= ~AVSEEK_FORCE;
  int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(f->Pos) : whence == SEEK_END ? static_cast<int64_t>(f->Data.size()) : 0;
  if (base + offset < 0) return -1;
  f->Pos = static_cast<size_t>(base + offset);
  return static_cast<int64_t>(f->Pos);
}

void Check(int rc, const char* what) {
  if (rc < 0) throw std::runtime_error(std::string("movie fixture: ") + what);
}

class Muxer {
 public:
  Muxer(const MovieShape& shape, MoviePicture picture)
      : shape_(shape), picture_(std::move(picture)), codecs_(CodecsOf(shape.Codec)) {
    Check(avformat_alloc_output_context2(&fmt_, nullptr, codecs_.Format, nullptr), "no container");
    auto* ioBuf = static_cast<uint8_t*>(av_malloc(65536));
    fmt_->pb = avio_alloc_context(ioBuf, 65536, 1, &file_, nullptr, WritePacket, SeekFile);
    fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
    OpenVideo();
    if (shape_.Audio) OpenAudio();
    Check(avformat_write_header(fmt_, nullptr), "cannot write the header");
  }

  ~Muxer() {
    av_frame_free(&frame_);
    av_packet_free(&pkt_);
    sws_freeContext(sws_);
    avcodec_free_context(&video_);
    avcodec_free_context(&audio_);
    if (fmt_) {
      if (fmt_->pb) {
        av_freep(&fmt_->pb->buffer);
        avio_context_free(&fmt_->pb);
      }
      avformat_free_context(fmt_);
    }
  }

  std::string Run() {
    const int64_t audioFrames = static_cast<int64_t>(shape_.Frames) * 44100 / shape_.Fps;
    int64_t audioAt = 0;
    std::vector<uint32_t> rgb(static_cast<size_t>(shape_.Width) * static_cast<size_t>(shape_.Height));
    for (int n = 0; n < shape_.Frames; ++n) {
      // Sound up to this picture's time first, so the muxer interleaves evenly.
      const int64_t until = static_cast<int64_t>(n + 1) * 44100 / shape_.Fps;
      while (audio_ && audioAt < std::min(until, audioFrames)) audioAt = PutAudio(audioAt, audioFrames);
      for (int y = 0; y < shape_.Height; ++y)
        for (int x = 0; x < shape_.Width; ++x)
          rgb[static_cast<size_t>(y * shape_.Width + x)] =
              picture_ ? picture_(n, x, y) : MoviePatternPixel(n, x, y, shape_.Width, shape_.Height);
      PutVideo(rgb, n);
    }
    while (audio_ && audioAt < audioFrames) audioAt = PutAudio(audioAt, audioFrames);
    Flush(video_, videoStream_);
    if (audio_) Flush(audio_, audioStream_);
    Check(av_write_trailer(fmt_), "cannot finish the file");
    avio_flush(fmt_->pb);
    return file_.Data;
  }

 private:
  void OpenVideo() {
    const AVCodec* codec = avcodec_find_encoder_by_name(codecs_.Video);
    if (!codec) throw std::runtime_error(std::string("no encoder ") + codecs_.Video);
    video_ = avcodec_alloc_context3(codec);
    video_->width = shape_.Width;
    video_->height = shape_.Height;
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->time_base = AVRational{1, shape_.Fps};
    video_->framerate = AVRational{shape_.Fps, 1};
    video_->gop_size = shape_.Gop;
    video_->max_b_frames = 0;
    if (shape_.Codec == MovieCodec::kH264) {
      av_opt_set(video_->priv_data, "preset", "ultrafast", 0);
      av_opt_set(video_->priv_data, "crf", "18", 0);
    } else {
      video_->flags |= AV_CODEC_FLAG_QSCALE;
      video_->global_quality = 3 * FF_QP2LAMBDA;
    }
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(video_, codec, nullptr), "cannot open the video encoder");
    videoStream_ = avformat_new_stream(fmt_, nullptr);
    avcodec_parameters_from_context(videoStream_->codecpar, video_);
    videoStream_->time_base = video_->time_base;
    videoStream_->avg_frame_rate = video_->framerate;
    sws_ = sws_getContext(shape_.Width, shape_.Height, AV_PIX_FMT_BGR0, shape_.Width, shape_.Height, AV_PIX_FMT_YUV420P,
                          SWS_POINT, nullptr, nullptr, nullptr);
    if (!sws_) throw std::runtime_error("movie fixture: no converter");
    frame_ = av_frame_alloc();
    pkt_ = av_packet_alloc();
  }

  void OpenAudio() {
    const AVCodec* codec = avcodec_find_encoder_by_name(codecs_.Audio);
    if (!codec) throw std::runtime_error(std::string("no encoder ") + codecs_.Audio);
    audio_ = avcodec_alloc_context3(codec);
    av_channel_layout_default(&audio_->ch_layout, 2);
    audio_->sample_rate = 44100;
    audio_->sample_fmt = codec->sample_fmts[0];
    audio_->bit_rate = 128000;
    audio_->time_base = AVRational{1, 44100};
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(audio_, codec, nullptr), "cannot open the audio encoder");
    audioStream_ = avformat_new_stream(fmt_, nullptr);
    avcodec_parameters_from_context(audioStream_->codecpar, audio_);
    audioStream_->time_base = audio_->time_base;
  }

  void PutVideo(const std::vector<uint32_t>& rgb, int n) {
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = shape_.Width;
    frame_->height = shape_.Height;
    Check(av_frame_get_buffer(frame_, 0), "no frame");
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(rgb.data())};
    const int srcStride[1] = {shape_.Width * 4};
    sws_scale(sws_, src, srcStride, 0, shape_.Height, frame_->data, frame_->linesize);
    frame_->pts = n;
    if (n % shape_.Gop == 0) frame_->pict_type = AV_PICTURE_TYPE_I;
    Check(avcodec_send_frame(video_, frame_), "cannot encode a picture");
    av_frame_unref(frame_);
    Drain(video_, videoStream_);
  }

  int64_t PutAudio(int64_t at, int64_t total) {
    const int chunk = audio_->frame_size > 0 ? audio_->frame_size : 1024;
    const int n = static_cast<int>(std::min<int64_t>(chunk, total - at));
    frame_->nb_samples = n;
    frame_->format = audio_->sample_fmt;
    av_channel_layout_copy(&frame_->ch_layout, &audio_->ch_layout);
    frame_->sample_rate = 44100;
    Check(av_frame_get_buffer(frame_, 0), "no frame");
    for (int i = 0; i < n; ++i) {
      const float v = 0.4f * static_cast<float>(std::sin(2 * M_PI * 440.0 * static_cast<double>(at + i) / 44100.0));
      for (int c = 0; c < 2; ++c) {
        switch (audio_->sample_fmt) {
          case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(frame_->data[c])[i] = v; break;
          case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(frame_->data[c])[i] = static_cast<int16_t>(v * 32767); break;
          case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(frame_->data[0])[i * 2 + c] = static_cast<int16_t>(v * 32767); break;
          default: throw std::runtime_error("movie fixture: unexpected sample format");
        }
      }
    }
    frame_->pts = at;
    Check(avcodec_send_frame(audio_, frame_), "cannot encode sound");
    av_frame_unref(frame_);
    Drain(audio_, audioStream_);
    return at + n;
  }

  void Drain(AVCodecContext* ctx, AVStream* st) {
    while (avcodec_receive_packet(ctx, pkt_) == 0) {
      av_packet_rescale_ts(pkt_, ctx->time_base, st->time_base);
      pkt_->stream_index = st->index;
      Check(av_interleaved_write_frame(fmt_, pkt_), "cannot write a packet");
    }
  }

  void Flush(AVCodecContext* ctx, AVStream* st) {
    avcodec_send_frame(ctx, nullptr);
    Drain(ctx, st);
  }

  MovieShape shape_;
  MoviePicture picture_;
  Codecs codecs_;
  MemoryFile file_;
  AVFormatContext* fmt_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* audio_ = nullptr;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  SwsContext* sws_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* pkt_ = nullptr;
};

int Brightness(uint32_t p) { return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3; }

}  // namespace

uint32_t MoviePatternPixel(int n, int x, int y, int width, int height) {
  if (y < height / 2) return kMovieBars[std::min(3, x * 4 / width)];
  const int cell = std::min(7, x * 8 / width);
  return ((n & 0xFF) >> (7 - cell)) & 1 ? 0xFFFFFF : 0x000000;
}

int ReadFrameNumber(const uint32_t* pixels, int stride, int width, int height) {
  const int y = height * 3 / 4;
  int n = 0;
  for (int cell = 0; cell < 8; ++cell) {
    const int x = (2 * cell + 1) * width / 16;
    n = n << 1 | (Brightness(pixels[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)]) >= 128);
  }
  return n;
}

uint32_t ReadBar(const uint32_t* pixels, int stride, int width, int height, int bar) {
  const int x = (2 * bar + 1) * width / 8;
  return pixels[static_cast<size_t>(height / 4) * static_cast<size_t>(stride) + static_cast<size_t>(x)] & 0xFFFFFF;
}

bool HasMovieEncoder(MovieCodec codec) {
  Codecs c = CodecsOf(codec);
  return avcodec_find_encoder_by_name(c.Video) && avcodec_find_encoder_by_name(c.Audio);
}

std::string MakeMovie(const MovieShape& shape) { return MakeMovie(shape, nullptr); }

std::string MakeMovie(const MovieShape& shape, const MoviePicture& picture) {
  if (shape.Width < 16 || shape.Height < 16 || shape.Fps < 1 || shape.Frames < 1 || shape.Gop < 1)
    throw std::runtime_error("movie fixture: a shape of at least 16 x 16, 1 fps and 1 frame");
  av_log_set_level(AV_LOG_QUIET);
  Muxer muxer(shape, picture);
  return muxer.Run();
}

const char* MovieExtension(MovieCodec codec) {
  switch (codec) {
    case MovieCodec::kWmv2: return ".wmv";
    case MovieCodec::kMpeg1:
    case MovieCodec::kMpeg2: return ".mpg";
    case MovieCodec::kH264: return ".mp4";
  }
  return "";
}

}  // namespace orin::test
