// Formulas in running text. A fraction sets its numerator centred over a
// bar over its denominator; each part is an ordinary stretch of the
// document laid out by a nested formatting run into a list of its own, and
// its boxes stand side by side in a row that the formula's box places.
#pragma once
#include <cstddef>
#include <cstdint>

#include "layout/display_box.h"
#include "layout/layout_item.h"

namespace qs {

// The items of one part of a formula; deleting the list deletes them.
class SubLayout : public ListHead {
 public:
  LayoutItem* FirstItem() const { return static_cast<LayoutItem*>(First()); }
  std::int32_t GetStart() const { return FirstItem() ? FirstItem()->Position() : 0; }
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to);
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room);
};

// A part's boxes side by side; an empty part makes a row without boxes,
// with ascent, descent and width 0.
class BoxRow : public ListHead {
 public:
  explicit BoxRow(SubLayout& items);
  DisplayBox* FirstBox() const { return static_cast<DisplayBox*>(First()); }
  int Height() const { return ascent + descent; }
  // (x, y): the left end of the baseline; stops at the device's width.
  void Draw(int x, int y);
  void HighlightRanges(MarkRecord& record);
  std::intptr_t Visit(BoxQuery& query, int x, int y);
  // (x, y) from the row's top-left corner; none for a row without boxes.
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY);

  int ascent = 0;
  int descent = 0;
  int width = 0;
};

class LayoutKind1Item : public LayoutItem {
 public:
  // Positioned at the numerator's start; spans to the denominator's end.
  LayoutKind1Item(std::int32_t position, TextFormat* format, std::int32_t length)
      : LayoutItem(position, format), length(length) {}
  std::int32_t GetLength() override { return length; }
  void MakeBoxes(ListHead& boxes) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;

  std::int32_t length;
  SubLayout numerator;
  SubLayout denominator;
};

class LayoutKind1Box : public DisplayBox {
 public:
  explicit LayoutKind1Box(LayoutKind1Item* item);
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  void HighlightRanges(MarkRecord& record) override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;

  // How far the bar sits above the baseline: half the height above the
  // baseline of the box before this one, none first in its list.
  int BarRaise();

  BoxRow numeratorRow;
  BoxRow denominatorRow;
};

// A radical: a root sign drawn with three lines over its content, with an
// optional radix at the upper left taken from the first Radix element
// inside it.
class LayoutKind2Item : public LayoutItem {
 public:
  LayoutKind2Item(std::int32_t position, TextFormat* format, std::int32_t length)
      : LayoutItem(position, format), length(length) {}
  ~LayoutKind2Item() override { delete radix; }
  std::int32_t GetLength() override { return length; }
  void MakeBoxes(ListHead& boxes) override;
  // The radix and the content in document order.
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;

  std::int32_t length;
  SubLayout* radix = nullptr;
  SubLayout content;
};

class LayoutKind2Box : public DisplayBox {
 public:
  explicit LayoutKind2Box(LayoutKind2Item* item);
  ~LayoutKind2Box() override { delete radixRow; }
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  void HighlightRanges(MarkRecord& record) override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;

  // The sign's height and width, and how far a wide radix pushes it right.
  int SignHeight() { return contentRow.Height() + 2; }
  int SignWidth() { return SignHeight() / 2; }
  int RadixShift();

  BoxRow contentRow;
  BoxRow* radixRow = nullptr;
};

// A script group: up to four parts around the box before it.
class LayoutPartsItem : public LayoutItem {
 public:
  enum Kind { kSuperior = 4, kInferior = 5, kAbove = 6, kBelow = 7 };
  LayoutPartsItem(std::int32_t position, TextFormat* format) : LayoutItem(position, format) {}
  ~LayoutPartsItem() override;
  std::int32_t GetLength() override { return length; }
  void MakeBoxes(ListHead& boxes) override;
  // The parts in the order above, superior, inferior, below.
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  // The slot of a kind, or null for another kind.
  SubLayout** Slot(int kind);

  std::int32_t length = 0;
  SubLayout* above = nullptr;
  SubLayout* superior = nullptr;
  SubLayout* inferior = nullptr;
  SubLayout* below = nullptr;
};

class LayoutPartsBox : public DisplayBox {
 public:
  // Takes the base box (or null) and owns it.
  LayoutPartsBox(LayoutPartsItem* item, DisplayBox* base);
  ~LayoutPartsBox() override;
  std::int32_t GetStart() override;
  std::int32_t GetLength() override;
  int CanBreakAfter() override { return 0; }
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  void HighlightRanges(MarkRecord& record) override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;

  // Distances from the baseline: the tops of the above part and the
  // superscript, the bottoms of the subscript and the below part.
  int AboveTop();
  int SuperiorTop();
  int InferiorBottom();
  int BelowBottom();
  int ColumnWidth();

  DisplayBox* base;
  BoxRow* aboveRow = nullptr;
  BoxRow* superiorRow = nullptr;
  BoxRow* inferiorRow = nullptr;
  BoxRow* belowRow = nullptr;

 private:
  int BaseAscent() { return base ? base->GetAscent() : 0; }
  int BaseDescent() { return base ? base->GetDescent() : 0; }
  int BaseWidth() { return base ? base->GetWidth() : 0; }
};

}  // namespace qs
