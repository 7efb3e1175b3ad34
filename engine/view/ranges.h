// Ranges of a document's text and lists of them: the hits of a query, the
// ranges a host adds to a selection, the highlights of a view. A range is a
// pair of positions or an element node (covering the element's start to
// its end); positions are byte offsets into the document's text, [start,
// end). A node range points into its document's tree: whoever keeps the
// list keeps the document alive.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"

namespace qs {

class DocumentNode;

class Range : public ListNode {
 public:
  virtual ~Range() = default;
  virtual std::uint32_t GetStart() const = 0;
  virtual std::uint32_t GetEnd() const = 0;
  virtual DocumentNode* GetNode() const { return nullptr; }
  // Same start and same end.
  bool Equals(const Range& other) const {
    return GetStart() == other.GetStart() && GetEnd() == other.GetEnd();
  }
  // Whether this range lies inside the other: the other's start is not
  // after this start and its end not before this end. Between two node
  // ranges the nodes must differ, and an element shares its span with an
  // ancestor only: it never lies inside one of its own descendants.
  virtual bool IsWithin(const Range& other) const;

  Range* NextRange() const { return static_cast<Range*>(Next()); }
  Range* PrevRange() const { return static_cast<Range*>(Prev()); }
};

class PairRange : public Range {
 public:
  PairRange(std::uint32_t start, std::uint32_t end) : start_(start), end_(end) {}
  std::uint32_t GetStart() const override { return start_; }
  std::uint32_t GetEnd() const override { return end_; }

 private:
  std::uint32_t start_;
  std::uint32_t end_;
};

class NodeRange : public Range {
 public:
  explicit NodeRange(DocumentNode* node) : node_(node) {}
  std::uint32_t GetStart() const override;
  std::uint32_t GetEnd() const override;
  DocumentNode* GetNode() const override { return node_; }
  bool IsWithin(const Range& other) const override;

 private:
  DocumentNode* node_;
};

// A list of ranges that owns them.
class PairList : public ListHead {
 public:
  Range* FirstRange() const { return static_cast<Range*>(First()); }
  Range* LastRange() const { return static_cast<Range*>(Last()); }
  // A new pair range at the end; null when memory ran out.
  Range* Append(std::uint32_t start, std::uint32_t end);
  std::size_t Count() const;
};

class RangeList : public PairList {
 public:
  // A new node range at the end; null when memory ran out or for no node.
  Range* AppendNode(DocumentNode* node);
  // Adds [start, end) keeping the list ordered and free of overlaps: 1 when
  // added, 0 when it overlaps a range already there.
  int InsertOrdered(std::uint32_t start, std::uint32_t end);
  // From the last range toward the first: the first whose end is not past
  // the position; the first range when there is none; null when empty.
  Range* FindBefore(std::uint32_t position) const;
};

}  // namespace qs
