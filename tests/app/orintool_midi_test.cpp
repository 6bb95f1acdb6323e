// orintool midi, run as a user runs it: the event list of a written file, and bad input.
#include <gtest/gtest.h>

#include "media/midi_fixtures.h"
#include "run_program.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;

TEST(OrintoolMidi, DumpsTheEventListTheSequencerPlays) {
  test::TempDir dir;
  test::SmfTrack conductor, tune;
  conductor.Tempo(0, 500000).Tempo(960, 250000).End();
  tune.Program(0, 2, 19).NoteOn(480, 2, 64, 90).Raw(480, {64, 0}).SysEx(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).End(480);
  const std::string file = dir.Write("tune.mid", test::AsString(test::Smf(1, 480, {conductor, tune})));
  auto r = RunOrintool({"midi", "dump", file});
  ASSERT_TRUE(Exits(r, 0));
  EXPECT_EQ(r.out,
            "events 8 length 1250\n"
            "0 9 0 ff 51 07 a1 20\n"
            "0 5 1 c2 13\n"
            "500 1 1 92 40 5a\n"
            "1000 9 0 ff 51 03 d0 90\n"
            "1000 18 0 ff 2f\n"
            "1000 2 1 92 40 00\n"
            "1000 0 1 f0 7e 7f 09 01 f7\n"
            "1250 18 1 ff 2f\n");
}

TEST(OrintoolMidi, BadInputAndUsage) {
  test::TempDir dir;
  EXPECT_TRUE(Exits(RunOrintool({"midi", "dump", dir.Write("a.mid", "RIFF, not music")}), 1, "not a standard MIDI file"));
  EXPECT_TRUE(Exits(RunOrintool({"midi", "dump", dir / "missing.mid"}), 1, "missing.mid"));
  EXPECT_TRUE(Exits(RunOrintool({"midi", "dump"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"midi", "play", dir / "a.mid"}), 2));
}

}  // namespace
}  // namespace orin
