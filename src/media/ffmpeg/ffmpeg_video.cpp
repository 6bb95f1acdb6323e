// The VideoDecoder and the movie's AudioDecoder on FFmpeg. Each opens its own demuxer over its
// own stream of the same data (the pictures and the sound are read at different paces, on
// different threads). Sizes are checked against kMaxVideoSide and kMaxVideoArea before the codec
// opens, and the codec is told the same bound (max_pixels), so that a hostile header cannot make
// it allocate; stream probing is bounded to 1 MiB and 5 s of data.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/error.h"
#include "media/ffmpeg/stream_io.h"
#include "media/video_decoder.h"
#include "resources/stream.h"

namespace orin {
namespace {

// ASF (WMV, VC-1), MPEG program, transport and elementary streams, AVI, MP4/MOV, Matroska and Ogg.
constexpr const char* kContainers = "asf,mpeg,mpegts,mpegvideo,m4v,h264,vc1,avi,mov,matroska,ogg";

bool SizeAllowed(int w, int h) {
  return w > 0 && h > 0 && w <= kMaxVideoSide && h <= kMaxVideoSide && int64_t{w} * h <= kMaxVideoArea;
}

// One demuxer with the decoder of one of its streams.
class Demux {
 public:
  Demux(std::shared_ptr<Stream> stream, std::string label) : stream_(std::move(stream)), label_(std::move(label)) {}
  ~Demux() { Close(); }

  // Opens the container and finds the best stream of the type; with openCodec its decoder too.
  void Open(AVMediaType type, bool openCodec) {
    stream_->SetPosition(0);
    io_ = OpenStreamIo(stream_.get());
    if (!io_) throw Error(label_ + ": out of memory");
    fmt_ = avformat_alloc_context();
    if (!fmt_) Fail("out of memory");
    fmt_->pb = io_;
    fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
    fmt_->probesize = 1 << 20;
    fmt_->max_analyze_duration = 5 * AV_TIME_BASE;
    // Only the containers movies come in: the other demuxers stay away from untrusted bytes.
    AVDictionary* open = nullptr;
    av_dict_set(&open, "format_whitelist", kContainers, 0);
    int rc = avformat_open_input(&fmt_, nullptr, nullptr, &open);
    av_dict_free(&open);
    if (rc < 0) {
      fmt_ = nullptr;
      Fail("not a movie (" + AvError(rc) + ")");
    }
    // Probing decodes a few pictures: bound what it may allocate for them.
    std::vector<AVDictionary*> options(fmt_->nb_streams, nullptr);
    for (auto& o : options) av_dict_set_int(&o, "max_pixels", kMaxVideoArea, 0);
    rc = avformat_find_stream_info(fmt_, options.empty() ? nullptr : options.data());
    for (auto& o : options) av_dict_free(&o);
    if (rc < 0) Fail("damaged movie data (" + AvError(rc) + ")");
    const AVCodec* codec = nullptr;
    index_ = av_find_best_stream(fmt_, type, -1, -1, &codec, 0);
    if (index_ == AVERROR_DECODER_NOT_FOUND) {
      int any = av_find_best_stream(fmt_, type, -1, -1, nullptr, 0);
      const char* name = any >= 0 ? avcodec_get_name(fmt_->streams[any]->codecpar->codec_id) : "?";
      Fail(std::string("no decoder for its ") + (type == AVMEDIA_TYPE_VIDEO ? "pictures" : "sound") + " (" + name + ")");
    }
    if (index_ < 0 || !codec) Fail(type == AVMEDIA_TYPE_VIDEO ? "no pictures in the file" : "no sound in the file");
    st_ = fmt_->streams[index_];
    codec_ = codec;
    if (type == AVMEDIA_TYPE_VIDEO && !SizeAllowed(st_->codecpar->width, st_->codecpar->height)) {
      // The prober leaves the size at 0 when the codec refused what the header claimed.
      const int w = st_->codecpar->width, h = st_->codecpar->height;
      Fail(w > 0 && h > 0 ? "pictures of " + std::to_string(w) + " x " + std::to_string(h) + " are not played"
                          : std::string("pictures of an unusable or excessive size are not played"));
    }
    if (!openCodec) return;
    ctx_ = avcodec_alloc_context3(codec);
    if (!ctx_ || avcodec_parameters_to_context(ctx_, st_->codecpar) < 0) Fail("cannot set up the decoder");
    ctx_->pkt_timebase = st_->time_base;
    ctx_->max_pixels = kMaxVideoArea;
    if ((rc = avcodec_open2(ctx_, codec, nullptr)) < 0) Fail("cannot decode it (" + AvError(rc) + ")");
    pkt_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!pkt_ || !frame_) Fail("out of memory");
  }

