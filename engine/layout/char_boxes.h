// The small boxes a text item makes besides its runs: a GlyphBox for one
// character that stands apart for line breaking, an UnmappedCharBox for a
// character above U+FFFF (a framed "U-%X" label), and the AnchorMarkerBox
// that marks where an anchor of a link web lies in the text.
#pragma once
#include <cstdint>

#include "layout/anchor_cursor.h"
#include "layout/display_box.h"

namespace qs {

// A stock icon's metrics in units of the current device: the engine keeps
// them in screen pixels, so they stay as stored on the screen and grow with
// a printer's resolution. Zeros without an engine.
struct IconMetrics {
  int ascent = 0;
  int descent = 0;
  int width = 0;
};
IconMetrics StockIconMetrics(int index);

// Whether the item's text lies inside a link source.
inline bool IsLinkSourceItem(LayoutItem* item) { return item->GetPointerKind() == 1; }

// Inverts on the current view the whole text of the nearest element at
// `position` that is a link source, when the context's second point lies
// inside its bounds; called on press and release alike.
void InvertLinkElement(HitContext& context, std::int32_t position);

// Follows the links of the innermost element that holds the whole text
// item (a link source), its ancestors' included.
void FollowLinkOfText(DocumentView* view, LayoutItem* item);

class CharBox : public DisplayBox {
 public:
  // `length`: the bytes of the document the character took.
  CharBox(LayoutItem* item, std::int32_t position, std::uint8_t length)
      : DisplayBox(item), position_(position), length_(length) {}

  std::int32_t GetStart() override { return position_; }
  std::int32_t GetLength() override { return length_; }
  std::int32_t PositionAt(int x, int y) override;
  void SetBreakAfter() override { widthWord_ |= kKeep; }
  int GetWidth() override { return widthWord_ & ~kKeep; }
  void HighlightRanges(MarkRecord& record) override;
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  void PressFeedbackIfInside(HitContext& context) override { InvertLinkElement(context, position_); }
  void PressFeedbackOff(HitContext& context) override { PressFeedbackIfInside(context); }
  void Activate(DocumentView* view, HitContext* context) override;

  bool Kept() const { return widthWord_ & kKeep; }

 protected:
  static constexpr std::uint16_t kKeep = 0x8000;
  void SetWidth(int width) {
    widthWord_ = static_cast<std::uint16_t>((widthWord_ & kKeep) | (width & 0x7FFF));
  }
  void DrawUnderline(int x, int y, int right);

 private:
  std::uint16_t widthWord_ = 0;
  std::int32_t position_;
  std::uint8_t length_;
};

class GlyphBox : public CharBox {
 public:
  GlyphBox(LayoutItem* item, std::int32_t position, std::uint16_t character, std::uint8_t length);
  int CanBreakAfter() override;
  void Draw(int x, int y) override;
  std::uint16_t Character() const { return character_; }

 private:
  std::uint16_t character_;
};

class UnmappedCharBox : public CharBox {
 public:
  UnmappedCharBox(LayoutItem* item, std::int32_t position, std::uint32_t codePoint,
                  std::uint8_t length);
  int CanBreakAfter() override { return Kept() ? 0 : 1; }
  int GetAscent() override;
  int GetDescent() override;
  void Draw(int x, int y) override;
  std::uint32_t CodePoint() const { return codePoint_; }
  // "U-" and the code point in upper-case hexadecimal; returns the length.
  static int Label(std::uint32_t codePoint, char* buffer);

 private:
  std::uint32_t codePoint_;
};

// Icons 10 (no links) and 11 (links) of the engine's stock icons. The entry
// is not owned: it must outlive the box.
class AnchorMarkerBox : public DisplayBox {
 public:
  AnchorMarkerBox(LayoutItem* item, AnchorMark* entry);

  std::int32_t GetStart() override { return static_cast<std::int32_t>(entry_->Start()); }
  std::int32_t GetLength() override { return 0; }
  int GetAscent() override { return StockIconMetrics(icon_).ascent; }
  int GetDescent() override { return StockIconMetrics(icon_).descent; }
  int GetWidth() override { return StockIconMetrics(icon_).width; }
  void Draw(int x, int y) override;
  int GetPointerKind() override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { Show(context, true); }
  int PressContinue(HitContext&) override { return 1; }
  void PressFeedbackIfInside(HitContext& context) override {
    if (context.ContainsSecondPoint()) PressFeedbackOn(context);
  }
  int PressRelease(HitContext&) override { return 1; }
  void PressFeedbackOff(HitContext& context) override { Show(context, false); }
  void Activate(DocumentView* view, HitContext* context) override;
  void* GetAnchorRef(std::intptr_t, std::intptr_t) override { return entry_->GetAnchor(); }

  AnchorMark* Entry() const { return entry_; }
  int IconIndex() const { return icon_; }

 private:
  // Erases the marker, draws it pressed or normal and inverts the anchor's
  // text (so a press and its release leave the text as it was).
  void Show(HitContext& context, bool pressed);
  AnchorMark* entry_;
  int icon_;
};

}  // namespace qs
