// The test game of tests/games/sound played by orinplay --headless --audio-out: music on the left
// channel from the first frame, an effect on the right on a click, a mono voice on the right that
// a MovieStop fades out over 500 ms and waits for, and a save while the music plays that a second
// run loads. The recording is read back and measured span by span on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/text.h"
#include "game_play.h"

namespace orin {
namespace {

using test::Play;

// A sine of half full scale: its RMS level.
constexpr double kFullLevel = 32767 * 0.5 / 1.4142135623730951;
constexpr double kFramesPerMs = 44.1;

// The recording's samples, interleaved stereo.
struct Recording {
  std::vector<int16_t> Samples;

  explicit Recording(const std::string& path) {
    const std::string wav = test::ReadHostFile(path);
    if (wav.size() < 44) return;
    Samples.resize((wav.size() - 44) / 2);
    std::memcpy(Samples.data(), wav.data() + 44, Samples.size() * 2);
  }
  size_t Frames() const { return Samples.size() / 2; }
  // RMS of one channel (0 left, 1 right) over [fromMs, toMs).
  double Level(int channel, double fromMs, double toMs) const {
    const size_t a = static_cast<size_t>(fromMs * kFramesPerMs), b = static_cast<size_t>(toMs * kFramesPerMs);
    double sum = 0;
    size_t n = 0;
    for (size_t i = a; i < b && i < Frames(); ++i, ++n) sum += double(Samples[i * 2 + channel]) * Samples[i * 2 + channel];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
  }
  // The first sample frame at or after fromMs where the channel is not silent; -1 when none.
  int64_t FirstSound(int channel, double fromMs) const {
    for (size_t i = static_cast<size_t>(fromMs * kFramesPerMs); i < Frames(); ++i)
      if (Samples[i * 2 + channel] != 0) return static_cast<int64_t>(i);
    return -1;
  }
};

uint32_t ClockOf(const Play& p, const std::string& text) {
  const int i = p.Find(text);
  return i < 0 ? 0 : p.Trace[static_cast<size_t>(i)].Clock;
}

// Frames of 16 ms: the effect's box, the voice's box, the box that fades the voice out, the save
// box.
constexpr const char* kInput =
    "20 click 15 15\n"
    "40 click 55 15\n"
    "100 click 95 15\n"
    "160 click 15 75\n";

class SoundGame : public ::testing::Test {
 protected:
  Play RunRecorded(const std::string& input, int run, int frames) {
    return game_.Run(input, run, frames, {"--audio-out", WavPath(run)});
  }
  std::string WavPath(int run) { return game_.Dir() / Format("run%d.wav", run); }
  test::GamePlayer game_{"sound"};
};

TEST_F(SoundGame, MusicEffectVoiceFadeAndSaveWhilePlaying) {
  const Play p = RunRecorded(kInput, 1, 200);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  EXPECT_FALSE(p.Has("-- Sound: this player has no class for its objects yet; nothing was made"));
  const Recording r(WavPath(1));
  ASSERT_EQ(r.Frames(), static_cast<size_t>(200 * 16 * 441 / 10));

  // The music starts with the first frame that runs the script: its first sample comes in the
  // span right after that frame.
  const uint32_t musicAt = ClockOf(p, "start.osb(10)");
  const int64_t musicFirst = r.FirstSound(0, 0);
  ASSERT_GE(musicFirst, 0);
  EXPECT_GE(musicFirst, static_cast<int64_t>(musicAt * kFramesPerMs));
  EXPECT_LE(musicFirst, static_cast<int64_t>((musicAt + 16) * kFramesPerMs) + 1);
  EXPECT_NEAR(r.Level(0, 100, 3000), kFullLevel, kFullLevel * 0.05);

  // The effect starts in the span after its command and lasts its 200 ms; its end raises its
  // finished label once.
  const uint32_t seAt = ClockOf(p, "start.osb(31)");
  ASSERT_GT(seAt, 0u);
  EXPECT_EQ(r.FirstSound(1, 0), r.FirstSound(1, seAt));
  const int64_t seFirst = r.FirstSound(1, 0);
  EXPECT_GE(seFirst, static_cast<int64_t>(seAt * kFramesPerMs));
  EXPECT_LE(seFirst, static_cast<int64_t>((seAt + 16) * kFramesPerMs) + 1);
  const double seStart = static_cast<double>(seFirst) / kFramesPerMs;
  EXPECT_NEAR(r.Level(1, seStart + 5, seStart + 195), kFullLevel, kFullLevel * 0.05);
  EXPECT_LT(r.Level(1, seStart + 205, ClockOf(p, "start.osb(36)")), 1.0);
  EXPECT_EQ(p.Count("<Event>start.osb(33)"), 1);

  // The voice is mono at 22,050 Hz: on its channel it plays at the full level, not 3 dB down.
  const uint32_t voiceAt = ClockOf(p, "start.osb(36)");
  const uint32_t fadeAt = ClockOf(p, "start.osb(39)");
  ASSERT_GT(fadeAt, voiceAt);
  EXPECT_NEAR(r.Level(1, voiceAt + 100, fadeAt), kFullLevel, kFullLevel * 0.05);

  // The fade-out: each frame's span carries the volume of that frame's step, start + elapsed ×
  // (−5000) ÷ 500 hundredths of a decibel, silence at 500 ms; the command waits until it is over.
  for (int k = 0; k < 31; ++k) {
    const int32_t volume = -5000 * (16 * k) / 500;
    const double expected = kFullLevel * std::pow(10.0, volume / 2000.0);
    const double from = fadeAt + 16.0 * k;
    EXPECT_NEAR(r.Level(1, from + 1, from + 15), expected, expected * 0.08 + 2) << "span " << k;
  }
  EXPECT_LT(r.Level(1, fadeAt + 500 + 16, fadeAt + 1200), 1.0);
  const uint32_t waited = ClockOf(p, "start.osb(81)");
  EXPECT_GE(waited, fadeAt + 500);
  EXPECT_LE(waited, fadeAt + 500 + 48);

  // The save was made while the music played on; the next run loads it and the music goes on
  // from where it was.
  ASSERT_TRUE(p.Has("start.osb(42)"));
  const Play q = RunRecorded("10 click 55 75\n", 2, 30);
  ASSERT_EQ(q.ExitCode, 0) << q.Err;
  EXPECT_TRUE(q.Has("start.osb(4)"));
  EXPECT_TRUE(q.Has("start.osb(82)"));  // playing
  EXPECT_TRUE(q.Has("start.osb(83)"));  // past 2.5 s
  const Recording loaded(WavPath(2));
  EXPECT_NEAR(loaded.Level(0, 100, 400), kFullLevel, kFullLevel * 0.05);
  EXPECT_LT(loaded.Level(1, 0, 400), 1.0);
}

// The voice stopped at once: MovieStop deletes it in that frame and does not wait even with wait
// set. Then faded out without waiting: the script goes on in the same frame, the voice is no
// longer found by its name, and its sound dies away over the 300 ms.
TEST_F(SoundGame, StopAtOnceAndFadeWithoutWaiting) {
  const Play p = RunRecorded(
      "10 click 55 15\n"    // voice
      "30 click 95 75\n"    // stop at once
      "50 click 55 15\n"    // voice again
      "70 click 135 75\n",  // fade out over 300 ms, not waiting
      1, 120);
  ASSERT_EQ(p.ExitCode, 0) << p.Err;
  const uint32_t now = ClockOf(p, "start.osb(49)");
  ASSERT_GT(now, 0u);
  EXPECT_EQ(ClockOf(p, "start.osb(85)"), now);
  EXPECT_FALSE(p.Has("start.osb(84)"));
  const uint32_t fade = ClockOf(p, "start.osb(53)");
  ASSERT_GT(fade, now);
  EXPECT_EQ(ClockOf(p, "start.osb(87)"), fade);
  EXPECT_FALSE(p.Has("start.osb(86)"));

  const Recording r(WavPath(1));
  EXPECT_NEAR(r.Level(1, now - 200, now), kFullLevel, kFullLevel * 0.05);
  EXPECT_LT(r.Level(1, now + 16, now + 200), 1.0);
  EXPECT_NEAR(r.Level(1, fade - 200, fade), kFullLevel, kFullLevel * 0.05);
  EXPECT_LT(r.Level(1, fade + 160, fade + 300), r.Level(1, fade, fade + 140));
  EXPECT_LT(r.Level(1, fade + 300 + 16, fade + 600), 1.0);
}

}  // namespace
}  // namespace orin
