#include "media/midi_play_v.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "midi_fixtures.h"

namespace orin {
namespace {

using test::Smf;
using test::SmfTrack;
using Message = std::vector<uint8_t>;

// A device that keeps what it was sent.
class RecordingOut : public MidiOut {
 public:
  explicit RecordingOut(std::vector<Message>* log) : log_(log) {}
  void SendShort(std::span<const uint8_t> m) override { log_->emplace_back(m.begin(), m.end()); }
  void SendLong(std::span<const uint8_t> m) override { log_->emplace_back(m.begin(), m.end()); }
  void Reset() override { log_->push_back({0xFF}); }

 private:
  std::vector<Message>* log_;
};

// A sequencer stepped by hand on a clock of its own, as the mixer steps it in headless runs.
struct Driven {
  uint32_t now = 0;
  std::vector<Message> sent;
  TMidiPlayV seq{false, [this] { return now; }};

  explicit Driven(const std::vector<uint8_t>& file) {
    seq.Load(file);
    seq.Open(std::make_unique<RecordingOut>(&sent));
  }
  void Run(uint32_t ms) {
    for (uint32_t end = now + ms; now < end;) {
      now += 10;
      seq.Step(now);
    }
  }
  size_t Count(const Message& m) const { return static_cast<size_t>(std::count(sent.begin(), sent.end(), m)); }
};

bool IsAllNotesOff(const Message& m) { return m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 0x7B; }
bool IsNote(const Message& m) { return !m.empty() && ((m[0] & 0xF0) == 0x90 || (m[0] & 0xF0) == 0x80); }

std::vector<uint8_t> Tune() {
  SmfTrack t;
  t.Program(0, 0, 5).Control(0, 0, 10, 30).NoteOn(480, 0, 60, 100).Program(480, 0, 7).NoteOff(0, 0, 60)
      .NoteOn(480, 0, 64, 100).NoteOff(480, 0, 64).End();
  return Smf(0, 480, {t});  // events at 0, 0, 500, 1000, 1000, 1500, 2000, 2000 ms
}

TEST(TMidiPlayV, SendsEachEventWithinOneStepOfItsTime) {
  Driven d(Tune());
  std::vector<std::pair<int32_t, int32_t>> due;  // event time, position when sent
  d.seq.SetObserver([&](const TMidiMsgEvent& e, int32_t position) { due.emplace_back(e.Time, position); });
  d.seq.PlayFrom(0);
  d.Run(3000);
  ASSERT_EQ(due.size(), 7u);  // every event but the last (the end of the track)
  for (auto [time, position] : due) {
    EXPECT_GT(position, time);
    EXPECT_LE(position, time + 10);
  }
  EXPECT_FALSE(d.seq.IsRunning());
  EXPECT_TRUE(d.seq.Ended());
  EXPECT_EQ(d.seq.TotalLength(), 2000);
  EXPECT_EQ(d.Count({0x90, 60, 100}), 1u);
  EXPECT_EQ(d.Count({0xC0, 7}), 1u);
}

TEST(TMidiPlayV, RepeatWrapsToTheFirstEventWithNotesOff) {
  Driven d(Tune());
  d.seq.SetRepeat(true);
  d.seq.PlayFrom(0);
  d.Run(5000);
  EXPECT_TRUE(d.seq.IsRunning());
  EXPECT_FALSE(d.seq.Ended());
  EXPECT_EQ(d.Count({0x90, 60, 100}), 3u);  // at 500, 2500 and 4500 ms
  EXPECT_EQ(d.Count({0xB5, 0x7B, 0x00}), 2u);
  d.seq.SetRepeat(false);
  d.Run(2100);
  EXPECT_FALSE(d.seq.IsRunning());
  EXPECT_TRUE(d.seq.Ended());
}

TEST(TMidiPlayV, SeekingBackwardsReplaysProgramsAndControllersButNoNotes) {
  Driven d(Tune());
  d.seq.PlayFrom(0);
  d.Run(1600);
  d.sent.clear();
  d.seq.PlayFrom(600);
  ASSERT_EQ(d.sent.size(), 18u);
  for (size_t i = 0; i < 16; ++i) EXPECT_TRUE(IsAllNotesOff(d.sent[i]));
  EXPECT_EQ(d.sent[16], (Message{0xC0, 5}));
  EXPECT_EQ(d.sent[17], (Message{0xB0, 10, 30}));
  EXPECT_TRUE(std::none_of(d.sent.begin(), d.sent.end(), IsNote));
  // Forward past the program change: chased as well, the notes before the target stay silent.
  d.sent.clear();
  d.seq.PlayFrom(1500);
  EXPECT_EQ(d.Count({0xC0, 7}), 1u);
  EXPECT_TRUE(std::none_of(d.sent.begin(), d.sent.end(), IsNote));
}

TEST(TMidiPlayV, ControllerScaleAppliesNowAndToWhatTheFileSendsLater) {
  SmfTrack t;
  t.Control(0, 0, 7, 100).NoteOn(0, 0, 60, 100).Control(480, 1, 7, 120).Control(0, 2, 7, 127).NoteOff(480, 0, 60).End();
  Driven d(Smf(0, 480, {t}));
  d.seq.PlayFrom(0);
  d.Run(100);
  EXPECT_EQ(d.Count({0xB0, 7, 100}), 1u);
  d.sent.clear();
  d.seq.SetControllerScale(7, 50);
  ASSERT_EQ(d.sent.size(), 16u);
  EXPECT_EQ(d.sent[0], (Message{0xB0, 7, 50}));
  for (uint8_t ch = 1; ch < 16; ++ch) EXPECT_EQ(d.sent[ch], (Message{static_cast<uint8_t>(0xB0 | ch), 7, 63}));
  d.sent.clear();
  d.Run(500);
  EXPECT_EQ(d.sent, (std::vector<Message>{{0xB1, 7, 60}, {0xB2, 7, 63}}));
  // Above 100 % a value saturates at 127 instead of turning into a status byte.
  d.sent.clear();
  d.seq.SetControllerScale(7, 200);
  EXPECT_EQ(d.sent[0], (Message{0xB0, 7, 127}));
}

TEST(TMidiPlayV, AnEmptyListHasEndedAndPlaysNothing) {
  Driven d(std::vector<uint8_t>{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
  EXPECT_TRUE(d.seq.Ended());
  EXPECT_FALSE(d.seq.Loaded());
  d.seq.PlayFrom(0);
  d.Run(50);
  EXPECT_FALSE(d.seq.IsRunning());
  EXPECT_TRUE(d.sent.empty());
}

TEST(TMidiPlayV, StopSilencesAndCloseResetsTheDevice) {
  Driven d(Tune());
  d.seq.PlayFrom(0);
  d.Run(600);
  d.sent.clear();
  d.seq.Stop();
  EXPECT_FALSE(d.seq.IsRunning());
  EXPECT_EQ(d.sent.size(), 16u);
  EXPECT_TRUE(std::all_of(d.sent.begin(), d.sent.end(), IsAllNotesOff));
  std::unique_ptr<MidiOut> device = d.seq.Close();
  EXPECT_NE(device, nullptr);
  EXPECT_EQ(d.sent.back(), Message{0xFF});
  EXPECT_FALSE(d.seq.IsOpen());
  // Closed, it still runs on time: a game waiting for the music's end is not held up.
  d.seq.PlayFrom(0);
  d.Run(2100);
  EXPECT_TRUE(d.seq.Ended());
}

TEST(TMidiPlayV_Threaded, PlaysToTheEndOnItsOwnTimer) {
  SmfTrack t;
  t.NoteOn(0, 0, 60, 100).NoteOff(10, 0, 60).End(10);
  std::vector<Message> sent;
  std::mutex sentLock;
  class LockedOut : public MidiOut {
   public:
    LockedOut(std::vector<Message>* log, std::mutex* lock) : log_(log), lock_(lock) {}
    void SendShort(std::span<const uint8_t> m) override {
      std::lock_guard g(*lock_);
      log_->emplace_back(m.begin(), m.end());
    }
    void SendLong(std::span<const uint8_t>) override {}
    void Reset() override {}

   private:
    std::vector<Message>* log_;
    std::mutex* lock_;
  };
  TMidiPlayV seq(true);
  seq.Load(Smf(0, 48, {t}));  // 10 ticks of 48: about 100 ms
  seq.Open(std::make_unique<LockedOut>(&sent, &sentLock));
  seq.PlayFrom(0);
  for (int i = 0; i < 500 && seq.IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(seq.Ended());
  std::lock_guard g(sentLock);
  EXPECT_EQ(sent, (std::vector<Message>{{0x90, 60, 100}, {0x80, 60, 0x40}}));
}

}  // namespace
}  // namespace orin