  void Close() {
    av_packet_free(&pkt_);
    av_frame_free(&frame_);
    avcodec_free_context(&ctx_);
    if (fmt_) avformat_close_input(&fmt_);
    CloseStreamIo(io_);
    st_ = nullptr;
    eof_ = false;
  }

  // The next decoded frame into Frame(); false at the end (damage ends it too, noted in failure).
  bool Receive(std::string& failure) {
    while (true) {
      int rc = avcodec_receive_frame(ctx_, frame_);
      if (rc == 0) return true;
      if (rc == AVERROR_EOF) return false;
      if (rc != AVERROR(EAGAIN)) {
        Note(failure, rc);
        return false;
      }
      if (eof_) {
        // The decoder wants more after the flush packet: it has nothing left.
        if (avcodec_send_packet(ctx_, nullptr) < 0) return false;
        continue;
      }
      rc = av_read_frame(fmt_, pkt_);
      if (rc < 0) {
        if (rc != AVERROR_EOF) Note(failure, rc);
        eof_ = true;
        avcodec_send_packet(ctx_, nullptr);
        continue;
      }
      if (pkt_->stream_index == index_) {
        rc = avcodec_send_packet(ctx_, pkt_);
        if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) Note(failure, rc);
      }
      av_packet_unref(pkt_);
    }
  }

  // Moves to the key frame at or before ms; false when the container cannot seek.
  bool SeekTo(int64_t ms) {
    int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, st_->time_base) + StartTs();
    if (av_seek_frame(fmt_, index_, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(ctx_);
    eof_ = false;
    return true;
  }

  // A timestamp of the stream in milliseconds from its start.
  int64_t Ms(int64_t ts) const { return av_rescale_q(ts - StartTs(), st_->time_base, AVRational{1, 1000}); }
  int64_t StartTs() const { return st_->start_time != AV_NOPTS_VALUE ? st_->start_time : 0; }
  int64_t LengthMs() const {
    if (st_->duration > 0 && st_->duration != AV_NOPTS_VALUE)
      return av_rescale_q(st_->duration, st_->time_base, AVRational{1, 1000});
    if (fmt_->duration > 0) return fmt_->duration / 1000;
    return 0;
  }

  AVFormatContext* Format() const { return fmt_; }
  AVStream* St() const { return st_; }
  AVCodecContext* Ctx() const { return ctx_; }
  AVFrame* Frame() const { return frame_; }
  const AVCodec* Codec() const { return codec_; }
  const std::string& Label() const { return label_; }

  [[noreturn]] void Fail(const std::string& why) {
    Close();
    throw Error(label_ + ": " + why);
  }

 private:
  void Note(std::string& failure, int rc) const {
    if (failure.empty()) failure = label_ + ": damaged movie data (" + AvError(rc) + ")";
  }

  std::shared_ptr<Stream> stream_;
  std::string label_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* fmt_ = nullptr;
  AVStream* st_ = nullptr;
  const AVCodec* codec_ = nullptr;
  AVCodecContext* ctx_ = nullptr;
  AVPacket* pkt_ = nullptr;
  AVFrame* frame_ = nullptr;
  int index_ = -1;
  bool eof_ = false;
};

VideoInfo InfoOf(Demux& d) {
  VideoInfo info;
  AVFormatContext* fmt = d.Format();
  info.Container = fmt->iformat->name ? fmt->iformat->name : "";
  info.Codec = avcodec_get_name(d.St()->codecpar->codec_id);
  info.Width = d.St()->codecpar->width;
  info.Height = d.St()->codecpar->height;
  AVRational rate = d.St()->avg_frame_rate.num > 0 ? d.St()->avg_frame_rate : d.St()->r_frame_rate;
  info.FrameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
  info.LengthMs = fmt->duration > 0 ? fmt->duration / 1000 : d.LengthMs();
  int audio = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (audio >= 0) info.AudioCodec = avcodec_get_name(fmt->streams[audio]->codecpar->codec_id);
  return info;
}

class FfmpegVideo final : public VideoDecoder {
 public:
  FfmpegVideo(std::shared_ptr<Stream> stream, const std::string& label, int width, int height)
      : demux_(std::move(stream), label) {
    demux_.Open(AVMEDIA_TYPE_VIDEO, true);
    info_ = InfoOf(demux_);
    outWidth_ = width > 0 ? width : info_.Width;
    outHeight_ = height > 0 ? height : info_.Height;
    if (!SizeAllowed(outWidth_, outHeight_)) demux_.Fail("an output size out of bounds");
    frameMs_ = info_.FrameRate > 0 ? static_cast<int64_t>(1000 / info_.FrameRate) : 40;
  }
  ~FfmpegVideo() override { sws_freeContext(sws_); }

