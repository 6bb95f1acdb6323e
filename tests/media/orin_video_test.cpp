#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "imaging/screen_surface.h"
#include "media/media_engine.h"
#include "media/media_objects.h"
#include "media/orin_video.h"
#include "media/video_manager.h"
#include "media_fixture.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "support/movie_fixtures.h"

namespace orin {
namespace {

using test::MovieCodec;

// 2 s of 160 x 120 at 25 fps: picture n shows from 40n ms.
const test::MovieShape kMovie{MovieCodec::kWmv2, 160, 120, 25, 50};

// A 320 x 240 scene whose video objects play through a media set on a capturing output; Frame
// runs the device's share of a frame, the scene step and the media update, as the player does.
struct VideoScene {
  test::MediaFixture f;
  std::unique_ptr<MediaObjects> objects;
  std::unique_ptr<TOrinBaseList> scene;

  explicit VideoScene(MediaSettings settings = {}) {
    std::string good = test::MakeMovie(kMovie);
    std::string huge = good;
    const std::string small("\x40\0\0\0\x30\0\0\0", 8), large("\x60\xEA\0\0\x60\xEA\0\0", 8);
    const std::string small2("\xA0\0\0\0\x78\0\0\0", 8);
    for (size_t at = huge.find(small2); at != std::string::npos; at = huge.find(small2, at + 8))
      huge.replace(at, 8, large);
    (void)small;
    f.Archive({{"movie.wmv", good},
               {"short.mpg", test::MakeMovie({MovieCodec::kMpeg1, 64, 48, 25, 10, false})},
               {"noise.wmv", std::string(4000, '\x33')},
               {"huge.wmv", huge},
               {"sound.wma", test::MakeSound({test::SoundCodec::kWma, 2, 44100, 22050})}});
    f.Start(settings);
    objects = std::make_unique<MediaObjects>(*f.media);
    scene = std::make_unique<TOrinBaseList>(&f.files, SceneServices{.Media = objects.get()});
    scene->SetSize(320, 240);
  }
  ~VideoScene() { scene.reset(); }

  TOrinVideo* Make(const std::string& source, int32_t left = 0, int32_t top = 0) {
    auto* v = static_cast<TOrinVideo*>(scene->Create(kKindVideo));
    v->SetSource(source);
    v->SetLeft(left);
    v->SetTop(top);
    return v;
  }
  void Frame(uint32_t ms = 20) {
    f.output->Pull(static_cast<size_t>(ms) * 441 / 10, nullptr);
    scene->Step();
    f.media->Update(ms);
  }
  void Run(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 20) Frame(20);
  }
  // The frame number the screen shows in the 160 x 120 box at (x, y).
  int ShownNumber(int x = 0, int y = 0) {
    scene->Draw();
    const TDIBSurface& p = scene->PresentSurface().Picture();
    const auto* px = reinterpret_cast<const uint32_t*>(p.ScanLine(y)) + x;
    return test::ReadFrameNumber(px, p.RowSize() / 4, 160, 120);
  }
  uint32_t Pixel(int x, int y) {
    scene->Draw();
    return scene->PresentSurface().Picture().GetPixel(x, y) & 0xFFFFFF;
  }
  int EndEvents(const TOrinObject* o) {
    int n = 0;
    for (int i = 0; i < scene->Events().Count(); ++i)
      n += scene->Events()[i].Object == o && scene->Events()[i].Code == kEventMotionFinished;
    return n;
  }
};

void SetInt(TOrinObject* o, int number, int32_t value) {
  TParamInt p;
  p.SetAsInt(value);
  o->SetProp(number, p);
}
void SetFlag(TOrinObject* o, int number, bool value) {
  TParamFlag p;
  p.SetAsFlag(value);
  o->SetProp(number, p);
}
int32_t GetInt(TOrinObject* o, int number) {
  TParamInt p;
  o->GetProp(number, p);
  return p.GetAsInt();
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 40 || d < -40) return false;
  }
  return true;
}

