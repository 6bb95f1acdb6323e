#include "media/null/null_audio_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/endian.h"
#include "support/test_support.h"

namespace orin {
namespace {

// Uneven frame deltas, with a zero one, a one-millisecond one and the longest frame there is.
const std::vector<uint32_t> kDeltas = {16, 17, 0, 1, 33, 3000, 7, 16, 16, 16, 999};

uint64_t Expected(uint64_t fromMs, uint64_t toMs) { return toMs * 441 / 10 - fromMs * 441 / 10; }

// Sample frame n of a test signal: left n, right −n (modulo 16 bits).
int16_t Left(uint64_t n) { return static_cast<int16_t>(n & 0x7FFF); }
int16_t Right(uint64_t n) { return static_cast<int16_t>(-static_cast<int32_t>(n & 0x7FFF)); }

// The samples of a WAV file written by WavWriter, after checking its sizes.
std::vector<int16_t> ReadWav(const std::string& path) {
  const std::string file = test::ReadHostFile(path);
  EXPECT_GE(file.size(), WavWriter::kHeaderBytes);
  if (file.size() < WavWriter::kHeaderBytes) return {};
  const uint32_t data = LoadU32LE(file.data() + 40);
  EXPECT_EQ(data, file.size() - WavWriter::kHeaderBytes);
  EXPECT_EQ(LoadU32LE(file.data() + 4), data + 36);
  std::vector<int16_t> samples((file.size() - WavWriter::kHeaderBytes) / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(LoadU16LE(file.data() + WavWriter::kHeaderBytes + 2 * i));
  return samples;
}

TEST(NullAudioOutput_Pull, EveryFramePullsExactlyItsSpanAndTheRecordingHoldsIt) {
  test::TempDir dir;
  NullAudioDevice device;
  device.RecordTo(dir / "run.wav");
  auto out = device.CreateOutput();
  uint64_t next = 0;
  out->OpenPull([&](int16_t* s, size_t frames) {
    for (size_t i = 0; i < frames; ++i, ++next) {
      s[2 * i] = Left(next);
      s[2 * i + 1] = Right(next);
    }
  });
  EXPECT_EQ(out->CurrentMode(), AudioOutput::Mode::kPull);
  EXPECT_EQ(out->BufferFrames(), AudioOutput::kDefaultBufferFrames);
  uint64_t t = 0;
  for (uint32_t delta : kDeltas) {
    const uint64_t before = next;
    device.Advance(delta);
    EXPECT_EQ(next - before, Expected(t, t + delta)) << "delta " << delta << " at " << t;
    t += delta;
  }
  EXPECT_EQ(device.ElapsedMs(), t);
  EXPECT_EQ(device.FramesPlayed(), t * 441 / 10);
  device.FinishRecording();

  const std::vector<int16_t> wav = ReadWav(dir / "run.wav");
  ASSERT_EQ(wav.size(), 2 * next);
  for (uint64_t n = 0; n < next; ++n) {
    ASSERT_EQ(wav[2 * n], Left(n)) << n;
    ASSERT_EQ(wav[2 * n + 1], Right(n)) << n;
  }
}

TEST(NullAudioOutput_Pull, NoDriftOverALongRun) {
  NullAudioDevice device;
  // An hour of 16 ms frames (and one of 15): the count stays the exact product.
  for (int i = 0; i < 225000; ++i) device.Advance(16);
  device.Advance(15);
  EXPECT_EQ(device.FramesPlayed(), uint64_t{3600015} * 441 / 10);
}

TEST(NullAudioOutput_Queue, QueueDrainsByTheSpanAndRunsDryIntoSilence) {
  test::TempDir dir;
  NullAudioDevice device;
  device.RecordTo(dir / "q.wav");
  auto out = device.CreateOutput();
  out->OpenQueue(512);
  EXPECT_EQ(out->BufferFrames(), 512);
  const size_t queued = 5000;
  std::vector<int16_t> block(queued * 2);
  for (size_t n = 0; n < queued; ++n) {
    block[2 * n] = Left(n + 1);
    block[2 * n + 1] = Right(n + 1);
  }
  out->Queue(block.data(), 2000);
  out->Queue(block.data() + 4000, queued - 2000);
  EXPECT_EQ(out->QueuedBytes(), queued * 4);

  uint64_t t = 0, taken = 0;
  for (uint32_t delta : {16u, 17u, 0u, 33u}) {
    device.Advance(delta);
    taken += Expected(t, t + delta);
    t += delta;
    EXPECT_EQ(out->QueuedBytes(), (queued - taken) * 4) << t;
  }
  device.Advance(200);  // runs dry
  t += 200;
  EXPECT_EQ(out->QueuedBytes(), 0u);
  device.FinishRecording();

  const std::vector<int16_t> wav = ReadWav(dir / "q.wav");
  ASSERT_EQ(wav.size(), 2 * (t * 441 / 10));
  for (size_t n = 0; n < wav.size() / 2; ++n) {
    const bool sounding = n < queued;
    ASSERT_EQ(wav[2 * n], sounding ? Left(n + 1) : 0) << n;
    ASSERT_EQ(wav[2 * n + 1], sounding ? Right(n + 1) : 0) << n;
  }
}

// A paused output is not asked for frames and its queue does not drain; the timeline goes on
// with silence, and on resume the sound continues where it stopped.
TEST(NullAudioOutput, PauseLeavesSilenceAndResumeContinues) {
  test::TempDir dir;
  NullAudioDevice device;
  device.RecordTo(dir / "p.wav");
  auto pull = device.CreateOutput();
  uint64_t next = 1;
  pull->OpenPull([&](int16_t* s, size_t frames) {
    for (size_t i = 0; i < frames; ++i, ++next) s[2 * i] = s[2 * i + 1] = Left(next);
  });
  auto queue = device.CreateOutput();
  queue->OpenQueue();
  std::vector<int16_t> lots(20000 * 2, 1);
  queue->Queue(lots.data(), 20000);

  device.Advance(10);  // 441 frames
  pull->Pause();
  queue->Pause();
  EXPECT_TRUE(pull->Paused());
  const size_t queuedWhilePaused = queue->QueuedBytes();
  device.Advance(20);  // 882 frames of silence
  EXPECT_EQ(next, 442u);
  EXPECT_EQ(queue->QueuedBytes(), queuedWhilePaused);
  pull->Resume();
  queue->Resume();
  device.Advance(10);
  EXPECT_EQ(next, 883u);
  EXPECT_EQ(queue->QueuedBytes(), queuedWhilePaused - 441 * 4);
  device.FinishRecording();

  const std::vector<int16_t> wav = ReadWav(dir / "p.wav");
  ASSERT_EQ(wav.size(), 2u * 1764);
  EXPECT_EQ(wav[0], 2);            // 1 + 1
  EXPECT_EQ(wav[2 * 440], 442);    // 441 + 1
  EXPECT_EQ(wav[2 * 441], 0);      // paused: silence
  EXPECT_EQ(wav[2 * 1322], 0);
  EXPECT_EQ(wav[2 * 1323], 443);   // 442 + 1: nothing was skipped
  EXPECT_EQ(wav[2 * 1763], 883);
}

TEST(NullAudioOutput, OutputsAreMixedWithSaturation) {
  test::TempDir dir;
  NullAudioDevice device;
  device.RecordTo(dir / "m.wav");
  auto a = device.CreateOutput(), b = device.CreateOutput();
  auto fill = [](int16_t left, int16_t right) {
    return [=](int16_t* s, size_t frames) {
      for (size_t i = 0; i < frames; ++i) {
        s[2 * i] = left;
        s[2 * i + 1] = right;
      }
    };
  };
  a->OpenPull(fill(30000, -30000));
  b->OpenPull(fill(30000, 100));
  device.Advance(1);
  b->Close();
  device.Advance(1);
  device.FinishRecording();
  const std::vector<int16_t> wav = ReadWav(dir / "m.wav");
  ASSERT_EQ(wav.size(), 2u * 88);
  EXPECT_EQ(wav[0], 32767);
  EXPECT_EQ(wav[1], -29900);
  EXPECT_EQ(wav[2 * 44], 30000);  // b closed
  EXPECT_EQ(wav[2 * 44 + 1], -30000);
}

TEST(NullAudioOutput, ZeroLengthRunAndClosedOutputs) {
  test::TempDir dir;
  NullAudioDevice device;
  device.RecordTo(dir / "z.wav");
  auto out = device.CreateOutput();
  int calls = 0;
  out->OpenPull([&](int16_t*, size_t) { ++calls; });
  device.Advance(0);
  EXPECT_EQ(calls, 0);
  device.FinishRecording();
  const auto h = WavWriter::Header(0);
  EXPECT_EQ(test::ReadHostFile(dir / "z.wav"), std::string(h.begin(), h.end()));

  // A closed output takes nothing, and queueing into it is ignored.
  out->Close();
  out->Close();
  EXPECT_EQ(out->CurrentMode(), AudioOutput::Mode::kClosed);
  EXPECT_EQ(out->BufferFrames(), 0);
  const int16_t s[2] = {1, 1};
  out->Queue(s, 1);
  EXPECT_EQ(out->QueuedBytes(), 0u);
  device.Advance(100);
  EXPECT_EQ(calls, 0);
}

TEST(NullAudioOutput, OutputOutlivingItsDeviceIsClosed) {
  auto device = std::make_unique<NullAudioDevice>();
  auto out = device->CreateOutput();
  out->OpenQueue();
  device.reset();
  EXPECT_EQ(out->CurrentMode(), AudioOutput::Mode::kClosed);
  out->OpenQueue();
  EXPECT_EQ(out->CurrentMode(), AudioOutput::Mode::kClosed);
  out->Close();
}

}  // namespace
}  // namespace orin
