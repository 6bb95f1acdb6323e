#include "scene/text/word_markup.h"

#include <charconv>
#include <vector>

#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/stream.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_stream.h"

namespace orin {

using namespace literals;

namespace {

constexpr int32_t kToolWait = TTpWord::kDefaultWait;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Integer of a whole attribute value ("12", "-3"); nullopt when it is not one.
std::optional<int32_t> ParseInt(std::string_view v) {
  if (v.empty()) return std::nullopt;
  int32_t n = 0;
  const char* end = v.data() + v.size();
  auto r = std::from_chars(v.data() + (v[0] == '+' ? 1 : 0), end, n);
  if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
  return n;
}

// "#RRGGBB" as 0x00BBGGRR; nullopt without "#" or with a bad number.
std::optional<int32_t> ParseColour(std::string_view v) {
  if (v.size() < 2 || v[0] != '#') return std::nullopt;
  uint32_t n = 0;
  const char* end = v.data() + v.size();
  auto r = std::from_chars(v.data() + 1, end, n, 16);
  if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
  return static_cast<int32_t>((n & 0xFF) << 16 | (n & 0xFF00) | (n >> 16 & 0xFF));
}

struct Attribute {
  std::string Name;  // upper case
  std::string Value;
  bool HasValue = false;
};

// A tag's content (between "<" and ">"): its name in upper case and its attributes.
struct Tag {
  std::string Name;
  std::vector<Attribute> Attributes;

