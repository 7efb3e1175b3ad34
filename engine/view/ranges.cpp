#include "view/ranges.h"

#include "sgml/document.h"

namespace qs {

bool Range::IsWithin(const Range& other) const {
  return other.GetStart() <= GetStart() && GetEnd() <= other.GetEnd();
}

std::uint32_t NodeRange::GetStart() const { return node_->start; }
std::uint32_t NodeRange::GetEnd() const { return node_->end; }

bool NodeRange::IsWithin(const Range& other) const {
  DocumentNode* outer = other.GetNode();
  if (!outer) return Range::IsWithin(other);
  if (outer == node_ || !Range::IsWithin(other)) return false;
  if (outer->start != node_->start || outer->end != node_->end) return true;
  // Equal spans nest by ancestry: inside anything but a descendant of ours.
  for (DocumentNode* n = outer->Parent(); n; n = n->Parent())
    if (n == node_) return false;
  return true;
}

Range* PairList::Append(std::uint32_t start, std::uint32_t end) {
  auto* range = new PairRange(start, end);
  if (range) ListHead::Append(range);
  return range;
}

std::size_t PairList::Count() const {
  std::size_t n = 0;
  for (ListNode* r = First(); r; r = r->Next()) ++n;
  return n;
}

Range* RangeList::AppendNode(DocumentNode* node) {
  if (!node) return nullptr;
  auto* range = new NodeRange(node);
  if (range) ListHead::Append(range);
  return range;
}

int RangeList::InsertOrdered(std::uint32_t start, std::uint32_t end) {
  Range* last = LastRange();
  if (!last || start >= last->GetEnd()) return Append(start, end) ? 1 : 0;
  Range* first = FirstRange();
  if (end <= first->GetStart()) {
    auto* range = new PairRange(start, end);
    if (!range) return 0;
    Prepend(range);
    return 1;
  }
  for (Range* r = first; r; r = r->NextRange()) {
    if (start >= r->GetStart()) continue;
    if (r->GetStart() < end) return 0;
    Range* before = r->PrevRange();
    if (before && before->GetEnd() > start) return 0;
    auto* range = new PairRange(start, end);
    if (!range) return 0;
    InsertBefore(r, range);
    return 1;
  }
  return 0;
}

Range* RangeList::FindBefore(std::uint32_t position) const {
  for (Range* r = LastRange(); r; r = r->PrevRange())
    if (r->GetEnd() <= position) return r;
  return FirstRange();
}

}  // namespace qs
