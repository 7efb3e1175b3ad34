// Layout items: the flat list a formatting run makes of a document, one
// item per piece of content. An item knows its document position and
// carries the text format in force there; it places nothing itself, but
// makes display boxes (display_box.h) that lines and paragraphs place.
//
// Items come from their frame's pool and are never freed singly: deleting
// one runs its destructor (which lets go of its format) and gives no memory
// back. Every length an item answers is in units of the current device.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/arena.h"
#include "foundation/containers.h"
#include "style/frame.h"
#include "view/hit_context.h"
#include "view/output_device.h"

namespace qs {

class DocumentNode;
class DocumentView;
class TextFormat;

class LayoutItem : public ListNode {
 public:
  // Items live in their frame's pool, or an arena of their maker's: made
  // with `new (pool) Item(...)`.
  static void* operator new(std::size_t size, Pool& pool) { return PoolAlloc(size, pool); }
  static void operator delete(void*, Pool&) {}
  static void* operator new(std::size_t size, GlobalArena& arena) { return arena.Allocate(size); }
  static void operator delete(void*, GlobalArena&) {}
  // The pool is freed whole: deleting an item gives nothing back.
  static void operator delete(void*) {}

  // Takes a reference to the format (may be null).
  LayoutItem(std::int32_t position, TextFormat* format);

  ~LayoutItem() override;
  virtual std::int32_t GetLength() { return 0; }
  virtual int BreaksBefore() { return 0; }
  virtual int GetAscent() { return 0; }
  virtual int GetDescent() { return 0; }
  virtual int GetSpaceAbove() { return 0; }
  virtual int GetWidth() { return 0; }
  virtual Font* GetFont();
  virtual DeviceColor* TextColor();
  virtual int LeftIndent();
  virtual int FirstIndent();
  virtual int RightIndent();
  virtual int Leading();
  virtual int BaselineOffset();
  virtual int Justify();
  virtual int LinkSourceHidden();
  virtual int LinkTargetHidden();
  virtual int LineStyle();
  virtual int ChangeBar();
  virtual int SkipForPosition() { return 0; }
  virtual FrameTreeNode* GetOwnFrame() { return nullptr; }
  virtual DocumentNode* GetElement() { return nullptr; }
  virtual LayoutItem* FindKeyItem(const void* key) { (void)key; return nullptr; }
  // Told the page its box was placed on, by a paged view once the page is
  // filled. A virtual call, not a type test: every box of every page asks.
  virtual void RecordPage(int page) { (void)page; }
  // Appends this item's boxes; the base makes one plain box.
  virtual void MakeBoxes(ListHead& boxes);
  // (x, y): the left end of the baseline.
  virtual void Draw(int x, int y) { (void)x, (void)y; }
  virtual void HighlightRanges(MarkRecord& record) { (void)record; }
  // Bytes the item gives to a copy of the positions [from, to).
  virtual std::int32_t GetTextLength(std::int32_t from, std::int32_t to) { (void)from, (void)to; return 0; }
  // Writes at most `room` of those bytes at `output`; returns how many.
  virtual std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) {
    (void)from, (void)to, (void)output, (void)room;
    return 0;
  }
  virtual void SetTabGap(int gap) { (void)gap; }
  virtual void SplitAt(int width) { (void)width; }
  virtual int GetPointerKind() { return 0; }
  virtual int GetPointerKindAt(int x, int y) { (void)x, (void)y; return 0; }
  virtual int PressRange(int x, int y, HitContext& context) { (void)x, (void)y, (void)context; return 0; }
  virtual void PressFeedbackOn(HitContext& context) { InvertItemRect(context); }
  virtual void PressTrack(HitContext& context) { (void)context; }
  virtual int PressContinue(HitContext& context) { (void)context; return 1; }
  virtual void PressFeedbackIfInside(HitContext& context) {
    if (context.ContainsSecondPoint()) InvertItemRect(context);
  }
  virtual int PressRelease(HitContext& context) { (void)context; return 1; }
  virtual void PressFeedbackOff(HitContext& context) { InvertItemRect(context); }
  virtual void Activate(DocumentView* view, HitContext* context) { (void)view, (void)context; }
  // Messages carry pointers: argument and answer are pointer-sized.
  virtual std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) {
    (void)x, (void)y, (void)message, (void)argument;
    return 0;
  }

  LayoutItem* NextItem() const { return static_cast<LayoutItem*>(Next()); }
  std::int32_t Position() const { return position_; }
  TextFormat* Format() const { return format_; }

 protected:
  // Inverts the context's bounds placed at the item's origin.
  void InvertItemRect(HitContext& context);
  // For items that learn their start while they are built (tables).
  void SetItemPosition(std::int32_t position) { position_ = position; }

 private:
  // The position last: kinds that add a 32-bit field (text ends, break
  // spaces) fill the padding after it, which keeps the commonest items at
  // 40 bytes; a large manual makes hundreds of thousands.
  TextFormat* format_;
  std::int32_t position_;
};

// A paragraph break: it starts a new line, is as wide as the first-line
// indent and gives the line it starts its space above.
class BreakItem : public LayoutItem {
 public:
  BreakItem(std::int32_t position, TextFormat* format, std::int16_t spaceAbove)
      : LayoutItem(position, format), spaceAbove_(spaceAbove) {}
  int BreaksBefore() override { return 1; }
  int GetSpaceAbove() override;
  int GetWidth() override { return FirstIndent(); }
  int SkipForPosition() override { return 1; }
  std::int32_t GetTextLength(std::int32_t, std::int32_t) override { return 2; }
  // CR LF, as much of it as there is room for.
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  std::int16_t SpaceAbovePoints() const { return spaceAbove_; }

 private:
  std::int16_t spaceAbove_;
};

}  // namespace qs