  const Attribute* Find(std::string_view name) const {
    for (const Attribute& a : Attributes)
      if (a.Name == name) return &a;
    return nullptr;
  }
  const std::string* Value(std::string_view name) const {
    const Attribute* a = Find(name);
    return a && a->HasValue ? &a->Value : nullptr;
  }
};

// The end of a quoted value that opens at open (the quote), or the text's end.
size_t QuotedValueEnd(std::string_view s, size_t open) {
  const char quote = s[open];
  for (size_t i = open + 1; i < s.size();) {
    const size_t n = CharLength(s, i);
    if (n == 1) {
      if (quote == '"' && s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) {
        i += 2;
        continue;
      }
      if (s[i] == quote) return i;
    }
    i += n;
  }
  return s.size();
}

// Position of the ">" that ends the tag opening at open, or npos.
size_t TagEnd(std::string_view s, size_t open) {
  for (size_t i = open + 1; i < s.size();) {
    const size_t n = CharLength(s, i);
    if (n == 1) {
      if (s[i] == '>') return i;
      if (s[i] == '=' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\'')) {
        const size_t close = QuotedValueEnd(s, i + 1);
        if (close >= s.size()) return std::string_view::npos;
        i = close + 1;
        continue;
      }
    }
    i += n;
  }
  return std::string_view::npos;
}

Tag ParseTag(std::string_view content) {
  Tag tag;
  size_t i = 0;
  while (i < content.size() && IsBlank(content[i])) ++i;
  size_t start = i;
  while (i < content.size() && !IsBlank(content[i]) && content[i] != '=') i += CharLength(content, i);
  tag.Name = UpperCase(content.substr(start, i - start));
  while (i < content.size()) {
    while (i < content.size() && (IsBlank(content[i]) || content[i] == '=')) ++i;
    if (i >= content.size()) break;
    start = i;
    while (i < content.size() && !IsBlank(content[i]) && content[i] != '=') i += CharLength(content, i);
    Attribute a;
    a.Name = UpperCase(content.substr(start, i - start));
    if (i < content.size() && content[i] == '=') {
      ++i;
      a.HasValue = true;
      if (i < content.size() && (content[i] == '"' || content[i] == '\'')) {
        const size_t close = QuotedValueEnd(content, i);
        a.Value = std::string(content.substr(i + 1, close - i - 1));
        i = close + 1;
      } else {
        start = i;
        while (i < content.size() && !IsBlank(content[i])) i += CharLength(content, i);
        a.Value = std::string(content.substr(start, i - start));
      }
    }
    tag.Attributes.push_back(std::move(a));
  }
  return tag;
}

// Position of needle (compared without regard to case) at a character boundary from from.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from) {
  for (size_t i = from; i + needle.size() <= hay.size(); i += CharLength(hay, i))
    if (SameText(hay.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

// The value a DIV or IMG alignment name selects (1 ... 5), or 0.
uint8_t AlignOf(std::string_view name) {
  static const char* const kNames[] = {"", "LEFT", "RIGHT", "CENTER", "TOP", "BOTTOM"};
  for (uint8_t i = 1; i < 6; ++i)
    if (SameText(name, kNames[i])) return i;
  return 0;
}

struct FontState {
  int32_t Size, Color, BorderColor, ShadowColor, Border, Shadow;
  std::string Name;
};

class MarkupParser {
 public:
  MarkupParser(TTpWord& doc, int32_t initialWait) : doc_(doc), wait_(initialWait) {}

  void Run(std::string_view markup) {
    const std::string text = JoinLines(markup);
    std::string_view s = text;
    for (size_t pos = 0; pos < s.size();) {
      const size_t n = CharLength(s, pos);
      const char c = s[pos];
      if (n == 2) {
        AddChar(CharCodeAt(s, pos));
        pos += 2;
        continue;
      }
      if (c == '<') {
        pos = Tagged(s, pos);
        continue;
      }
      if (c == '\\' && pos + 1 < s.size() && std::string_view("\"%<>\\{}").find(s[pos + 1]) != std::string_view::npos) {
        AddChar(static_cast<uint8_t>(s[pos + 1]));
        pos += 2;
        continue;
      }
      if (c == '"') {
        pos = Verbatim(s, pos);
        continue;
      }
      const bool pre = pre_ || textarea_;
      if (c == '\r') {
        if (pre) {
          if (!justOpened_ && pre_) AddReturn(false);
          justOpened_ = false;
        } else if (!lastSpace_) {
          AddChar(' ');
        }
        ++pos;
        continue;
      }
      if (c == '\t' && pre) {
        for (int i = 0; i < 8; ++i) AddChar(' ');
        ++pos;
        continue;
      }
      if (c == ' ' || c == '\x14') {
        if ((c == '\x14' && pre) || !lastSpace_) AddChar(' ');
        ++pos;
        continue;
      }
      AddChar(static_cast<uint8_t>(c));
      ++pos;
    }
  }

 private:
  // Lines (CR LF, LF or CR) joined with CR; a final line break ends the last line.
  static std::string JoinLines(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
      const char c = in[i];
      if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n') continue;
      out += c == '\n' ? '\r' : c;
    }
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return out;
  }

  size_t Tagged(std::string_view s, size_t pos) {
    std::string_view rest = s.substr(pos);
    if (rest.starts_with("<!--")) {
      const size_t end = s.find("-->", pos + 4);
      return end == std::string_view::npos ? s.size() : end + 3;
    }
    for (std::string_view block : {std::string_view("SCRIPT"), std::string_view("STYLE")}) {
      if (rest.size() > block.size() && SameText(rest.substr(1, block.size()), block)) {
        const char after = rest.size() > block.size() + 1 ? rest[block.size() + 1] : '>';
        if (after != '>' && !IsBlank(after)) continue;
        std::string close = "</";
        close.append(block).append(">");
        const size_t end = FindNoCase(s, close, pos);
        return end == std::string_view::npos ? s.size() : end + close.size();
      }
    }
    const size_t end = TagEnd(s, pos);
    const size_t stop = end == std::string_view::npos ? s.size() : end;
    HandleTag(ParseTag(s.substr(pos + 1, stop - pos - 1)));
    return end == std::string_view::npos ? s.size() : end + 1;
  }

  size_t Verbatim(std::string_view s, size_t pos) {
    size_t i = pos + 1;
    AddChar('"', true);
    while (i < s.size()) {
      const size_t n = CharLength(s, i);
      if (n == 1 && s[i] == '"') {
        AddChar('"', true);
        return i + 1;
      }
      if (n == 1 && (s[i] == '\r' || s[i] == '\n' || s[i] == '\t')) {
        ++i;
        continue;
      }
      AddChar(CharCodeAt(s, i), true);
      i += n;
    }
    return i;
  }

  void HandleTag(const Tag& t) {
    const std::string& n = t.Name;
    if (n == "PRE" || n == "TEXTAREA") {
      (n == "PRE" ? pre_ : textarea_) = true;
      justOpened_ = true;
      return;
    }
    if (n == "/PRE") {
      pre_ = false;
      return;
    }
    if (n == "/TEXTAREA") {
      textarea_ = false;
      return;
    }
    if (n == "A") {
      const std::string* href = t.Value("HREF");
      if (!href) throw Error("<A>タグにHREF値がありません"_sj);
      link_ = UnescapeText(*href);  // \" and \\ are the character, \n CR LF
    } else if (n == "/A") {
      link_.clear();
    } else if (n == "B" || n == "I" || n == "U" || n == "S") {
      look_.Style |= StyleBit(n[0]);
    } else if (n == "/B" || n == "/I" || n == "/U" || n == "/S") {
      look_.Style &= static_cast<uint8_t>(~StyleBit(n[1]));
    } else if (n == "FONT") {
      PushFont(t);
    } else if (n == "/FONT") {
      PopFont();
    } else if (n == "NOBR") {
      look_.NoBreak = 1;
    } else if (n == "/NOBR") {
      look_.NoBreak = 0;
    } else if (n == "RUBY") {
      const std::string* v = t.Value("VALUE");
      look_.Ruby = v ? *v : std::string();
    } else if (n == "/RUBY") {
      look_.Ruby.clear();
    } else if (n == "DIV") {
      alignStack_.push_back(align_);
      const std::string* v = t.Value("ALIGN");
      const uint8_t a = v ? AlignOf(*v) : 0;
      align_ = a >= kAlignLeft && a <= kAlignCenter ? a : uint8_t{kAlignLeft};
      AddAlign(align_);
    } else if (n == "/DIV") {
      if (!alignStack_.empty()) {
        align_ = alignStack_.back();
        alignStack_.pop_back();
      }
      AddAlign(align_);
    } else if (n == "INDENT") {
      Add(std::make_unique<TWdOpeIndent>());
    } else if (n == "UNDENT") {
      Add(std::make_unique<TWdOpeUndent>());
    } else if (n == "BR") {
      AddReturn(t.Find("CLEAR") != nullptr);
    } else if (n == "CLEAR") {
      AddReturn(true);
    } else if (n == "EVENT") {
      auto e = std::make_unique<TWdOpeEvent>();
      if (const std::string* v = t.Value("VALUE")) e->Text = UnescapeText(*v);
      e->AtEnd = t.Find("END") != nullptr;
      Add(std::move(e));
    } else if (n == "WAIT") {
      waitStack_.push_back(wait_);
      if (const std::string* v = t.Value("VALUE"))
        if (auto w = ParseInt(*v)) wait_ = *w;
    } else if (n == "/WAIT") {
      if (!waitStack_.empty()) {
        wait_ = waitStack_.back();
        waitStack_.pop_back();
      }
    } else if (n == "VAR") {
      const std::string* name = t.Value("NAME");
      if (!name) return;
      auto v = std::make_unique<TWdOpeVar>();
      v->Style = Style();
      v->Name = *name;
      Add(std::move(v));
    } else if (n == "IMG") {
      const std::string* src = t.Value("SRC");
      if (!src) return;
      auto m = std::make_unique<TWdImg>();
      m->FileName = *src;
      const std::string* a = t.Value("ALIGN");
      const uint8_t align = a ? AlignOf(*a) : 0;
      m->Align = align ? align : uint8_t{kAlignBottom};
      m->NoBreak = look_.NoBreak;
      m->Ruby = look_.Ruby;
      m->Link = link_;
      m->Wait = wait_;
      Add(std::move(m));
    }
  }

  static uint8_t StyleBit(char c) {
    switch (c) {
      case 'B':
        return 1;
      case 'I':
        return 2;
      case 'U':
        return 4;
      default:
        return 8;
    }
  }

  FontState CurrentFont() const {
    return FontState{look_.FontSize, look_.Color, look_.BorderColor, look_.ShadowColor,
                     look_.BorderWidth, look_.ShadowOffset, look_.FontName};
  }

  void PushFont(const Tag& t) {
    fontStack_.push_back(CurrentFont());
    if (const std::string* v = t.Value("SIZE"))
      if (auto n = ParseInt(*v)) look_.FontSize = *n;
    for (auto [name, field] : {std::pair{"COLOR", &look_.Color}, std::pair{"BCOLOR", &look_.BorderColor},
                               std::pair{"SCOLOR", &look_.ShadowColor}})
      if (const std::string* v = t.Value(name))
        if (auto c = ParseColour(*v)) *field = *c;
    if (const std::string* v = t.Value("NAME")) look_.FontName = *v;
    for (auto [name, field] : {std::pair{"BORDER", &look_.BorderWidth}, std::pair{"SHADOW", &look_.ShadowOffset}})
      if (const Attribute* a = t.Find(name)) {
        const auto n = a->HasValue ? ParseInt(a->Value) : std::nullopt;
        *field = n ? std::max(0, *n) : 1;
      }
  }

  void PopFont() {
    if (fontStack_.empty()) return;
    const FontState& f = fontStack_.back();
    look_.FontSize = f.Size;
    look_.Color = f.Color;
    look_.BorderColor = f.BorderColor;
    look_.ShadowColor = f.ShadowColor;
    look_.BorderWidth = f.Border;
    look_.ShadowOffset = f.Shadow;
    look_.FontName = f.Name;
    fontStack_.pop_back();
  }

  DecoratePtr Style() {
    // Runs of characters share a look; checking the last record spares the search. (Parsing
    // releases nothing, so the record is still in the list.)
    if (last_ && last_->SameLook(look_)) {
      ++last_->RefCount;
      return last_;
    }
    last_ = doc_.Styles.Acquire(look_);
    return last_;
  }

  void AddChar(uint16_t code, bool verbatim = false) {
    auto c = std::make_unique<TWdChar>();
    c->Code = code;
    c->Style = Style();
    c->Link = link_;
    c->Wait = wait_;
    Add(std::move(c));
    lastSpace_ = code == ' ' && !verbatim;
    justOpened_ = false;
  }

  void AddReturn(bool newPage) {
    auto r = std::make_unique<TWdOpeReturn>();
    r->NewPage = newPage ? 1 : 0;
    Add(std::move(r));
  }

  void AddAlign(uint8_t value) {
    auto a = std::make_unique<TWdOpeAlign>();
    a->Value = value;
    Add(std::move(a));
  }

  void Add(std::unique_ptr<TWdGlyph> g) {
    if (doc_.Glyphs.size() >= TTpWord::kMaxGlyphs)
      throw Error(Format("the text is longer than %d characters and marks", static_cast<int>(TTpWord::kMaxGlyphs)));
    g->Index = static_cast<int32_t>(doc_.Glyphs.size());
    doc_.Glyphs.push_back(std::move(g));
  }

  TTpWord& doc_;
  TDecorate look_;
  DecoratePtr last_;
  std::string link_;
  int32_t wait_;
  uint8_t align_ = kAlignLeft;
  std::vector<FontState> fontStack_;
  std::vector<int32_t> waitStack_;
  std::vector<uint8_t> alignStack_;
  bool pre_ = false;
  bool textarea_ = false;
  bool justOpened_ = false;
  bool lastSpace_ = false;
};

// ---- Printing

class MarkupPrinter {
 public:
  explicit MarkupPrinter(int32_t initialWait) : initialWait_(initialWait), wait_(initialWait) {}

  bool Print(const TTpWord& doc) {
    for (const auto& gp : doc.Glyphs) {
      const TWdGlyph& g = *gp;
      switch (g.Type) {
        case WdType::kChar: {
          const auto& c = static_cast<const TWdChar&>(g);
          if (!Look(*c.Style) || !Link(c.Link)) return false;
          Wait(c.Wait);
          if (!Char(c.Code)) return false;
          break;
        }
        case WdType::kImg: {
          const auto& m = static_cast<const TWdImg&>(g);
          if (m.Align < kAlignLeft || m.Align > kAlignBottom || !Link(m.Link)) return false;
          Wait(m.Wait);
          static const char* const kNames[] = {"", "LEFT", "RIGHT", "CENTER", "TOP", "BOTTOM"};
          auto src = Plain(m.FileName);
          if (!src) return false;
          // An image takes no character: a space after it still follows the one before.
          out_.append("<IMG SRC=").append(*src).append(" ALIGN=").append(kNames[m.Align]).append(">");
          break;
        }
        case WdType::kReturn: {
          const uint8_t p = static_cast<const TWdOpeReturn&>(g).NewPage;
          if (p > 1) return false;
          out_.append(p ? "<BR CLEAR>" : "<BR>");
          break;
        }
        case WdType::kAlign: {
          static const char* const kNames[] = {"", "LEFT", "RIGHT", "CENTER"};
          const uint8_t a = static_cast<const TWdOpeAlign&>(g).Value;
          if (a < kAlignLeft || a > kAlignCenter) return false;
          out_.append("<DIV ALIGN=").append(kNames[a]).append(">");
          break;
        }
        case WdType::kIndent:
          out_.append("<INDENT>");
          break;
        case WdType::kUndent:
          out_.append("<UNDENT>");
          break;
        case WdType::kEvent: {
          const auto& e = static_cast<const TWdOpeEvent&>(g);
          auto v = Escaped(e.Text);
          if (!v) return false;
          out_.append("<EVENT VALUE=").append(*v).append(e.AtEnd ? " END>" : ">");
          break;
        }
        case WdType::kVar: {
          const auto& v = static_cast<const TWdOpeVar&>(g);
          if (v.HasCompiled || v.Extra != 0 || !v.ExtraText.empty() || v.Name.empty() || !Look(*v.Style)) return false;
          auto name = Plain(v.Name);
          if (!name) return false;
          out_.append("<VAR NAME=").append(*name).append(">");
          break;
        }
        default:
          break;  // glyphs that variables made are not part of the document's text
      }
    }
    return true;
  }

  std::string& Text() { return out_; }

 private:
  bool Look(const TDecorate& d) {
    if (d.Style > 15 || d.NoBreak > 1) return false;
    const FontState want{d.FontSize, d.Color, d.BorderColor, d.ShadowColor, d.BorderWidth, d.ShadowOffset, d.FontName};
    if (!SameFont(want, font_)) {
      if (fontOpen_) {
        out_.append("</FONT>");
        fontOpen_ = false;
        font_ = kBaseFont;
      }
      if (!SameFont(want, kBaseFont)) {
        std::string tag = "<FONT";
        if (want.Size != 0) tag.append(" SIZE=").append(std::to_string(want.Size));
        for (auto [name, v] : {std::pair{" COLOR=", want.Color}, std::pair{" BCOLOR=", want.BorderColor},
                               std::pair{" SCOLOR=", want.ShadowColor}}) {
          if (v == -1) continue;
          if (v < 0 || v > 0xFFFFFF) return false;
          tag.append(name).append(ColourText(v));
        }
        if (!want.Name.empty()) {
          auto n = Plain(want.Name);
          if (!n) return false;
          tag.append(" NAME=").append(*n);
        }
        for (auto [name, v] : {std::pair{" BORDER=", want.Border}, std::pair{" SHADOW=", want.Shadow}}) {
          if (v == -1) continue;
          if (v < 0) return false;
          tag.append(name).append(std::to_string(v));
        }
        out_.append(tag).append(">");
        fontOpen_ = true;
        font_ = want;
      }
    }
    static const char kTags[] = "BIUS";
    for (int i = 0; i < 4; ++i) {
      const uint8_t bit = static_cast<uint8_t>(1 << i);
      if ((d.Style & bit) == (style_ & bit)) continue;
      out_.append((d.Style & bit) ? "<" : "</").append(1, kTags[i]).append(">");
    }
    style_ = d.Style;
    if (d.NoBreak != noBreak_) out_.append(d.NoBreak ? "<NOBR>" : "</NOBR>");
    noBreak_ = d.NoBreak;
    if (d.Ruby != ruby_) {
      if (d.Ruby.empty()) {
        out_.append("</RUBY>");
      } else {
        auto v = Plain(d.Ruby);
        if (!v) return false;
        out_.append("<RUBY VALUE=").append(*v).append(">");
      }
      ruby_ = d.Ruby;
    }
    return true;
  }

  bool Link(const std::string& link) {
    if (link == link_) return true;
    if (link.empty()) {
      out_.append("</A>");
    } else {
      auto v = Escaped(link);
      if (!v) return false;
      out_.append("<A HREF=").append(*v).append(">");
    }
    link_ = link;
    return true;
  }

  void Wait(int32_t w) {
    if (w == wait_) return;
    if (waitOpen_) {
      out_.append("</WAIT>");
      waitOpen_ = false;
      wait_ = initialWait_;
    }
    if (w != wait_) {
      out_.append("<WAIT VALUE=").append(std::to_string(w)).append(">");
      waitOpen_ = true;
      wait_ = w;
    }
  }

  bool Char(uint16_t code) {
    if (code > 0xFF) {
      if (!IsLeadByte(static_cast<uint8_t>(code >> 8))) return false;
      out_ += static_cast<char>(code >> 8);
      out_ += static_cast<char>(code & 0xFF);
      lastSpace_ = false;
      return true;
    }
    const char c = static_cast<char>(code);
    if (IsLeadByte(c) || c == '\r' || c == '\n' || c == '\x14' || c == '\0') return false;
    if (c == ' ') {
      // A space after a space is dropped by the parser, except the 0x14 of PRE.
      out_.append(lastSpace_ ? "<PRE>\x14</PRE>" : " ");
      lastSpace_ = true;
      return true;
    }
    if (std::string_view("\"%<>\\{}").find(c) != std::string_view::npos) out_ += '\\';
    out_ += c;
    lastSpace_ = false;
    return true;
  }

  // A plain attribute value (no escapes): bare when it can be, else quoted.
  static std::optional<std::string> Plain(const std::string& v) {
    bool blank = v.empty(), dq = false, sq = false, bs = false;
    ForEachChar(v, [&](size_t at, size_t n) {
      if (n != 1) return;
      const char c = v[at];
      if (IsBlank(c) || c == '>' || c == '=') blank = true;
      if (c == '"') dq = true;
      if (c == '\'') sq = true;
      if (c == '\\') bs = true;
    });
    if (!blank && !dq && !sq && !bs) return v;
    const char quote = !sq && (dq || bs) ? '\'' : (!dq && !bs ? '"' : '\0');
    if (!quote) return std::nullopt;
    std::string out(1, quote);
    out.append(v).append(1, quote);
    return out;
  }

  // A value that the parser unescapes (HREF, EVENT VALUE), in double quotes.
  static std::optional<std::string> Escaped(const std::string& v) {
    std::string out = "\"";
    for (size_t i = 0; i < v.size();) {
      const size_t n = CharLength(v, i);
      const char c = v[i];
      if (n == 1 && c == '\r' && i + 1 < v.size() && v[i + 1] == '\n') {
        out += "\\n";
        i += 2;
        continue;
      }
      if (n == 1 && (c == '\r' || c == '\n')) return std::nullopt;
      if (n == 1 && (c == '"' || c == '\\')) out += '\\';
      out.append(v, i, n);
      i += n;
    }
    out += '"';
    return out;
  }

  static std::string ColourText(int32_t bgr) {
    static const char kHex[] = "0123456789ABCDEF";
    const uint32_t rgb = (static_cast<uint32_t>(bgr) & 0xFF) << 16 | (static_cast<uint32_t>(bgr) & 0xFF00) |
                         (static_cast<uint32_t>(bgr) >> 16 & 0xFF);
    std::string out = "#";
    for (int shift = 20; shift >= 0; shift -= 4) out += kHex[rgb >> shift & 15];
    return out;
  }

  static bool SameFont(const FontState& a, const FontState& b) {
    return a.Size == b.Size && a.Color == b.Color && a.BorderColor == b.BorderColor &&
           a.ShadowColor == b.ShadowColor && a.Border == b.Border && a.Shadow == b.Shadow && a.Name == b.Name;
  }

  static inline const FontState kBaseFont{0, -1, -1, -1, -1, -1, {}};

  std::string out_;
  int32_t initialWait_;
  FontState font_ = kBaseFont;
  bool fontOpen_ = false;
  uint8_t style_ = 0;
  uint8_t noBreak_ = 0;
  std::string ruby_;
  std::string link_;
  int32_t wait_;
  bool waitOpen_ = false;
  bool lastSpace_ = false;
};

// A leading <TPWORD VERSION=...> of orintool's documents: the options it selects and where the
// markup continues.
StoredDocumentOptions Directive(std::string_view markup, size_t& rest) {
  StoredDocumentOptions options;
  rest = 0;
  if (!StartsWithText(markup, "<TPWORD")) return options;
  const size_t end = TagEnd(markup, 0);
  if (end == std::string_view::npos) return options;
  const Tag tag = ParseTag(markup.substr(1, end - 1));
  if (tag.Name != "TPWORD") return options;
  rest = end + 1;
  if (const std::string* v = tag.Value("VERSION")) {
    if (SameText(*v, "NONE"))
      options.Header = false;
    else if (auto n = ParseInt(*v); n && *n >= 0 && *n <= 999)
      options.Version = *n;
    else
      throw Error(FromUtf8("<TPWORD VERSION=...> takes a number 0-999 or NONE"));
  }
  return options;
}

}  // namespace

void ParseMarkup(std::string_view markup, TTpWord& doc, int32_t initialWait) {
  MarkupParser(doc, initialWait).Run(markup);
}

std::string MarkupToStoredDocument(std::string_view markup) {
  size_t rest = 0;
  const StoredDocumentOptions options = Directive(markup, rest);
  TTpWord doc;
  ParseMarkup(markup.substr(rest), doc, kToolWait);
  return StoredDocumentBytes(doc, options);
}

std::optional<std::string> DocumentToMarkup(const TTpWord& doc, int32_t initialWait) {
  MarkupPrinter printer(initialWait);
  if (!printer.Print(doc)) return std::nullopt;
  return std::move(printer.Text());
}

std::optional<std::string> StoredDocumentToMarkup(std::string_view bytes) {
  TTpWord doc;
  try {
    MemoryStream s;
    s.Assign(bytes);
    ReadStoredDocument(s, doc);
    if (s.Remaining() != 0) return std::nullopt;
  } catch (const Error&) {
    return std::nullopt;
  }
  // Before version 100 a border of 0 is what markup without BORDER writes.
  if (doc.Version < 100)
    for (int i = 0; i < doc.Styles.Count(); ++i)
      if (doc.Styles[i]->BorderWidth == 0) doc.Styles[i]->BorderWidth = -1;
  auto body = DocumentToMarkup(doc, kToolWait);
  if (!body) return std::nullopt;
  std::string markup;
  if (!doc.HadHeader)
    markup = "<TPWORD VERSION=NONE>";
  else if (doc.Version != kStoredDocumentVersion || body->empty())
    markup.append("<TPWORD VERSION=").append(std::to_string(doc.Version)).append(">");
  markup += *body;
  try {
    if (MarkupToStoredDocument(markup) != bytes) return std::nullopt;
  } catch (const Error&) {
    return std::nullopt;
  }
  return markup;
}

}  // namespace orin
