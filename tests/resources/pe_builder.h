// Builds minimal Windows executables (PE32 or PE32+) whose only section holds a resource
// directory, for the tests of the resource reader and of archives shipped as a resource.
//
// Layout of the result: DOS header (e_lfanew 0x40), "PE\0\0", COFF header, optional header with 16
// data directories, one section ".rsrc" at RVA 0x1000 whose raw data starts at file offset 0x200
// and runs to the end of the file. Inside the section: the root directory, one directory per type,
// one language directory per resource, the data entries, the names (counted UTF-16), the data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace orin::test {

struct PeResource {
  std::string type;  // "#n" for a numeric id, else a name (UTF-8, stored as UTF-16)
  std::string name;
  std::string data;
  uint16_t language = 1041;
};

struct BuiltPe {
  std::string bytes;
  static constexpr uint32_t kSectionOffset = 0x200;
  static constexpr uint32_t kSectionRva = 0x1000;
  // File offset of each resource's data, in the order given.
  std::vector<int64_t> dataOffsets;
  // Section-relative offsets of the directories and records, for tests that damage them.
  uint32_t rootDir = 0;
  std::vector<uint32_t> typeDirs;      // one per distinct type, in order of first use
  std::vector<uint32_t> languageDirs;  // one per resource
  std::vector<uint32_t> dataEntries;   // one per resource
  std::vector<uint32_t> strings;       // every counted name, in the order written
  // File offsets of header fields.
  uint32_t optionalHeader = 0;
  uint32_t resourceDirectoryEntry = 0;  // data directory 2 (RVA, size)
  uint32_t sectionTable = 0;
};

namespace pe_detail {

inline void Put16(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

inline std::vector<uint16_t> Utf16Of(const std::string& utf8) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < utf8.size();) {
    auto c = static_cast<uint8_t>(utf8[i]);
    uint32_t cp;
    size_t n;
    if (c < 0x80) {
      cp = c;
      n = 1;
    } else if (c < 0xE0) {
      cp = c & 0x1F;
      n = 2;
    } else if (c < 0xF0) {
      cp = c & 0x0F;
      n = 3;
    } else {
      cp = c & 0x07;
      n = 4;
    }
    for (size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      out.push_back(static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<uint16_t>(cp));
    }
    i += n;
  }
  return out;
}

inline bool IsId(const std::string& key) { return !key.empty() && key[0] == '#'; }
inline uint32_t IdOf(const std::string& key) { return static_cast<uint32_t>(std::stoul(key.substr(1))); }

}  // namespace pe_detail

