// MIDI music: reading a large file (100,000 events, about 230 KB; aim under 10 ms), the share of
// one core the synthesizer takes for a 16-channel General MIDI piece at 44.1 kHz (counter
// core_pct; aim under 10), and how late events reach the synthesizer after their due time, on the
// virtual clock and on the real timer thread (counters late_max_ms, late_mean_ms; aim: at most 10).
// core_pct is taken from the processor time (the synthesizer renders on the calling thread), so
// other work on a shared machine does not inflate it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/fluidsynth/midi_synth.h"
#include "media/midi_play_v.h"
#include "media/midi_v.h"

namespace orin {
namespace {

void Vlq(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[5];
  int n = 0;
  do {
    b[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v);
  while (n > 1) out.push_back(static_cast<uint8_t>(b[--n] | 0x80));
  out.push_back(b[0]);
}

void Be(std::vector<uint8_t>& out, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Chunk(std::vector<uint8_t>& file, const char* id, const std::vector<uint8_t>& body) {
  file.insert(file.end(), id, id + 4);
  Be(file, static_cast<uint32_t>(body.size()), 4);
  file.insert(file.end(), body.begin(), body.end());
}

// 16 tracks, one channel each: a third of the events notes, the rest channel pressure, all with
// running status, as dense sequenced music is stored.
std::vector<uint8_t> BigFile(int events) {
  std::vector<uint8_t> file;
  Chunk(file, "MThd", {0, 1, 0, 16, 0x01, 0xE0});
  int perTrack = events / 16;
  for (int t = 0; t < 16; ++t) {
    std::vector<uint8_t> body;
    bool notes = t % 3 == 0;
    uint8_t status = static_cast<uint8_t>((notes ? 0x90 : 0xD0) | t);
    for (int i = 0; i < perTrack - 1; ++i) {
      Vlq(body, 12);
      if (i == 0) body.push_back(status);
      body.push_back(static_cast<uint8_t>(40 + i % 40));
      if (notes) body.push_back(i % 2 ? 0 : 100);
    }
    body.insert(body.end(), {0, 0xFF, 0x2F, 0});
    Chunk(file, "MTrk", body);
  }
  return file;
}

// A 16-channel GM piece: each channel its own instrument (channel 10 drums), two notes a fifth
// apart every 240 ticks (a quarter of a second at 120 beats per minute), for the given seconds.
std::vector<uint8_t> GmPiece(int seconds) {
  std::vector<uint8_t> file;
  Chunk(file, "MThd", {0, 1, 0, 16, 0x01, 0xE0});
  const uint8_t programs[16] = {0, 4, 19, 24, 32, 40, 48, 56, 61, 0, 65, 73, 80, 88, 89, 11};
  for (uint8_t ch = 0; ch < 16; ++ch) {
    std::vector<uint8_t> body;
    body.insert(body.end(), {0, static_cast<uint8_t>(0xC0 | ch), programs[ch]});
    body.insert(body.end(), {0, static_cast<uint8_t>(0xB0 | ch), 7, 100});
    int notes = seconds * 4;
    uint8_t key = ch == 9 ? 36 : static_cast<uint8_t>(48 + (ch * 5) % 24);
    for (int i = 0; i < notes; ++i) {
      uint8_t k = ch == 9 ? static_cast<uint8_t>(key + (i % 4) * 2) : static_cast<uint8_t>(key + (i % 3) * 4);
      const uint8_t on = static_cast<uint8_t>(0x90 | ch), off = static_cast<uint8_t>(0x80 | ch);
      const uint8_t fifth = static_cast<uint8_t>(k + 7);
      body.insert(body.end(), {0, on, k, 90, 0, on, fifth, 80});
      Vlq(body, 240);
      body.insert(body.end(), {off, k, 64, 0, off, fifth, 64});
    }
    body.insert(body.end(), {0, 0xFF, 0x2F, 0});
    Chunk(file, "MTrk", body);
  }
  return file;
}

void BM_Parse100kEvents(benchmark::State& state) {
  std::vector<uint8_t> file = BigFile(100000);
  TMidiV midi;
  for (auto _ : state) {
    midi.Parse(file);
    benchmark::DoNotOptimize(midi.Events().data());
  }
  state.counters["events"] = static_cast<double>(midi.Events().size());
  state.counters["kbytes"] = static_cast<double>(file.size()) / 1024.0;
}
BENCHMARK(BM_Parse100kEvents)->Unit(benchmark::kMillisecond);

class NullOut : public MidiOut {
 public:
  void SendShort(std::span<const uint8_t>) override {}
  void SendLong(std::span<const uint8_t>) override {}
  void Reset() override {}
};

// One second of the piece per iteration: the sequencer's steps and the synthesizer's sound, as the
// mixer runs them (10 ms slices).
void BM_Synth16ChannelGm(benchmark::State& state) {
  std::string failure;
  std::unique_ptr<MidiSynth> synth = MidiSynth::Create(&failure);
  if (!synth) {
    state.SkipWithError(failure.c_str());
    return;
  }
  uint32_t now = 0;
  TMidiPlayV seq(false, [&now] { return now; });
  seq.Load(GmPiece(600));
  seq.Open(synth->OpenOut());
  seq.PlayFrom(0);
  std::vector<int32_t> acc(441 * 2);
  for (int i = 0; i < 300; ++i) {  // two seconds in: every channel sounds
    seq.Step(now += 10);
    synth->Render(acc.data(), 441);
  }
  for (auto _ : state) {
    for (int slice = 0; slice < 100; ++slice) {
      seq.Step(now += 10);
      std::fill(acc.begin(), acc.end(), 0);
      synth->Render(acc.data(), 441);
    }
    benchmark::DoNotOptimize(acc.data());
  }
  state.counters["core_pct"] =
      benchmark::Counter(0.01, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Synth16ChannelGm)->Unit(benchmark::kMillisecond);

struct Lateness {
  double max = 0, sum = 0;
  int count = 0;
  void Add(double late) {
    max = std::max(max, late);
    sum += late;
    ++count;
  }
};

// On the virtual clock (headless runs): how far past its time each event's step is.
void BM_TimingVirtualClock(benchmark::State& state) {
  std::vector<uint8_t> file = GmPiece(20);
  Lateness late;
  for (auto _ : state) {
    late = {};
    uint32_t now = 0;
    TMidiPlayV seq(false, [&now] { return now; });
    seq.Load(file);
    seq.Open(std::make_unique<NullOut>());
    seq.SetObserver([&](const TMidiMsgEvent& e, int32_t position) { late.Add(position - e.Time); });
    seq.PlayFrom(0);
    while (seq.IsRunning()) seq.Step(now += 10);
  }
  state.counters["late_max_ms"] = late.max;
  state.counters["late_mean_ms"] = late.sum / std::max(late.count, 1);
}
BENCHMARK(BM_TimingVirtualClock)->Unit(benchmark::kMillisecond);

// On the timer thread (live play): the wall-clock time each event is sent, against the start plus
// its time. Five seconds of music, once.
void BM_TimingRealTime(benchmark::State& state) {
  std::vector<uint8_t> file = GmPiece(5);
  Lateness late;
  for (auto _ : state) {
    late = {};
    TMidiPlayV seq(true);
    seq.Load(file);
    seq.Open(std::make_unique<NullOut>());
    auto start = std::chrono::steady_clock::now();
    seq.SetObserver([&](const TMidiMsgEvent& e, int32_t) {
      double at = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      late.Add(at - e.Time);
    });
    seq.PlayFrom(0);
    while (seq.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  state.counters["late_max_ms"] = late.max;
  state.counters["late_mean_ms"] = late.sum / std::max(late.count, 1);
}
BENCHMARK(BM_TimingRealTime)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace orin

BENCHMARK_MAIN();
