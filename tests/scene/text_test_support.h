// Helpers of the text tests: cp932 from UTF-8, documents from markup, a rasteriser whose glyphs
// are solid boxes, a stored-document source of fixed texts, and the glyphs of a page as text.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "imaging/font_pixel.h"
#include "imaging/glyph_rasterizer.h"
#include "scene/text/text_services.h"
#include "scene/text/tp_word.h"
#include "scene/text/word_layout.h"
#include "scene/text/word_markup.h"

namespace orin::test {

inline std::string Sj(std::string_view utf8) {
  auto s = Utf8ToCp932(utf8);
  EXPECT_TRUE(s.has_value()) << utf8;
  return s.value_or(std::string());
}

inline std::string Utf8(std::string_view cp932) { return ToUtf8(cp932); }

// The characters of a document (or of a glyph list) as UTF-8, marks shown as [BR], [BR!],
// [ALIGN n], [INDENT], [UNDENT], [EVENT text], [VAR name], [IMG file].
inline std::string GlyphText(const TWdGlyph& g) {
  switch (g.Type) {
    case WdType::kChar:
    case WdType::kVarChar: {
      const uint16_t c = static_cast<const TWdChar&>(g).Code;
      std::string b;
      if (c > 0xFF) b += static_cast<char>(c >> 8);
      b += static_cast<char>(c & 0xFF);
      return ToUtf8(b);
    }
    case WdType::kReturn:
    case WdType::kVarReturn:
      return static_cast<const TWdOpeReturn&>(g).NewPage ? "[BR!]" : "[BR]";
    case WdType::kAlign:
      return "[ALIGN " + std::to_string(static_cast<const TWdOpeAlign&>(g).Value) + "]";
    case WdType::kIndent:
      return "[INDENT]";
    case WdType::kUndent:
      return "[UNDENT]";
    case WdType::kEvent:
      return "[EVENT " + ToUtf8(static_cast<const TWdOpeEvent&>(g).Text) +
             (static_cast<const TWdOpeEvent&>(g).AtEnd ? " END]" : "]");
    case WdType::kVar:
      return "[VAR " + ToUtf8(static_cast<const TWdOpeVar&>(g).Name) + "]";
    case WdType::kImg:
      return "[IMG " + ToUtf8(static_cast<const TWdImg&>(g).FileName) + "]";
    default:
      return "?";
  }
}

inline std::string DocText(const TTpWord& doc) {
  std::string out;
  for (const auto& g : doc.Glyphs) out += GlyphText(*g);
  return out;
}

// Each row of each page as its characters; pages separated by "|".
inline std::vector<std::string> PageRows(const LayoutResult& r) {
  std::vector<std::string> out;
  for (size_t p = 0; p < r.Pages.size(); ++p) {
    if (p) out.push_back("|");
    for (const auto& row : r.Pages[p]->Rows) {
      std::string line;
      for (const TWdGlyph* g : row->Children)
        if (g->Type != WdType::kSpace && !g->IsReturn()) line += GlyphText(*g);
      out.push_back(line);
    }
  }
  return out;
}

inline std::unique_ptr<TTpWord> Parse(std::string_view utf8Markup, int32_t wait = 50) {
  auto doc = std::make_unique<TTpWord>();
  ParseMarkup(Sj(utf8Markup), *doc, wait);
  return doc;
}

// A rasteriser whose glyphs are boxes filling the character's em (half of it for single-byte
// codes), the space without ink.
class BoxRasterizer : public GlyphRasterizer {
 public:
  void SelectFont(const std::string&, int32_t height, uint8_t) override {
    height_ = std::abs(height);
    metrics_.Ascent = height_;
  }
  const FontMetrics& Metrics() const override { return metrics_; }
  RasterResult Rasterize(uint16_t code, int mode, RasterGlyph& out) override {
    ++count;
    out = RasterGlyph{};
    const int w = code < 0x100 ? std::max(1, height_ / 2) : height_;
    out.CellIncX = w;
    out.AbcA = 0, out.AbcB = w, out.AbcC = 0;
    if (code == ' ') return RasterResult::kOk;
    out.BlackBoxWidth = w;
    out.BlackBoxHeight = height_;
    out.OriginX = 0;
    out.OriginY = height_;
    const int levels = static_cast<int>(LevelMap(mode).size()) - 1;
    if (mode == 0) {
      const int stride = (w + 31) / 32 * 4;
      out.Data.assign(static_cast<size_t>(stride * height_), 0);
      for (int y = 0; y < height_; ++y)
        for (int x = 0; x < w; ++x) out.Data[static_cast<size_t>(y * stride + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    } else {
      const int stride = (w + 3) / 4 * 4;
      out.Data.assign(static_cast<size_t>(stride * height_), 0);
      for (int y = 0; y < height_; ++y)
        for (int x = 0; x < w; ++x) out.Data[static_cast<size_t>(y * stride + x)] = static_cast<uint8_t>(levels);
    }
    return RasterResult::kOk;
  }
  int TextWidth(uint16_t code) override { return code < 0x100 ? height_ / 2 : height_; }

  int count = 0;

 private:
  int height_ = 12;
  FontMetrics metrics_;
};

// Stored documents by page file and command index.
class FixedDocuments : public TextDocumentSource {
 public:
  std::optional<std::string> TextData(const std::string& pageFile, int32_t commandIndex) override {
    ++requests;
    auto it = docs.find({pageFile, commandIndex});
    if (it == docs.end()) return std::nullopt;
    return it->second;
  }
  // The stored document of markup (UTF-8).
  void Put(const std::string& pageFile, int32_t commandIndex, std::string_view utf8Markup) {
    docs[{pageFile, commandIndex}] = MarkupToStoredDocument(Sj(utf8Markup));
  }
  std::map<std::pair<std::string, int32_t>, std::string> docs;
  int requests = 0;
};

}  // namespace orin::test