  const VideoInfo& Info() const override { return info_; }
  const std::string& Failure() const override { return failure_; }

  bool Next(VideoFrame& out) override {
    while (demux_.Receive(failure_)) {
      AVFrame* f = demux_.Frame();
      int64_t ts = f->best_effort_timestamp;
      int64_t ms = ts != AV_NOPTS_VALUE ? demux_.Ms(ts) : lastMs_ + frameMs_;
      lastMs_ = ms;
      if (firstAfterSeek_) {
        firstAfterSeek_ = false;
        // Containers without an index (MPEG program streams) may land past the target: go back
        // further, and in the end read from the start.
        if (dropBefore_ >= 0 && ms > dropBefore_ + frameMs_ / 2) {
          av_frame_unref(f);
          SeekFrom(dropBefore_, ++seekTries_);
          continue;
        }
      }
      // Pictures before a seek's target are decoded (later ones depend on them) but not converted.
      if (ms + frameMs_ / 2 < dropBefore_) {
        av_frame_unref(f);
        continue;
      }
      dropBefore_ = -1;
      bool ok = Convert(f, out);
      av_frame_unref(f);
      if (!ok) return false;
      out.TimeMs = ms;
      return true;
    }
    if (firstAfterSeek_) {
      // The seek landed at the very end: try again from further back.
      firstAfterSeek_ = false;
      SeekFrom(dropBefore_, ++seekTries_);
      return Next(out);
    }
    return false;
  }

  void Seek(int64_t ms) override { SeekFrom(std::max<int64_t>(ms, 0), 0); }

 private:
  // Try 0 seeks to the key frame before ms, tries 1 and 2 two and ten seconds earlier, later
  // tries read from the start.
  void SeekFrom(int64_t ms, int tries) {
    static constexpr int64_t kBack[] = {0, 2000, 10000};
    seekTries_ = tries;
    lastMs_ = -frameMs_;
    const int64_t at = tries < 3 ? ms - kBack[tries] : 0;
    if (at <= 0 || !demux_.SeekTo(at)) {
      // From the start by opening anew: exact, also for containers that cannot seek.
      demux_.Close();
      demux_.Open(AVMEDIA_TYPE_VIDEO, true);
      seekTries_ = 3;
    }
    dropBefore_ = ms;
    firstAfterSeek_ = seekTries_ < 3;
  }