TEST(TOrinVideo, TheScreenShowsThePictureOfTheSoundClockFrameByFrame) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv");
  v->SetLabel(kEventMotionFinished, "done");
  v->SetState(MediaObject::kPlay);
  ASSERT_NE(v->Item(), nullptr);
  EXPECT_EQ(v->Width(), 160);
  EXPECT_EQ(v->Height(), 120);
  int last = -1;
  for (int frame = 1; frame <= 110; ++frame) {
    s.Frame();
    const int64_t clock = v->Item()->GetPosition();
    const int64_t shown = v->Item()->FrameTime();
    ASSERT_GE(shown, 0) << "frame " << frame;
    // The newest picture due: not ahead of the clock, not a whole picture behind it.
    EXPECT_LE(shown, clock);
    if (clock < 2000) {
      EXPECT_GT(shown + 40, clock);
    }
    const int n = s.ShownNumber();
    EXPECT_EQ(n, shown / 40) << "frame " << frame;
    EXPECT_GE(n, last);
    last = n;
    // The sound clock goes on with the frame steps: 20 ms each.
    if (frame == 90) {
      EXPECT_NEAR(static_cast<double>(clock), 1800.0, 60.0);
    }
  }
  EXPECT_EQ(last, 49);
  s.Run(400);
  EXPECT_TRUE(v->Item()->IsEnd());
  EXPECT_EQ(s.EndEvents(v), 1);
  s.Run(200);
  EXPECT_EQ(s.EndEvents(v), 1) << "raised once";
}

TEST(TOrinVideo, SameRunSameScreens) {
  std::vector<int> first, second;
  for (auto* out : {&first, &second}) {
    VideoScene s;
    TOrinVideo* v = s.Make("movie.wmv");
    v->SetState(MediaObject::kPlay);
    for (int i = 0; i < 60; ++i) {
      s.Frame(i % 3 == 0 ? 33 : 17);
      out->push_back(s.ShownNumber());
    }
  }
  EXPECT_EQ(first, second);
}

TEST(TOrinVideo, LoopingNeverEndsAndFreeWhenFinishedFreesTheObject) {
  VideoScene s;
  TOrinVideo* looping = s.Make("short.mpg");
  looping->SetLabel(kEventMotionFinished, "done");
  looping->SetLoop(true);
  looping->SetState(MediaObject::kPlay);
  TOrinVideo* once = s.Make("short.mpg", 0, 100);
  once->Rename("once");
  once->SetFreeWhenFinished(true);
  once->SetState(MediaObject::kPlay);
  int wraps = 0;
  int64_t previous = 0;
  for (int i = 0; i < 100; ++i) {
    s.Frame();
    const int64_t at = looping->Item()->GetPosition();
    wraps += at < previous;
    previous = at;
  }
  EXPECT_GE(wraps, 3);
  EXPECT_TRUE(looping->IsPlaying());
  EXPECT_EQ(s.EndEvents(looping), 0);
  EXPECT_EQ(s.scene->Find("once"), nullptr);
  EXPECT_EQ(s.f.media->Video().Count(), 1);
}

TEST(TOrinVideo, PositionMovesThePictureAndAPendingPositionStartsThere) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv");
  v->SetPosition(1200);  // before it plays: where it will start
  v->SetState(MediaObject::kPlay);
  s.Frame();
  EXPECT_EQ(s.ShownNumber(), 30);
  SetInt(v, kPropIndex, 400);
  s.Frame();
  EXPECT_EQ(s.ShownNumber(), 10);
  EXPECT_NEAR(GetInt(v, kPropIndex), 420, 30);
}

TEST(TOrinVideo, ZoomSizesTheObjectAndOverlayShowsOnlyTheInsideOfTheParent) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv", -80, 0);
  SetInt(v, kPropZoomX, 512);
  v->SetState(MediaObject::kPlay);
  EXPECT_EQ(v->Width(), 320);
  EXPECT_EQ(v->Height(), 120);
  SetInt(v, kPropZoomX, 256);
  s.Frame();
  Rect screen, part;
  v->OverlayPlacement(screen, part);
  EXPECT_EQ(screen, (Rect{0, 0, 80, 120}));
  EXPECT_EQ(part, (Rect{80, 0, 160, 120}));
  // Screen x 10 shows movie x 90: the third bar.
  EXPECT_TRUE(Near(s.Pixel(10, 30), test::kMovieBars[2])) << std::hex << s.Pixel(10, 30);
  v->SetLeft(400);
  v->OverlayPlacement(screen, part);
  EXPECT_TRUE(screen.IsEmpty());
  EXPECT_TRUE(part.IsEmpty());
}

