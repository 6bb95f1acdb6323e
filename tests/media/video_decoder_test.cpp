#include <gtest/gtest.h>

#include "core/error.h"
#include "media/media_engine.h"
#include "media/video_decoder.h"
#include "media/video_manager.h"
#include "media_fixture.h"
#include "resources/stream.h"
#include "support/movie_fixtures.h"

namespace orin {
namespace {

using test::MovieCodec;
using test::MovieShape;

std::shared_ptr<Stream> Bytes(const std::string& bytes) {
  auto s = std::make_shared<MemoryStream>();
  s->Assign(bytes);
  return s;
}

int FrameNumber(const VideoFrame& f) {
  return test::ReadFrameNumber(reinterpret_cast<const uint32_t*>(f.Picture.Bits()), f.Picture.RowSize() / 4,
                               f.Picture.Width(), f.Picture.Height());
}

// A colour is near another when every channel is within tolerance (lossy codecs).
bool Near(uint32_t a, uint32_t b, int tolerance = 40) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

struct CodecCase {
  MovieCodec codec;
  const char* name;
  const char* container;
};

const CodecCase kCodecs[] = {
    {MovieCodec::kWmv2, "wmv2", "asf"},
    {MovieCodec::kMpeg1, "mpeg1video", "mpeg"},
    {MovieCodec::kMpeg2, "mpeg2video", "mpeg"},
    {MovieCodec::kH264, "h264", "mov,mp4,m4a,3gp,3g2,mj2"},
};

TEST(FfmpegVideo, EveryCodecGivesEachPictureInOrderWithItsTimeThroughAnArchiveEntry) {
  test::MediaFixture f;
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& c : kCodecs) {
    if (!test::HasMovieEncoder(c.codec)) continue;
    entries.emplace_back(std::string("movie\\") + c.name + test::MovieExtension(c.codec),
                         test::MakeMovie({c.codec, 160, 120, 25, 30}));
  }
  f.Archive(entries);
  f.Start();
  for (const auto& [name, bytes] : entries) {
    SCOPED_TRACE(name);
    auto d = OpenVideoDecoder(OpenMovieData(f.media->Engine(), name), name);
    EXPECT_EQ(d->Info().Width, 160);
    EXPECT_EQ(d->Info().Height, 120);
    EXPECT_NEAR(d->Info().FrameRate, 25.0, 0.01);
    EXPECT_NEAR(static_cast<double>(d->Info().LengthMs), 1200.0, 150.0);
    EXPECT_FALSE(d->Info().AudioCodec.empty());
    VideoFrame frame;
    int n = 0;
    while (d->Next(frame)) {
      ASSERT_EQ(FrameNumber(frame), n);
      EXPECT_NEAR(static_cast<double>(frame.TimeMs), n * 40.0, 1.0);
      auto* px = reinterpret_cast<const uint32_t*>(frame.Picture.Bits());
      for (int bar = 0; bar < 4; ++bar)
        EXPECT_TRUE(Near(test::ReadBar(px, frame.Picture.RowSize() / 4, 160, 120, bar), test::kMovieBars[bar]));
      // The compositor expects the fourth byte clear.
      EXPECT_EQ(px[0] >> 24, 0u);
      ++n;
    }
    EXPECT_EQ(n, 30);
    EXPECT_TRUE(d->Failure().empty());
  }
}

TEST(FfmpegVideo, SeekGivesThePictureOfThatTimeAndScalesToTheAskedSize) {
  for (const auto& c : kCodecs) {
    if (!test::HasMovieEncoder(c.codec)) continue;
    SCOPED_TRACE(c.name);
    auto d = OpenVideoDecoder(Bytes(test::MakeMovie({c.codec, 160, 120, 25, 50})), c.name, 320, 60);
    VideoFrame frame;
    for (int64_t target : {1000, 200, 0, 1960, 520}) {
      d->Seek(target);
      ASSERT_TRUE(d->Next(frame));
      EXPECT_EQ(frame.Picture.Width(), 320);
      EXPECT_EQ(frame.Picture.Height(), 60);
      EXPECT_EQ(FrameNumber(frame), target / 40);
      EXPECT_EQ(frame.TimeMs, target / 40 * 40);
    }
    d->Seek(5000);
    EXPECT_FALSE(d->Next(frame));
  }
}

TEST(FfmpegVideo, MovieSoundDecodesToTheMovieLength) {
  auto a = OpenMovieAudio(Bytes(test::MakeMovie({MovieCodec::kWmv2, 64, 48, 25, 25})), "a.wmv");
  EXPECT_EQ(a->Format().SampleRate, 44100);
  std::vector<int16_t> buf(4096 * 2);
  int64_t total = 0;
  while (int64_t n = a->Read(buf.data(), 4096)) total += n;
  EXPECT_NEAR(static_cast<double>(total), 44100.0, 4096.0);
  a->Seek(22050);
  EXPECT_EQ(a->Position(), 22050);
  int64_t rest = 0;
  while (int64_t n = a->Read(buf.data(), 4096)) rest += n;
  EXPECT_NEAR(static_cast<double>(rest), 22050.0, 4096.0);
}

// Headers and data a hostile or broken file may carry: each is refused with a plain reason.
TEST(FfmpegVideo, BadInputIsRefusedWithAReason) {
  const std::string good = test::MakeMovie({MovieCodec::kWmv2, 64, 48, 25, 10});
  // The same movie claiming 60000 x 60000 pictures (the stream header and the bitmap header).
  std::string huge = good;
  const std::string small("\x40\0\0\0\x30\0\0\0", 8), large("\x60\xEA\0\0\x60\xEA\0\0", 8);
  for (size_t at = huge.find(small); at != std::string::npos; at = huge.find(small, at + 8)) huge.replace(at, 8, large);
  // And one whose pictures are in a codec nobody decodes.
  std::string unknown = good;
  for (size_t at = unknown.find("WMV2"); at != std::string::npos; at = unknown.find("WMV2", at + 4))
    unknown.replace(at, 4, "QQQ9");
  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"empty.wmv", "", "empty"},
      {"noise.wmv", std::string(5000, '\x5A'), "not a movie"},
      {"sound.wma", test::MakeSound({test::SoundCodec::kWma, 2, 44100, 22050}), "no pictures"},
      {"head.wmv", good.substr(0, 200), ""},
      {"huge.wmv", huge, "size are not played"},
      {"unknown.wmv", unknown, "no decoder"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      auto d = OpenVideoDecoder(Bytes(c.bytes), c.name);
      // A file cut inside its header may still open; then it simply has no pictures.
      VideoFrame frame;
      int n = 0;
      while (d->Next(frame) && n < 100) ++n;
      EXPECT_LT(n, 10);
    } catch (const Error& e) {
      EXPECT_NE(e.Message().find(c.name), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(c.reason), std::string::npos) << e.Message();
    }
  }
}

TEST(FfmpegVideo, ATruncatedMovieEndsEarlyWithoutFailingToOpen) {
  const std::string full = test::MakeMovie({MovieCodec::kMpeg1, 64, 48, 25, 50, false});
  auto d = OpenVideoDecoder(Bytes(full.substr(0, full.size() / 2)), "cut.mpg");
  VideoFrame frame;
  int n = 0;
  while (d->Next(frame)) ++n;
  EXPECT_GT(n, 5);
  EXPECT_LT(n, 50);
}

}  // namespace
}  // namespace orin
