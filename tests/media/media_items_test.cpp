#include <gtest/gtest.h>

#include <cmath>

#include "core/error.h"

#include "media/cdda_manager.h"
#include "media/midi_manager.h"
#include "media/media_engine.h"
#include "media/ogg_manager.h"
#include "media/wav_out.h"
#include "media/wmp_manager.h"
#include "media_fixture.h"

namespace orin {
namespace {

using test::SoundCodec;
using test::SoundShape;

const SoundShape kTone{SoundCodec::kWavPcm16, 2, 44100, 4410, 440, 0.5};  // 100 ms

// The first frame index at which any sample is not silent, or -1.
int64_t FirstSound(const std::vector<int16_t>& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] != 0) return static_cast<int64_t>(i / 2);
  return -1;
}

TEST(TOggItem, PlaysItsSamplesAndLoopsWithoutAGap) {
  // With and without the worker that decodes ahead: what is heard is the same.
  for (bool worker : {false, true}) {
    SCOPED_TRACE(worker ? "worker" : "frame step only");
    test::MediaFixture f;
    f.Archive({{"se\\tone.wav", test::MakeSound(kTone)}});
    MediaSettings settings;
    settings.DecodeThread = worker;
    MediaSet& m = f.Start(settings);
    TDMediaItem* item = m.Open("SE\\Tone.WAV");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Failure(), "");
    EXPECT_EQ(item->GetLen(), 100);
    item->SetAutoRepeat(true);
    item->Play();
    auto out = f.Run(260);
    auto src = test::SoundSamples(kTone);
    ASSERT_GE(out.size(), src.size() * 2 + 100);
    // Two whole passes, the second straight after the first: the loop adds no silence.
    for (size_t i = 0; i < src.size() * 2 + 100; ++i) ASSERT_EQ(out[i], src[i % src.size()]) << i;
    EXPECT_FALSE(item->IsEnd());
    EXPECT_TRUE(item->IsPlaying());
    EXPECT_NEAR(item->GetPosition(), 60, 1);
  }
}

