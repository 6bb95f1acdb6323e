#include <gtest/gtest.h>

#include "media/media_engine.h"
#include "media/media_objects.h"
#include "media/ogg_manager.h"
#include "media/orin_sound.h"
#include "media_fixture.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"

namespace orin {
namespace {

using test::SoundCodec;
using test::SoundShape;

const SoundShape kShort{SoundCodec::kWavPcm16, 2, 44100, 4410, 440, 0.5};     // 100 ms
const SoundShape kLong{SoundCodec::kWavPcm16, 2, 44100, 44100 * 5, 440, 0.5};  // 5 s
const SoundShape kTwoSeconds{SoundCodec::kWavPcm16, 2, 44100, 44100 * 2, 440, 0.5};

// A scene whose sound objects play through a media set on a capturing output; Frame runs the
// device's share of a frame, the scene step and the media update, as the player does.
struct SoundScene {
  test::MediaFixture f;
  std::unique_ptr<MediaObjects> objects;
  std::unique_ptr<TOrinBaseList> scene;

  explicit SoundScene(MediaSettings settings = {}) {
    f.Archive({{"short.wav", test::MakeSound(kShort)},
               {"long.wav", test::MakeSound(kLong)},
               {"two.wav", test::MakeSound(kTwoSeconds)}});
    f.Start(settings);
    objects = std::make_unique<MediaObjects>(*f.media);
    scene = MakeScene();
  }
  ~SoundScene() { scene.reset(); }

  std::unique_ptr<TOrinBaseList> MakeScene() {
    return std::make_unique<TOrinBaseList>(&f.files, SceneServices{.Media = objects.get()});
  }

