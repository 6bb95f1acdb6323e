#include "shell/headless/input_script.h"

#include <gtest/gtest.h>

#include "core/cp932.h"
#include "core/error.h"
#include "shell/headless/headless_platform.h"
#include "support/test_support.h"

namespace orin {
namespace {

std::string Describe(const ScriptedInput& s) {
  const InputEvent& e = s.Event;
  std::string out = std::to_string(s.Frame) + " ";
  switch (e.Kind) {
    case InputKind::kMouseMove:
      return out + "move " + std::to_string(e.X) + "," + std::to_string(e.Y);
    case InputKind::kMouseDown:
      return out + (e.Button == MouseButton::kRight ? "rdown " : "down ") + std::to_string(e.X) +
             "," + std::to_string(e.Y);
    case InputKind::kMouseUp:
      return out + (e.Button == MouseButton::kRight ? "rup " : "up ") + std::to_string(e.X) + "," +
             std::to_string(e.Y);
    case InputKind::kWheel:
      return out + (e.WheelDown ? "wheel down" : "wheel up");
    case InputKind::kKeyDown:
      return out + "key " + std::to_string(e.Key);
    case InputKind::kKeyUp:
      return out + "keyup " + std::to_string(e.Key);
    default:
      return out + "?";
  }
}

TEST(InputScript, EventsExpandAndSortByFrame) {
  const char* text =
      "# a session\n"
      "5 click 10 20\n"
      "\n"
      "2 key 0x1B   # escape\n"
      "5\trclick -1 7\r\n"
      "3 wheel down\n"
      "3 wheel up\n"
      "7 down 1 2\n"
      "8 move 3 4\n"
      "9 up 5 6\n"
      "9 keyup 13\n"
      "0 key 300\n";
  std::vector<std::string> got;
  for (const ScriptedInput& s : ParseInputScript(text, "s.txt")) got.push_back(Describe(s));
  const std::vector<std::string> want = {
      "0 key 300",  "2 key 27",    "3 wheel down", "3 wheel up", "5 move 10,20", "5 down 10,20",
      "5 up 10,20", "5 move -1,7", "5 rdown -1,7", "5 rup -1,7", "7 move 1,2",   "7 down 1,2",
      "8 move 3,4", "9 move 5,6",  "9 up 5,6",     "9 keyup 13",
  };
  EXPECT_EQ(got, want);
}

TEST(InputScript, MalformedLinesNameTheirLine) {
  struct Case {
    const char* line;
    const char* reason;
  } cases[] = {
      {"click 1 2", "must start with a frame number"},
      {"-1 click 1 2", "must start with a frame number"},
      {"5", "an event must follow"},
      {"5 tap 1 2", "unknown event tap"},
      {"5 click 1", "click takes X and Y"},
      {"5 click 1 2 3", "click takes X and Y"},
      {"5 move x 2", "bad coordinate x"},
      {"5 move 1 99999999", "bad coordinate 99999999"},
      {"5 wheel left", "wheel takes up or down"},
      {"5 wheel", "wheel takes one value"},
      {"5 key", "key takes one value"},
      {"5 key -1", "bad key code -1"},
      {"5 key 65536", "bad key code 65536"},
      {"5 keyup 0xZZ", "bad key code 0xZZ"},
      {"x text abc", "must start with a frame number"},
      {"5 text", "text needs the text"},
      {"5 text a\\", "lone backslash"},
      {"5 text \\x4", "two hexadecimal digits"},
      {"5 clip \\q", "unknown escape"},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("1 key 13\n# comment\n") + c.line + "\n";
    try {
      ParseInputScript(text, "input.txt");
      ADD_FAILURE() << "accepted " << c.line;
    } catch (const Error& e) {
      const std::string message = ToUtf8(e.Message());
      EXPECT_EQ(message.rfind("input.txt:3: ", 0), 0u) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
  }
}

TEST(InputScript, TextLinesTakeTheRestOfTheLineVerbatim) {
  const char* text =
      "1 text a b  # not a comment\r\n"
      "2 compose \xe3\x81\x82\xe3\x81\x84\n"
      "2 compose\n"
      "3 clip line\\none\\t\\\\\\x81\n"
      "4 text \\x80\n";
  const std::vector<ScriptedInput> got = ParseInputScript(text, "t.txt");
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].Event.Kind, InputKind::kTextInput);
  EXPECT_EQ(got[0].Event.Text, "a b  # not a comment");
  EXPECT_EQ(got[1].Event.Kind, InputKind::kTextEditing);
  EXPECT_EQ(got[1].Event.Text, "\xe3\x81\x82\xe3\x81\x84");
  EXPECT_EQ(got[1].Event.Cursor, 2);  // characters, not bytes
  EXPECT_EQ(got[2].Event.Kind, InputKind::kTextEditing);
  EXPECT_EQ(got[2].Event.Text, "");
  ASSERT_TRUE(got[3].Clipboard.has_value());
  EXPECT_EQ(*got[3].Clipboard, "line\none\t\\\x81");
  EXPECT_FALSE(got[0].Clipboard.has_value());
  EXPECT_EQ(got[4].Event.Text, "\x80");
}

TEST(HeadlessPlatform_Text, ClipLinesFillTheClipboardAndTextArrivesInOrder) {
  HeadlessOptions options;
  options.Input = ParseInputScript("0 clip hello\n0 text x\n1 compose y\n", "t.txt");
  HeadlessPlatform platform(std::move(options));
  std::vector<InputEvent> events;
  platform.PollEvents(0, events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Text, "x");
  EXPECT_EQ(platform.ClipboardText(), "hello");
  platform.SetClipboardText("copied");
  EXPECT_EQ(platform.ClipboardText(), "copied");
  platform.PollEvents(1, events);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].Kind, InputKind::kTextEditing);
  platform.SetTextInput(true, Rect{1, 2, 3, 4});
  EXPECT_TRUE(platform.TextInputOn());
  EXPECT_EQ(platform.TextCaret(), (Rect{1, 2, 3, 4}));
}

TEST(InputScript, UnreadableFileIsAnError) {
  test::TempDir dir;
  EXPECT_THROW(LoadInputScript(dir / "missing.txt"), Error);
  dir.Write("ok.txt", "1 key 65\n");
  EXPECT_EQ(LoadInputScript(dir / "ok.txt").size(), 1u);
}

}  // namespace
}  // namespace orin
