#include "shell/headless/headless_platform.h"

#include <gtest/gtest.h>

#include "core/endian.h"
#include "core/error.h"
#include "imaging/image_codecs.h"
#include "support/test_support.h"

namespace orin {
namespace {

HeadlessOptions Quiet() {
  HeadlessOptions o;
  o.Messages = nullptr;
  return o;
}

TEST(HeadlessPlatform, PresentCopiesOnlyTheDirtyRectangles) {
  HeadlessPlatform p(Quiet());
  p.CreateWindow({"t", 4, 3, 0});
  PixelBuffer back(4, 3, 0x112233);
  EXPECT_TRUE(p.Present(back.View(), {Rect{1, 1, 3, 2}, Rect{3, 2, 9, 9}}));
  EXPECT_FALSE(p.Present(back.View(), {Rect{5, 5, 6, 6}, Rect{2, 2, 2, 3}}));  // outside, empty
  EXPECT_EQ(p.Presents(), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool dirty = (y == 1 && (x == 1 || x == 2)) || (y == 2 && x == 3);
      EXPECT_EQ(p.Screen().Pixel(x, y), dirty ? 0x112233u : 0u) << x << "," << y;
    }
}

TEST(HeadlessPlatform, ScreenshotIsAnExactPng) {
  test::TempDir dir;
  HeadlessPlatform p(Quiet());
  p.CreateWindow({"t", 3, 2, 0});
  PixelBuffer back(3, 2);
  const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xAB123456, 0xFFFFFF, 0x000001};
  for (int i = 0; i < 6; ++i) back.SetPixel(i % 3, i / 3, colours[i]);
  p.Present(back.View(), {back.Bounds()});
  WritePng(dir / "shot.png", p.Screen().View());
  const std::string bytes = test::ReadHostFile(dir / "shot.png");
  DecodedPicture pic = DecodePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ASSERT_EQ(pic.Surface.Width(), 3);
  ASSERT_EQ(pic.Surface.Height(), 2);
  for (int i = 0; i < 6; ++i) {
    Rgb c = pic.Surface.PixelToRGB(pic.Surface.GetPixel(i % 3, i / 3), false);
    const uint32_t want = colours[i] & 0xFFFFFF;  // the fourth byte is not a colour
    EXPECT_EQ((uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue, want) << i;
  }
}

TEST(HeadlessPlatform, ScreenshotOfNothingOrIntoAMissingFolderFails) {
  test::TempDir dir;
  HeadlessPlatform p(Quiet());
  EXPECT_THROW(WritePng(dir / "a.png", p.Screen().View()), Error);
  p.CreateWindow({"t", 2, 2, 0});
  EXPECT_THROW(WritePng(dir / "missing/a.png", p.Screen().View()), Error);
}

TEST(HeadlessPlatform, ScreenAnswersAndFullScreenFlag) {
  HeadlessPlatform p(Quiet());
  EXPECT_EQ(p.DesktopMode(), (DisplayMode{1920, 1080, 32, 60}));
  const std::vector<DisplayMode> modes = p.DisplayModes();
  ASSERT_FALSE(modes.empty());
  EXPECT_EQ(modes.front(), p.DesktopMode());
  for (size_t i = 1; i < modes.size(); ++i) {
    EXPECT_LE(modes[i].Width * modes[i].Height, modes[i - 1].Width * modes[i - 1].Height) << i;
    EXPECT_NE(modes[i], modes[i - 1]) << i;
  }
  // Full screen needs a window; the picture keeps the panel's size.
  EXPECT_FALSE(p.SetFullScreen(true));
  EXPECT_FALSE(p.FullScreen());
  p.CreateWindow({"t", 4, 3, 0});
  EXPECT_TRUE(p.SetFullScreen(true));
  EXPECT_TRUE(p.FullScreen());
  EXPECT_EQ(p.Screen().Width(), 4);
  EXPECT_TRUE(p.SetFullScreen(false));
  EXPECT_FALSE(p.FullScreen());
  p.SetScaleFilter(ScaleFilter::kNearest);
  EXPECT_EQ(p.Filter(), ScaleFilter::kNearest);
}

// The sound of a headless run follows its virtual clock: each poll (one frame) plays exactly the
// samples of its delta, and the recording holds sample n at n / 44.1 ms.
TEST(HeadlessPlatform, SoundFollowsTheVirtualClockIntoTheRecording) {
  test::TempDir dir;
  HeadlessOptions o = Quiet();
  o.DeltaMs = 17;
  o.AudioOut = dir / "run.wav";
  HeadlessPlatform p(std::move(o));
  std::unique_ptr<AudioOutput> out = p.CreateAudioOutput();
  uint64_t pulled = 0;
  out->OpenPull([&](int16_t* s, size_t frames) {
    for (size_t i = 0; i < 2 * frames; ++i) s[i] = 1000;
    pulled += frames;
  });
  std::vector<InputEvent> events;
  for (int frame = 1; frame <= 3; ++frame) {
    p.PollEvents(frame - 1, events);
    EXPECT_EQ(pulled, uint64_t{17} * frame * 441 / 10) << frame;
  }
  EXPECT_EQ(p.Ticks(), 51u);
  out->Close();
  p.PollEvents(3, events);  // nothing plays: silence
  p.Audio().FinishRecording();
  const std::string wav = test::ReadHostFile(dir / "run.wav");
  ASSERT_EQ(wav.size(), 44u + 68 * 441 / 10 * 4);
  EXPECT_EQ(LoadU16LE(wav.data() + 44 + 4 * (pulled - 1)), 1000);
  EXPECT_EQ(LoadU16LE(wav.data() + 44 + 4 * pulled), 0);
}

TEST(HeadlessPlatform, RecordingThatCannotBeMadeIsAnError) {
  test::TempDir dir;
  HeadlessOptions o = Quiet();
  o.AudioOut = dir / "missing/run.wav";
  EXPECT_THROW(HeadlessPlatform p(std::move(o)), Error);
}

TEST(HeadlessPlatform, FixedDeltaAndInputTimedByFrames) {
  HeadlessOptions o = Quiet();
  o.DeltaMs = 40;
  o.Input = {
      {0, InputEvent::KeyDown(65)}, {2, InputEvent::KeyUp(65)}, {2, InputEvent::Wheel(true)}};
  HeadlessPlatform p(std::move(o));
  std::vector<InputEvent> events;
  p.PollEvents(0, events);
  EXPECT_EQ(p.Ticks(), 40u);
  EXPECT_EQ(events.size(), 1u);
  p.Sleep(1000);  // sleeping does not move the virtual clock
  p.PollEvents(1, events);
  EXPECT_EQ(p.Ticks(), 80u);
  EXPECT_EQ(events.size(), 1u);
  p.PollEvents(2, events);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1].Kind, InputKind::kKeyUp);
  EXPECT_EQ(events[2].Kind, InputKind::kWheel);
  EXPECT_TRUE(p.ScriptDone());
  EXPECT_FALSE(p.WaitEvents(100));
}

