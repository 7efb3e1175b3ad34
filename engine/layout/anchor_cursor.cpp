#include "layout/anchor_cursor.h"

namespace qs {

AnchorMark* AnchorCursor::Settle(Mark* mark) {
  while (mark && mark->Kind() != kMarkAnchor)
    mark = index_->Next() ? reinterpret_cast<Mark*>(index_->CurrentKey()) : nullptr;
  current_ = static_cast<AnchorMark*>(mark);
  return current_;
}

AnchorMark* AnchorCursor::Seek(std::uint32_t position) {
  current_ = nullptr;
  if (!index_) return nullptr;
  return Settle(index_->FindAtLeast(position));
}

AnchorMark* AnchorCursor::Advance() {
  if (!current_) return nullptr;
  // The index's own walk stands on the current entry since Seek.
  return Settle(index_->Next() ? reinterpret_cast<Mark*>(index_->CurrentKey()) : nullptr);
}

}  // namespace qs
