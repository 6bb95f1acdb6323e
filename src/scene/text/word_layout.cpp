#include "scene/text/word_layout.h"

#include <algorithm>
#include <array>

#include "core/cp932.h"
#include "core/text.h"
#include "scene/text/tp_word.h"

namespace orin {

using namespace literals;

namespace {

constexpr int32_t kUnbounded = INT32_MAX / 4;

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Membership of 16-bit character codes, built from a cp932 text.
class CodeSet {
 public:
  explicit CodeSet(const std::string& chars) {
    ForEachChar(chars, [&](size_t at, size_t) {
      const uint16_t c = CharCodeAt(chars, at);
      bits_[c >> 6] |= uint64_t{1} << (c & 63);
    });
  }
  bool Has(uint16_t c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }

 private:
  std::array<uint64_t, 1024> bits_{};
};

const CodeSet& LineStartForbidden() {
  static const CodeSet set("。、｣」』)）､｡!?！？】"_sj);
  return set;
}

const CodeSet& LineEndForbidden() {
  static const CodeSet set("｢「『（([<【"_sj);
  return set;
}

uint16_t CodeOf(const TWdGlyph& g) { return g.IsChar() ? static_cast<const TWdChar&>(g).Code : 0; }

bool NoBreakOf(const TWdGlyph& g) {
  if (g.IsChar()) {
    const auto& c = static_cast<const TWdChar&>(g);
    return c.Style && c.Style->NoBreak;
  }
  return g.Type == WdType::kImg && static_cast<const TWdImg&>(g).NoBreak;
}

const std::string* RubyOf(const TWdGlyph& g) {
  if (g.IsChar()) {
    const auto& c = static_cast<const TWdChar&>(g);
    return c.Style ? &c.Style->Ruby : nullptr;
  }
  if (g.Type == WdType::kImg) return &static_cast<const TWdImg&>(g).Ruby;
  return nullptr;
}

// Zero-size marks that keep to the text before them.
bool Clings(const TWdGlyph& g) { return g.Type == WdType::kEvent || g.Type == WdType::kVar; }

// Glyphs the walk handles itself and that never join a unit.
bool Standalone(const TWdGlyph& g) {
  return g.Type == WdType::kAlign || g.Type == WdType::kIndent || g.Type == WdType::kUndent ||
         (g.Type == WdType::kImg && static_cast<const TWdImg&>(g).Floats());
}

bool InWordRange(uint16_t c) { return c >= 33 && c <= 255; }

bool IsFloat(const TWdGlyph* g) { return g->Type == WdType::kImg && static_cast<const TWdImg*>(g)->Floats(); }

bool IsAlignedImage(const TWdGlyph* g) { return g->Type == WdType::kImg && !IsFloat(g); }

class Layouter {
 public:
  Layouter(TTpWord& doc, const LayoutParams& p) : doc_(doc), p_(p), align_(p.StartAlign), indent_(p.StartIndent) {}

