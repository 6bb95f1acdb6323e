#include "support/sound_fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace orin::test {
namespace {

void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, static_cast<uint16_t>(v >> 16));
}

std::string PlainWav(const SoundShape& shape, const std::vector<int16_t>& samples) {
  const bool eight = shape.Codec == SoundCodec::kWavPcm8;
  const int bits = eight ? 8 : 16;
  const uint32_t align = static_cast<uint32_t>(shape.Channels * bits / 8);
  const uint32_t data = static_cast<uint32_t>(samples.size()) * (eight ? 1 : 2);
  std::string s = "RIFF";
  Put32(s, 36 + data);
  s += "WAVEfmt ";
  Put32(s, 16);
  Put16(s, 1);
  Put16(s, static_cast<uint16_t>(shape.Channels));
  Put32(s, static_cast<uint32_t>(shape.SampleRate));
  Put32(s, static_cast<uint32_t>(shape.SampleRate) * align);
  Put16(s, static_cast<uint16_t>(align));
  Put16(s, static_cast<uint16_t>(bits));
  s += "data";
  Put32(s, data);
  for (int16_t v : samples) {
    if (eight)
      s.push_back(static_cast<char>((v >> 8) + 128));
    else
      Put16(s, static_cast<uint16_t>(v));
  }
  return s;
}

int WritePacket(void* opaque, uint8_t* buf, int size) {
  static_cast<std::string*>(opaque)->append(reinterpret_cast<const char*>(buf), static_cast<size_t>(size));
  return size;
}

std::string Encoded(const SoundShape& shape, const std::vector<int16_t>& samples) {
  const char* encoderName = shape.Codec == SoundCodec::kVorbis ? "libvorbis"
                            : shape.Codec == SoundCodec::kWma  ? "wmav2"
                                                              : "adpcm_ms";
  const char* formatName = shape.Codec == SoundCodec::kVorbis ? "ogg" : shape.Codec == SoundCodec::kWma ? "asf" : "wav";
  const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
  if (!codec) throw std::runtime_error(std::string("no encoder ") + encoderName);
  std::string out;
  AVFormatContext* fmt = nullptr;
  avformat_alloc_output_context2(&fmt, nullptr, formatName, nullptr);
  auto* ioBuf = static_cast<uint8_t*>(av_malloc(65536));
  fmt->pb = avio_alloc_context(ioBuf, 65536, 1, &out, nullptr, WritePacket, nullptr);
  fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVStream* st = avformat_new_stream(fmt, nullptr);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  av_channel_layout_default(&ctx->ch_layout, shape.Channels);
  ctx->sample_rate = shape.SampleRate;
  ctx->sample_fmt = codec->sample_fmts[0];
  ctx->bit_rate = shape.Codec == SoundCodec::kWma ? 128000 : 0;
  ctx->time_base = AVRational{1, shape.SampleRate};
  if (shape.Codec == SoundCodec::kVorbis) {
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = 8 * FF_QP2LAMBDA;
  }
  if (fmt->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(ctx, codec, nullptr) < 0) throw std::runtime_error("cannot open the encoder");
  avcodec_parameters_from_context(st->codecpar, ctx);
  st->time_base = ctx->time_base;
  if (avformat_write_header(fmt, nullptr) < 0) throw std::runtime_error("cannot write the header");
  AVFrame* frame = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  const int chunk = ctx->frame_size > 0 ? ctx->frame_size : 1024;
  const int64_t total = shape.Frames;
  auto drain = [&] {
    while (avcodec_receive_packet(ctx, pkt) == 0) {
      av_packet_rescale_ts(pkt, ctx->time_base, st->time_base);
      pkt->stream_index = st->index;
      av_interleaved_write_frame(fmt, pkt);
    }
  };
  for (int64_t at = 0; at < total; at += chunk) {
    int n = static_cast<int>(std::min<int64_t>(chunk, total - at));
    frame->nb_samples = n;
    frame->format = ctx->sample_fmt;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    frame->sample_rate = ctx->sample_rate;
    av_frame_get_buffer(frame, 0);
    for (int i = 0; i < n; ++i) {
      for (int c = 0; c < shape.Channels; ++c) {
        int16_t v = samples[static_cast<size_t>((at + i) * shape.Channels + c)];
        switch (ctx->sample_fmt) {
          case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(frame->data[c])[i] = v / 32768.0f; break;
          case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(frame->data[c])[i] = v; break;
          case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(frame->data[0])[i * shape.Channels + c] = v; break;
          default: throw std::runtime_error("unexpected sample format");
        }
      }
    }
    frame->pts = at;
    avcodec_send_frame(ctx, frame);
    av_frame_unref(frame);
    drain();
  }
  avcodec_send_frame(ctx, nullptr);
  drain();
  av_write_trailer(fmt);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  avio_flush(fmt->pb);
  av_freep(&fmt->pb->buffer);
  avio_context_free(&fmt->pb);
  avformat_free_context(fmt);
  return out;
}

}  // namespace

std::vector<int16_t> SoundSamples(const SoundShape& shape) {
  std::vector<int16_t> s(static_cast<size_t>(shape.Frames * shape.Channels));
  uint32_t seed = 12345;
  for (int64_t i = 0; i < shape.Frames; ++i) {
    for (int c = 0; c < shape.Channels; ++c) {
      double v;
      if (shape.Frequency > 0) {
        // The right channel a fifth up, so swapped channels show.
        double f = shape.Frequency * (c == 1 ? 1.5 : 1.0);
        v = std::sin(2 * M_PI * f * static_cast<double>(i) / shape.SampleRate);
      } else {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<double>(static_cast<int32_t>(seed)) / 2147483648.0;
      }
      s[static_cast<size_t>(i * shape.Channels + c)] = static_cast<int16_t>(std::lround(v * shape.Amplitude * 32767));
    }
  }
  return s;
}

std::string MakeSound(const SoundShape& shape) { return EncodeSound(shape, SoundSamples(shape)); }

std::string EncodeSound(const SoundShape& shape, const std::vector<int16_t>& samples) {
  if (samples.size() != static_cast<size_t>(shape.Frames * shape.Channels))
    throw std::runtime_error("the samples do not fill the shape");
  if (shape.Codec == SoundCodec::kWavPcm16 || shape.Codec == SoundCodec::kWavPcm8) return PlainWav(shape, samples);
  return Encoded(shape, samples);
}

}  // namespace orin::test