TEST(TOggItem, EndLatchesUntilSetPosition) {
  test::MediaFixture f;
  f.Archive({{"tone.wav", test::MakeSound(kTone)}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("tone.wav");
  item->Play();
  f.Run(200);
  EXPECT_TRUE(item->IsEnd());
  EXPECT_FALSE(item->IsPlaying());
  EXPECT_EQ(item->GetPosition(), 100);
  item->Play();  // starts again from the start, but the end stays reported
  EXPECT_TRUE(item->IsEnd());
  item->SetPosition(-50);
  EXPECT_FALSE(item->IsEnd());
  EXPECT_EQ(item->GetPosition(), 0);
}

TEST(TOggItem, VolumeAndPanScaleAsDecibels) {
  SoundShape dc{SoundCodec::kWavPcm16, 1, 44100, 44100, 0, 0.0};
  std::string bytes = test::MakeSound(dc);
  // A constant signal shows the gain exactly: replace the silence with 20000.
  for (size_t i = 44; i + 1 < bytes.size(); i += 2) bytes[i] = static_cast<char>(20000 & 0xFF), bytes[i + 1] = static_cast<char>(20000 >> 8);
  struct Case {
    int32_t vol, pan;
    double left, right;
  } cases[] = {{0, 0, 20000, 20000},     {-600, 0, 10024, 10024}, {-10000, 0, 0, 0},
               {-20000, 0, 0, 0},        {0, -2000, 20000, 2000}, {0, 10000, 0, 20000}};
  for (const auto& c : cases) {
    test::MediaFixture f;
    f.Archive({{"dc.wav", bytes}});
    MediaSet& m = f.Start();
    TDMediaItem* item = m.Open("dc.wav");
    item->SetVol(c.vol);
    item->SetPan(c.pan);
    EXPECT_EQ(item->GetVol(), c.vol);
    EXPECT_EQ(item->GetPan(), c.pan);
    item->Play();
    auto out = f.Run(20);
    EXPECT_NEAR(out[100], c.left, 2) << c.vol << " " << c.pan;
    EXPECT_NEAR(out[101], c.right, 2) << c.vol << " " << c.pan;
  }
}

// The oldest archives keep every entry compressed: such a sound is read whole and plays as any.
TEST(MediaEngine, PlaysCompressedArchiveEntries) {
  test::MediaFixture f;
  f.Archive({{"tone.wav", test::MakeSound(kTone)}}, 100);
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("tone.wav");
  EXPECT_EQ(item->Failure(), "");
  item->Play();
  auto out = f.Run(120);
  auto src = test::SoundSamples(kTone);
  ASSERT_GE(out.size(), src.size());
  for (size_t i = 0; i < src.size(); ++i) ASSERT_EQ(out[i], src[i]) << i;
}

TEST(MediaEngine, MixesSourcesAsTheirClampedSum) {
  SoundShape a{SoundCodec::kWavPcm16, 2, 44100, 8820, 300, 0.7};
  SoundShape b{SoundCodec::kWavPcm16, 2, 44100, 8820, 0, 0.7};  // noise
  test::MediaFixture f;
  f.Archive({{"a.wav", test::MakeSound(a)}, {"b.wav", test::MakeSound(b)}});
  MediaSet& m = f.Start();
  m.Open("a.wav")->Play();
  m.Open("b.wav")->Play();
  auto out = f.Run(200);
  auto sa = test::SoundSamples(a), sb = test::SoundSamples(b);
  for (size_t i = 0; i < sa.size(); ++i)
    ASSERT_EQ(out[i], std::clamp(sa[i] + sb[i], -32768, 32767)) << i;
  for (size_t i = sa.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST(MediaEngine, ASoundStartsInTheNextBufferTheDeviceTakes) {
  test::MediaFixture f;
  f.Archive({{"tone.wav", test::MakeSound(kTone)}});
  MediaSet& m = f.Start();
  std::vector<int16_t> out;
  f.Frame(16, &out);
  m.Open("tone.wav")->Play();
  size_t before = out.size();
  f.Frame(16, &out);
  EXPECT_EQ(FirstSound(out), static_cast<int64_t>(before / 2) + FirstSound(test::SoundSamples(kTone)));
}

TEST(TDMediaManager, SuspendResumesOnlyWhatWasAudible) {
  SoundShape longTone{SoundCodec::kWavPcm16, 2, 44100, 44100 * 3};
  test::MediaFixture f;
  f.Archive({{"a.wav", test::MakeSound(longTone)}, {"b.wav", test::MakeSound(longTone)}});
  MediaSet& m = f.Start();
  TDMediaItem* playing = m.Open("a.wav");
  TDMediaItem* paused = m.Open("b.wav");
  playing->Play();
  paused->Play();
  f.Run(100);
  paused->Pause();
  m.Suspend();
  EXPECT_TRUE(playing->IsPaused());
  EXPECT_TRUE(playing->ResumeMark);
  EXPECT_FALSE(paused->ResumeMark);
  int32_t at = playing->GetPosition();
  f.Run(100);
  EXPECT_EQ(playing->GetPosition(), at);
  m.Suspend();  // a second Suspend changes nothing
  EXPECT_TRUE(playing->ResumeMark);
  m.Resume();
  EXPECT_TRUE(playing->IsPlaying());
  EXPECT_TRUE(paused->IsPaused());
  EXPECT_FALSE(playing->ResumeMark);

  // The sound switch: off pauses, on resumes from the same place; Play does nothing while off.
  m.SetSoundEnabled(false);
  EXPECT_FALSE(m.Ogg().Enabled());
  EXPECT_TRUE(playing->IsPaused());
  at = playing->GetPosition();
  paused->Play();
  EXPECT_TRUE(paused->IsPaused());
  m.SetSoundEnabled(true);
  EXPECT_TRUE(playing->IsPlaying());
  EXPECT_EQ(playing->GetPosition(), at);
  EXPECT_TRUE(paused->IsPaused());
}

TEST(MediaSet, ChoosesTheManagerByExtension) {
  test::MediaFixture f;
  MediaSet& m = f.Start();
  EXPECT_EQ(m.ManagerFor("bgm\\a.MID"), static_cast<TDMediaManager*>(&m.Midi()));
  EXPECT_EQ(m.ManagerFor("a.sgt"), static_cast<TDMediaManager*>(&m.Midi()));
  EXPECT_EQ(m.ManagerFor("a.Wma"), static_cast<TDMediaManager*>(&m.Wmp()));
  EXPECT_EQ(m.ManagerFor("a.asf"), static_cast<TDMediaManager*>(&m.Wmp()));
  EXPECT_EQ(m.ManagerFor("a.OGG"), static_cast<TDMediaManager*>(&m.Ogg()));
  EXPECT_EQ(m.ManagerFor("a.wav"), static_cast<TDMediaManager*>(&m.Ogg()));
  EXPECT_EQ(m.ManagerFor("CD_3"), static_cast<TDMediaManager*>(&m.Cdda()));
  EXPECT_EQ(m.ManagerFor("a.mp3"), nullptr);
  EXPECT_EQ(m.Open("a.txt"), nullptr);
}

TEST(MediaSet, BadSoundsStaySilentAndSayWhy) {
  std::string wav = test::MakeSound(kTone);
  std::string huge = wav;
  huge[40] = '\xF0', huge[41] = '\xFF', huge[42] = '\xFF', huge[43] = '\xFF';
  std::string ogg = test::MakeSound({SoundCodec::kVorbis, 2, 44100, 4410});
  for (bool direct : {true, false}) {
    SCOPED_TRACE(direct ? "engine" : "wave mixer");
    test::MediaFixture f;
    f.Archive({{"empty.ogg", ""}, {"text.wav", "not a sound, only text"}, {"cut.ogg", ogg.substr(0, 60)},
               {"huge.wav", huge}, {"empty.wma", ""}});
    MediaSettings settings;
    settings.DirectSound = direct;
    MediaSet& m = f.Start(settings);
    for (const char* name : {"empty.ogg", "text.wav", "cut.ogg", "missing.ogg", "empty.wma", "CD_9", "CD_x"}) {
      SCOPED_TRACE(name);
      TDMediaItem* item = m.Open(name);
      ASSERT_NE(item, nullptr);
      EXPECT_NE(item->Failure(), "");
      item->SetAutoRepeat(true);
      item->Play();
      EXPECT_EQ(item->GetLen(), 0);
    }
    // The 4 GB header plays the 100 ms that are there and ends.
    TDMediaItem* lying = m.Open("huge.wav");
    lying->Play();
    auto out = f.Run(direct ? 300 : 1500);
    EXPECT_TRUE(lying->IsEnd());
    int64_t loud = 0;
    for (int16_t s : out) loud += s != 0;
    EXPECT_LE(loud, 4410 * 2);
  }
}

TEST(MediaSet, NoDeviceStillRunsSoundsOnTheFrameClock) {
  test::MediaFixture f;
  f.Archive({{"tone.wav", test::MakeSound(kTone)}});
  MediaSet& m = f.Start({}, false);
  EXPECT_FALSE(m.HasDevice());
  TDMediaItem* item = m.Open("tone.wav");
  item->Play();
  f.Run(60);
  EXPECT_NEAR(item->GetPosition(), 60, 1);
  f.Run(60);
  EXPECT_TRUE(item->IsEnd());
}

// An output whose device cannot be opened, as on a machine without sound.
class BrokenOutput final : public test::CaptureOutput {
 public:
  void OpenPull(PullCallback, int) override { throw Error("no audio device"); }
};

TEST(MediaSet, AnOutputThatFailsToOpenMeansSilentPlay) {
  test::MediaFixture f;
  f.Archive({{"tone.wav", test::MakeSound(kTone)}});
  std::filesystem::create_directories(f.dir / "game");
  f.files.SetBaseFolder(f.dir / "game/");
  f.files.AddArchive(f.dir / "game/game.dat");
  MediaSet m(f.files, std::make_unique<BrokenOutput>(), MediaSettings{});
  EXPECT_FALSE(m.HasDevice());
  TDMediaItem* item = m.Open("tone.wav");
  item->Play();
  for (int i = 0; i < 6; ++i) m.Update(20);
  EXPECT_TRUE(item->IsEnd());
}

TEST(TOggWaveItem, GainRule) {
  const std::pair<int32_t, int32_t> cases[] = {{0, 256}, {-2500, 128}, {-5000, 0}, {-7000, 0}, {-10000, 0}, {-1, 255}};
  for (auto [vol, gain] : cases) EXPECT_EQ(TOggWaveItem::GainOf(vol), gain) << vol;
}

TEST(TWavOut, ConvertsEverySourceFormatKeepingChannelsApart) {
  struct Case {
    SoundShape shape;
    int repeat;
  } cases[] = {{{SoundCodec::kWavPcm16, 2, 22050, 2205, 440, 0.5}, 2},
               {{SoundCodec::kWavPcm16, 1, 44100, 4410, 440, 0.5}, 1},
               {{SoundCodec::kWavPcm8, 2, 44100, 4410, 440, 0.5}, 1},
               {{SoundCodec::kWavPcm8, 1, 22050, 2205, 440, 0.5}, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.shape.Channels << "ch " << c.shape.SampleRate << " " << (c.shape.Codec == SoundCodec::kWavPcm8 ? 8 : 16));
    test::MediaFixture f;
    f.Archive({{"a.wav", test::MakeSound(c.shape)}});
    MediaSettings settings;
    settings.DirectSound = false;
    settings.DelayTime = 100;
    MediaSet& m = f.Start(settings);
    TDMediaItem* item = m.Open("a.wav");
    ASSERT_EQ(item->Failure(), "");
    EXPECT_EQ(item->GetLen(), 100);
    item->Play();
    f.Frame(20);  // the service pass queues the first blocks
    auto out = f.Run(100);
    auto src = test::SoundSamples(c.shape);
    const bool eight = c.shape.Codec == SoundCodec::kWavPcm8;
    for (size_t frame = 0; frame < 4000; ++frame) {
      size_t s = frame / static_cast<size_t>(c.repeat);
      int16_t l = src[s * static_cast<size_t>(c.shape.Channels)];
      int16_t r = src[s * static_cast<size_t>(c.shape.Channels) + (c.shape.Channels - 1)];
      if (eight) l = static_cast<int16_t>((l >> 8) * 256), r = static_cast<int16_t>((r >> 8) * 256);
      // The first frame pulled belongs to the frame step before, so skip its share.
      size_t o = frame * 2;
      ASSERT_EQ(out[o], l) << frame;
      ASSERT_EQ(out[o + 1], r) << frame;
    }
  }
}

TEST(TWavOut, GainHalvesAndEndedWaitsForTheQueuedBlocks) {
  SoundShape dc{SoundCodec::kWavPcm16, 2, 44100, 4410, 0, 0.0};
  std::string bytes = test::MakeSound(dc);
  for (size_t i = 44; i + 1 < bytes.size(); i += 2) bytes[i] = static_cast<char>(0x10), bytes[i + 1] = static_cast<char>(0x27);  // 10000
  test::MediaFixture f;
  f.Archive({{"dc.wav", bytes}});
  MediaSettings settings;
  settings.DirectSound = false;
  settings.DelayTime = 100;
  MediaSet& m = f.Start(settings);
  TDMediaItem* item = m.Open("dc.wav");
  item->SetVol(-2500);
  item->Play();
  std::vector<int16_t> out;
  f.Frame(10, &out);
  f.Frame(10, &out);
  EXPECT_EQ(out.back(), 5000);
  // The whole 100 ms were mixed in the first block; Ended waits 2 × DelayTime + 10 ms after that.
  for (int t = 20; t < 200; t += 10) {
    f.Frame(10);
    EXPECT_FALSE(item->IsEnd()) << t;
  }
  f.Frame(30);
  EXPECT_TRUE(item->IsEnd());
}

TEST(TCddaItem, PlaysARippedTrackInWholeSeconds) {
  SoundShape track{SoundCodec::kWavPcm16, 2, 44100, 44100 * 3, 200, 0.5};
  test::MediaFixture f;
  f.Loose("CDDA/03.WAV", test::MakeSound(track));
  MediaSet& m = f.Start();
  EXPECT_NE(m.Cdda().FindTrackFile(3), "");
  EXPECT_EQ(m.Cdda().FindTrackFile(4), "");
  TDMediaItem* item = m.Open("CD_3");
  TDMediaItem* missing = m.Open("CD_4");
  EXPECT_EQ(item->Failure(), "");
  EXPECT_NE(missing->Failure(), "");
  EXPECT_EQ(item->GetLen(), 3000);
  item->SetVol(-2500);  // half of full level, linearly
  item->Play();
  auto out = f.Run(1500);
  auto src = test::SoundSamples(track);
  EXPECT_NEAR(out[2000], src[2000] / 2, 1);
  EXPECT_EQ(item->GetPosition(), 1000);
  item->Pause();
  EXPECT_EQ(item->GetPosition(), 1000);
  missing->Play();  // the CD plays one track at a time
  EXPECT_FALSE(item->IsPlaying());
  item->Play();  // again from the saved second
  EXPECT_TRUE(item->IsPlaying());
  f.Run(100);
  EXPECT_EQ(item->GetPosition(), 1000);
}

}  // namespace
}  // namespace orin
