// TOrinCustomListBox, a scrollable list of text items with a nine-piece skin and a built-in
// vertical scroll bar, and TOrinMenu (kind 12), the list as a choice menu that opens and closes
// with a height animation, leaves the choice in @SelStr / @SelIndex and may free itself after it.
//
// Items: property 50, one item per line (CR LF, LF or CR), after the characters below 0x20 at
// both ends of the whole text are cut; lines are split at character boundaries, so a broken
// double-byte character never swallows more than one byte. Every item is drawn in two looks:
// normal (font style 17, text colour 19) and highlighted (style 23, colour 22), both with the
// border colour 21 and border width 142, through the glyph cache; a highlighted look is shown for
// the hovered item and for checked items. Disabled items (SetEnabled) are drawn at half strength
// and cannot be highlighted or chosen; hidden items (SetVisible) keep their row but draw nothing.
//
// Geometry (all in pixels): frame width 141, text padding 143 around each row, margins 153-156
// (left, top, right, bottom) inside the frame, and twice the extra margins 51 (horizontal) and
// 52 (vertical). Width = widest item + 2 × frame + left + right + 2 × (51), + the scroll-bar
// width when there are more items than visible rows (49), + the skin's extra width; height =
// r × row height + (r − 1) × row spacing (18) + 2 × frame + top + bottom + 2 × (52), r = min(49,
// item count); row height = font size (16) + 2 × border + 2 × padding. An empty list is as
// high as its frame and margins. The skin's extra size is what its left and right (top and
// bottom) pieces are wider (higher) than the frame.
//
// Skin: properties 54-62 name the nine pieces (top-left, top, top-right, left, centre, right,
// bottom-left, bottom, bottom-right); each is loaded when the file exists; corners are drawn as
// they are, edges and centre stretched. Scroll bar: property 69 names an image of seven equal
// parts side by side — up arrow, up arrow pressed, down arrow, down arrow pressed, track, thumb,
// thumb pressed; the part size gives the scroll-bar width and the arrow height. Without it the
// bar is 16 pixels wide with 16-pixel arrows, drawn in the border colour (or grey). Property 70
// is a second scroll-bar file, used while the pointer is over the bar when it loads.
//
// Pointer and keys follow the menu rules: the arrows and the track repeat with the scene's
// key-repeat delay and interval; dragging the thumb maps the pointer to the top index; a release
// that ends a press begun in the item area chooses the highlighted item (event 72, item text and
// index); highlight changes raise 105 for the item left and 104 for the item entered; Up, Down,
// Page Up and Page Down move the highlight (from none: Up and Page Up the last item, Down and
// Page Down the first) and scroll it into view; the wheel scrolls by one item.
//
// Menu open states (property 24 reads it): 0 open, 1 opening requested, 2 closed, 3 closing
// requested. Requests: show at once (layout, 74 and 75), open animated (step state 100: layout,
// 74, full height remembered, height 0 → 101 → 102 grows over the duration (26, milliseconds)
// and raises 75 at the end), hide at once (height 0, 76 and 77), close animated (200: 76 →
// 201 shrinks → 77 → 302), close now (300: 76 and 77 → 302). In 302 the menu frees itself as
// soon as neither 76 nor 77 of it is pending. A choice with free-when-finished (71) goes to 300
// after event 72; a right press with the cancel flag (73) clears @SelStr, sets @SelIndex to −1
// and closes animated.
//
// Save record, after the control record: the two label lists (int32 count each; this player
// writes 0 and reads any count of kind-byte objects, freeing them at once, since it draws its
// items itself), the item text, row spacing and six int32 (visible rows, 51, 52, 9, 10,
// selected index); per skin piece its file name and two bytes (loaded, 0); the two scroll-bar
// file names; the top index (int32); one byte (the input lock); the per-item flags (int32
// count, then one byte each: 1 checked, 2 disabled, 4 hidden); then the look: font name (string),
// font size, style, second style, text colour, border colour, highlight colour, class value
// (11), alignment (53) (int32 each), smoothing (byte), the two triples 63-68 and the metrics
// 141-143, 153-156 (int32 each), and the labels 72, 74, 75, 76, 77, 104, 105 (strings). A menu
// adds: open state, animation state, full height, elapsed animation time, duration (int32),
// free-when-finished, cancel, close-now (bytes), menu value 24 (int32). A count read from a save
// is checked against what is left before anything is made.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"
#include "scene/model/mura_collection.h"
#include "scene/model/orin_control.h"
#include "scene/objects/object_classes.h"
#include "scene/objects/orin_custom_image.h"

