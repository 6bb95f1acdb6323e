#include "shell/headless/input_script.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "core/cp932.h"
#include "core/error.h"

namespace orin {
namespace {

constexpr int64_t kMaxFrame = int64_t{1} << 40;
constexpr int kMaxCoordinate = 1 << 20;
constexpr int kMaxKey = 0xFFFF;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool ParseNumber(std::string_view word, int64_t low, int64_t high, int64_t& out) {
  int base = 10;
  bool negative = false;
  if (!word.empty() && word.front() == '-') {
    negative = true;
    word.remove_prefix(1);
  }
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  }
  if (word.empty()) return false;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (ec != std::errc() || end != word.data() + word.size()) return false;
  if (negative) value = -value;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

}  // namespace

std::vector<ScriptedInput> ParseInputScript(std::string_view text, const std::string& name) {
  std::vector<ScriptedInput> events;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) continue;

    auto fail = [&](const std::string& reason) {
      std::string message = name;
      message.append(":").append(std::to_string(lineNumber)).append(": ").append(reason);
      throw Error(FromUtf8(message));
    };
    int64_t frame = 0;
    if (!ParseNumber(w[0], 0, kMaxFrame, frame)) fail("the line must start with a frame number");
    if (w.size() < 2) fail("an event must follow the frame number");
    const std::string_view verb = w[1];
    auto expectArgs = [&](size_t n) {
      if (w.size() != 2 + n)
        fail(std::string(verb).append(n == 1 ? " takes one value" : " takes X and Y"));
    };
    auto coordinate = [&](size_t i) {
      int64_t v = 0;
      if (!ParseNumber(w[i], -kMaxCoordinate, kMaxCoordinate, v))
        fail(std::string("bad coordinate ").append(w[i]));
      return static_cast<int>(v);
    };
    auto add = [&](const InputEvent& e) { events.push_back({frame, e}); };

    if (verb == "click" || verb == "rclick" || verb == "down" || verb == "up" || verb == "move") {
      expectArgs(2);
      const int x = coordinate(2), y = coordinate(3);
      const MouseButton button = verb == "rclick" ? MouseButton::kRight : MouseButton::kLeft;
      add(InputEvent::MouseMove(x, y));
      if (verb == "click" || verb == "rclick" || verb == "down")
        add(InputEvent::MouseDown(button, x, y));
      if (verb == "click" || verb == "rclick" || verb == "up")
        add(InputEvent::MouseUp(button, x, y));
    } else if (verb == "wheel") {
      expectArgs(1);
      if (w[2] != "up" && w[2] != "down") fail("wheel takes up or down");
      add(InputEvent::Wheel(w[2] == "down"));
    } else if (verb == "key" || verb == "keyup") {
      expectArgs(1);
      int64_t key = 0;
      if (!ParseNumber(w[2], 0, kMaxKey, key)) fail(std::string("bad key code ").append(w[2]));
      add(verb == "key" ? InputEvent::KeyDown(static_cast<int>(key))
                        : InputEvent::KeyUp(static_cast<int>(key)));
    } else {
      fail(std::string("unknown event ").append(verb));
    }
  }
  std::stable_sort(
      events.begin(), events.end(),
      [](const ScriptedInput& a, const ScriptedInput& b) { return a.Frame < b.Frame; });
  return events;
}

std::vector<ScriptedInput> LoadInputScript(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) throw Error(FromUtf8(hostPath + ": cannot read the input script"));
  std::ostringstream text;
  text << in.rdbuf();
  return ParseInputScript(text.str(), hostPath);
}

}  // namespace orin