// withResources false leaves data directory 2 empty (and the section holds nothing).
inline BuiltPe BuildPe(const std::vector<PeResource>& resources, bool pe32plus = false, bool withResources = true) {
  using namespace pe_detail;
  BuiltPe pe;

  // Types in order of first use, each with its resources (named entries before numeric ones, as
  // the linker sorts them; the reader must not depend on it either way).
  std::vector<std::string> types;
  std::vector<std::vector<size_t>> members;
  for (size_t i = 0; i < resources.size(); ++i) {
    size_t t = 0;
    while (t < types.size() && types[t] != resources[i].type) ++t;
    if (t == types.size()) {
      types.push_back(resources[i].type);
      members.emplace_back();
    }
    members[t].push_back(i);
  }
  auto namedFirst = [&](const std::vector<std::string>& keys) {
    std::vector<size_t> order;
    for (int pass = 0; pass < 2; ++pass)
      for (size_t i = 0; i < keys.size(); ++i)
        if (IsId(keys[i]) == (pass == 1)) order.push_back(i);
    return order;
  };

  // Sizes and positions inside the section.
  uint32_t at = 0;
  pe.rootDir = at;
  at += 16 + 8 * static_cast<uint32_t>(types.size());
  for (size_t t = 0; t < types.size(); ++t) {
    pe.typeDirs.push_back(at);
    at += 16 + 8 * static_cast<uint32_t>(members[t].size());
  }
  pe.languageDirs.resize(resources.size());
  pe.dataEntries.resize(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) {
    pe.languageDirs[i] = at;
    at += 24;
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    pe.dataEntries[i] = at;
    at += 16;
  }
  std::string section(at, '\0');
  auto addString = [&](const std::string& utf8) {
    auto units = Utf16Of(utf8);
    uint32_t where = static_cast<uint32_t>(section.size());
    pe.strings.push_back(where);
    std::string s(2 + units.size() * 2, '\0');
    Put16(s, 0, static_cast<uint32_t>(units.size()));
    for (size_t k = 0; k < units.size(); ++k) Put16(s, 2 + k * 2, units[k]);
    section += s;
    return where;
  };
  auto putDirectory = [&](uint32_t dir, const std::vector<std::string>& keys, const std::vector<uint32_t>& targets,
                          bool subdirectories) {
    uint32_t named = 0, ids = 0;
    for (const auto& k : keys) (IsId(k) ? ids : named)++;
    Put16(section, dir + 12, named);
    Put16(section, dir + 14, ids);
    uint32_t e = dir + 16;
    for (size_t i : namedFirst(keys)) {
      uint32_t nameField = IsId(keys[i]) ? IdOf(keys[i]) : (0x80000000u | addString(keys[i]));
      Put32(section, e, nameField);
      Put32(section, e + 4, targets[i] | (subdirectories ? 0x80000000u : 0));
      e += 8;
    }
  };

  putDirectory(pe.rootDir, types, pe.typeDirs, true);
  for (size_t t = 0; t < types.size(); ++t) {
    std::vector<std::string> names;
    std::vector<uint32_t> targets;
    for (size_t i : members[t]) {
      names.push_back(resources[i].name);
      targets.push_back(pe.languageDirs[i]);
    }
    putDirectory(pe.typeDirs[t], names, targets, true);
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    putDirectory(pe.languageDirs[i], {"#" + std::to_string(resources[i].language)}, {pe.dataEntries[i]}, false);
  }
  std::vector<uint32_t> dataAt;
  for (const auto& r : resources) {
    while (section.size() % 8) section += '\0';
    dataAt.push_back(static_cast<uint32_t>(section.size()));
    section += r.data;
  }
  while (section.size() % 4) section += '\0';
  for (size_t i = 0; i < resources.size(); ++i) {
    Put32(section, pe.dataEntries[i], BuiltPe::kSectionRva + dataAt[i]);
    Put32(section, pe.dataEntries[i] + 4, static_cast<uint32_t>(resources[i].data.size()));
    pe.dataOffsets.push_back(BuiltPe::kSectionOffset + dataAt[i]);
  }
  if (!withResources) section.assign(16, '\0');

  const uint32_t optionalSize = pe32plus ? 240 : 224;
  const uint32_t dirBase = pe32plus ? 112 : 96;
  std::string b(BuiltPe::kSectionOffset, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  std::memcpy(&b[0x40], "PE\0\0", 4);
  Put16(b, 0x44, pe32plus ? 0x8664 : 0x14C);
  Put16(b, 0x46, 1);  // sections
  Put16(b, 0x54, optionalSize);
  Put16(b, 0x56, 0x0102);
  pe.optionalHeader = 0x58;
  Put16(b, pe.optionalHeader, pe32plus ? 0x20B : 0x10B);
  Put32(b, pe.optionalHeader + dirBase - 4, 16);
  pe.resourceDirectoryEntry = pe.optionalHeader + dirBase + 16;
  if (withResources) {
    Put32(b, pe.resourceDirectoryEntry, BuiltPe::kSectionRva);
    Put32(b, pe.resourceDirectoryEntry + 4, static_cast<uint32_t>(section.size()));
  }
  pe.sectionTable = pe.optionalHeader + optionalSize;
  std::memcpy(&b[pe.sectionTable], ".rsrc\0\0\0", 8);
  Put32(b, pe.sectionTable + 8, static_cast<uint32_t>(section.size()));   // virtual size
  Put32(b, pe.sectionTable + 12, BuiltPe::kSectionRva);                   // virtual address
  Put32(b, pe.sectionTable + 16, static_cast<uint32_t>(section.size()));  // raw size
  Put32(b, pe.sectionTable + 20, BuiltPe::kSectionOffset);                // raw offset
  pe.bytes = b + section;
  return pe;
}

}  // namespace orin::test
