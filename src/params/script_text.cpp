#include "params/script_text.h"

#include <array>
#include <cstdint>

#include "core/cp932.h"

namespace orin {

namespace {

// --- Case ------------------------------------------------------------------------------------

// Double-byte letters: full-width Latin (lower = upper + 0x21), Greek (+ 0x20) and Cyrillic,
// whose lower-case row skips the trail byte 0x7F.
uint16_t UpperOf(uint16_t c) {
  if (c >= 0x8281 && c <= 0x829A) return static_cast<uint16_t>(c - 0x21);
  if (c >= 0x83BF && c <= 0x83D6) return static_cast<uint16_t>(c - 0x20);
  if (c >= 0x8470 && c <= 0x847E) return static_cast<uint16_t>(c - 0x30);
  if (c >= 0x8480 && c <= 0x8491) return static_cast<uint16_t>(c - 0x31);
  return c;
}

uint16_t LowerOf(uint16_t c) {
  if (c >= 0x8260 && c <= 0x8279) return static_cast<uint16_t>(c + 0x21);
  if (c >= 0x839F && c <= 0x83B6) return static_cast<uint16_t>(c + 0x20);
  if (c >= 0x8440 && c <= 0x844E) return static_cast<uint16_t>(c + 0x30);
  if (c >= 0x844F && c <= 0x8460) return static_cast<uint16_t>(c + 0x31);
  return c;
}

template <bool Upper>
std::string MapCase(std::string_view s) {
  std::string out(s);
  ForEachChar(s, [&](size_t pos, size_t len) {
    if (len == 1) {
      char& c = out[pos];
      if (Upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!Upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      return;
    }
    const uint16_t code = CharCodeAt(s, pos);
    const uint16_t mapped = Upper ? UpperOf(code) : LowerOf(code);
    out[pos] = static_cast<char>(mapped >> 8);
    out[pos + 1] = static_cast<char>(mapped & 0xFF);
  });
  return out;
}

// --- Half-width / full-width -----------------------------------------------------------------

// Full-width forms of 0x20-0x7E.
constexpr uint16_t kAsciiZen[95] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166,  // blank ! " # $ % & '
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,  // ( ) * + , - . /
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,  // 0-7
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,  // 8 9 : ; < = > ?
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,  // @ A-G
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,  // H-O
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,  // P-W
    0x8277, 0x8278, 0x8279, 0x816D, 0x818F, 0x816E, 0x814F, 0x8151,  // X Y Z [ \ ] ^ _
    0x8165, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,  // ` a-g
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,  // h-o
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,  // p-w
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,          // x y z { | } ~
};

// Full-width forms of the half-width katakana and punctuation 0xA1-0xDF.
constexpr uint16_t kKanaZen[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,  // 。「」、・ヲァィ
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,  // ゥェォャュョッー
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,  // アイウエオカキク
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,  // ケコサシスセソタ
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,  // チツテトナニヌネ
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,  // ノハヒフヘホマミ
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,  // ムメモヤユヨラリ
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,          // ルレロワン゛゜
};

constexpr uint8_t kVoicedMark = 0xDE;
constexpr uint8_t kSemiVoicedMark = 0xDF;

// The voiced (mark 0xDE) or semi-voiced (0xDF) full-width kana of half-width kana b, or 0.
uint16_t Combined(uint8_t b, uint8_t mark) {
  if (mark == kVoicedMark) {
    if (b == 0xB3) return 0x8394;  // ｳﾞ: ヴ
    if ((b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE))
      return static_cast<uint16_t>(kKanaZen[b - 0xA1] + 1);
  } else if (mark == kSemiVoicedMark) {
    if (b >= 0xCA && b <= 0xCE) return static_cast<uint16_t>(kKanaZen[b - 0xA1] + 2);
  }
  return 0;
}

// Full-width code -> one or two single bytes (the second 0 when there is one).
struct HanForm {
  uint8_t first = 0;
  uint8_t second = 0;
};

class ZenTable {
 public:
  ZenTable() {
    for (int i = 0; i < 95; ++i) Put(kAsciiZen[i], static_cast<uint8_t>(0x20 + i));
    for (int i = 0; i < 63; ++i) Put(kKanaZen[i], static_cast<uint8_t>(0xA1 + i));
    for (int b = 0xA1; b <= 0xDF; ++b) {
      for (uint8_t mark : {kVoicedMark, kSemiVoicedMark})
        if (uint16_t c = Combined(static_cast<uint8_t>(b), mark))
          Put(c, static_cast<uint8_t>(b), mark);
    }
    Put(0x8167, '"');   // “
    Put(0xEEFC, '"');   // ＂ (both rows of the extension set)
    Put(0xFA57, '"');
    Put(0xEEFB, '\'');  // ＇
    Put(0xFA56, '\'');
    Put(0x814D, '`');   // ｀
    Put(0x815F, '\\');  // ＼
  }