TEST(TOrinVideo, ImageModeDrawsLikeAnImageAndSwitchingModesKeepsThePosition) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv", 20, 40);
  SetFlag(v, 150, false);
  v->SetState(MediaObject::kPlay);
  s.Run(400);
  EXPECT_EQ(s.ShownNumber(20, 40), v->Item()->FrameTime() / 40);
  const int32_t before = v->Item()->GetPosition();
  SetFlag(v, 150, true);
  EXPECT_TRUE(v->Overlay());
  ASSERT_NE(v->Item(), nullptr);
  EXPECT_NEAR(v->Item()->GetPosition(), before, 1);
  s.Frame();
  EXPECT_NEAR(s.ShownNumber(20, 40), before / 40, 1);
}

TEST(TOrinVideo, HiddenOrPausedHolds) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv");
  v->SetState(MediaObject::kPlay);
  s.Run(200);
  SetFlag(v, kPropVisible, false);
  const int32_t at = v->Item()->GetPosition();
  s.Run(400);
  EXPECT_NEAR(v->Item()->GetPosition(), at, 25);
  SetFlag(v, kPropVisible, true);
  SetFlag(v, kPropPaused, true);
  s.Run(400);
  EXPECT_NEAR(v->Item()->GetPosition(), at, 25);
  SetFlag(v, kPropPaused, false);
  s.Run(400);
  EXPECT_GT(v->Item()->GetPosition(), at + 300);
  // The window losing the focus holds it too.
  s.f.media->Suspend();
  const int32_t suspended = v->Item()->GetPosition();
  s.Run(400);
  EXPECT_NEAR(v->Item()->GetPosition(), suspended, 25);
  s.f.media->Resume();
  s.Run(200);
  EXPECT_GT(v->Item()->GetPosition(), suspended + 100);
}

// Data that is no playable movie: the object ends at once with its finished label (or is freed
// when free-when-finished is set); a missing file starts nothing at all.
TEST(TOrinVideo, BadMoviesEndAtOnce) {
  VideoScene s;
  for (const char* name : {"noise.wmv", "huge.wmv", "sound.wma"}) {
    SCOPED_TRACE(name);
    TOrinVideo* v = s.Make(name);
    v->SetLabel(kEventMotionFinished, "done");
    v->SetState(MediaObject::kPlay);
    ASSERT_NE(v->Item(), nullptr);
    EXPECT_FALSE(v->Item()->Failure().empty());
    s.Frame();
    EXPECT_EQ(s.EndEvents(v), 1);
    TOrinVideo* freed = s.Make(name);
    freed->Rename("freed");
    freed->SetFreeWhenFinished(true);
    freed->SetState(MediaObject::kPlay);
    s.Frame();
    EXPECT_EQ(s.scene->Find("freed"), nullptr);
  }
  TOrinVideo* missing = s.Make("missing.wmv");
  missing->SetState(MediaObject::kPlay);
  EXPECT_EQ(missing->Item(), nullptr);
  EXPECT_EQ(missing->State(), MediaObject::kStopped);
  s.Frame();
  EXPECT_EQ(s.EndEvents(missing), 0);
}

TEST(TOrinVideo, FadesFollowTheSoundObjectAndAFadeOutFreesTheObject) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv");
  v->Rename("movie");
  v->SetFadeTime(1000);
  v->SetState(MediaObject::kFadeIn);
  EXPECT_EQ(v->State(), MediaObject::kFadeIn);
  EXPECT_EQ(v->Item()->GetVol(), -10000);
  s.Run(500);
  EXPECT_NEAR(v->Item()->GetVol(), -2500, 150);
  s.Run(600);
  EXPECT_EQ(v->Item()->GetVol(), 0);
  v->SetState(MediaObject::kFadeOut);
  s.Run(500);
  ASSERT_NE(s.scene->Find("movie"), nullptr);
  s.Run(600);
  EXPECT_EQ(s.scene->Find("movie"), nullptr);
  EXPECT_EQ(s.f.media->Video().Count(), 0);
}

