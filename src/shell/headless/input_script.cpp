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

[[noreturn]] void FailAt(const std::string& name, int lineNumber, const std::string& reason) {
  std::string message = name;
  message.append(":").append(std::to_string(lineNumber)).append(": ").append(reason);
  throw Error(FromUtf8(message));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(std::string_view text, const std::string& name, int lineNumber) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) FailAt(name, lineNumber, "a text ends in a lone backslash");
    switch (text[i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        const int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) FailAt(name, lineNumber, "\\x needs two hexadecimal digits");
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        FailAt(name, lineNumber, std::string("unknown escape \\").append(1, text[i]));
    }
  }
  return out;
}

int CodePoints(std::string_view utf8) {
  int n = 0;
  for (char c : utf8)
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) ++n;
  return n;
}

// The verbs whose argument is the rest of the line; true when the line was one of them.
bool ParseTextLine(std::string_view line, const std::string& name, int lineNumber,
                   std::vector<ScriptedInput>& events) {
  size_t i = 0;
  auto blank = [&](size_t at) { return at < line.size() && (line[at] == ' ' || line[at] == '\t'); };
  while (blank(i)) ++i;
  const size_t frameStart = i;
  while (i < line.size() && !blank(i) && line[i] != '\r') ++i;
  const std::string_view frameWord = line.substr(frameStart, i - frameStart);
  while (blank(i)) ++i;
  const size_t verbStart = i;
  while (i < line.size() && !blank(i) && line[i] != '\r') ++i;
  const std::string_view verb = line.substr(verbStart, i - verbStart);
  if (verb != "text" && verb != "compose" && verb != "clip") return false;
  int64_t frame = 0;
  if (!ParseNumber(frameWord, 0, kMaxFrame, frame))
    FailAt(name, lineNumber, "the line must start with a frame number");
  std::string_view rest = i < line.size() ? line.substr(i + 1) : std::string_view();
  if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
  std::string text = Unescape(rest, name, lineNumber);
  if (verb == "text" && text.empty()) FailAt(name, lineNumber, "text needs the text to type");
  // Each kind is made whole in one expression: assigning into a default-made optional trips a
  // false uninitialised-use warning of GCC 12 under the sanitizers.
  if (verb == "clip") {
    events.push_back(ScriptedInput{.Frame = frame, .Event = {}, .Clipboard = std::move(text)});
  } else if (verb == "text") {
    events.push_back(ScriptedInput{.Frame = frame, .Event = InputEvent::TextInput(std::move(text))});
  } else {
    const int cursor = CodePoints(text);
    events.push_back(ScriptedInput{.Frame = frame, .Event = InputEvent::TextEditing(std::move(text), cursor)});
  }
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
    if (ParseTextLine(line, name, lineNumber, events)) continue;
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
