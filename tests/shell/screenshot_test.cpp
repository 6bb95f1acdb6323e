#include "shell/screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace orin {
namespace {

TEST(Screenshot, PicturesFolderFromUserDirs) {
  const struct {
    const char* text;
    const char* folder;
  } cases[] = {
      {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/home/u/Bilder"},
      {"XDG_PICTURES_DIR=\"/srv/pics/\"\n", "/srv/pics"},
      {"  XDG_PICTURES_DIR=\"$HOME/写真\"", "/home/u/写真"},
      {"XDG_PICTURES_DIR=\"$HOME/\"\n", ""},  // the home folder itself means none
      {"XDG_PICTURES_DIR=\"relative\"\n", ""},
      {"XDG_PICTURES_DIR=\"$HOME/unclosed\n", ""},
      {"XDG_MUSIC_DIR=\"$HOME/Music\"\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PicturesFolderFrom(c.text, "/home/u"), c.folder) << c.text;
}

TEST(Screenshot, FileNamesCarryGameAndTimeAndNeverOverwrite) {
  setenv("TZ", "UTC", 1);
  tzset();
  const std::time_t t = 1796938205;  // 2026-12-10 21:30:05 UTC
  std::set<std::string> taken;
  auto exists = [&](const std::string& p) { return taken.count(p) > 0; };
  const std::string first = ScreenshotPath("/p/", "はじめてのゲーム", t, exists);
  EXPECT_EQ(first, "/p/はじめてのゲーム 2026-12-10 21-30-05.png");
  taken.insert(first);
  EXPECT_EQ(ScreenshotPath("/p/", "はじめてのゲーム", t, exists), "/p/はじめてのゲーム 2026-12-10 21-30-05 (2).png");
  EXPECT_EQ(ScreenshotPath("/p/", "a/b\x01", t, exists), "/p/a_b_ 2026-12-10 21-30-05.png");
  EXPECT_EQ(ScreenshotPath("/p/", "..", t, exists), "/p/orinplay 2026-12-10 21-30-05.png");
}

}  // namespace
}  // namespace orin
