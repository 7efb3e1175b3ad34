// Items that show the document's markup among its formatted text: start and
// end tags as small tag-shaped labels and processing instructions as
// labels, drawn in the device's default font. They also give their markup
// to text copies, so that a copy of a range holding tags yields the tags.
#pragma once
#include <cstdint>

#include "layout/layout_item.h"

namespace qs {

class Mark;

// The label metrics every tag item shares: ascent A + ((A + D) & 1) + 1 of
// the default font, h the label's (even) height, q = h / 5.
struct TagMetrics {
  int fontAscent = 0, fontDescent = 0;
  int ascent = 0, h = 0, q = 0;
  Font* font = nullptr;
};
TagMetrics CurrentTagMetrics();

class StartTagItem : public LayoutItem {
 public:
  StartTagItem(DocumentNode* element, TextFormat* format);
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  int LineStyle() override { return 0; }
  DocumentNode* GetElement() override { return element_; }
  void Draw(int x, int y) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  int GetPointerKindAt(int x, int y) override;
  int PressRange(int x, int y, HitContext& context) override;
  // A press released on the square offers the element's attribute list.
  void Activate(DocumentView* view, HitContext* context) override;

  bool HasSquare() const;
  // The attribute square relative to the item's top-left corner.
  void Square(int& left, int& top, int& right, int& bottom);

 private:
  int NameWidth(Font* font);
  DocumentNode* element_;
};

class EndTagItem : public LayoutItem {
 public:
  EndTagItem(DocumentNode* element, TextFormat* format);
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  int LineStyle() override { return 0; }
  int SkipForPosition() override { return 1; }
  DocumentNode* GetElement() override { return element_; }
  void Draw(int x, int y) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;

 private:
  bool Copies(std::int32_t from) const;
  DocumentNode* element_;
};

class ProcInstrItem : public LayoutItem {
 public:
  ProcInstrItem(Mark* mark, TextFormat* format);
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  int LineStyle() override { return 0; }
  void MakeBoxes(ListHead& boxes) override;
  void Draw(int x, int y) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;

  // The shown label: "?" and at most the first 142 bytes of the
  // instruction, cut at a character boundary, 0x01 as a blank. Returns its
  // length; `buffer` holds at least kLabelRoom bytes.
  static constexpr int kLabelBytes = 142;
  static constexpr int kLabelRoom = kLabelBytes + 2;
  int Label(char* buffer);
  Mark* GetMark() const { return mark_; }

 private:
  Mark* mark_;
};

// An instruction not shown: no room, no drawing, no copy.
class HiddenProcInstrItem : public LayoutItem {
 public:
  HiddenProcInstrItem(Mark* mark, TextFormat* format);
  void MakeBoxes(ListHead& boxes) override;

 private:
  Mark* mark_;
};

}  // namespace qs