  LayoutResult Run(size_t begin, size_t end) {
    auto& glyphs = doc_.Glyphs;
    end = std::min(end, glyphs.size());
    size_t pos = begin;
    while (pos < end) {
      TWdGlyph* g = glyphs[pos].get();
      EnsurePage(pos);
      if (g->Type == WdType::kAlign) {
        align_ = static_cast<TWdOpeAlign*>(g)->Value;
        if (row_ && !HasContent(*row_)) row_->Alignment = align_;
        Take(g);
        ++pos;
        continue;
      }
      if (g->Type == WdType::kIndent || g->Type == WdType::kUndent) {
        indent_ = g->Type == WdType::kIndent ? (row_ ? row_->Width : 0) : 0;
        Take(g);
        ++pos;
        continue;
      }
      EnsureRow(pos);
      if (IsFloat(g)) {
        if (HasContent(*row_)) {
          CloseRow(false, false);
          EnsureRow(pos);
        }
        if (Paging() && !page_->Rows.empty() && y_ + g->Height > p_.Height) {
          NewPage(pos);
          continue;
        }
        PlaceFloat(*static_cast<TWdImg*>(g));
        ++pos;
        continue;
      }
      const size_t unitEnd = UnitEnd(glyphs, pos, end);
      int64_t unitWidth = 0;
      for (size_t i = pos; i < unitEnd; ++i) unitWidth += glyphs[i]->Width;
      if (HasContent(*row_) && p_.Width > 0 && int64_t{row_->RightLimit} - row_->LeftLimit < row_->Width + unitWidth) {
        CloseRow(true, false);
        continue;
      }
      for (size_t i = pos; i < unitEnd; ++i) {
        TWdGlyph* u = glyphs[i].get();
        u->X = row_->Width;
        row_->Width = Clamp32(int64_t{row_->Width} + u->Width);
        u->Row = row_;
        row_->Children.push_back(u);
        page_->Sequence.push_back(u);
        Count(u);
      }
      if (Paging() && !page_->Rows.empty() && y_ + Measure(*row_) > p_.Height) {
        // The row goes to the next page whole, from its first glyph on, as it began.
        pos = row_->FirstPos;
        align_ = rowAlign_;
        indent_ = rowIndent_;
        page_->Sequence.resize(rowSequence_);
        for (TWdGlyph* c : row_->Children) c->Row = nullptr;
        openRow_.reset();
        row_ = nullptr;
        NewPage(pos);
        continue;
      }
      pos = unitEnd;
      const TWdGlyph* last = glyphs[unitEnd - 1].get();
      if (last->IsReturn()) {
        CloseRow(true, true);
        if (static_cast<const TWdOpeReturn*>(last)->NewPage) NewPage(pos);
      }
    }
    if (row_ && !row_->Children.empty()) CloseRow(false, false);
    openRow_.reset();
    row_ = nullptr;
    if (page_) page_->EndPos = end;
    Finish();
    return std::move(result_);
  }

 private:
  bool Paging() const { return p_.Paging && p_.Height > 0; }

  static bool HasContent(const TWdRow& r) {
    for (const TWdGlyph* c : r.Children)
      if (c->IsChar() || c->IsReturn() || IsAlignedImage(c)) return true;
    return false;
  }

  void Take(TWdGlyph* g) {
    g->Row = nullptr;
    g->X = g->Y = 0;
    page_->Sequence.push_back(g);
  }

  void EnsurePage(size_t pos) {
    if (page_) return;
    auto page = std::make_unique<TWdPage>();
    page->BeginPos = pos;
    page->StartAlign = align_;
    page->StartIndent = indent_;
    page->Document = &doc_;
    page_ = page.get();
    result_.Pages.push_back(std::move(page));
    y_ = 0;
    floats_.clear();
  }

  void NewPage(size_t pos) {
    if (row_ && !row_->Children.empty()) CloseRow(false, false);
    openRow_.reset();
    row_ = nullptr;
    if (page_) page_->EndPos = pos;
    page_ = nullptr;
  }

  struct Span {
    int32_t Left, Right;
  };

  Span FreeSpan(int64_t y) const {
    Span s{0, p_.Width > 0 ? p_.Width : kUnbounded};
    for (const auto& f : floats_) {
      if (y < f.Top || y >= f.Bottom) continue;
      if (f.LeftSide)
        s.Left = std::max(s.Left, f.Right);
      else
        s.Right = std::min(s.Right, f.Left);
    }
    return s;
  }

  void EnsureRow(size_t pos) {
    if (row_) return;
    openRow_ = std::make_unique<TWdRow>();
    row_ = openRow_.get();
    row_->Document = &doc_;
    row_->Alignment = align_;
    row_->Y = Clamp32(y_);
    row_->FirstPos = pos;
    const Span s = FreeSpan(y_);
    row_->LeftLimit = s.Left;
    row_->RightLimit = s.Right;
    rowAlign_ = align_;
    rowIndent_ = indent_;
    rowSequence_ = page_->Sequence.size();
    rowBase_ = rowCenter_ = rowTop_ = rowBottom_ = 0;
    if (indent_ > 0) {
      row_->Blank = std::make_unique<TWdSpace>();
      row_->Blank->Width = indent_;
      row_->Blank->Row = row_;
      row_->Children.push_back(row_->Blank.get());
      row_->Width = indent_;
    }
  }

