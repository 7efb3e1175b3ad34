// The result sets handed to hosts: a tag set (HTAGSET), element nodes of
// one document in document order, and a selection set (HSELSET), text
// ranges of one document with a cursor. Each belongs to its handle record
// and holds a use of its document, whose tree its entries point into.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"
#include "view/ranges.h"

namespace qs {

class Document;
class DocumentNode;

// One element of a tag set: first and last element (the same here) and a
// flag.
class TagLink : public ListNode {
 public:
  explicit TagLink(DocumentNode* element) : first(element), last(element) {}
  TagLink* NextLink() const { return static_cast<TagLink*>(Next()); }
  DocumentNode* first;
  DocumentNode* last;
  std::uint8_t flag = 1;
};

class TagSet : public EngineObject {
 public:
  // Null for no document.
  static TagSet* New(Document* document);
  ~TagSet();
  TagSet(const TagSet&) = delete;
  TagSet& operator=(const TagSet&) = delete;

  Document* GetDocument() const { return document_; }
  TagLink* FirstLink() const { return static_cast<TagLink*>(links_.First()); }
  std::size_t Count() const { return count_; }
  void Append(DocumentNode* element);
  // Into document order; false when the element is there already.
  bool Insert(DocumentNode* element);
  bool Remove(DocumentNode* element);
  bool Contains(const DocumentNode* element) const;
  void Clear();

 private:
  explicit TagSet(Document* document);
  Document* document_;
  ListHead links_;
  std::size_t count_ = 0;
};

class SelectionSet : public EngineObject {
 public:
  static SelectionSet* New(Document* document);
  ~SelectionSet();
  SelectionSet(const SelectionSet&) = delete;
  SelectionSet& operator=(const SelectionSet&) = delete;

  Document* GetDocument() const { return document_; }
  RangeList& Ranges() { return ranges_; }
  // Adds [start, end) before the first range that starts later.
  bool Add(std::uint32_t start, std::uint32_t end);
  Range* cursor = nullptr;

 private:
  explicit SelectionSet(Document* document);
  Document* document_;
  RangeList ranges_;
};

// Whether element a comes before b in document order (an element before
// its content, siblings in order).
bool PrecedesInDocument(const DocumentNode* a, const DocumentNode* b);

}  // namespace qs