namespace orin {

class TParamCollection;

// One line of text drawn once through the glyph cache: a colour layer and its coverage.
struct ItemLayer {
  TDIBSurface Colour;
  TDIBSurface Coverage;
  int32_t Width = 0;
  bool Valid = false;
};

// The look an item is drawn in.
struct ItemLook {
  std::string Font;
  int32_t Size = 16;
  uint8_t Style = 0;
  int32_t Text = 0xFFFFFF;
  int32_t Border = -1;
  int32_t BorderWidth = 0;
  int RenderMode = 3;
};

// Renders a cp932 line into layer at depth (15, 16 or 32); glyphs may be null (an empty layer as
// wide as the text would be). A font that cannot be made draws nothing.
void RenderItemText(TFontPixelManager* glyphs, const std::string& text, const ItemLook& look, int depth,
                    ItemLayer& layer);
// The advance of the line in the look (0 without glyphs).
int32_t ItemTextWidth(TFontPixelManager* glyphs, const std::string& text, const ItemLook& look);

class TOrinCustomListBox : public TOrinControl {
 public:
  // Scroll states of a press.
  enum ScrollState : int8_t {
    kScrollNone = -1,
    kScrollThumb = 0,
    kScrollUp = 1,
    kScrollDown = 2,
    kScrollPageUp = 3,
    kScrollPageDown = 4,
    kScrollItems = 5,
  };
  enum ItemFlag : uint8_t { kItemChecked = 1, kItemDisabled = 2, kItemHidden = 4 };

