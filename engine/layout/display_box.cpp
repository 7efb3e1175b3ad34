#include "layout/display_box.h"

#include <new>

#include "foundation/memory.h"
#include "foundation/recycled_blocks.h"

namespace qs {

namespace {
DisplayBox*& PressedSlot() {
  static DisplayBox* box = nullptr;
  return box;
}
}  // namespace

void* DisplayBox::operator new(std::size_t size) {
#if QS_MEM_PASSTHROUGH
  // Sanitizer builds: each box its own block, watched as such.
  void* block = MemAlloc(size);
#else
  void* block = BoxBlocks().Take(size);
#endif
  if (!block) throw std::bad_alloc();
  return block;
}

void DisplayBox::operator delete(void* block, std::size_t size) noexcept {
#if QS_MEM_PASSTHROUGH
  (void)size;
  MemFree(block);
#else
  BoxBlocks().Give(block, size);
#endif
}

DisplayBox* PressedBox() { return PressedSlot(); }
void SetPressedBox(DisplayBox* box) { PressedSlot() = box; }

DisplayBox::~DisplayBox() {
  if (PressedSlot() == this) PressedSlot() = nullptr;
}

bool DisplayBox::Matches(const BoxQuery& query) {
  switch (query.kind) {
    case 0: return true;
    case 1: return GetLength() != 0 && GetStart() >= query.from && GetEnd() <= query.to;
    case 2: return item_->FindKeyItem(query.key) == item_;
    default: return false;
  }
}

std::intptr_t DisplayBox::Visit(BoxQuery& query, int x, int y) {
  if (!Matches(query)) return 0;
  const int ascent = GetAscent();
  return query.Found(GetPointerKind(), GetStart(), GetLength(), x, y - ascent, GetWidth(),
                     ascent + GetDescent());
}

DisplayBox* DisplayBox::FindItemBox(LayoutItem* item, int* outX, int* outY) {
  if (item != item_) return nullptr;
  *outX = 0, *outY = 0;
  return this;
}

namespace ViewRange {

void Init(HitContext& c, DisplayBox* box) {
  c.left = 0, c.top = 0;
  c.right = box->GetWidth();
  c.ascent = box->GetAscent();
  c.bottom = c.ascent + box->GetDescent();
}

void InitFromItem(HitContext& c, LayoutItem* item) {
  c.left = 0, c.top = 0;
  c.right = item->GetWidth();
  c.ascent = item->GetAscent();
  c.bottom = c.ascent + item->GetDescent();
}

}  // namespace ViewRange

}  // namespace qs