  void PlaceFloat(TWdImg& img) {
    const Span s = FreeSpan(y_);
    const bool left = img.Align == kAlignLeft || p_.Width <= 0;
    const int32_t x = left ? s.Left : Clamp32(int64_t{s.Right} - img.Width);
    floats_.push_back(Float{x, Clamp32(y_), Clamp32(int64_t{x} + img.Width), Clamp32(y_ + img.Height), left});
    img.X = x;
    img.Y = Clamp32(y_);
    img.Row = row_;
    row_->Children.push_back(&img);
    page_->Sequence.push_back(&img);
    const Span after = FreeSpan(y_);
    row_->LeftLimit = after.Left;
    row_->RightLimit = after.Right;
  }

  // The open row's band and how far aligned images reach above and below it, kept as glyphs
  // join it: the tallest image of each alignment decides its reach.
  void Count(const TWdGlyph* g) {
    if (g->IsReturn()) return;
    if (g->Type != WdType::kImg) {
      rowBase_ = std::max(rowBase_, g->Height);
      return;
    }
    switch (static_cast<const TWdImg*>(g)->Align) {
      case kAlignCenter:
        rowCenter_ = std::max(rowCenter_, g->Height);
        break;
      case kAlignTop:
        rowTop_ = std::max(rowTop_, g->Height);
        break;
      default:
        rowBottom_ = std::max(rowBottom_, g->Height);
        break;
    }
  }

  // Sets the open row's band, reach and height; returns the height.
  int32_t Measure(TWdRow& r) const {
    const int64_t base = rowBase_;
    const int64_t center = std::max<int64_t>(0, (int64_t{rowCenter_} - base + 1) / 2);
    const int64_t above = std::max({int64_t{0}, int64_t{rowCenter_} > base ? center : 0, int64_t{rowBottom_} - base});
    const int64_t below = std::max({int64_t{0}, int64_t{rowCenter_} > base ? center : 0, int64_t{rowTop_} - base});
    r.Base = rowBase_;
    r.Above = Clamp32(above);
    r.Below = Clamp32(below);
    r.Height = Clamp32(base + above + below);
    return r.Height;
  }

  void CloseRow(bool spacing, bool lineBreak) {
    TWdRow& r = *row_;
    Measure(r);
    if (r.Height == 0 && lineBreak) r.Height = doc_.DefaultCellHeight();
    y_ += int64_t{r.Height} + (spacing ? p_.LineSpacing : 0);
    page_->Rows.push_back(std::move(openRow_));
    row_ = nullptr;
  }

  void Finish() {
    int32_t widest = 0;
    for (const auto& page : result_.Pages)
      for (const auto& r : page->Rows) {
        widest = std::max(widest, Clamp32(int64_t{std::max(0, r->LeftLimit)} + r->Width));
      }
    result_.TextWidth = widest;
    for (const auto& page : result_.Pages) {
      int32_t pageHeight = 0;
      for (const auto& r : page->Rows) {
        if (r->RightLimit >= kUnbounded) r->RightLimit = std::max(widest, r->LeftLimit);
        int64_t x = r->LeftLimit;
        if (r->Alignment == kAlignRight)
          x = int64_t{r->RightLimit} - r->Width;
        else if (r->Alignment == kAlignCenter)
          x = r->LeftLimit + (int64_t{r->RightLimit} - r->LeftLimit - r->Width) / 2;
        r->X = Clamp32(x);
        const int64_t band = int64_t{r->Y} + r->Above;
        for (TWdGlyph* c : r->Children) {
          if (IsFloat(c)) continue;
          c->X = Clamp32(x + c->X);
          if (IsAlignedImage(c)) {
            switch (static_cast<const TWdImg*>(c)->Align) {
              case kAlignTop:
                c->Y = Clamp32(band);
                break;
              case kAlignCenter:
                c->Y = Clamp32(band + (int64_t{r->Base} - c->Height) / 2);
                break;
              default:
                c->Y = Clamp32(band + r->Base - c->Height);
                break;
            }
          } else {
            c->Y = Clamp32(band + r->Base - c->Height);
          }
        }
        if (r->Blank) r->Blank->X = r->X;
        pageHeight = std::max(pageHeight, Clamp32(int64_t{r->Y} + r->Height));
      }
      page->Width = widest;
      page->Height = pageHeight;
    }
  }

