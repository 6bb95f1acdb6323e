// orintool media, run as a user runs it: a sound file and an archive entry described.
#include <gtest/gtest.h>

#include <filesystem>

#include "resources/big_stream.h"
#include "resources/file_collection.h"
#include "run_program.h"
#include "support/movie_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace orin {
namespace {

using test::Exits;
using test::RunOrintool;
using test::SoundCodec;

TEST(OrintoolMedia, DescribesFilesAndArchiveEntries) {
  test::TempDir dir;
  const std::string wav = dir.Write("a.wav", test::MakeSound({SoundCodec::kWavPcm8, 1, 22050, 22050}));
  ASSERT_TRUE(Exits(RunOrintool({"media", "info", wav}), 0, "", "wav pcm_u8, 1 channel, 22050 Hz, 8 bit, 1000 ms"));

  dir.Write("src/bgm/song.ogg", test::MakeSound({SoundCodec::kVorbis, 2, 44100, 88200}));
  HostFileSystem fs;
  TVrFileCollection c(fs);
  c.Folder = dir / "src/";
  c.AddEntry("bgm\\song.ogg");
  {
    TTpBigFileStream out(dir / "game.dat", TTpBigFileStream::kCreate);
    ASSERT_TRUE(c.Save(out));
  }
  ASSERT_TRUE(Exits(RunOrintool({"media", "info", "--json", dir / "game.dat", "BGM/Song.ogg"}), 0, "",
                    "{\"container\": \"ogg\", \"codec\": \"vorbis\", \"channels\": 2, \"rate\": 44100, "
                    "\"bits\": 16, \"length_ms\": 2000}"));

  // Bad input exits 1 with a reason; a wrong call exits 2.
  const std::string text = dir.Write("notes.ogg", "only words here");
  EXPECT_TRUE(Exits(RunOrintool({"media", "info", text}), 1, "not a sound file"));
  EXPECT_TRUE(Exits(RunOrintool({"media", "info", dir / "missing.wav"}), 1, "missing.wav"));
  EXPECT_TRUE(Exits(RunOrintool({"media", "info", dir / "game.dat", "none.ogg"}), 1, "no entry none.ogg"));
  EXPECT_TRUE(Exits(RunOrintool({"media", "info"}), 2));
  EXPECT_TRUE(Exits(RunOrintool({"media", "play", wav}), 2));
}

TEST(OrintoolMedia, ListsTheStreamsOfPicturesOfAMovie) {
  test::TempDir dir;
  const std::string wmv = dir.Write("a.wmv", test::MakeMovie({test::MovieCodec::kWmv2, 160, 120, 25, 25}));
  auto r = RunOrintool({"media", "info", wmv});
  ASSERT_TRUE(Exits(r, 0, "", "asf movie, "));
  EXPECT_NE(r.out.find("video 0: wmv2, 160 x 120, 25 fps, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sound: asf wmav2, 2 channels, 44100 Hz, 16 bit, "), std::string::npos) << r.out;

  const std::string mpg = dir.Write("b.mpg", test::MakeMovie({test::MovieCodec::kMpeg1, 64, 48, 30, 30, false}));
  r = RunOrintool({"media", "info", "--json", mpg});
  ASSERT_TRUE(Exits(r, 0, "", "\"video\": [{\"index\": 0, \"codec\": \"mpeg1video\", \"width\": 64, "
                                "\"height\": 48, \"fps\": 30, \"length_ms\": "));
  EXPECT_NE(r.out.find("\"sound\": null}"), std::string::npos) << r.out;

  // A movie whose pictures cannot be played says why.
  std::string unknown = test::MakeMovie({test::MovieCodec::kWmv2, 64, 48, 25, 5});
  for (size_t at = unknown.find("WMV2"); at != std::string::npos; at = unknown.find("WMV2", at + 4))
    unknown.replace(at, 4, "QQQ9");
  EXPECT_TRUE(Exits(RunOrintool({"media", "info", dir.Write("c.wmv", unknown)}), 1, "no decoder for its pictures"));
}

}  // namespace
}  // namespace orin
