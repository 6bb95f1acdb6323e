#include "media/midi_manager.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/text.h"
#include "media/media_engine.h"
#include "media_fixture.h"
#include "midi_fixtures.h"

namespace orin {
namespace {
using namespace literals;

using test::AsString;
using test::Smf;
using test::SmfTrack;

// An organ note that holds (no decay to hide a level change), dry (no reverb tail to blur an
// onset), starting at 500 ms and held to 3 s.
std::vector<uint8_t> HeldOrgan() {
  SmfTrack t;
  t.Program(0, 0, 16).Control(0, 0, 91, 0).Control(0, 0, 93, 0).NoteOn(480, 0, 69, 110).NoteOff(2400, 0, 69).End();
  return Smf(0, 480, {t});
}

double Rms(const std::vector<int16_t>& s, uint32_t fromMs, uint32_t toMs) {
  size_t from = static_cast<size_t>(fromMs) * 441 / 10 * 2, to = static_cast<size_t>(toMs) * 441 / 10 * 2;
  double sum = 0;
  for (size_t i = from; i < to && i < s.size(); ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// The first millisecond with sound in it.
uint32_t OnsetMs(const std::vector<int16_t>& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (std::abs(s[i]) > 200) return static_cast<uint32_t>(i / 2 * 10 / 441);
  return UINT32_MAX;
}

// The tests that listen need the SoundFont setup installs; without one they cannot hear anything.
bool Audible(TMidiManager& midi) {
  if (midi.SynthFailure().empty()) return true;
  return false;
}

TEST(TMidiManager, ListsTheMapperFirstAndClampsSelection) {
  test::MediaFixture f;
  MediaSet& m = f.Start();
  const auto& names = m.Midi().DeviceNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], "MIDIマッパー"_sj);
  EXPECT_EQ(m.Midi().DeviceName(-1), "MIDIマッパー"_sj);
  EXPECT_EQ(m.Midi().DeviceName(static_cast<int>(names.size())), "MIDIマッパー"_sj);
  m.Midi().SelectDevice(1000);
  EXPECT_EQ(m.Midi().SelectedDevice(), static_cast<int>(names.size()) - 1);
  m.Midi().SelectDevice(-5);
  EXPECT_EQ(m.Midi().SelectedDevice(), 0);
}

TEST(TMidiItem, ANoteStartsAtItsTimeInTheCapture) {
  test::MediaFixture f;
  f.Archive({{"bgm\\organ.mid", AsString(HeldOrgan())}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("bgm\\organ.mid");
  item->Play();
  if (!Audible(m.Midi())) GTEST_SKIP() << m.Midi().SynthFailure();
  EXPECT_TRUE(item->IsPlaying());
  EXPECT_EQ(item->GetLen(), 3000);
  auto out = f.Run(1000);
  uint32_t onset = OnsetMs(out);
  EXPECT_GE(onset, 500u);
  EXPECT_LE(onset, 520u);
}

TEST(TMidiItem, VolumeScalesChannelVolume) {
  test::MediaFixture f;
  f.Archive({{"organ.mid", AsString(HeldOrgan())}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("organ.mid");
  item->Play();
  if (!Audible(m.Midi())) GTEST_SKIP() << m.Midi().SynthFailure();
  auto full = f.Run(1000);
  item->SetVol(-5000);  // the sound object's volume 500: channel volume at 50 %
  auto half = f.Run(500);
  double ratio = Rms(half, 200, 500) / Rms(full, 700, 1000);
  // Channel volume 63 of 127 is 40·log10(63/127) ≈ −12 dB under General MIDI's curve.
  EXPECT_NEAR(ratio, 0.25, 0.06);
  EXPECT_EQ(item->GetVol(), -5000);
}

TEST(TMidiItem, ASeekBackwardsKeepsTheChannelsProgram) {
  // Organ from 500 ms to 1.5 s, then a change to a plucked string for a short note at 1.7 s.
  SmfTrack t;
  t.Program(0, 0, 16).Control(0, 0, 91, 0).Control(0, 0, 93, 0).NoteOn(480, 0, 69, 110).NoteOff(960, 0, 69)
      .Program(96, 0, 24).NoteOn(96, 0, 69, 110).NoteOff(96, 0, 69).Control(1000, 0, 64, 0).End(100);
  test::MediaFixture f;
  f.Archive({{"change.mid", AsString(Smf(0, 480, {t}))}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("change.mid");
  item->Play();
  if (!Audible(m.Midi())) GTEST_SKIP() << m.Midi().SynthFailure();
  auto first = f.Run(1400);
  f.Run(1400);  // the program change and the plucked note have been sent
  EXPECT_TRUE(item->IsPlaying());
  item->SetPosition(0);
  auto again = f.Run(1400);
  // The organ holds its level where the plucked string would have died away to a tenth.
  double held = Rms(again, 1000, 1400) / Rms(first, 1000, 1400);
  EXPECT_GT(held, 0.7);
  EXPECT_LT(held, 1.3);
}

TEST(TMidiItem, PauseKeepsThePositionAndASecondItemTakesOver) {
  test::MediaFixture f;
  f.Archive({{"a.mid", AsString(HeldOrgan())}, {"b.mid", AsString(HeldOrgan())}});
  MediaSet& m = f.Start();
  TDMediaItem* a = m.Open("a.mid");
  TDMediaItem* b = m.Open("b.mid");
  a->Play();
  f.Run(400);
  a->Pause();
  EXPECT_FALSE(a->IsPlaying());
  EXPECT_NEAR(a->GetPosition(), 400, 10);
  b->Play();
  EXPECT_TRUE(b->IsPlaying());
  EXPECT_FALSE(a->IsPlaying());
  f.Run(200);
  a->Play();
  EXPECT_FALSE(b->IsPlaying());
  EXPECT_TRUE(a->IsPlaying());
  EXPECT_FALSE(a->IsEnd());
  f.Run(3000);
  EXPECT_TRUE(a->IsEnd());
}

TEST(TMidiItem, MissingOrEmptyFilesEndAtOnceWithAReason) {
  test::MediaFixture f;
  f.Archive({{"empty.mid", ""}, {"text.mid", "plain text, no music"}});
  MediaSet& m = f.Start();
  for (const char* name : {"empty.mid", "missing.mid", "text.mid"}) {
    SCOPED_TRACE(name);
    TDMediaItem* item = m.Open(name);
    item->Play();
    f.Run(40);
    EXPECT_TRUE(item->IsEnd());
    EXPECT_FALSE(item->IsPlaying());
    EXPECT_EQ(item->GetLen(), 0);
  }
  EXPECT_NE(m.Midi().Items(0)->Failure(), "");
}

TEST(TMidiItem, DisabledManagerStartsNothingAndResumesWhereItWas) {
  test::MediaFixture f;
  f.Archive({{"organ.mid", AsString(HeldOrgan())}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("organ.mid");
  item->Play();
  f.Run(600);
  m.SetSoundEnabled(false);
  EXPECT_FALSE(item->IsPlaying());
  int32_t at = item->GetPosition();
  EXPECT_NEAR(at, 600, 10);
  item->Play();
  EXPECT_FALSE(item->IsPlaying());
  m.SetSoundEnabled(true);
  EXPECT_TRUE(item->IsPlaying());
}

TEST(TMidiManager, DisplaySwitchClosesTheDeviceAndGoesOn) {
  test::MediaFixture f;
  f.Archive({{"organ.mid", AsString(HeldOrgan())}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("organ.mid");
  item->Play();
  f.Run(800);
  m.Midi().BeforeDisplaySwitch();
  EXPECT_FALSE(item->IsPlaying());
  EXPECT_FALSE(m.Midi().Sequencer().IsOpen());
  auto during = f.Run(200);
  m.Midi().AfterDisplaySwitch();
  EXPECT_TRUE(item->IsPlaying());
  EXPECT_NEAR(item->GetPosition(), 800, 20);
  if (!Audible(m.Midi())) return;
  EXPECT_TRUE(m.Midi().Sequencer().IsOpen());
  EXPECT_LT(Rms(during, 100, 200), 50);
}

}  // namespace
}  // namespace orin

namespace orin {
namespace {

// The synthesizer honours a GS reset from the file: the channel volume of 0 set before it is
// back at its default, so the note after it sounds.
TEST(TMidiItem, TheSynthesizerHonoursAGsReset) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "with GS reset" : "without");
    SmfTrack t;
    t.Program(0, 0, 16).Control(0, 0, 7, 0);
    if (reset) t.SysEx(10, 0xF0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
    t.Program(10, 0, 16).NoteOn(240, 0, 69, 110).NoteOff(480, 0, 69).End();
    test::MediaFixture f;
    f.Archive({{"gs.mid", AsString(Smf(0, 480, {t}))}});
    MediaSet& m = f.Start();
    TDMediaItem* item = m.Open("gs.mid");
    item->Play();
    if (!Audible(m.Midi())) GTEST_SKIP() << m.Midi().SynthFailure();
    auto out = f.Run(800);
    EXPECT_EQ(Rms(out, 400, 700) > 100, reset);
  }
}

}  // namespace
}  // namespace orin

namespace orin {
namespace {

// Play sends GM System On, which resets the synthesizer's programs; a resume must bring them back
// even when it lands exactly on an event's time (then nothing lies between the target and the
// next event to chase).
TEST(TMidiItem, ResumingOnAnEventsTimeKeepsTheProgram) {
  SmfTrack t;
  t.Program(0, 0, 16).Control(0, 0, 91, 0).Control(0, 0, 93, 0).Control(384, 0, 1, 0).NoteOn(96, 0, 69, 110)
      .NoteOff(1920, 0, 69).End();  // the controller at 400 ms, the organ note from 500 ms to 2.5 s
  test::MediaFixture f;
  f.Archive({{"organ.mid", AsString(Smf(0, 480, {t}))}});
  MediaSet& m = f.Start();
  TDMediaItem* item = m.Open("organ.mid");
  item->Play();
  if (!Audible(m.Midi())) GTEST_SKIP() << m.Midi().SynthFailure();
  auto straight = f.Run(1800);
  item->SetPosition(0);
  f.Run(410, 410);  // its last step is at 400 ms: the controller at 400 is the next event
  item->Pause();
  ASSERT_EQ(item->GetPosition(), 400);
  item->Play();
  auto resumed = f.Run(1400);
  double held = Rms(resumed, 1000, 1400) / Rms(straight, 1400, 1800);
  EXPECT_GT(held, 0.7);
  EXPECT_LT(held, 1.3);
}

}  // namespace
}  // namespace orin
