#include <gtest/gtest.h>

#include <cstdlib>

#include "core/error.h"
#include "media/audio_decoder.h"
#include "media/media_engine.h"
#include "media_fixture.h"
#include "resources/stream.h"

namespace orin {
namespace {

using test::SoundCodec;
using test::SoundShape;

std::shared_ptr<Stream> Bytes(const std::string& bytes) {
  auto s = std::make_shared<MemoryStream>();
  s->Assign(bytes);
  return s;
}

std::vector<int16_t> DecodeAll(AudioDecoder& d) {
  std::vector<int16_t> out;
  std::vector<int16_t> chunk(1000 * 2 * 2);
  while (true) {
    int64_t n = d.Read(chunk.data(), 1000);
    if (n <= 0) break;
    out.insert(out.end(), chunk.begin(), chunk.begin() + n * d.Format().Channels);
  }
  return out;
}

struct DecodeCase {
  const char* name;
  SoundShape shape;
  const char* codec;
  int64_t slack;  // frames the codec may add or lose at the edges
};

TEST(FfmpegDecoder, EveryCodecDecodesToItsLengthThroughAnArchiveEntry) {
  const DecodeCase cases[] = {
      {"pcm16.wav", {SoundCodec::kWavPcm16, 2, 44100, 22050}, "pcm_s16le", 0},
      {"pcm8.wav", {SoundCodec::kWavPcm8, 1, 22050, 11025}, "pcm_u8", 0},
      {"adpcm.wav", {SoundCodec::kWavAdpcm, 2, 44100, 22050}, "adpcm_ms", 2048},
      {"mono.ogg", {SoundCodec::kVorbis, 1, 44100, 22050}, "vorbis", 0},
      {"half.ogg", {SoundCodec::kVorbis, 2, 22050, 11025}, "vorbis", 0},
      {"music.wma", {SoundCodec::kWma, 2, 44100, 22050}, "wmav2", 4096},
  };
  test::MediaFixture f;
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& c : cases) entries.emplace_back(c.name, test::MakeSound(c.shape));
  f.Archive(entries);
  f.Start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = OpenAudioDecoder(f.media->Engine().OpenData(c.name, false), c.name, false);
    EXPECT_EQ(d->Info().Codec, c.codec);
    EXPECT_EQ(d->Info().Channels, c.shape.Channels);
    EXPECT_EQ(d->Info().SampleRate, c.shape.SampleRate);
    EXPECT_NEAR(d->Info().LengthMs, c.shape.Frames * 1000 / c.shape.SampleRate, 100);
    auto pcm = DecodeAll(*d);
    int64_t frames = static_cast<int64_t>(pcm.size() / 2);
    int64_t expected = c.shape.Frames * 44100 / c.shape.SampleRate;
    EXPECT_NEAR(frames, expected, c.slack + 64);
  }
}

TEST(FfmpegDecoder, PcmComesBackExactlyAndMonoIsFullLevelInBothChannels) {
  SoundShape stereo{SoundCodec::kWavPcm16, 2, 44100, 5000, 440, 0.9};
  auto d = OpenAudioDecoder(Bytes(test::MakeSound(stereo)), "s.wav", false);
  EXPECT_EQ(DecodeAll(*d), test::SoundSamples(stereo));

  SoundShape mono{SoundCodec::kWavPcm16, 1, 44100, 5000, 440, 0.9};
  auto m = OpenAudioDecoder(Bytes(test::MakeSound(mono)), "m.wav", false);
  auto src = test::SoundSamples(mono);
  auto out = DecodeAll(*m);
  ASSERT_EQ(out.size(), src.size() * 2);
  for (size_t i = 0; i < src.size(); ++i) {
    ASSERT_EQ(out[i * 2], src[i]) << i;
    ASSERT_EQ(out[i * 2 + 1], src[i]) << i;
  }
}

