// Display boxes: the placed form of layout items. A box has an ascent, a
// descent and a width, sits on a line with its origin at the left end of
// its baseline, and answers nearly every question by asking its item.
// Boxes are heap objects owned by the list (line, paragraph, table) that
// holds them; they point to their item without owning it. Their blocks
// are recycled by size (foundation/recycled_blocks.h): a page's layout
// makes and drops them by the thousand.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "layout/layout_item.h"

namespace qs {

// A walk over boxes: which boxes match, and what is told of each.
class BoxQuery {
 public:
  BoxQuery(int kind, std::int32_t from, std::int32_t to, const void* key)
      : kind(kind), from(from), to(to), key(key) {}
  virtual ~BoxQuery() = default;
  // Non-zero stops the walk.
  virtual std::intptr_t Found(int pointerKind, std::int32_t start, std::int32_t length, int x,
                              int top, int width, int height) = 0;
  // 0 every box; 1 boxes with text inside [from, to); 2 boxes whose item
  // stands for the key.
  int kind;
  std::int32_t from, to;
  const void* key;
};

class DisplayBox : public ListNode {
 public:
  explicit DisplayBox(LayoutItem* item) : item_(item) {}
  static void* operator new(std::size_t size);
  // The deleting destructor passes the size of the box's own class.
  static void operator delete(void* block, std::size_t size) noexcept;

  // Clears PressedBox when it is this box.
  ~DisplayBox() override;
  virtual std::int32_t GetStart() { return item_->Position(); }
  virtual std::int32_t GetLength() { return item_->GetLength(); }
  virtual std::int32_t PositionAt(int x, int y) { (void)x, (void)y; return GetStart(); }
  virtual void PointOf(std::int32_t position, int* x, int* y) { (void)position, *x = 0, *y = 0; }
  virtual int BreaksBefore() { return item_->BreaksBefore(); }
  virtual int CanBreakAfter() { return 1; }
  virtual void SetBreakAfter() {}
  virtual int GetAscent() { return item_->GetAscent(); }
  virtual int GetDescent() { return item_->GetDescent(); }
  virtual int GetSpaceAbove() { return item_->GetSpaceAbove(); }
  virtual int GetWidth() { return item_->GetWidth(); }
  virtual Font* GetFont() { return item_->GetFont(); }
  virtual DeviceColor* TextColor() { return item_->TextColor(); }
  virtual int LeftIndent() { return item_->LeftIndent(); }
  virtual int FirstIndent() { return item_->FirstIndent(); }
  virtual int RightIndent() { return item_->RightIndent(); }
  virtual int Justify() { return item_->Justify(); }
  virtual int LinkSourceHidden() { return item_->LinkSourceHidden(); }
  virtual int LinkTargetHidden() { return item_->LinkTargetHidden(); }
  virtual int LineStyle() { return item_->LineStyle(); }
  virtual int ChangeBar() { return item_->ChangeBar(); }
  virtual int Leading() { return item_->Leading(); }
  virtual int BaselineOffset() { return item_->BaselineOffset(); }
  virtual int SkipForPosition() { return item_->SkipForPosition(); }
  virtual void HighlightRanges(MarkRecord& record) { item_->HighlightRanges(record); }
  virtual void Draw(int x, int y) { item_->Draw(x, y); }
  virtual int GetMinWidth() { return GetWidth(); }
  virtual void SetTabGap(int gap) { item_->SetTabGap(gap); }
  virtual void SplitAt(int width) { item_->SplitAt(width); }
  // Plain boxes ignore both limits; tables split themselves there.
  virtual void AppendTo(int firstLimit, int nextLimit, ListHead& list) {
    (void)firstLimit, (void)nextLimit;
    list.Append(this);
  }
  virtual int GetPointerKind() { return item_->GetPointerKind(); }
  virtual int GetPointerKindAt(int x, int y) { return item_->GetPointerKindAt(x, y); }
  // (x, y): the box origin. The query's answer for a matching box, else 0.
  virtual std::intptr_t Visit(BoxQuery& query, int x, int y);
  virtual int PressRange(int x, int y, HitContext& c) { return item_->PressRange(x, y, c); }
  virtual void PressFeedbackOn(HitContext& c) { item_->PressFeedbackOn(c); }
  virtual void PressTrack(HitContext& c) { item_->PressTrack(c); }
  virtual int PressContinue(HitContext& c) { return item_->PressContinue(c); }
  virtual void PressFeedbackIfInside(HitContext& c) { item_->PressFeedbackIfInside(c); }
  virtual int PressRelease(HitContext& c) { return item_->PressRelease(c); }
  virtual void PressFeedbackOff(HitContext& c) { item_->PressFeedbackOff(c); }
  virtual void Activate(DocumentView* view, HitContext* c) { item_->Activate(view, c); }
  // The innermost box under a point and the point relative to it.
  virtual DisplayBox* ChildAt(int x, int y, int* outX, int* outY) {
    *outX = x, *outY = y;
    return this;
  }
  virtual DisplayBox* FindItemBox(LayoutItem* item, int* outX, int* outY);
  virtual void* GetAnchorRef(std::intptr_t a, std::intptr_t b) { (void)a, (void)b; return nullptr; }
  virtual FrameTreeNode* GetOwnFrame() { return item_->GetOwnFrame(); }
  virtual DocumentNode* GetElement() { return item_->GetElement(); }
  virtual std::intptr_t HandleMessage(int x, int y, int ascent, int descent, int message,
                                      std::intptr_t argument) {
    (void)ascent, (void)descent;
    return item_->HandleMessage(x, y, message, argument);
  }

  DisplayBox* GetNext() const { return static_cast<DisplayBox*>(Next()); }
  std::int32_t GetEnd() { return GetStart() + GetLength(); }
  bool Matches(const BoxQuery& query);
  LayoutItem* Item() const { return item_; }

 private:
  LayoutItem* item_;
};

// The box that took the current pointer press in a document view, or null.
DisplayBox* PressedBox();
void SetPressedBox(DisplayBox* box);

}  // namespace qs
