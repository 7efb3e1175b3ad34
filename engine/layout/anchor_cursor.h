// The layout's walk over a document's anchor index: text items put a
// marker box in front of the first character at each anchor's position.
// Marker boxes hold the index's entries unowned, so an anchor that goes
// must first have its document's views laid out again.
#pragma once
#include <cstdint>

#include "addressing/web.h"
#include "sgml/document.h"

namespace qs {

// Entries in index order (position, then identity): Seek to the first at
// or after a position, then Advance. Marks of other kinds are passed over.
class AnchorCursor {
 public:
  explicit AnchorCursor(Document* document) : index_(document ? &document->Anchors() : nullptr) {}
  AnchorMark* Seek(std::uint32_t position);
  AnchorMark* Current() const { return current_; }
  AnchorMark* Advance();

 private:
  AnchorMark* Settle(Mark* mark);
  AnchorIndex* index_;
  AnchorMark* current_ = nullptr;
};

}  // namespace qs