  HanForm Find(uint16_t code) const {
    const uint8_t lead = static_cast<uint8_t>(code >> 8);
    int row;
    if (lead >= 0x81 && lead <= 0x84)
      row = lead - 0x81;
    else if (lead == 0xEE)
      row = 4;
    else if (lead == 0xFA)
      row = 5;
    else
      return {};
    return rows_[static_cast<size_t>(row)][code & 0xFF];
  }

 private:
  void Put(uint16_t code, uint8_t first, uint8_t second = 0) {
    const uint8_t lead = static_cast<uint8_t>(code >> 8);
    const int row = lead == 0xEE ? 4 : lead == 0xFA ? 5 : lead - 0x81;
    rows_[static_cast<size_t>(row)][code & 0xFF] = {first, second};
  }

  std::array<std::array<HanForm, 256>, 6> rows_{};
};

const ZenTable& Zen() {
  static const ZenTable table;
  return table;
}

void AppendCode(std::string& out, uint16_t code) {
  out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

}  // namespace

std::string LocaleUpperCase(std::string_view s) {
  return MapCase<true>(s);
}

std::string LocaleLowerCase(std::string_view s) {
  return MapCase<false>(s);
}

int LocaleCompareText(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t na = CharLength(a, i), nb = CharLength(b, j);
    uint16_t ca = CharCodeAt(a, i), cb = CharCodeAt(b, j);
    if (na == 1 && ca >= 'a' && ca <= 'z') ca = static_cast<uint16_t>(ca - 32);
    if (nb == 1 && cb >= 'a' && cb <= 'z') cb = static_cast<uint16_t>(cb - 32);
    if (na == 2) ca = UpperOf(ca);
    if (nb == 2) cb = UpperOf(cb);
    if (ca != cb) return ca < cb ? -1 : 1;
    i += na;
    j += nb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::string HanToZen(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size();) {
    const size_t n = CharLength(s, i);
    const auto b = static_cast<uint8_t>(s[i]);
    if (n == 2) {
      out.append(s.substr(i, 2));
    } else if (b >= 0x20 && b <= 0x7E) {
      AppendCode(out, kAsciiZen[b - 0x20]);
    } else if (b >= 0xA1 && b <= 0xDF) {
      const uint16_t combined =
          i + 1 < s.size() ? Combined(b, static_cast<uint8_t>(s[i + 1])) : uint16_t{0};
      if (combined) {
        AppendCode(out, combined);
        i += 2;
        continue;
      }
      AppendCode(out, kKanaZen[b - 0xA1]);
    } else {
      out += static_cast<char>(b);
    }
    i += n;
  }
  return out;
}

std::string ZenToHan(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  const ZenTable& table = Zen();
  ForEachChar(s, [&](size_t pos, size_t len) {
    if (len == 2) {
      const HanForm form = table.Find(CharCodeAt(s, pos));
      if (form.first) {
        out += static_cast<char>(form.first);
        if (form.second) out += static_cast<char>(form.second);
        return;
      }
    }
    out.append(s.substr(pos, len));
  });
  return out;
}

std::vector<std::string> SplitLines(std::string_view s) {
  // Line breaks are found bytewise: CR and LF lie below every trail byte, and a text list splits
  // a lone lead byte from a following break too.
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\r' && s[i] != '\n') continue;
    lines.emplace_back(s.substr(start, i - start));
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < s.size()) lines.emplace_back(s.substr(start));
  return lines;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t begin = 0, end = s.size();
  while (begin < end && static_cast<uint8_t>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<uint8_t>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}

}  // namespace orin