  bool Convert(AVFrame* f, VideoFrame& out) {
    if (!SizeAllowed(f->width, f->height) || f->format < 0) {
      if (failure_.empty()) failure_ = demux_.Label() + ": a picture of a size that is not played";
      return false;
    }
    sws_ = sws_getCachedContext(sws_, f->width, f->height, static_cast<AVPixelFormat>(f->format), outWidth_,
                                outHeight_, AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws_) {
      if (failure_.empty()) failure_ = demux_.Label() + ": cannot convert its pictures";
      return false;
    }
    if (out.Picture.Width() != outWidth_ || out.Picture.Height() != outHeight_ || out.Picture.BitCount() != 32)
      out.Picture.SetSize(outWidth_, outHeight_, 32, false);
    uint8_t* dst[4] = {out.Picture.Bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {out.Picture.RowSize(), 0, 0, 0};
    sws_scale(sws_, f->data, f->linesize, 0, f->height, dst, dstStride);
    // The converter fills the fourth byte; the compositor wants it clear.
    for (int y = 0; y < outHeight_; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(out.Picture.ScanLine(y));
      for (int x = 0; x < outWidth_; ++x) row[x] &= 0x00FFFFFFu;
    }
    return true;
  }

  Demux demux_;
  VideoInfo info_;
  std::string failure_;
  SwsContext* sws_ = nullptr;
  int outWidth_ = 0;
  int outHeight_ = 0;
  int64_t frameMs_ = 40;
  int64_t lastMs_ = -40;
  int64_t dropBefore_ = -1;
  int seekTries_ = 0;
  bool firstAfterSeek_ = false;
};

class MovieAudio final : public AudioDecoder {
 public:
  MovieAudio(std::shared_ptr<Stream> stream, const std::string& label) : demux_(std::move(stream), label) {
    Open();
    AVFormatContext* fmt = demux_.Format();
    info_.Container = fmt->iformat->name ? fmt->iformat->name : "";
    info_.Codec = demux_.Codec()->name;
    info_.Channels = demux_.Ctx()->ch_layout.nb_channels;
    info_.SampleRate = demux_.Ctx()->sample_rate;
    info_.BitsPerSample = 16;
    info_.LengthMs = demux_.LengthMs();
    lengthFrames_ = info_.LengthMs * out_.SampleRate / 1000;
  }
  ~MovieAudio() override { swr_free(&swr_); }

  const AudioInfo& Info() const override { return info_; }
  const PcmFormat& Format() const override { return out_; }
  int64_t LengthFrames() const override { return lengthFrames_; }
  int64_t Position() const override { return position_; }
  const std::string& Failure() const override { return failure_; }

  int64_t Read(void* out, int64_t frames) override {
    auto* dst = static_cast<uint8_t*>(out);
    const int align = out_.BlockAlign();
    int64_t done = 0;
    while (done < frames) {
      if (head_ < pending_.size()) {
        int64_t take = std::min<int64_t>(static_cast<int64_t>(pending_.size() - head_) / align, frames - done);
        std::memcpy(dst + done * align, pending_.data() + head_, static_cast<size_t>(take * align));
        head_ += static_cast<size_t>(take * align);
        done += take;
        continue;
      }
      if (!DecodeMore()) break;
    }
    position_ += done;
    return done;
  }

  void Seek(int64_t frame) override {
    frame = std::max<int64_t>(frame, 0);
    pending_.clear();
    head_ = 0;
    flushed_ = false;
    int64_t ms = frame * 1000 / out_.SampleRate;
    if (frame == 0 || !demux_.SeekTo(ms)) {
      swr_free(&swr_);
      demux_.Close();
      Open();
    } else {
      MakeResampler();
    }
    seekTarget_ = frame;
    position_ = frame;
  }

 private:
  void Open() {
    demux_.Open(AVMEDIA_TYPE_AUDIO, true);
    AVCodecContext* ctx = demux_.Ctx();
    if (ctx->ch_layout.nb_channels <= 0 || ctx->sample_rate <= 0 || ctx->sample_rate > 384000)
      demux_.Fail("no usable sound format");
    MakeResampler();
  }

  void MakeResampler() {
    swr_free(&swr_);
    AVCodecContext* ctx = demux_.Ctx();
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, 2);
    AVChannelLayout inLayout;
    if (ctx->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
      av_channel_layout_default(&inLayout, ctx->ch_layout.nb_channels);
    else
      av_channel_layout_copy(&inLayout, &ctx->ch_layout);
    int rc = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, out_.SampleRate, &inLayout, ctx->sample_fmt,
                                 ctx->sample_rate, 0, nullptr);
    if (rc >= 0 && inLayout.nb_channels == 1) {
      const double matrix[2] = {1.0, 1.0};
      rc = swr_set_matrix(swr_, matrix, 1);
    }
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || swr_init(swr_) < 0) demux_.Fail("cannot convert its sound format");
  }

