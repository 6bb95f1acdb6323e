// IniFile: a settings file of sections in brackets and key=value lines, held in memory, read and
// written whole (the way the settings dialog and the main window share "game.ini").
//
// Reading: lines end in LF or CR LF; blank lines and lines starting with ";" are skipped; a line
// "[name]" starts a section; any other line with "=" is a key, the text before the first "=" its
// name and the rest its value, both without surrounding blanks; other lines are ignored. Section
// and key names compare without regard to case (ASCII letters); the first of repeated keys wins.
// Texts are kept as bytes (cp932 in a game's file).
//
// Writing keeps the order of sections and keys and adds new ones at the end; comments and
// ignored lines are not written back. Lines end in CR LF, so the file stays readable for the
// Windows player of the same game.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orin {

class IniFile {
 public:
  IniFile() = default;
  // Parses the text of a file.
  explicit IniFile(std::string_view text);

  // Reads the file; a missing or unreadable file reads as empty (false).
  bool Load(const std::string& hostPath);
  // Writes the file through a temporary file beside it and a rename. Throws Error on failure.
  void Save(const std::string& hostPath) const;
  std::string Text() const;

  std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Decimal with an optional sign, or hexadecimal after "0x" or "$", within int32; anything else
  // (empty, trailing characters, out of range) gives the fallback.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // An integer other than 0 is true; a value that is not an integer gives the fallback.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // Written as "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

  static std::optional<int32_t> ParseInteger(std::string_view text);

 private:
  struct Key {
    std::string name, value;
  };
  struct Section {
    std::string name;
    std::vector<Key> keys;
  };
  const Key* FindKey(std::string_view section, std::string_view key) const;
  Section& SectionFor(std::string_view section);

  std::vector<Section> sections_;
};

}  // namespace orin
