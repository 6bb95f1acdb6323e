#include "scene/text/page_plain_text.h"

#include "scene/text/word_glyphs.h"

namespace orin {

namespace {

void AppendCode(std::string& out, uint16_t code) {
  if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

PlainPage PagePlainText(const TWdPage& page) {
  PlainPage plain;
  const TDecorate* rubyStyle = nullptr;
  for (const TWdGlyph* g : page.Sequence) {
    if (g->IsReturn()) {
      plain.Text.push_back('\n');
      rubyStyle = nullptr;
      continue;
    }
    if (!g->IsChar()) continue;
    const auto* c = static_cast<const TWdChar*>(g);
    AppendCode(plain.Text, c->Code);
    const TDecorate* style = c->Style.get();
    if (style == nullptr || style->Ruby.empty()) {
      rubyStyle = nullptr;
      continue;
    }
    // Characters of one ruby element share their style record.
    if (style != rubyStyle) plain.Ruby.emplace_back(std::string(), style->Ruby);
    AppendCode(plain.Ruby.back().first, c->Code);
    rubyStyle = style;
  }
  while (!plain.Text.empty() && plain.Text.back() == '\n') plain.Text.pop_back();
  return plain;
}

}  // namespace orin
