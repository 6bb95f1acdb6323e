#include "media/sdl/sdl_audio_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/error.h"

namespace orin {
namespace {

// SDL's device-less audio driver: it takes the sound at the real rate and discards it.
TEST(SdlAudioOutput_Dummy, QueueOpensPausesAndCloses) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudioOutput out;
  try {
    out.OpenQueue(1000);
  } catch (const Error& e) {
    GTEST_SKIP() << "SDL cannot start its dummy audio driver here: " << e.what();
  }
  EXPECT_EQ(out.CurrentMode(), AudioOutput::Mode::kQueue);
  EXPECT_GE(out.BufferFrames(), 1000);  // SDL rounds up to a power of two
  out.Pause();
  std::vector<int16_t> block(4410 * 2, 100);
  out.Queue(block.data(), 4410);
  EXPECT_EQ(out.QueuedBytes(), 4410u * 4);  // paused: nothing drains
  out.Resume();
  EXPECT_LE(out.QueuedBytes(), 4410u * 4);
  out.Close();
  EXPECT_EQ(out.CurrentMode(), AudioOutput::Mode::kClosed);
  EXPECT_EQ(out.QueuedBytes(), 0u);
  out.Close();
}

TEST(SdlAudioOutput_Dummy, PullOpensAndCloses) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudioOutput out;
  try {
    out.OpenPull([](int16_t*, size_t) {});
  } catch (const Error& e) {
    GTEST_SKIP() << "SDL cannot start its dummy audio driver here: " << e.what();
  }
  EXPECT_EQ(out.CurrentMode(), AudioOutput::Mode::kPull);
  EXPECT_GT(out.BufferFrames(), 0);
  out.Close();
}

}  // namespace
}  // namespace orin
