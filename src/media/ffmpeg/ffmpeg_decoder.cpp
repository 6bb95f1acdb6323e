// The AudioDecoder on FFmpeg: libavformat reads the container through a custom I/O context over
// our Stream (an archive entry's range stream, a memory stream, a host file), libavcodec decodes,
// libswresample converts. Reads are bounded by what the stream holds; no buffer is sized by a
// header value.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/error.h"
#include "media/audio_decoder.h"
#include "resources/stream.h"

namespace orin {
namespace {

constexpr int kIoBuffer = 32768;

int ReadPacket(void* opaque, uint8_t* buf, int size) {
  auto* s = static_cast<Stream*>(opaque);
  int64_t n = s->Read(buf, size);
  return n > 0 ? static_cast<int>(n) : AVERROR_EOF;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) {
  auto* s = static_cast<Stream*>(opaque);
  if (whence == AVSEEK_SIZE) return s->GetSize();
  whence &= ~AVSEEK_FORCE;
  int origin = whence == SEEK_CUR ? Stream::kFromCurrent : whence == SEEK_END ? Stream::kFromEnd
                                                                              : Stream::kFromBeginning;
  return s->Seek(offset, origin);
}

// The containers the player plays: Ogg, WAV and ASF (WMA) for games, FLAC and MP3 for ripped CD
// tracks. Probing only these is faster than trying every container the library knows, and keeps
// the other demuxers away from untrusted bytes.
constexpr const char* kContainers = "ogg,wav,asf,flac,mp3";

// The container a name's extension stands for; null for any other extension (then a probe
// among kContainers decides).
const AVInputFormat* ContainerOf(const std::string& name) {
  const size_t dot = name.find_last_of(".\\/");
  if (dot == std::string::npos || name[dot] != '.') return nullptr;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  const char* format = ext == "ogg" || ext == "oga" ? "ogg"
                       : ext == "wav"                ? "wav"
                       : ext == "wma" || ext == "asf" || ext == "wmv" ? "asf"
                       : ext == "flac"               ? "flac"
                       : ext == "mp3"                ? "mp3"
                                                     : nullptr;
  return format ? av_find_input_format(format) : nullptr;
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

class FfmpegDecoder final : public AudioDecoder {
 public:
  FfmpegDecoder(std::shared_ptr<Stream> stream, std::string label, bool native)
      : stream_(std::move(stream)), label_(std::move(label)), native_(native) {
    OpenAll();
  }
  ~FfmpegDecoder() override { CloseAll(); }

  const AudioInfo& Info() const override { return info_; }
  const PcmFormat& Format() const override { return out_; }
  int64_t LengthFrames() const override { return lengthFrames_; }
  int64_t Position() const override { return position_; }
  const std::string& Failure() const override { return failure_; }

  int64_t Read(void* out, int64_t frames) override {
    // Our own end trimming: the sound ends where the container's length says.
    if (ownTrim_ && lengthFrames_ > 0) frames = std::min(frames, std::max<int64_t>(lengthFrames_ - position_, 0));
    auto* dst = static_cast<uint8_t*>(out);
    const int align = out_.BlockAlign();
    int64_t done = 0;
    while (done < frames) {
      if (pendingHead_ < pending_.size()) {
        int64_t avail = static_cast<int64_t>(pending_.size() - pendingHead_) / align;
        int64_t take = std::min(avail, frames - done);
        std::memcpy(dst + done * align, pending_.data() + pendingHead_, static_cast<size_t>(take * align));
        pendingHead_ += static_cast<size_t>(take * align);
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
    // Back to the start by opening anew: exact for every codec, which gapless loops need.
    CloseAll();
    stream_->SetPosition(0);
    OpenAll();
    if (frame == 0) return;
    int64_t skip = frame;
    if (ctx_ && frame > out_.SampleRate) {
      AVStream* st = fmt_->streams[streamIndex_];
      int64_t ts = av_rescale_q(frame + shift_, AVRational{1, out_.SampleRate}, st->time_base);
      if (av_seek_frame(fmt_, streamIndex_, ts, AVSEEK_FLAG_BACKWARD) >= 0) {
        avcodec_flush_buffers(ctx_);
        if (held_) av_packet_unref(held_);
        ResetResampler();
        seekTarget_ = frame;
        skip = 0;
        position_ = frame;
      }
    }
    // Decode and drop what lies before the frame (also when the container cannot seek).
    std::vector<uint8_t> sink(static_cast<size_t>(4096 * out_.BlockAlign()));
    while (skip > 0) {
      int64_t n = Read(sink.data(), std::min<int64_t>(skip, 4096));
      if (n <= 0) break;
      skip -= n;
    }
  }

 private:
  void OpenAll() {
    pending_.clear();
    pendingHead_ = 0;
    position_ = 0;
    eof_ = false;
    seekTarget_ = -1;
    auto* ioBuf = static_cast<uint8_t*>(av_malloc(kIoBuffer));
    if (!ioBuf) throw Error(label_ + ": out of memory");
    io_ = avio_alloc_context(ioBuf, kIoBuffer, 0, stream_.get(), ReadPacket, nullptr, SeekStream);
    if (!io_) {
      av_free(ioBuf);
      throw Error(label_ + ": out of memory");
    }
    // A reopen (a loop, a seek back) takes the container found the first time; a first open the
    // one the extension names, and when the data is not that after all, a probe among ours.
    const AVInputFormat* named = container_ ? container_ : ContainerOf(label_);
    int rc = OpenInput(named);
    if (rc < 0 && named && !container_) {
      stream_->SetPosition(0);
      avio_flush(io_);
      if (avio_seek(io_, 0, SEEK_SET) >= 0) rc = OpenInput(nullptr);
    }
    if (rc < 0) Fail("not a sound file the player plays (" + AvError(rc) + ")");
    container_ = fmt_->iformat;
    if ((rc = avformat_find_stream_info(fmt_, nullptr)) < 0) Fail("damaged sound data (" + AvError(rc) + ")");
    const AVCodec* codec = nullptr;
    streamIndex_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ < 0 || !codec) Fail("no sound in the file");
    AVStream* st = fmt_->streams[streamIndex_];
    ctx_ = avcodec_alloc_context3(codec);
    if (!ctx_ || avcodec_parameters_to_context(ctx_, st->codecpar) < 0) Fail("cannot set up the decoder");
    ctx_->pkt_timebase = st->time_base;
    // Vorbis: the first packet of a stream only primes the decoder and gives no sound, but the
    // Ogg demuxer counts it as a short block of samples. Its timeline then runs one such block
    // ahead, and its end trimming, taken from that timeline, cuts the last real samples. We trim
    // ourselves instead: timestamps are moved back by that first packet's duration, and the
    // sound ends where the last granule position says.
    ownTrim_ = codec->id == AV_CODEC_ID_VORBIS && st->duration > 0 && st->duration != AV_NOPTS_VALUE;
    if (ownTrim_) ctx_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    if ((rc = avcodec_open2(ctx_, codec, nullptr)) < 0) Fail("cannot decode it (" + AvError(rc) + ")");
    int channels = ctx_->ch_layout.nb_channels;
    if (channels <= 0 || ctx_->sample_rate <= 0 || ctx_->sample_rate > 384000) Fail("no usable sound format");

    info_.Container = fmt_->iformat->name ? fmt_->iformat->name : "";
    info_.Codec = codec->name;
    info_.Channels = channels;
    info_.SampleRate = ctx_->sample_rate;
    AVSampleFormat packed = av_get_packed_sample_fmt(ctx_->sample_fmt);
    info_.BitsPerSample = packed == AV_SAMPLE_FMT_U8 ? 8 : 16;
    int64_t srcFrames = 0;
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
      srcFrames = av_rescale_q(st->duration, st->time_base, AVRational{1, ctx_->sample_rate});
    else if (fmt_->duration > 0)
      srcFrames = av_rescale(fmt_->duration, ctx_->sample_rate, AV_TIME_BASE);
    info_.LengthMs = srcFrames * 1000 / ctx_->sample_rate;

    if (native_) {
      out_.Channels = std::min(channels, 2);
      out_.SampleRate = ctx_->sample_rate;
      out_.BitsPerSample = info_.BitsPerSample;
    } else {
      out_ = PcmFormat::Output();
    }
    lengthFrames_ = av_rescale(srcFrames, out_.SampleRate, ctx_->sample_rate);
    ResetResampler();
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) Fail("out of memory");
    if (ownTrim_) HoldFirstPacket();
  }

  // Reads the stream's first packet, keeping it for the decoder, to learn the duration the
  // demuxer gives it (in output frames).
  void HoldFirstPacket() {
    held_ = av_packet_alloc();
    if (!held_) Fail("out of memory");
    while (av_read_frame(fmt_, held_) >= 0) {
      if (held_->stream_index == streamIndex_) {
        AVStream* st = fmt_->streams[streamIndex_];
        if (held_->duration > 0)
          shift_ = av_rescale_q(held_->duration, st->time_base, AVRational{1, out_.SampleRate});
        held_->stream_index = -2;  // marks it as held
        return;
      }
      av_packet_unref(held_);
    }
  }

  // Sends a packet of our stream to the decoder, with the timeline moved back by shift_.
  void SendPacket(AVPacket* packet) {
    if (shift_ > 0) {
      AVStream* st = fmt_->streams[streamIndex_];
      const int64_t back = av_rescale_q(shift_, AVRational{1, out_.SampleRate}, st->time_base);
      if (packet->pts != AV_NOPTS_VALUE) packet->pts -= back;
      if (packet->dts != AV_NOPTS_VALUE) packet->dts -= back;
    }
    const int rc = avcodec_send_packet(ctx_, packet);
    if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) NoteDamage(rc);
  }

  // Opens the container (null: a probe limited to kContainers); fmt_ is null after a failure.
  int OpenInput(const AVInputFormat* format) {
    fmt_ = avformat_alloc_context();
    if (!fmt_) return AVERROR(ENOMEM);
    fmt_->pb = io_;
    fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
    fmt_->probesize = 1 << 20;
    AVDictionary* options = nullptr;
    if (!format) av_dict_set(&options, "format_whitelist", kContainers, 0);
    const int rc = avformat_open_input(&fmt_, nullptr, format, &options);
    av_dict_free(&options);
    if (rc < 0) fmt_ = nullptr;
    return rc;
  }

  void ResetResampler() {
    swr_free(&swr_);
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, out_.Channels);
    AVChannelLayout inLayout;
    if (ctx_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
      av_channel_layout_default(&inLayout, ctx_->ch_layout.nb_channels);
    else
      av_channel_layout_copy(&inLayout, &ctx_->ch_layout);
    AVSampleFormat outFmt = out_.BitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    int rc = swr_alloc_set_opts2(&swr_, &outLayout, outFmt, out_.SampleRate, &inLayout, ctx_->sample_fmt,
                                 ctx_->sample_rate, 0, nullptr);
    if (rc >= 0 && inLayout.nb_channels == 1 && out_.Channels == 2) {
      // A mono source sounds at its full level in both ears, not 3 dB down.
      const double matrix[2] = {1.0, 1.0};
      rc = swr_set_matrix(swr_, matrix, 1);
    }
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || swr_init(swr_) < 0) Fail("cannot convert its sound format");
  }

