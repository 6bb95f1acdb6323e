#include "scene/text/word_stream.h"

#include <algorithm>
#include <unordered_map>

#include "core/error.h"
#include "params/build_orin_parser.h"
#include "params/orin_parser.h"
#include "resources/stream.h"
#include "scene/text/tp_word.h"

namespace orin {

namespace {

[[noreturn]] void Damaged(const char* what) { throw Error(std::string("damaged text document: ") + what); }

DecoratePtr StyleAt(const TTpWord& doc, int32_t index) {
  const int64_t i = int64_t{index} + doc.StyleBase;
  if (index < 0 || i >= doc.Styles.Count()) Damaged("a style index is out of range");
  return doc.Styles[static_cast<int>(i)];
}

int32_t ParseVersion(const char* digits) {
  int32_t v = 0;
  for (int i = 0; i < 3; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return 0;
    v = v * 10 + (digits[i] - '0');
  }
  return v;
}

}  // namespace

void ReadStoredDocument(std::string_view bytes, TTpWord& doc) {
  MemoryStream s;
  s.Assign(bytes);
  ReadStoredDocument(s, doc);
}

void ReadStoredDocument(Stream& s, TTpWord& doc) {
  const int64_t start = s.GetPosition();
  char head[9];
  int32_t version = 0;
  doc.HadHeader = false;
  if (s.Read(head, 9) == 9 && std::string_view(head, 6) == "TpWord") {
    version = ParseVersion(head + 6);
    doc.HadHeader = true;
  } else {
    s.SetPosition(start);
  }
  doc.Version = version;

  const int32_t styleCount = ReadInt32(s);
  // The smallest style record: four int32, two bytes, a border byte and two empty strings.
  const int64_t minStyle = version >= 100 ? 38 : 27;
  if (styleCount < 0 || styleCount > s.Remaining() / minStyle) Damaged("the style count runs past the end");
  doc.StyleBase = doc.Styles.Count();
  for (int32_t i = 0; i < styleCount; ++i) {
    auto d = std::make_shared<TDecorate>();
    d->RefCount = ReadInt32(s);
    d->Color = ReadInt32(s);
    d->BorderColor = ReadInt32(s);
    d->FontSize = ReadInt32(s);
    d->Style = ReadByte(s);
    d->NoBreak = ReadByte(s);
    d->BorderWidth = version >= 100 ? ReadInt32(s) : ReadByte(s);
    d->FontName = ReadString(s);
    d->Ruby = ReadString(s);
    if (version >= 100) {
      d->ShadowOffset = ReadInt32(s);
      d->ShadowColor = ReadInt32(s);
    }
    doc.Styles.Append(std::move(d));
  }

  const int32_t glyphCount = ReadInt32(s);
  if (glyphCount < 0 || glyphCount > s.Remaining()) Damaged("the glyph count runs past the end");
  if (doc.Glyphs.size() + static_cast<size_t>(glyphCount) > TTpWord::kMaxGlyphs)
    Damaged("the text holds more glyphs than a text may");
  for (int32_t i = 0; i < glyphCount; ++i) {
    const uint8_t kind = ReadByte(s) & 0x7F;
    std::unique_ptr<TWdGlyph> g;
    switch (kind) {
      case kWdKindChar: {
        auto c = std::make_unique<TWdChar>();
        c->Link = ReadString(s);
        c->Wait = ReadInt32(s);
        c->Code = ReadUInt16(s);
        c->Style = StyleAt(doc, ReadInt32(s));
        g = std::move(c);
        break;
      }
      case kWdKindAlign: {
        auto a = std::make_unique<TWdOpeAlign>();
        a->Value = ReadByte(s);
        g = std::move(a);
        break;
      }
      case kWdKindReturn: {
        auto r = std::make_unique<TWdOpeReturn>();
        r->NewPage = ReadByte(s);
        g = std::move(r);
        break;
      }
      case kWdKindIndent:
        g = std::make_unique<TWdOpeIndent>();
        break;
      case kWdKindUndent:
        g = std::make_unique<TWdOpeUndent>();
        break;
      case kWdKindEvent: {
        auto e = std::make_unique<TWdOpeEvent>();
        e->Text = ReadString(s);
        if (!e->Text.empty() && e->Text[0] == '\x01') {
          e->Text.erase(0, 1);
          e->AtEnd = true;
        }
        g = std::move(e);
        break;
      }
      case kWdKindVar: {
        auto v = std::make_unique<TWdOpeVar>();
        v->Style = StyleAt(doc, ReadInt32(s));
        if (version >= 101) {
          v->Extra = ReadInt32(s);
          v->ExtraText = ReadString(s);
        }
        if (version >= 102) {
          v->Name = ReadString(s);
        } else {
          // Keep the record's bytes: the expression is evaluated from them and written back.
          const int64_t at = s.GetPosition();
          TOrinParser parser;
          parser.LoadFromStream(s);
          const int64_t length = s.GetPosition() - at;
          v->Compiled.resize(static_cast<size_t>(length));
          s.SetPosition(at);
          s.ReadBuffer(v->Compiled.data(), length);
          v->HasCompiled = true;
        }
        g = std::move(v);
        break;
      }
      case kWdKindImg: {
        auto m = std::make_unique<TWdImg>();
        m->Link = ReadString(s);
        m->Wait = ReadInt32(s);
        m->FileName = ReadString(s);
        m->Align = ReadByte(s);
        g = std::move(m);
        break;
      }
      default:
        break;
    }
    if (!g) continue;
    g->Index = static_cast<int32_t>(doc.Glyphs.size());
    doc.Glyphs.push_back(std::move(g));
  }
}

void WriteStoredDocument(const TTpWord& doc, Stream& s, const StoredDocumentOptions& options) {
  const int32_t version = options.Header ? std::clamp(options.Version, 0, 999) : 0;
  if (options.Header) {
    char head[10];
    head[0] = 'T', head[1] = 'p', head[2] = 'W', head[3] = 'o', head[4] = 'r', head[5] = 'd';
    head[6] = static_cast<char>('0' + version / 100);
    head[7] = static_cast<char>('0' + version / 10 % 10);
    head[8] = static_cast<char>('0' + version % 10);
    s.WriteBuffer(head, 9);
  }
  std::unordered_map<const TDecorate*, int32_t> index;
  WriteInt32(s, doc.Styles.Count());
  for (int i = 0; i < doc.Styles.Count(); ++i) {
    const TDecorate& d = *doc.Styles[i];
    index.emplace(&d, i);
    for (int32_t v : {d.RefCount, d.Color, d.BorderColor, d.FontSize}) WriteInt32(s, v);
    WriteByte(s, d.Style);
    WriteByte(s, d.NoBreak);
    if (version >= 100)
      WriteInt32(s, d.BorderWidth);
    else
      // Old documents have no "the document's width" (−1): that is no border there.
      WriteByte(s, static_cast<uint8_t>(std::clamp(d.BorderWidth, 0, 255)));
    WriteString(s, d.FontName);
    WriteString(s, d.Ruby);
    if (version >= 100) {
      WriteInt32(s, d.ShadowOffset);
      WriteInt32(s, d.ShadowColor);
    }
  }
  auto styleIndex = [&](const DecoratePtr& d) -> int32_t {
    auto it = index.find(d.get());
    if (it == index.end()) throw Error("text document: a glyph's style is not in the style list");
    return it->second;
  };
  int32_t count = 0;
  for (const auto& g : doc.Glyphs)
    if (g->StreamKind() != 0) ++count;
  WriteInt32(s, count);
  for (const auto& gp : doc.Glyphs) {
    const TWdGlyph& g = *gp;
    const uint8_t kind = g.StreamKind();
    if (kind == 0) continue;
    WriteByte(s, kind);
    switch (kind) {
      case kWdKindChar: {
        const auto& c = static_cast<const TWdChar&>(g);
        WriteString(s, c.Link);
        WriteInt32(s, c.Wait);
        WriteUInt16(s, c.Code);
        WriteInt32(s, styleIndex(c.Style));
        break;
      }
      case kWdKindAlign:
        WriteByte(s, static_cast<const TWdOpeAlign&>(g).Value);
        break;
      case kWdKindReturn:
        WriteByte(s, static_cast<const TWdOpeReturn&>(g).NewPage);
        break;
      case kWdKindEvent: {
        const auto& e = static_cast<const TWdOpeEvent&>(g);
        if (e.AtEnd) {
          std::string text(1, '\x01');
          text.append(e.Text);
          WriteString(s, text);
        } else {
          WriteString(s, e.Text);
        }
        break;
      }
      case kWdKindVar: {
        const auto& v = static_cast<const TWdOpeVar&>(g);
        WriteInt32(s, styleIndex(v.Style));
        if (version >= 101) {
          WriteInt32(s, v.Extra);
          WriteString(s, v.ExtraText);
        }
        if (version >= 102) {
          WriteString(s, v.Name);
        } else if (v.HasCompiled) {
          s.WriteBuffer(v.Compiled.data(), static_cast<int64_t>(v.Compiled.size()));
        } else {
          MemoryStream record;
          try {
            TBuildOrinParser build;
            build.Compile(v.Name);
            build.WriteTo(record);
          } catch (const Error&) {
            record.Clear();
            WriteInt32(record, 0);
          }
          s.WriteBuffer(record.Data(), static_cast<int64_t>(record.Size()));
        }
        break;
      }
      case kWdKindImg: {
        const auto& m = static_cast<const TWdImg&>(g);
        WriteString(s, m.Link);
        WriteInt32(s, m.Wait);
        WriteString(s, m.FileName);
        WriteByte(s, m.Align);
        break;
      }
      default:
        break;
    }
  }
}

std::string StoredDocumentBytes(const TTpWord& doc, const StoredDocumentOptions& options) {
  MemoryStream s;
  WriteStoredDocument(doc, s, options);
  return std::string(s.View());
}

}  // namespace orin