// The first Vorbis packet gives no sound, though the Ogg demuxer counts a short block for it: a
// decoder that trusts its timeline loses that many frames at the end and seeks that far off.
TEST(FfmpegDecoder, VorbisKeepsEveryFrameInPlace) {
  const SoundShape shape{SoundCodec::kVorbis, 1, 44100, 22050, 441, 0.5};
  const std::vector<int16_t> src = test::SoundSamples(shape);
  const std::string ogg = test::MakeSound(shape);
  auto d = OpenAudioDecoder(Bytes(ogg), "tone.ogg", true);
  const std::vector<int16_t> pcm = DecodeAll(*d);
  ASSERT_EQ(pcm.size(), src.size());
  // Lossy, but in place: far closer to the source at no lag than a short block away.
  auto error = [&](size_t lag, size_t from, size_t to) {
    double e = 0;
    for (size_t i = from; i < to; ++i) e += std::abs(double(pcm[i]) - src[i + lag]);
    return e / double(to - from);
  };
  EXPECT_LT(error(0, 1000, 20000), 200);
  EXPECT_GT(error(128, 1000, 20000), 1000);
  // Seeking far (through the container) lands on the same samples.
  d->Seek(15000);
  std::vector<int16_t> tail(2000);
  ASSERT_EQ(d->Read(tail.data(), 2000), 2000);
  double e = 0;
  for (size_t i = 0; i < 2000; ++i) e += std::abs(double(tail[i]) - src[15000 + i]);
  EXPECT_LT(e / 2000, 200);
}

TEST(FfmpegDecoder, NativeKeepsTheSourceFormat) {
  SoundShape shape{SoundCodec::kWavPcm8, 2, 22050, 1000};
  auto d = OpenAudioDecoder(Bytes(test::MakeSound(shape)), "a.wav", true);
  EXPECT_EQ(d->Format().Channels, 2);
  EXPECT_EQ(d->Format().SampleRate, 22050);
  EXPECT_EQ(d->Format().BitsPerSample, 8);
  EXPECT_EQ(d->LengthFrames(), 1000);
}

TEST(FfmpegDecoder, SeekLandsOnTheFrame) {
  SoundShape shape{SoundCodec::kWavPcm16, 2, 44100, 100000, 300, 0.5};
  auto src = test::SoundSamples(shape);
  for (bool native : {false, true}) {
    auto d = OpenAudioDecoder(Bytes(test::MakeSound(shape)), "a.wav", native);
    for (int64_t at : {int64_t{0}, int64_t{777}, int64_t{60000}, int64_t{12}}) {
      d->Seek(at);
      EXPECT_EQ(d->Position(), at);
      int16_t got[8];
      ASSERT_EQ(d->Read(got, 4), 4);
      for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], src[static_cast<size_t>(at * 2 + i)]) << at;
    }
  }
}

TEST(FfmpegDecoder, BadInputFailsWithAReason) {
  std::string wav = test::MakeSound({SoundCodec::kWavPcm16, 2, 44100, 44100});
  std::string huge = wav.substr(0, 200);
  // "data" size 0xFFFFFFF0: the header claims 4 GB, the file holds 156 bytes of it.
  huge[40] = '\xF0', huge[41] = '\xFF', huge[42] = '\xFF', huge[43] = '\xFF';
  std::string ogg = test::MakeSound({SoundCodec::kVorbis, 2, 44100, 44100});
  const std::pair<const char*, std::string> failing[] = {
      {"empty", ""},
      {"text", "this is not a sound at all, only a few words of text"},
      {"cut ogg", ogg.substr(0, 40)},
  };
  for (const auto& [what, bytes] : failing) {
    SCOPED_TRACE(what);
    try {
      auto d = OpenAudioDecoder(Bytes(bytes), "x.ogg", false);
      // Some cut files still open; they must then end at once, not spin.
      EXPECT_LT(DecodeAll(*d).size(), 1000u);
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("x.ogg"), std::string::npos);
    }
  }
  // A lying header plays what is there and ends.
  auto d = OpenAudioDecoder(Bytes(huge), "huge.wav", false);
  EXPECT_LE(DecodeAll(*d).size(), 200u);
  // A cut Ogg either fails to open or plays its first part and ends.
  try {
    auto half = OpenAudioDecoder(Bytes(ogg.substr(0, ogg.size() / 2)), "half.ogg", false);
    EXPECT_LT(DecodeAll(*half).size(), 44100u * 2);
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("half.ogg"), std::string::npos);
  }
}

}  // namespace
}  // namespace orin