  // Decodes the next frame into pending_; false at the end (or at damage, which ends the data).
  bool DecodeMore() {
    if (!ctx_) return false;
    pending_.clear();
    pendingHead_ = 0;
    while (true) {
      int rc = avcodec_receive_frame(ctx_, frame_);
      if (rc == 0) {
        ConvertFrame();
        av_frame_unref(frame_);
        if (!pending_.empty()) return true;
        continue;
      }
      if (rc == AVERROR_EOF) return FlushResampler();
      if (rc != AVERROR(EAGAIN)) {
        NoteDamage(rc);
        return false;
      }
      if (eof_) {
        avcodec_send_packet(ctx_, nullptr);
        continue;
      }
      if (held_ && held_->stream_index == -2) {
        held_->stream_index = streamIndex_;
        SendPacket(held_);
        av_packet_unref(held_);
        continue;
      }
      rc = av_read_frame(fmt_, packet_);
      if (rc < 0) {
        if (rc != AVERROR_EOF) NoteDamage(rc);
        eof_ = true;
        avcodec_send_packet(ctx_, nullptr);
        continue;
      }
      if (packet_->stream_index == streamIndex_) SendPacket(packet_);
      av_packet_unref(packet_);
    }
  }

  void ConvertFrame() {
    int64_t outMax = swr_get_out_samples(swr_, frame_->nb_samples);
    if (outMax <= 0) return;
    pending_.resize(static_cast<size_t>(outMax * out_.BlockAlign()));
    uint8_t* outPtr = pending_.data();
    int n = swr_convert(swr_, &outPtr, static_cast<int>(outMax), const_cast<const uint8_t**>(frame_->extended_data),
                        frame_->nb_samples);
    pending_.resize(n > 0 ? static_cast<size_t>(n * out_.BlockAlign()) : 0);
    if (seekTarget_ >= 0 && n > 0 && frame_->best_effort_timestamp != AV_NOPTS_VALUE) {
      // After a seek the frame may start before the target: drop the difference.
      AVStream* st = fmt_->streams[streamIndex_];
      int64_t at = av_rescale_q(frame_->best_effort_timestamp, st->time_base, AVRational{1, out_.SampleRate});
      int64_t drop = std::clamp<int64_t>(seekTarget_ - at, 0, n);
      pendingHead_ = static_cast<size_t>(drop * out_.BlockAlign());
      if (at + n >= seekTarget_) seekTarget_ = -1;
    }
  }

