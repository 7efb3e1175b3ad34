// Character data in the layout: a TextItem stands for one stretch of an
// element's text and, when asked for boxes, cuts it by line-break class
// into TextRunBoxes (characters measured as one piece), single-character
// boxes and anchor markers (char_boxes.h). Runs read their characters
// again from the document whenever they draw or are hit.
#pragma once
#include <cstdint>

#include "layout/char_boxes.h"
#include "layout/display_box.h"

namespace qs {

class CachedStream;

// The character stream of the current view's document, or null.
CachedStream* CurrentTextStream();

class TextItem : public LayoutItem {
 public:
  // The run of text [start, end); `linkSource` when it lies inside an
  // element that is a link source.
  TextItem(std::int32_t start, std::int32_t end, TextFormat* format, bool linkSource)
      : LayoutItem(start, format),
        endWord_((static_cast<std::uint32_t>(end) & kEndMask) | (linkSource ? kLinkBit : 0)) {}

  std::int32_t GetLength() override { return End() - Position(); }
  int GetAscent() override;
  int GetDescent() override;
  void MakeBoxes(ListHead& boxes) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  int GetPointerKind() override { return IsLinkSource() ? 1 : 0; }
  int PressContinue(HitContext&) override { return 0; }
  int PressRelease(HitContext&) override { return 0; }

  std::int32_t End() const { return static_cast<std::int32_t>(endWord_ & kEndMask); }
  bool IsLinkSource() const { return endWord_ & kLinkBit; }

  // A run holds at most this many UTF-16 units and bytes.
  static constexpr int kRunUnits = 70;
  static constexpr int kRunBytes = 255;

 private:
  static constexpr std::uint32_t kEndMask = 0x7FFFFFFFu;
  static constexpr std::uint32_t kLinkBit = 0x80000000u;
  std::uint32_t endWord_;
};

class TextRunBox : public DisplayBox {
 public:
  TextRunBox(LayoutItem* item, std::int32_t start, std::uint8_t length, int width,
             bool breakAfter)
      : DisplayBox(item),
        start_(start),
        length_(length),
        breakAfter_(breakAfter),
        width_(static_cast<std::int16_t>(width)) {}

  std::int32_t GetStart() override { return start_; }
  std::int32_t GetLength() override { return length_; }
  std::int32_t PositionAt(int x, int y) override;
  int CanBreakAfter() override { return breakAfter_; }
  void SetBreakAfter() override { breakAfter_ = 1; }
  int GetWidth() override { return width_; }
  void HighlightRanges(MarkRecord& record) override;
  void Draw(int x, int y) override;
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  void PressFeedbackIfInside(HitContext& context) override { InvertLinkElement(context, start_); }
  void PressFeedbackOff(HitContext& context) override { PressFeedbackIfInside(context); }
  // Links are followed once links are built; until then nothing happens.
  void Activate(DocumentView* view, HitContext* context) override;

 private:
  // The run's characters as UTF-16 units (U+0001 as a blank); returns the
  // count, at most `room`.
  int RunText(std::uint16_t* units, int room);
  // The width of the run's text up to a position inside it.
  int WidthTo(const std::uint16_t* units, int count, std::int32_t position);

  std::int32_t start_;
  std::uint8_t length_;
  std::uint8_t breakAfter_;
  std::int16_t width_;
};

}  // namespace qs
