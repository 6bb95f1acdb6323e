#include "shell/ini_file.h"

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"

namespace orin {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

IniFile::IniFile(std::string_view text) {
  Section* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      current = &SectionFor(name);
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || current == nullptr) continue;
    std::string_view name = Trim(line.substr(0, eq));
    bool known = false;
    for (const Key& k : current->keys) known = known || SameAscii(k.name, name);
    if (!known)
      current->keys.push_back({std::string(name), std::string(Trim(line.substr(eq + 1)))});
  }
}

bool IniFile::Load(const std::string& hostPath) {
  sections_.clear();
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *this = IniFile(text.str());
  return true;
}

std::string IniFile::Text() const {
  std::string out;
  for (const Section& s : sections_) {
    out.append("[").append(s.name).append("]\r\n");
    for (const Key& k : s.keys) out.append(k.name).append("=").append(k.value).append("\r\n");
    out.append("\r\n");
  }
  return out;
}

void IniFile::Save(const std::string& hostPath) const {
  const std::string text = Text();
  std::string partial = hostPath;
  partial.append(".partial");
  FILE* f = std::fopen(partial.c_str(), "wb");
  bool ok = f != nullptr;
  int saved = ok ? 0 : errno;
  if (f != nullptr) {
    ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 &&
         fsync(fileno(f)) == 0;
    if (!ok) saved = errno;
    if (std::fclose(f) != 0 && ok) {
      ok = false;
      saved = errno;
    }
  }
  if (ok && std::rename(partial.c_str(), hostPath.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    std::remove(partial.c_str());
    std::string message = hostPath;
    message.append(": cannot write: ").append(std::strerror(saved));
    throw Error(FromUtf8(message));
  }
}

const IniFile::Key* IniFile::FindKey(std::string_view section, std::string_view key) const {
  for (const Section& s : sections_) {
    if (!SameAscii(s.name, section)) continue;
    for (const Key& k : s.keys)
      if (SameAscii(k.name, key)) return &k;
  }
  return nullptr;
}

IniFile::Section& IniFile::SectionFor(std::string_view section) {
  for (Section& s : sections_)
    if (SameAscii(s.name, section)) return s;
  sections_.push_back({std::string(section), {}});
  return sections_.back();
}

std::optional<std::string> IniFile::ReadString(std::string_view section,
                                               std::string_view key) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr) return std::nullopt;
  return k->value;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  auto v = ReadString(section, key);
  return v ? *v : std::string(fallback);
}

std::optional<int32_t> IniFile::ParseInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return std::nullopt;
    value = value * base + digit;
    // Hexadecimal texts name the bits of an int32 (0xFFFFFFFF is −1); decimal ones its range.
    if (value > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{0x80000000})) return std::nullopt;
  }
  if (base == 16) {
    int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(value));
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(bits)) : bits;
  }
  if (negative) return static_cast<int32_t>(-value);
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr) return fallback;
  return ParseInteger(k->value).value_or(fallback);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Section& s = SectionFor(section);
  for (Key& k : s.keys)
    if (SameAscii(k.name, key)) {
      k.value = std::string(value);
      return;
    }
  s.keys.push_back({std::string(key), std::string(value)});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace orin