  bool DecodeMore() {
    pending_.clear();
    head_ = 0;
    while (demux_.Receive(failure_)) {
      AVFrame* f = demux_.Frame();
      Convert(f, f->nb_samples);
      int64_t ts = f->best_effort_timestamp;
      if (seekTarget_ >= 0 && ts != AV_NOPTS_VALUE && !pending_.empty()) {
        // After a seek the first frames start before the target: drop the difference.
        int64_t at = demux_.Ms(ts) * out_.SampleRate / 1000;
        int64_t n = static_cast<int64_t>(pending_.size()) / out_.BlockAlign();
        head_ = static_cast<size_t>(std::clamp<int64_t>(seekTarget_ - at, 0, n) * out_.BlockAlign());
        if (at + n >= seekTarget_) seekTarget_ = -1;
      }
      av_frame_unref(f);
      if (head_ < pending_.size()) return true;
    }
    if (flushed_) return false;
    flushed_ = true;
    Convert(nullptr, 0);
    return !pending_.empty();
  }

  void Convert(AVFrame* f, int samples) {
    int64_t outMax = swr_get_out_samples(swr_, samples);
    if (outMax <= 0) {
      pending_.clear();
      return;
    }
    pending_.resize(static_cast<size_t>(outMax * out_.BlockAlign()));
    uint8_t* outPtr = pending_.data();
    int n = swr_convert(swr_, &outPtr, static_cast<int>(outMax),
                        f ? const_cast<const uint8_t**>(f->extended_data) : nullptr, samples);
    pending_.resize(n > 0 ? static_cast<size_t>(n * out_.BlockAlign()) : 0);
  }

  Demux demux_;
  AudioInfo info_;
  PcmFormat out_ = PcmFormat::Output();
  std::string failure_;
  SwrContext* swr_ = nullptr;
  std::vector<uint8_t> pending_;
  size_t head_ = 0;
  int64_t position_ = 0;
  int64_t lengthFrames_ = 0;
  int64_t seekTarget_ = -1;
  bool flushed_ = false;
};

void Prepare(const std::shared_ptr<Stream>& stream, const std::string& label) {
  if (!stream) throw Error(label + ": no data");
  if (stream->GetSize() <= 0) throw Error(label + ": the file is empty");
  av_log_set_level(AV_LOG_QUIET);
}

}  // namespace

std::unique_ptr<VideoDecoder> OpenVideoDecoder(std::shared_ptr<Stream> stream, const std::string& label, int width,
                                               int height) {
  Prepare(stream, label);
  return std::make_unique<FfmpegVideo>(std::move(stream), label, width, height);
}

VideoInfo ProbeVideo(std::shared_ptr<Stream> stream, const std::string& label) {
  Prepare(stream, label);
  Demux demux(std::move(stream), label);
  demux.Open(AVMEDIA_TYPE_VIDEO, false);
  VideoInfo info = InfoOf(demux);
  AVFormatContext* fmt = demux.Format();
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVStream* st = fmt->streams[i];
    // Cover pictures are single images, not movies.
    if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (st->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
    VideoStreamInfo s;
    s.Index = static_cast<int>(i);
    s.Codec = avcodec_get_name(st->codecpar->codec_id);
    s.Width = st->codecpar->width;
    s.Height = st->codecpar->height;
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    s.FrameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
      s.LengthMs = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
    else
      s.LengthMs = info.LengthMs;
    info.Streams.push_back(s);
  }
  return info;
}

std::unique_ptr<AudioDecoder> OpenMovieAudio(std::shared_ptr<Stream> stream, const std::string& label) {
  Prepare(stream, label);
  return std::make_unique<MovieAudio>(std::move(stream), label);
}

}  // namespace orin