TEST(TOrinVideo, StoppingKeepsTheObjectWithoutItemOrPicture) {
  VideoScene s;
  TOrinVideo* v = s.Make("movie.wmv");
  v->SetState(MediaObject::kPlay);
  s.Run(100);
  v->SetState(MediaObject::kStopped);
  EXPECT_EQ(v->Item(), nullptr);
  EXPECT_EQ(v->CurrentPicture(), nullptr);
  EXPECT_EQ(s.f.media->Video().Count(), 0);
  EXPECT_NEAR(v->Length(), 2000, 120);  // through a temporary item
  EXPECT_EQ(s.f.media->Video().Count(), 0);
}

TEST(TOrinVideo, SaveAndLoadWithTheVersionRules) {
  struct Case {
    int version;
    bool restart, overlay, silence;
    bool expectOverlay, expectSilence;
    int32_t expectVolume;
    bool startsAtZero;
  } cases[] = {
      {134, false, false, false, false, false, 700, false},
      {134, true, true, true, true, true, 0, true},
      {111, true, false, false, true, false, 700, true},  // no overlay byte: overlay stays on
      {107, true, false, true, true, false, 700, false},  // no flag is read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    VideoScene s;
    TOrinVideo* v = s.Make("movie.wmv");
    v->SetLoop(true);
    v->SetVolume(700);
    v->SetPan(-300);
    v->SetFadeTime(0);
    v->SetLabel(kEventMotionFinished, "end");
    v->SetLabel(kEventEveryFrame, "tick");
    SetFlag(v, 139, c.restart);
    SetFlag(v, 158, c.silence);
    SetFlag(v, 150, c.overlay);
    v->SetState(MediaObject::kPlay);
    s.Run(1000);
    MemoryStream saved;
    v->Save(saved, c.version);
    saved.SetPosition(0);
    auto* loaded = static_cast<TOrinVideo*>(s.scene->Create(kKindVideo));
    loaded->Load(saved, c.version);
    EXPECT_EQ(saved.GetPosition(), saved.GetSize()) << "the whole record is read";
    EXPECT_EQ(loaded->Source(), "movie.wmv");
    EXPECT_TRUE(loaded->Loop());
    EXPECT_EQ(loaded->Pan(), -300);
    EXPECT_EQ(loaded->Overlay(), c.expectOverlay);
    EXPECT_EQ(loaded->SilenceFlag(), c.expectSilence);
    EXPECT_EQ(loaded->Volume(), c.expectVolume);
    EXPECT_EQ(loaded->Label(kEventMotionFinished), "end");
    EXPECT_EQ(loaded->EveryFrameLabel(), "tick");
    EXPECT_EQ(loaded->State(), MediaObject::kPlay);
    ASSERT_NE(loaded->Item(), nullptr);
    if (c.startsAtZero)
      EXPECT_LT(loaded->Item()->GetPosition(), 100);
    else
      EXPECT_NEAR(loaded->Item()->GetPosition(), 1000, 60);
  }
}

TEST(TOrinVideo, ADecodeThreadPlaysTheSameMovieToItsEnd) {
  MediaSettings settings;
  settings.DecodeThread = true;
  VideoScene s(settings);
  TOrinVideo* v = s.Make("movie.wmv");
  v->SetLabel(kEventMotionFinished, "done");
  v->SetState(MediaObject::kPlay);
  int last = -1;
  bool ordered = true;
  for (int i = 0; i < 2000 && s.EndEvents(v) == 0; ++i) {
    s.Frame(10);
    // Gives the decoder its share of the machine as a real frame loop would.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (v->Item()->FrameTime() < 0) continue;
    const int n = s.ShownNumber();
    ordered = ordered && n >= last;
    last = n;
  }
  EXPECT_TRUE(ordered);
  EXPECT_EQ(last, 49);
  EXPECT_EQ(s.EndEvents(v), 1);
}

}  // namespace
}  // namespace orin
