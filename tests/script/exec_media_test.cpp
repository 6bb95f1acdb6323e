// The media commands as the interpreter runs them on sound objects: TComSound starting a sound
// (with a fade-in when it has a fade time), TComMovieStop stopping one at once or fading it out
// and waiting for it, its state record, and TComMediaPlay restarting a sound.
#include <gtest/gtest.h>

#include <memory>

#include "game_test_support.h"
#include "media/audio_output.h"
#include "media/media_item.h"
#include "media/media_objects.h"
#include "media/media_set.h"
#include "media/ogg_manager.h"
#include "media/orin_sound.h"
#include "script/commands_text.h"
#include "script/object_creation_hooks.h"
#include "support/byte_builder.h"
#include "support/sound_fixtures.h"

namespace orin {
namespace {

using test::Le32;

// A game whose scene makes sound objects on a media set without a device (the frame clock plays
// them silently), with the player's creation hooks. bgm.wav lasts 2 s, se.wav 100 ms.
class MediaGame : public test::TestGame {
 public:
  MediaGame() {
    AddFile("bgm.wav", test::MakeSound({test::SoundCodec::kWavPcm16, 2, 44100, 88200, 440, 0.5}));
    AddFile("se.wav", test::MakeSound({test::SoundCodec::kWavPcm16, 2, 44100, 4410, 440, 0.5}));
    media = std::make_unique<MediaSet>(files, nullptr, MediaSettings{});
    objects = std::make_unique<MediaObjects>(*media);
    scene.SetServices({.Media = objects.get()});
  }
  ~MediaGame() override {
    callMan.reset();
    callManPtr = nullptr;
    scene.Clear();
  }

  CreationHooks* Creation() override { return &hooks; }
  void Frame(int32_t delta = 16) override {
    TestGame::Frame(delta);
    media->Update(static_cast<uint32_t>(delta));
  }
  TOrinSound* Sound(const char* name) { return dynamic_cast<TOrinSound*>(scene.Find(name)); }

  ObjectCreationHooks hooks = ObjectCreationHooks::Standard();
  std::unique_ptr<MediaSet> media;
  std::unique_ptr<MediaObjects> objects;
};

const std::string kHead =
    "page version=110 return=int\n"
    "propset Sound name file loop interval\n";

std::string SoundCommand(const char* name, const char* file, int fade, bool loop = false) {
  return std::string("Sound chain\n    name={\"") + name + "\"}\n    file={\"" + file + "\"}\n    loop={" +
         (loop ? "TRUE" : "FALSE") + "}\n    interval={" + std::to_string(fade) + "}\n";
}

TEST(TComSound, StartsPlayingOrFadingIn) {
  MediaGame g;
  g.AddPage("main.osb", kHead + SoundCommand("a", "bgm.wav", 0) + SoundCommand("b", "bgm.wav", 300) + "Wait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  TOrinSound* a = g.Sound("a");
  TOrinSound* b = g.Sound("b");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->State(), MediaObject::kPlay);
  EXPECT_EQ(a->Item()->GetVol(), 0);
  EXPECT_EQ(b->State(), MediaObject::kFadeIn);
  EXPECT_TRUE(b->Fading());
  EXPECT_EQ(a->Item()->Failure(), "");
  EXPECT_TRUE(a->IsPlaying());
  EXPECT_TRUE(b->IsPlaying());
}

TEST(TComMovieStop, AtOnceDeletesWithoutWaiting) {
  MediaGame g;
  g.AddPage("main.osb", kHead + SoundCommand("bgm", "bgm.wav", 0) + "Wait\n");
  g.AddPage("stop.osb",
            "page version=110 return=int\n"
            "MovieStop object={\"bgm\"} fade={0} wait={TRUE} nointerrupt={} id=1 chain\n"
            "Calc {0} id=2\n");
  g.callMan->Start("main.osb");
  g.Frame();
  ASSERT_NE(g.Sound("bgm"), nullptr);
  g.Raise("stop.osb");
  g.Frame();
  EXPECT_EQ(g.scene.Find("bgm"), nullptr);
  EXPECT_EQ(g.media->Ogg().Count(), 0);
  EXPECT_TRUE(g.Ran("stop.osb(2)"));
}

TEST(TComMovieStop, FadeOutWaitsUntilTheSoundIsGone) {
  MediaGame g;
  g.AddPage("main.osb", kHead + SoundCommand("bgm", "bgm.wav", 0) +
                            "MovieStop object={\"bgm\"} fade={200} wait={TRUE} nointerrupt={TRUE} id=1 chain\n"
                            "Calc {0} id=2\nWait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  const TCommand& running = *g.callMan->CurrentPage()->Commands[g.callMan->Index()];
  ASSERT_EQ(running.Kind(), ComKind::MovieStop);
  EXPECT_TRUE(running.Blocking());
  EXPECT_TRUE(running.Uninterruptible());
  // The record names the sound as it is called while it fades.
  std::unique_ptr<MemoryStream> saved;
  running.SaveState(saved);
  ASSERT_TRUE(saved);
  const std::string scrap = "\x01SCRAP_bgm";
  EXPECT_EQ(saved->View(), "orin100" + Le32(static_cast<int32_t>(scrap.size())) + scrap + std::string("\x01\x01", 2));
  TPage page;
  auto& fresh = page.Add<TComMovieStop>(ComKind::MovieStop);
  saved->SetPosition(0);
  fresh.LoadState(*saved);
  EXPECT_EQ(saved->Remaining(), 0);
  std::unique_ptr<MemoryStream> again;
  fresh.SaveState(again);
  EXPECT_EQ(again->View(), saved->View());

  g.Frames(10);  // 160 ms: still fading
  EXPECT_FALSE(g.Ran("main.osb(2)"));
  g.Frames(4);
  EXPECT_TRUE(g.Ran("main.osb(2)"));
  EXPECT_EQ(g.media->Ogg().Count(), 0);
}

// A sound whose file is missing is not faded (nothing to wait for); one that has been stopped
// already is not found. Neither holds the script up.
TEST(TComMovieStop, NothingToFadeDoesNotWait) {
  MediaGame g;
  g.AddPage("main.osb", kHead + SoundCommand("gone", "nothere.wav", 0) +
                            "MovieStop object={\"gone\"} fade={500} wait={TRUE} nointerrupt={} id=1 chain\n"
                            "MovieStop object={\"none\"} fade={500} wait={TRUE} nointerrupt={} id=2 chain\n"
                            "Calc {0} id=3\nWait\n");
  g.callMan->Start("main.osb");
  g.Frame();
  EXPECT_TRUE(g.Ran("main.osb(3)"));
}

TEST(TComMediaPlay, RestartsAnEndedSound) {
  MediaGame g;
  g.AddPage("main.osb", kHead + SoundCommand("se", "se.wav", 0) + "Wait\n");
  g.AddPage("again.osb", "page version=110 return=int\nMediaPlay object={\"se\"} id=1\n");
  g.callMan->Start("main.osb");
  g.Frames(15);
  TOrinSound* se = g.Sound("se");
  ASSERT_NE(se, nullptr);
  EXPECT_TRUE(se->Finished());
  EXPECT_FALSE(se->IsPlaying());
  g.Raise("again.osb");
  g.Frame();
  EXPECT_FALSE(se->Finished());
  EXPECT_TRUE(se->IsPlaying());
  EXPECT_LT(se->Item()->GetPosition(), 50);
}

}  // namespace
}  // namespace orin