  bool FlushResampler() {
    int64_t outMax = swr_get_out_samples(swr_, 0);
    if (outMax <= 0) return false;
    pending_.resize(static_cast<size_t>(outMax * out_.BlockAlign()));
    uint8_t* outPtr = pending_.data();
    int n = swr_convert(swr_, &outPtr, static_cast<int>(outMax), nullptr, 0);
    pending_.resize(n > 0 ? static_cast<size_t>(n * out_.BlockAlign()) : 0);
    pendingHead_ = 0;
    return !pending_.empty();
  }

  void NoteDamage(int rc) {
    if (failure_.empty()) failure_ = label_ + ": damaged sound data (" + AvError(rc) + ")";
  }

  [[noreturn]] void Fail(const std::string& why) {
    CloseAll();
    throw Error(label_ + ": " + why);
  }

  void CloseAll() {
    av_packet_free(&packet_);
    av_packet_free(&held_);
    av_frame_free(&frame_);
    swr_free(&swr_);
    avcodec_free_context(&ctx_);
    if (fmt_) avformat_close_input(&fmt_);
    if (io_) {
      av_freep(&io_->buffer);
      avio_context_free(&io_);
    }
  }

  std::shared_ptr<Stream> stream_;
  std::string label_;
  bool native_;
  AudioInfo info_;
  PcmFormat out_;
  int64_t lengthFrames_ = 0;
  std::string failure_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* fmt_ = nullptr;
  AVCodecContext* ctx_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int streamIndex_ = -1;
  bool eof_ = false;
  std::vector<uint8_t> pending_;
  size_t pendingHead_ = 0;
  int64_t position_ = 0;
  int64_t seekTarget_ = -1;
  const AVInputFormat* container_ = nullptr;
  // Vorbis: our own trimming (see OpenAll), the held first packet and the timeline shift.
  bool ownTrim_ = false;
  AVPacket* held_ = nullptr;
  int64_t shift_ = 0;
};

}  // namespace

std::unique_ptr<AudioDecoder> OpenAudioDecoder(std::shared_ptr<Stream> stream, const std::string& label, bool native) {
  if (!stream) throw Error(label + ": no data");
  if (stream->GetSize() <= 0) throw Error(label + ": the file is empty");
  av_log_set_level(AV_LOG_QUIET);
  stream->SetPosition(0);
  return std::make_unique<FfmpegDecoder>(std::move(stream), label, native);
}

}  // namespace orin