  TOrinCustomListBox(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinCustomListBox() override;

  // --- Items ---
  void SetItems(const std::string& text);
  int32_t ItemCount() const { return static_cast<int32_t>(items_.size()); }
  const std::string& Item(int32_t i) const { return items_[static_cast<size_t>(i)]; }
  int32_t Selected() const { return selected_; }
  int32_t Highlighted() const { return hover_; }
  int32_t TopIndex() const { return top_; }
  // Clamped to 0 … max(0, items − visible rows).
  void SetTopIndex(int32_t top);
  int32_t VisibleRows() const { return visibleRows_; }
  int32_t MaxTop() const;
  // Makes item i (−1: none) the highlighted one, raising 105 and 104.
  void SetHighlight(int32_t i);
  // Chooses the highlighted item (the release rule); false when nothing was chosen.
  virtual bool Choose();

  // --- Layout ---
  void Layout();
  int32_t RowHeight() const;
  int32_t ScrollBarWidth() const;
  int32_t ArrowHeight() const;
  bool ScrollBarShown() const { return ItemCount() > visibleRows_; }
  // The item under the screen point, or −1.
  int32_t ItemAt(int32_t x, int32_t y) const;
  // The part of the scroll bar under the screen point (a ScrollState), or kScrollNone.
  int PartAt(int32_t x, int32_t y) const;
  int8_t ScrollStateNow() const { return scroll_; }

  // --- Control ---
  bool Step() override;
  void Draw(ScreenSurface& surface) override;
  void MouseDown(MouseButton button, int32_t x, int32_t y) override;
  void MouseUp(MouseButton button, int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseLeave() override;
  void MouseWheel(bool down) override;
  void KeyRepeat() override;
  const std::string& Label(int code) const override;
  void SetLabel(int code, const std::string& label) override;
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  bool GetCheck(int32_t item) override;
  void SetCheck(int32_t item, bool checked) override;
  bool GetEnabled(int32_t item) override;
  void SetEnabled(int32_t item, bool enabled) override;
  bool GetVisible(int32_t item) override;
  void SetVisible(int32_t item, bool visible) override;
  int32_t IndexOfItem(const std::string& text) override;
  void ReleaseSurfaces() override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;

 protected:
  const SceneServices& Services() const { return services_; }
  TParamCollection* Vars() const;
  // Marks the layout as needed and repaints.
  void LayoutChanged();
  bool LayoutNeeded() const { return layoutNeeded_; }
  // The full height the layout computed.
  int32_t LaidOutHeight() const { return laidOutHeight_; }
  // Layout without touching the height (the menu animates it).
  virtual bool KeepsHeight() const { return false; }
  // The highlight changed (preview menus follow it).
  virtual void HighlightChanged() {}
  // A pane to the right of the items and the scroll bar (preview menus show their picture
  // there): its size, and its place on the screen once laid out.
  virtual int32_t PaneWidth() const { return 0; }
  virtual int32_t PaneHeight() const { return 0; }
  Rect PaneRect() const;
  bool inputLock_ = false;

 private:
  struct Skin {
    std::string File;
    ImageList Images;
  };
  struct Area {
    int32_t Left, Top, Right, Bottom;
  };
  // The item area in screen coordinates.
  Area ItemArea() const;
  Area BarArea() const;
  // The thumb's top and height inside the bar's track (screen coordinates).
  void ThumbSpan(int32_t& top, int32_t& height) const;
  ItemLook LookOf(bool highlighted) const;
  ItemLayer& LayerOf(int32_t item, bool highlighted, int depth);
  void LooksChanged();
  void LoadSkin(int piece, const std::string& file);
  void LoadBar(int which, const std::string& file);
  void ScrollBy(int32_t rows);
  void RepeatScroll();
  void DragTo(int32_t y);
  void EnsureVisible(int32_t item);
  bool Selectable(int32_t item) const;
  uint8_t& Flags(int32_t item);
  void DrawSkin(ScreenSurface& surface, const Rect& r);
  void DrawBar(ScreenSurface& surface);

  SceneServices services_;
  std::string text_;
  std::vector<std::string> items_;
  std::vector<uint8_t> flags_;
  std::vector<std::array<ItemLayer, 2>> layers_;
  int32_t selected_ = -1;
  int32_t hover_ = -1;
  int32_t top_ = 0;
  int32_t visibleRows_ = 5;
  int32_t rowSpacing_ = 0;
  int32_t margin51_ = 0;
  int32_t margin52_ = 0;
  int32_t box9_ = 0;
  int32_t box10_ = 0;
  int32_t classValue_ = 0;
  int32_t alignment_ = 0;
  std::string fontName_;
  int32_t fontSize_ = 16;
  int32_t style_ = 0;
  int32_t style2_ = 0;
  int32_t textColor_ = 0xFFFFFF;
  int32_t borderColor_ = -1;
  int32_t highlightColor_ = 0x00FFFF;
  bool smooth_ = true;
  std::array<int32_t, 6> triples_{};
  // 141 frame, 142 border width, 143 padding; 153-156 left, top, right, bottom margins.
  std::array<int32_t, 3> metrics1_{};
  std::array<int32_t, 4> metrics2_{};
  std::array<Skin, 9> skin_;
  std::array<std::string, 2> barFiles_;
  std::array<ImageList, 2> bars_;
  // 72, 74, 75, 76, 77, 104, 105.
  std::array<std::string, 7> labels_;
  bool layoutNeeded_ = true;
  int32_t laidOutHeight_ = 0;
  int8_t scroll_ = kScrollNone;
  int32_t grabOffset_ = 0;
  int32_t repeatLeft_ = 0;
  bool onPressedPart_ = false;
  bool overBar_ = false;
  bool pressInItems_ = false;
  int layerDepth_ = 0;
};

class TOrinMenu : public TOrinCustomListBox {
 public:
  enum OpenState : int32_t { kOpen = 0, kOpening = 1, kClosed = 2, kClosing = 3 };

  TOrinMenu(TOrinBaseList* owner, const SceneServices& services);
  ~TOrinMenu() override;

  uint8_t Kind() const override { return kKindMenu; }
  bool FreeWhenFinished() const override { return freeWhenFinished_; }
  int32_t OpenStateNow() const { return open_; }
  int32_t AnimationState() const { return anim_; }
  // The open-state requests: 0 show at once, 1 open animated, 2 hide at once, 3 close animated.
  // A request equal to the current target is ignored.
  void RequestOpen(int32_t state);
  // Closes at once (state 300): 76 and 77, then the menu frees itself.
  void CloseNow();

  bool Choose() override;
  bool Step() override;
  // A closed menu shows nothing.
  void Draw(ScreenSurface& surface) override;
  bool OfferCancel() override;
  // The scene's cancel: closes the menu when it is not blocked and its input mode is 0 or 3.
  void Cancel();
  void GetProp(int number, TCustomParam& dest) override;
  void SetProp(int number, const TCustomParam& value) override;
  void Save(Stream& s, int version) const override;
  void Load(Stream& s, int version) override;
  void BeforeFree() override;

 protected:
  bool KeepsHeight() const override { return anim_ != 0 || open_ == kClosed; }

 private:
  void Raise(uint8_t code);
  bool Pending(uint8_t code) const;

  int32_t open_ = kClosed;
  int32_t anim_ = 0;
  int32_t fullHeight_ = 0;
  int32_t elapsed_ = 0;
  int32_t duration_ = 0;
  int32_t menuValue_ = -1;
  bool freeWhenFinished_ = false;
  bool cancel_ = false;
  bool closeNow_ = false;
};

}  // namespace orin