  TOrinSound* Make(const std::string& name, const std::string& source, int32_t fadeTime = 0) {
    auto* s = static_cast<TOrinSound*>(scene->Create(kKindSound));
    s->Rename(name);
    s->SetSource(source);
    s->SetFadeTime(fadeTime);
    return s;
  }
  void Frame(uint32_t ms = 20, std::vector<int16_t>* samples = nullptr) {
    f.output->Pull(static_cast<size_t>(ms) * 441 / 10, samples);
    scene->Step();
    f.media->Update(ms);
  }
  void Run(uint32_t ms, std::vector<int16_t>* samples = nullptr) {
    for (uint32_t t = 0; t < ms; t += 20) Frame(20, samples);
  }
  int OggItems() { return f.media->Ogg().Count(); }
  int EndEvents(const TOrinObject* o) {
    int n = 0;
    for (int i = 0; i < scene->Events().Count(); ++i)
      n += scene->Events()[i].Object == o && scene->Events()[i].Code == kEventMotionFinished;
    return n;
  }
};

TEST(TOrinSound, ItemVolumeMapsOntoHundredthsOfADecibel) {
  struct Case {
    int32_t volume;
    bool midi;
    int32_t item;
  } cases[] = {{0, false, -10000},   {1000, false, 0},     {500, false, -2500}, {1, false, -4995},
               {1500, false, 0},     {-20, false, -10000}, {500, true, -5000},  {0, true, -10000},
               {1000, true, 0},      {INT32_MAX, false, 0}, {INT32_MIN, true, INT32_MIN}};
  for (const Case& c : cases)
    EXPECT_EQ(TOrinSound::ItemVolume(c.volume, c.midi), c.item) << c.volume << (c.midi ? " midi" : "");
}

TEST(TOrinMixer, FadesCoverTheUpperHalfExceptForMidi) {
  SoundScene s;
  TDMediaItem* item = s.f.media->Open("short.wav");
  struct Case {
    int32_t from, to;
    bool midi;
    int64_t elapsed;
    int32_t volume;
  } cases[] = {
      {0, -10000, false, 0, 0},          {0, -10000, false, 500, -2500},   {0, -10000, false, 999, -4995},
      {0, -10000, false, 1000, -10000},  {-10000, 0, false, 0, -5000},     {-10000, 0, false, 500, -2500},
      {-10000, 0, false, 1000, 0},       {0, -10000, true, 500, -5000},    {-10000, -2500, true, 250, -8125},
      {-10000, -2500, false, 500, -4375}, {0, -10000, false, 5000, -10000},
  };
  for (const Case& c : cases) {
    TOrinMixer m(*item, c.from, c.to, 1000, 0, c.midi);
    EXPECT_EQ(m.VolumeAt(c.elapsed), c.volume) << c.from << "→" << c.to << " at " << c.elapsed;
  }
  // A fade lasting most of the 32-bit range does not overflow halfway.
  TOrinMixer longFade(*item, 0, -10000, 2000000000, 0, false);
  EXPECT_EQ(longFade.VolumeAt(1000000000), -2500);
}

TEST(TOrinSound, PlaysAtItsVolumeAndStopsByFreeingItself) {
  SoundScene s;
  TOrinSound* sound = s.Make("bgm", "long.wav");
  sound->SetVolume(500);
  sound->SetState(MediaObject::kFadeIn);  // no fade time: plain play
  EXPECT_EQ(sound->State(), MediaObject::kPlay);
  ASSERT_NE(sound->Item(), nullptr);
  EXPECT_EQ(sound->Item()->GetVol(), -2500);
  EXPECT_TRUE(sound->IsPlaying());
  s.Run(100);
  EXPECT_EQ(s.OggItems(), 1);
  sound->SetState(MediaObject::kStopped);
  EXPECT_EQ(s.OggItems(), 0);
  EXPECT_TRUE(sound->IsDeleted());
  s.Frame();
  EXPECT_EQ(s.scene->Find("bgm"), nullptr);
}

TEST(TOrinSound, MissingSourceStaysSilentAndFreesWhenAsked) {
  for (bool freeWhenFinished : {false, true}) {
    SoundScene s;
    TOrinSound* sound = s.Make("se", "nothere.ogg");
    sound->SetFreeWhenFinished(freeWhenFinished);
    sound->SetState(MediaObject::kPlay);
    EXPECT_EQ(sound->Item(), nullptr);
    EXPECT_EQ(sound->State(), MediaObject::kStopped);
    EXPECT_EQ(sound->IsDeleted(), freeWhenFinished);
    s.Frame();
  }
}

TEST(TOrinSound, FadeInFollowsTheMediaClock) {
  SoundScene s;
  TOrinSound* sound = s.Make("bgm", "long.wav", 1000);
  sound->SetState(MediaObject::kFadeIn);
  ASSERT_NE(sound->Item(), nullptr);
  EXPECT_EQ(sound->Item()->GetVol(), -10000);
  const uint32_t start = s.f.media->Engine().ClockMs();
  // The fade is read back at known clock times: half-way the volume is -2500.
  while (s.f.media->Engine().ClockMs() - start < 500) s.Frame();
  EXPECT_EQ(s.f.media->Engine().ClockMs() - start, 500u);
  EXPECT_EQ(sound->Item()->GetVol(), -2500);
  s.Run(500);
  EXPECT_EQ(sound->Item()->GetVol(), 0);
  EXPECT_FALSE(sound->Fading());
}

TEST(TOrinSound, FadeOutRenamesSoAnotherCanStartAndFreesAtTheEnd) {
  SoundScene s;
  TOrinSound* old = s.Make("bgm", "long.wav");
  old->SetState(MediaObject::kPlay);
  s.Run(100);
  old->SetFadeTime(400);
  old->SetState(MediaObject::kFadeOut);
  EXPECT_EQ(old->Name(), std::string("\x01SCRAP_bgm"));
  TOrinSound* next = s.Make("bgm", "short.wav");
  EXPECT_EQ(next->Name(), "bgm");
  EXPECT_EQ(s.scene->Find("bgm"), next);
  const uint64_t serial = old->Serial();
  s.Frame(200);
  EXPECT_NE(s.scene->FindBySerial(serial), nullptr);
  EXPECT_EQ(old->Item()->GetVol(), -2500);
  s.Frame(200);
  EXPECT_EQ(s.scene->FindBySerial(serial), nullptr);
  EXPECT_EQ(s.OggItems(), 0);  // the new one has not been played yet
}

TEST(TOrinSound, EndRaisesTheFinishedLabelOnce) {
  SoundScene s;
  TOrinSound* sound = s.Make("se", "short.wav");
  sound->SetEndLabel("start.osb:done");
  sound->SetState(MediaObject::kPlay);
  int raised = 0;
  for (int i = 0; i < 20; ++i) {
    s.Frame();
    raised += s.EndEvents(sound);
    // The script handled it at once; the ended item must not raise it again.
    s.scene->Events().Clear();
  }
  EXPECT_EQ(raised, 1);
  EXPECT_TRUE(sound->Finished());
  EXPECT_FALSE(sound->IsDeleted());
  // Looping switched on after the end rewinds and plays again.
  sound->SetLoop(true);
  EXPECT_FALSE(sound->Finished());
  s.Run(300);
  EXPECT_TRUE(sound->IsPlaying());
  EXPECT_EQ(s.EndEvents(sound), 0);
}

TEST(TOrinSound, FreeWhenFinishedGoesWithoutAnEvent) {
  SoundScene s;
  TOrinSound* sound = s.Make("se", "short.wav");
  sound->SetEndLabel("start.osb:done");
  sound->SetFreeWhenFinished(true);
  sound->SetState(MediaObject::kPlay);
  s.Run(200);
  EXPECT_EQ(s.scene->Find("se"), nullptr);
  EXPECT_EQ(s.scene->Events().Count(), 0);
  EXPECT_EQ(s.OggItems(), 0);
}

TEST(TOrinSound, PauseSilencesAndResumeGoesOn) {
  SoundScene s;
  TOrinSound* sound = s.Make("bgm", "long.wav");
  sound->SetVolume(1000);
  sound->SetState(MediaObject::kPlay);
  s.Run(200);
  sound->SetPaused(true);
  EXPECT_TRUE(sound->Item()->IsPaused());
  EXPECT_EQ(sound->Item()->GetVol(), -10000);
  const int32_t at = sound->Item()->GetPosition();
  s.Run(200);
  EXPECT_EQ(sound->Item()->GetPosition(), at);
  sound->SetPaused(false);
  EXPECT_EQ(sound->Item()->GetVol(), 0);
  EXPECT_TRUE(sound->IsPlaying());
}

TEST(TOrinSound, PropertiesReadBackAndPanIsClamped) {
  SoundScene s;
  TOrinSound* sound = s.Make("bgm", "long.wav");
  auto set = [&](int number, int32_t v) {
    auto p = CreateParam(kTypeInt);
    p->SetAsInt(v);
    s.scene->SetPropOf(*sound, number, *p);
  };
  auto get = [&](int number) {
    auto p = CreateParam(kTypeInt);
    s.scene->GetPropOf(*sound, number, *p);
    return p->GetAsInt();
  };
  set(28, 700);
  set(30, 20000);
  set(26, 250);
  EXPECT_EQ(get(28), 700);
  EXPECT_EQ(get(30), 10000);
  EXPECT_EQ(get(26), 250);
  EXPECT_EQ(get(kPropKind), kKindSound);
  sound->SetState(MediaObject::kPlay);
  EXPECT_EQ(sound->Item()->GetPan(), 10000);
  EXPECT_EQ(get(kPropBusy), 1);
}

// Saves the scene and loads it into a fresh one; version is the stream version the load reads.
std::unique_ptr<TOrinBaseList> SaveAndLoad(SoundScene& s, int version = kSceneSaveVersion) {
  MemoryStream m;
  s.scene->Save(m, version);
  s.scene.reset();  // the old sounds stop and give back their items
  auto loaded = s.MakeScene();
  m.SetPosition(0);
  loaded->Load(m, version);
  return loaded;
}

TEST(TOrinSound, SaveAndLoadResumesLongAndLoopingSoundsOnly) {
  SoundScene s;
  TOrinSound* bgm = s.Make("bgm", "long.wav");
  bgm->SetVolume(800);
  bgm->SetState(MediaObject::kPlay);
  TOrinSound* loop = s.Make("loop", "short.wav");
  loop->SetLoop(true);
  loop->SetState(MediaObject::kPlay);
  TOrinSound* voice = s.Make("voice", "two.wav");
  voice->SetState(MediaObject::kPlay);
  s.Run(1000);
  s.scene = SaveAndLoad(s);
  s.Frame();
  auto* b = static_cast<TOrinSound*>(s.scene->Find("bgm"));
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->IsPlaying());
  EXPECT_EQ(b->Volume(), 800);
  EXPECT_NEAR(b->Item()->GetPosition(), 1020, 30);
  auto* l = static_cast<TOrinSound*>(s.scene->Find("loop"));
  ASSERT_NE(l, nullptr);
  EXPECT_TRUE(l->IsPlaying());
  // The two-second voice was short enough not to be resumed: it stopped, freeing itself.
  EXPECT_EQ(s.scene->Find("voice"), nullptr);
}

TEST(TOrinSound, LoadHonoursTheRestartAndSilenceFlags) {
  struct Case {
    int version;
    bool restart, silence;
    int32_t position, volume;
  } cases[] = {
      {kSceneSaveVersion, true, false, 0, 900},
      {kSceneSaveVersion, false, true, 1000, 0},
      // Before these flags existed they are not in the record and count as off.
      {107, true, true, 1000, 900},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    SoundScene s;
    TOrinSound* bgm = s.Make("bgm", "long.wav");
    bgm->SetVolume(900);
    auto flag = CreateParam(kTypeFlag);
    flag->SetAsFlag(c.restart);
    bgm->SetProp(139, *flag);
    flag->SetAsFlag(c.silence);
    bgm->SetProp(158, *flag);
    bgm->SetState(MediaObject::kPlay);
    s.Run(1000);
    s.scene = SaveAndLoad(s, c.version);
    auto* b = static_cast<TOrinSound*>(s.scene->Find("bgm"));
    ASSERT_NE(b, nullptr);
    EXPECT_NEAR(b->Item()->GetPosition(), c.position, 30);
    EXPECT_EQ(b->Volume(), c.volume);
  }
}

TEST(TOrinSound, SoundSwitchAndFocusPauseEveryManager) {
  SoundScene s;
  TOrinSound* bgm = s.Make("bgm", "long.wav");
  bgm->SetState(MediaObject::kPlay);
  s.Run(100);
  s.objects->SetSoundOn(false);
  EXPECT_FALSE(s.objects->SoundOn());
  EXPECT_FALSE(bgm->IsPlaying());
  s.objects->SetSoundOn(true);
  EXPECT_TRUE(bgm->IsPlaying());
  s.objects->Suspend();
  EXPECT_FALSE(bgm->IsPlaying());
  s.objects->Resume();
  EXPECT_TRUE(bgm->IsPlaying());
}

}  // namespace
}  // namespace orin
