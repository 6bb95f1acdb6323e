#include "media/midi_v.h"

#include <gtest/gtest.h>

#include "midi_fixtures.h"

namespace orin {
namespace {

using test::Cat;
using test::Smf;
using test::SmfChunk;
using test::SmfHeader;
using test::SmfTrack;

std::string DumpOf(const std::vector<uint8_t>& file) {
  TMidiV midi;
  midi.Parse(file);
  return DumpMidiEvents(midi);
}

TEST(TMidiV_Format0, ListsEveryMessageWithItsTimeKindTrackAndBytes) {
  SmfTrack t;
  t.Tempo(0, 500000).Program(0, 0, 5).Control(0, 0, 7, 100).NoteOn(480, 0, 60, 100).Raw(240, {0x3C, 0x00}).End();
  EXPECT_EQ(DumpOf(Smf(0, 480, {t})),
            "events 6 length 750\n"
            "0 9 0 ff 51 07 a1 20\n"
            "0 5 0 c0 05\n"
            "0 4 0 b0 07 64\n"
            "500 1 0 90 3c 64\n"
            "750 2 0 90 3c 00\n"
            "750 18 0 ff 2f\n");
}

TEST(TMidiV_Format0, RunningStatusGivesTheSameEventsAsExplicitStatus) {
  SmfTrack explicitStatus, running;
  explicitStatus.NoteOn(0, 3, 60, 100).NoteOn(10, 3, 62, 100).NoteOn(10, 3, 60, 0).Control(5, 3, 10, 64).Control(5, 3, 11, 90).End();
  running.NoteOn(0, 3, 60, 100).Raw(10, {62, 100}).Raw(10, {60, 0}).Control(5, 3, 10, 64).Raw(5, {11, 90}).End();
  EXPECT_EQ(DumpOf(Smf(0, 96, {running})), DumpOf(Smf(0, 96, {explicitStatus})));
}

TEST(TMidiV_Format1, TracksMergeByTickThenReadingOrder) {
  SmfTrack conductor, piano;
  conductor.Tempo(0, 500000).End(960);
  piano.Program(0, 1, 9).NoteOn(0, 1, 40, 90).NoteOff(960, 1, 40).End();
  EXPECT_EQ(DumpOf(Smf(1, 480, {conductor, piano})),
            "events 6 length 1000\n"
            "0 9 0 ff 51 07 a1 20\n"
            "0 5 1 c1 09\n"
            "0 1 1 91 28 5a\n"
            "1000 18 0 ff 2f\n"
            "1000 2 1 81 28 40\n"
            "1000 18 1 ff 2f\n");
}

TEST(TMidiV_Times, ATempoChangeAtTick960AppliesOnlyAfterIt) {
  SmfTrack t;
  t.NoteOn(480, 0, 60, 100).Tempo(480, 250000).NoteOn(480, 0, 62, 100).NoteOn(960, 0, 64, 100).End();
  TMidiV midi;
  midi.Parse(Smf(0, 480, {t}));
  std::vector<int32_t> times;
  for (const auto& e : midi.Events()) times.push_back(e.Time);
  EXPECT_EQ(times, (std::vector<int32_t>{500, 1000, 1250, 1750, 1750}));
  EXPECT_EQ(midi.TotalLength(), 1750);
}

TEST(TMidiV_Times, EachIntervalIsRoundedOnItsOwnTiesToEven) {
  // 1/3 tick of 500 ms: 166.67 ms per tick, each one-tick step rounded up to 167 on its own.
  SmfTrack thirds;
  thirds.NoteOn(1, 0, 60, 1).NoteOn(1, 0, 61, 1).NoteOn(1, 0, 62, 1).End();
  // 0.5 ms per tick: a one-tick interval (0.5) rounds to 0, a three-tick one (1.5) to 2.
  SmfTrack halves;
  halves.NoteOn(1, 0, 60, 1).NoteOn(1, 0, 61, 1).NoteOn(3, 0, 62, 1).End();
  const struct {
    uint16_t division;
    SmfTrack track;
    std::vector<int32_t> times;
  } cases[] = {{3, thirds, {167, 334, 501, 501}}, {1000, halves, {0, 0, 2, 2}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.division);
    TMidiV midi;
    midi.Parse(Smf(0, c.division, {c.track}));
    std::vector<int32_t> times;
    for (const auto& e : midi.Events()) times.push_back(e.Time);
    EXPECT_EQ(times, c.times);
  }
}

TEST(TMidiV_Kinds, NumberedByStatusAndMetaType) {
  const struct {
    std::vector<uint8_t> bytes;
    uint8_t kind;
  } cases[] = {
      {{0x3C}, 0},
      {{0x90, 60, 1}, 1},
      {{0x90, 60, 0}, 2},
      {{0x85, 60, 64}, 2},
      {{0xA0, 60, 9}, 3},
      {{0xB2, 7, 9}, 4},
      {{0xC0, 5}, 5},
      {{0xD0, 5}, 6},
      {{0xE0, 0, 64}, 7},
      {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, 8},
      {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 0},
      {{0xF7, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41}, 0},
      {{0xFF, 0x51, 7, 0xA1, 0x20}, 9},
      {{0xFF, 0x00, 0, 1}, 10},
      {{0xFF, 0x03, 'a'}, 13},
      {{0xFF, 0x07}, 17},
      {{0xFF, 0x2F}, 18},
      {{0xFF, 0x52}, 19},
      {{0xFF, 0x58, 4, 2, 24, 8}, 20},
      {{0xFF, 0x59, 0, 0}, 21},
      {{0xFF, 0x7F, 1}, 0},
      {{0xF8}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(TMidiV::KindOf(c.bytes), c.kind);
  }
}

TEST(TMidiV_SysEx, KeepsTheStatusByteAndPayload) {
  SmfTrack t;
  t.SysEx(0, 0xF0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
      .SysEx(10, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .SysEx(10, 0xF7, {0x01, 0x02})
      .End();
  EXPECT_EQ(DumpOf(Smf(0, 480, {t})),
            "events 4 length 20\n"
            "0 8 0 f0 41 10 42 12 40 00 7f 00 41 f7\n"
            "10 0 0 f0 7e 7f 09 01 f7\n"
            "20 0 0 f7 01 02\n"
            "20 18 0 ff 2f\n");
}

// Chunks are found by their stated lengths: what a reader does not know is stepped over.
TEST(TMidiV_Chunks, UnknownChunksPaddingAndLongHeadersLeaveTheTracksInPlace) {
  SmfTrack a, b;
  a.Program(0, 0, 1).NoteOn(10, 0, 60, 100).End(10);
  b.Program(0, 1, 2).NoteOn(5, 1, 64, 100).End(20);
  const std::vector<uint8_t> clean = Smf(1, 96, {a, b});
  const std::vector<uint8_t> trackA = SmfChunk("MTrk", a.data), trackB = SmfChunk("MTrk", b.data);
  std::vector<uint8_t> padded = a.data;
  padded.insert(padded.end(), {0x00, 0x00, 0x00});
  std::vector<uint8_t> longHeader = SmfHeader(1, 2, 96);
  longHeader[7] = 10;
  longHeader.insert(longHeader.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  const struct {
    const char* name;
    std::vector<uint8_t> file;
  } cases[] = {
      {"unknown chunk first", Cat({SmfHeader(1, 2, 96), SmfChunk("XFIH", {1, 2, 3, 4, 5}), trackA, trackB})},
      {"unknown chunk between", Cat({SmfHeader(1, 2, 96), trackA, SmfChunk("MTrX", {0x90, 0x3C}), trackB})},
      {"padding after end of track", Cat({SmfHeader(1, 2, 96), SmfChunk("MTrk", padded), trackB})},
      {"10-byte header", Cat({longHeader, trackA, trackB})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DumpOf(c.file), DumpOf(clean));
  }
}

TEST(TMidiV_BadInput, EndsCleanlyWithWhatCouldBeRead) {
  SmfTrack three;
  three.Program(0, 0, 1).NoteOn(96, 0, 60, 100).End(96);
  std::vector<uint8_t> beyond = Smf(0, 96, {three});
  beyond[18] = 0x7F;  // track length 0x7F…: far beyond the file
  std::vector<uint8_t> cut = Smf(0, 96, {three});
  cut.resize(cut.size() - 3);  // after the end-of-track event's delta
  SmfTrack vlq;
  vlq.Program(0, 0, 1);
  vlq.data.insert(vlq.data.end(), {0x81, 0x81, 0x81, 0x81, 0x01, 0xC0, 0x01});
  SmfTrack sysex;
  sysex.Program(0, 0, 1).Raw(0, {0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x02});
  SmfTrack tempo0;
  tempo0.Tempo(0, 0).NoteOn(480, 0, 60, 100).End(480);
  SmfTrack shortTempo;
  shortTempo.Meta(0, 0x51, {0x01}).NoteOn(96, 0, 60, 100).End();
  std::vector<uint8_t> manyTracks = Cat({SmfHeader(1, 65535, 96), SmfChunk("MTrk", three.data)});
  const struct {
    const char* name;
    std::vector<uint8_t> file;
    std::string dump;
  } cases[] = {
      {"not MIDI", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0}, "events 0 length 0\n"},
      {"empty", {}, "events 0 length 0\n"},
      {"header cut", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, "events 0 length 0\n"},
      {"division 0", Smf(0, 0, {three}), "events 0 length 0\n"},
      {"track length beyond the file", beyond, "events 3 length 1000\n0 5 0 c0 01\n500 1 0 90 3c 64\n1000 18 0 ff 2f\n"},
      {"cut mid-track", cut, "events 2 length 500\n0 5 0 c0 01\n500 1 0 90 3c 64\n"},
      {"quantity of five bytes", Smf(0, 96, {vlq}), "events 1 length 0\n0 5 0 c0 01\n"},
      {"SysEx length past the track", Smf(0, 96, {sysex}), "events 1 length 0\n0 5 0 c0 01\n"},
      {"tempo 0", Smf(0, 480, {tempo0}), "events 3 length 0\n0 9 0 ff 51 00 00 00\n0 1 0 90 3c 64\n0 18 0 ff 2f\n"},
      {"tempo too short", Smf(0, 96, {shortTempo}), "events 3 length 500\n0 9 0 ff 51 01\n500 1 0 90 3c 64\n500 18 0 ff 2f\n"},
      {"65535 tracks announced, one there", manyTracks,
       "events 3 length 1000\n0 5 0 c0 01\n500 1 0 90 3c 64\n1000 18 0 ff 2f\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DumpOf(c.file), c.dump);
  }
}

}  // namespace
}  // namespace orin