  struct Float {
    int32_t Left, Top, Right, Bottom;
    bool LeftSide;
  };

  TTpWord& doc_;
  LayoutParams p_;
  LayoutResult result_;
  TWdPage* page_ = nullptr;
  std::unique_ptr<TWdRow> openRow_;
  TWdRow* row_ = nullptr;
  int64_t y_ = 0;
  uint8_t align_;
  int32_t indent_;
  uint8_t rowAlign_ = kAlignLeft;
  int32_t rowIndent_ = 0;
  size_t rowSequence_ = 0;
  int32_t rowBase_ = 0;
  int32_t rowCenter_ = 0;
  int32_t rowTop_ = 0;
  int32_t rowBottom_ = 0;
  std::vector<Float> floats_;
};

}  // namespace

bool BreakAllowed(const TWdGlyph& p, const TWdGlyph& n) {
  if (Clings(n)) return false;
  if (NoBreakOf(p) && NoBreakOf(n)) return false;
  const std::string* rn = RubyOf(n);
  const std::string* rp = RubyOf(p);
  if (rn && rp && !rn->empty() && *rn == *rp) return false;
  const uint16_t pc = CodeOf(p), nc = CodeOf(n);
  if (InWordRange(pc) && InWordRange(nc)) return false;
  if (nc == ' ' && pc != ' ') return false;
  if (n.IsChar() && LineStartForbidden().Has(nc)) return false;
  return true;
}

size_t UnitEnd(const std::vector<std::unique_ptr<TWdGlyph>>& glyphs, size_t begin, size_t end) {
  end = std::min(end, glyphs.size());
  for (;;) {
    if (begin >= end) return end;
    const TWdGlyph* first = glyphs[begin].get();
    if (first->IsReturn() || Standalone(*first)) return begin + 1;
    const TWdGlyph* p = first;
    size_t k = begin + 1;
    for (; k < end; ++k) {
      const TWdGlyph* n = glyphs[k].get();
      if (n->IsReturn()) return k + 1;
      if (Standalone(*n) || BreakAllowed(*p, *n)) break;
      if (!Clings(*n)) p = n;
    }
    // An opening bracket alone never ends a line: it goes with the unit after it.
    if (k == begin + 1 && k < end && first->IsChar() && LineEndForbidden().Has(CodeOf(*first)) &&
        !Standalone(*glyphs[k])) {
      begin = k;
      continue;
    }
    return k;
  }
}

LayoutParams LayoutParamsOf(const TTpWord& doc) {
  LayoutParams p;
  p.Width = doc.Width;
  p.Height = doc.Height;
  p.LineSpacing = doc.LineSpacing;
  p.Paging = doc.Paging != 0;
  return p;
}

LayoutResult LayoutGlyphs(TTpWord& doc, size_t begin, size_t end, const LayoutParams& params, TMuraCollection* images) {
  end = std::min(end, doc.Glyphs.size());
  for (size_t i = begin; i < end; ++i) {
    TWdGlyph& g = *doc.Glyphs[i];
    g.Row = nullptr;
    doc.MeasureGlyph(g, images);
  }
  return Layouter(doc, params).Run(begin, end);
}

int32_t TWdPage::FirstIndex() const { return Sequence.empty() ? -1 : Sequence.front()->Index; }

int32_t TWdPage::LastIndex() const { return Sequence.empty() ? -1 : Sequence.back()->Index; }

}  // namespace orin