TEST(HeadlessPlatform, AnswersInOrderLastRepeatingMappedToTheButtons) {
  HeadlessOptions o = Quiet();
  o.Answers = {MessageResult::kCancel, MessageResult::kYes};
  HeadlessPlatform p(std::move(o));
  EXPECT_EQ(p.ShowMessage("c", "t", MessageButtons::kYesNo, MessageIcon::kQuestion),
            MessageResult::kNo);
  EXPECT_EQ(p.ShowMessage("c", "t", MessageButtons::kOkCancel, MessageIcon::kNone),
            MessageResult::kOk);
  EXPECT_EQ(p.ShowMessage("c", "t", MessageButtons::kYesNo, MessageIcon::kNone),
            MessageResult::kYes);
  EXPECT_EQ(p.ShowMessage("c", "t", MessageButtons::kOk, MessageIcon::kNone), MessageResult::kOk);

  HeadlessPlatform first(Quiet());
  EXPECT_EQ(first.ShowMessage("c", "t", MessageButtons::kOkCancel, MessageIcon::kNone),
            MessageResult::kOk);
  EXPECT_EQ(first.ShowMessage("c", "t", MessageButtons::kYesNo, MessageIcon::kNone),
            MessageResult::kYes);
}

TEST(HeadlessPlatform, EndlessQuestionLoopGivesUp) {
  HeadlessPlatform p(Quiet());
  std::vector<InputEvent> events;
  for (int round = 0; round < 3; ++round) {
    p.PollEvents(round, events);  // a frame between them resets the count
    for (int i = 0; i < HeadlessPlatform::kMaxMessagesWithoutFrame; ++i)
      p.ShowMessage("c", "t", MessageButtons::kOkCancel, MessageIcon::kNone);
  }
  EXPECT_THROW(p.ShowMessage("c", "t", MessageButtons::kOkCancel, MessageIcon::kNone),
               HeadlessStuck);
}

TEST(HeadlessPlatform, MessagesArePrintedInUtf8) {
  test::TempDir dir;
  FILE* out = std::fopen((dir / "messages").c_str(), "w");
  ASSERT_NE(out, nullptr);
  HeadlessOptions o;
  o.Messages = out;
  HeadlessPlatform p(std::move(o));
  p.ShowMessage("\x8C\x78\x8D\x90", "\x83\x76\x83\x8D\x83\x57\x83\x46\x83\x4E\x83\x67",
                MessageButtons::kOk, MessageIcon::kWarning);
  std::fclose(out);
  EXPECT_EQ(test::ReadHostFile(dir / "messages"), "[警告] プロジェクト -> ok\n");
}

}  // namespace
}  // namespace orin
