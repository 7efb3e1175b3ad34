// A paragraph box breaks a run of display boxes into lines of a width and
// then acts as one box: its ascent is the height of all lines, its width
// the widest line; it draws its lines and maps points to document
// positions and back. Table cells and navigator entries build on it.
#pragma once
#include <cstdint>

#include "layout/display_box.h"
#include "view/view_line.h"

namespace qs {

class ParagraphBox : public DisplayBox {
 public:
  enum : std::uint8_t {
    // Line kinds: 1, 2, 4 make lines aligned left, centred, right; any
    // other value plain lines that follow their first box.
    kLineKindMask = 7, kLinesLeft = 1, kLinesCentred = 2, kLinesRight = 4,
    // The full width for every line: no indents.
    kNoIndents = 8,
    // No space above for lines opened by a forced break.
    kNoSpaceAbove = 0x10,
  };

  // Breaks the boxes of `items` (may be null) at `width` at once.
  ParagraphBox(LayoutItem* item, const ListHead* items, int width, std::uint8_t flags);
  ~ParagraphBox() override;

  // With items, their boxes are made; without, the boxes of the present
  // lines are broken again (no box is made or copied, only lines).
  void BreakLines(int width, const ListHead* items);

  std::int32_t GetStart() override;
  std::int32_t GetLength() override;
  std::int32_t PositionAt(int x, int y) override;
  void PointOf(std::int32_t position, int* x, int* y) override;
  int GetAscent() override { return height_; }
  int GetDescent() override { return 0; }
  int GetWidth() override { return widest_; }
  void HighlightRanges(MarkRecord& record) override;
  void Draw(int x, int y) override { DrawLines(x, y); }
  void SplitAt(int width) override { BreakLines(width, nullptr); }
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;
  // A line of the paragraph's kind opened by `first`.
  virtual ViewLine* NewLine(DisplayBox* first, int available);

  // (x, y): the paragraph's bottom left; lines below the drawing area are
  // not drawn.
  void DrawLines(int x, int y);
  ViewLine* GetFirstLine() const { return static_cast<ViewLine*>(lines_.First()); }
  ViewLine* GetLastLine() const { return static_cast<ViewLine*>(lines_.Last()); }
  std::uint8_t Flags() const { return flags_; }
  int LineCount() const;

 protected:
  // Where a line starts and how wide it may be drawn.
  int LineX(ViewLine* line) { return (flags_ & kNoIndents) ? 0 : line->LeftIndent(); }
  // Table cells draw their lines in the whole cell width.
  void SetWidest(int width) { widest_ = width; }
  int LineRoom(ViewLine* line) {
    return (flags_ & kNoIndents) ? widest_ : widest_ - line->LeftIndent() - line->RightIndent();
  }

 private:
  ListHead lines_;
  std::uint8_t flags_;
  std::int32_t widest_ = 0;
  std::int32_t height_ = 0;
};

}  // namespace qs
