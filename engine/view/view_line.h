// Lines of boxes: how a line measures, places, draws, marks and hit-tests
// its boxes, and how one paragraph of a frame's items is broken into lines
// for a view's width. LineBox, the line of paragraph boxes, table cells and
// pages, is a ViewLine with an alignment of its own.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "view/hit_context.h"

namespace qs {

class BoxQuery;
class DisplayBox;
class LayoutItem;

class ViewLine : public ListNode {
 public:
  // The box opens the line; when it is wider than `available` it is split
  // there and measured again.
  ViewLine(DisplayBox* first, int available);

  // Deletes the boxes with the line.
  ~ViewLine() override = default;
  virtual int LeftIndent();
  virtual int RightIndent();
  // 0 left, 0x10 centre, 0x20 right: the first box's.
  virtual int Alignment();
  // Each box gets (its x, baseline y + its offset, ascent less the first
  // box's space above, descent, message, argument).
  virtual void SendToBoxes(int x, int y, int available, int message, std::intptr_t argument);

  // Adds a box after the others: tells it the gap to the next tab stop
  // (every 25 points from the line's left edge) and takes its measures.
  void AddBox(DisplayBox* box);
  // Draws the boxes, their line styles and the change bar; y is the top.
  void Draw(int x, int y, int available);
  // Inverts the parts of the boxes that the range chain covers; returns
  // the entry to go on with, null when the chain ran out.
  RangeEntry* DrawMarks(int x, int y, int available, RangeEntry* entry);
  // The first non-zero answer of the boxes' Visit.
  std::intptr_t Visit(BoxQuery& query, int x, int y, int available);
  // The box under x (the last box past the end), or its child under the
  // point with `child`; the point relative to it in (outX, outY).
  DisplayBox* BoxAtX(int x, int y, int available, int* outX, int* outY, bool child);
  // The first box forces a break before it (a paragraph start).
  bool BreaksBefore();
  // The alignment offset within the available width.
  int AlignmentOffset(int available);

  DisplayBox* GetFirstBox() const;
  DisplayBox* GetLastBox() const;
  ViewLine* GetNextLine() const { return static_cast<ViewLine*>(Next()); }
  std::int32_t GetStart() const;
  std::int32_t GetEnd() const;
  int GetHeight() const { return ascent + descent; }
  // Moves every box of the line to the end of `list`.
  void TakeBoxes(ListHead& list) { list.AppendList(boxes); }

  ListHead boxes;
  std::int32_t ascent = 0;
  std::int32_t descent = 0;
  std::int32_t used = 0;
};

class LineBox : public ViewLine {
 public:
  LineBox(DisplayBox* first, int available, std::uint8_t alignment)
      : ViewLine(first, available), alignment_(alignment) {}
  int Alignment() override { return alignment_; }

 private:
  std::uint8_t alignment_;
};

// Draws a line style across [x1, x2): 4 over, 8 through, 12 under; other
// styles on the baseline.
void DrawLineStyle(int style, int x1, int x2, int y, int ascent, int descent);

// Breaks the paragraph that starts at `item` into lines `width` wide (its
// boxes, then those of the following items up to one that breaks before
// it) and puts them at the end of `lines`, or in front with `append`
// false. The gap goes below every line, the space above on the first.
// Returns the item after the paragraph, null at the end of the list.
LayoutItem* BuildParagraphLines(LayoutItem* item, int width, ListHead& lines, bool append);

// Breaks boxes already made (all of `boxes`, taken over) into lines
// `width` wide at the end of `lines`: a box that forces a break opens a
// paragraph, each paragraph with its own gap and space above.
void BreakBoxesIntoLines(ListHead& boxes, int width, ListHead& lines);

}  // namespace qs
