#include "shell/screen_manager.h"

#include <gtest/gtest.h>

namespace orin {
namespace {

struct ChoiceCase {
  const char* what;
  DisplayMode desktop;
  std::vector<DisplayMode> modes;
  int gameW, gameH, prefW, prefH;
  std::vector<DisplayMode> listed;
  int32_t chosen;
  bool canFullScreen;
};

TEST(TScreenManager, ModeListAndChoice) {
  const DisplayMode desk{1920, 1080, 32, 60};
  const ChoiceCase cases[] = {
      {"smaller and 8-bit modes are not listed; the first listed is chosen",
       desk,
       {{1920, 1080, 32, 60}, {800, 600, 32, 60}, {1024, 768, 8, 60}, {1024, 768, 16, 60}},
       1024, 768, 0, 0,
       {{1920, 1080, 32, 60}, {1024, 768, 16, 60}},
       0, true},
      {"a later mode of the preferred size replaces one of another size",
       desk,
       {{1920, 1080, 32, 60}, {1280, 720, 32, 60}, {800, 600, 32, 60}},
       800, 600, 800, 600,
       {{1920, 1080, 32, 60}, {1280, 720, 32, 60}, {800, 600, 32, 60}},
       2, true},
      {"both preferred: the desktop's depth wins over another depth",
       desk,
       {{800, 600, 16, 60}, {800, 600, 32, 75}},
       800, 600, 800, 600,
       {{800, 600, 16, 60}, {800, 600, 32, 75}},
       1, true},
      {"both preferred and the desktop's depth: the lower refresh rate wins",
       desk,
       {{800, 600, 32, 85}, {800, 600, 32, 60}, {800, 600, 32, 75}},
       800, 600, 800, 600,
       {{800, 600, 32, 85}, {800, 600, 32, 60}, {800, 600, 32, 75}},
       1, true},
      {"a later preferred mode of another depth does not replace",
       desk,
       {{800, 600, 32, 60}, {800, 600, 16, 50}},
       800, 600, 800, 600,
       {{800, 600, 32, 60}, {800, 600, 16, 50}},
       0, true},
      {"an unreadable desktop depth counts as 24",
       DisplayMode{1920, 1080, 0, 0},
       {{800, 600, 32, 60}, {800, 600, 24, 60}},
       800, 600, 800, 600,
       {{800, 600, 32, 60}, {800, 600, 24, 60}},
       1, true},
      {"no mode holds the game: no full screen",
       desk,
       {{1920, 1080, 32, 60}},
       2560, 1440, 0, 0,
       {},
       -1, false},
      {"a mode holds the game but the desktop does not: the window stays",
       DisplayMode{1024, 768, 32, 60},
       {{1280, 1024, 32, 60}, {1024, 768, 32, 60}},
       1280, 800, 0, 0,
       {{1280, 1024, 32, 60}},
       0, false},
      {"a display that is gone: no modes, no desktop",
       DisplayMode{},
       {},
       640, 480, 0, 0,
       {},
       -1, false},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.what);
    TScreenManager m(c.desktop, c.modes, c.gameW, c.gameH, c.prefW, c.prefH);
    EXPECT_EQ(m.Modes(), c.listed);
    EXPECT_EQ(m.ChosenIndex(), c.chosen);
    EXPECT_EQ(m.CanFullScreen(), c.canFullScreen);
  }
}

TEST(TScreenManager, ScriptsReadAndChooseModes) {
  TScreenManager m({1920, 1080, 32, 60}, {{1920, 1080, 32, 60}, {1024, 768, 16, 75}}, 800, 600,
                   0, 0);
  EXPECT_EQ(m.ModeCount(), 2);
  EXPECT_EQ(m.ModeFields(1), (std::array<int32_t, 4>{1024, 768, 16, 75}));
  EXPECT_EQ(m.ModeFields(2), (std::array<int32_t, 4>{}));
  EXPECT_EQ(m.ModeFields(-1), (std::array<int32_t, 4>{}));
  m.SetChosenIndex(1);
  EXPECT_EQ(m.ChosenIndex(), 1);
  // An index outside the list leaves the choice as it was.
  m.SetChosenIndex(2);
  m.SetChosenIndex(-1);
  EXPECT_EQ(m.ChosenIndex(), 1);
  EXPECT_EQ(m.DesktopDepth(), 32);
}

}  // namespace
}  // namespace orin
