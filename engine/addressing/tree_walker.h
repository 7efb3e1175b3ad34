// A place in one document's element tree that moves step by step: either on
// an element or in a data gap (character data between two element
// boundaries of one parent). Node handles, extended pointers and location
// strings all move one of these. A gap exists only where characters lie:
// touching siblings have none, and the walker never stands in an empty gap.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

class Document;
class DocumentNode;

class TreeWalker : public EngineObject {
 public:
  // Holds a use of the document for its whole life; stands on the node, or
  // on the document's root element when the node is null.
  TreeWalker(Document* document, DocumentNode* node);
  TreeWalker(const TreeWalker& other);
  TreeWalker& operator=(const TreeWalker&) = delete;
  virtual ~TreeWalker();

  Document* GetDocument() const { return document_; }
  DocumentNode* Parent() const { return parent_; }
  DocumentNode* Previous() const { return previous_; }
  DocumentNode* Next() const { return next_; }
  // The element stood on; null in a data gap.
  DocumentNode* Current() const { return current_; }
  bool InGap() const { return current_ == nullptr; }
  bool SamePlace(const TreeWalker& other) const;

  void SetNode(DocumentNode* node);
  // Copies the other's place only when both walk the same document.
  void Assign(const TreeWalker& other);

  void MoveToRoot();
  int MoveToParent();
  int MoveToFirstChild();
  // One step among the places of the parent's content.
  int MovePrevious();
  int MoveNext();
  void MoveToFirst();
  void MoveToLast();
  // From an element with children to the last place of its content in
  // document order.
  void MoveToLastDescendant();
  // The next or previous place in document order (an element before its
  // content), gaps included.
  int MoveForward();
  int MoveBackward();

  // Attribute declarations of the current element's type (none in a gap).
  std::size_t GetAttributeCount() const;
  const char* GetAttributeName(std::size_t index) const;
  // The specified value, else the declared default; null in a gap.
  const char* GetAttributeValue(const char* name) const;
  // The element's type name, "#PNODE" in a gap.
  const char* GetElementName() const;

  // An element's [start, end); a gap's [end of previous or start of parent,
  // start of next or end of parent); 0 and 0 when there is no place.
  void GetRange(std::uint32_t* start, std::uint32_t* end) const;
  std::uint32_t GetStartPosition() const;
  // On an element and not raw: the element's text with entity references
  // as "&name;" and the content of suppressed types left out. Otherwise the
  // bytes of the range.
  std::uint32_t GetTextLength(bool raw) const;
  // The same text, at most size - 1 bytes and a NUL; nothing for size 0.
  void GetText(char* buffer, std::size_t size, bool raw) const;

 private:
  void StandOn(DocumentNode* node);
  void PlaceLastIn(DocumentNode* element);
  // Walks the element text, handing each piece to the sink.
  template <class Sink>
  void WalkText(Sink& sink) const;

  Document* document_;
  DocumentNode* parent_ = nullptr;
  DocumentNode* previous_ = nullptr;
  DocumentNode* next_ = nullptr;
  DocumentNode* current_ = nullptr;
};

}  // namespace qs
