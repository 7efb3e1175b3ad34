#include "addressing/tree_walker.h"

#include <cstring>

#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/text_store.h"

namespace qs {

namespace {

constexpr const char kGapName[] = "#PNODE";

std::uint32_t S(const DocumentNode* n) { return n->start; }
std::uint32_t E(const DocumentNode* n) { return n->end; }

// Whether the type's content is left out of element text: flag bit 0 of its
// declaration. RCDATA's content code (0x0B) sets that bit too, yet its
// content is text like any other and stays.
bool Suppressed(const DocumentNode* node) {
  if (!node->Decl()) return false;
  std::uint8_t flags = node->Decl()->flags;
  return (flags & 0x01) != 0 && (flags & 0x0F) != 0x0B;
}

}  // namespace

TreeWalker::TreeWalker(Document* document, DocumentNode* node) : document_(document) {
  if (document_) document_->AddRef();
  if (!node && document_) node = document_->Root();
  if (node) SetNode(node);
}

TreeWalker::TreeWalker(const TreeWalker& other)
    : EngineObject(),
      document_(other.document_),
      parent_(other.parent_),
      previous_(other.previous_),
      next_(other.next_),
      current_(other.current_) {
  if (document_) document_->AddRef();
}

TreeWalker::~TreeWalker() {
  if (document_) document_->Release();
}

bool TreeWalker::SamePlace(const TreeWalker& other) const {
  return current_ == other.current_ && parent_ == other.parent_ &&
         previous_ == other.previous_ && next_ == other.next_;
}

void TreeWalker::StandOn(DocumentNode* node) {
  current_ = node;
  parent_ = node ? node->Parent() : nullptr;
  previous_ = node ? node->Prev() : nullptr;
  next_ = node ? node->Next() : nullptr;
}

void TreeWalker::SetNode(DocumentNode* node) { StandOn(node); }

void TreeWalker::Assign(const TreeWalker& other) {
  if (other.document_ != document_) return;
  parent_ = other.parent_;
  previous_ = other.previous_;
  next_ = other.next_;
  current_ = other.current_;
}

void TreeWalker::MoveToRoot() {
  if (!parent_) return;
  DocumentNode* top = parent_;
  while (top->Parent()) top = top->Parent();
  StandOn(top);
}

int TreeWalker::MoveToParent() {
  if (!parent_) return 0;
  StandOn(parent_);
  return 1;
}

int TreeWalker::MoveToFirstChild() {
  DocumentNode* first = current_ ? current_->First() : nullptr;
  if (!first) return 0;
  if (S(first) <= S(current_)) {
    parent_ = current_;
    current_ = first;
    previous_ = first->Prev();
    next_ = first->Next();
  } else {
    parent_ = current_;
    previous_ = nullptr;
    next_ = first;
    current_ = nullptr;
  }
  return 1;
}

int TreeWalker::MovePrevious() {
  if (current_) {
    if (previous_) {
      if (S(current_) <= E(previous_)) {
        next_ = current_;
        current_ = previous_;
        previous_ = previous_->Prev();
      } else {
        next_ = current_;
        current_ = nullptr;
      }
      return 1;
    }
    if (!parent_ || S(current_) <= S(parent_)) return 0;
    next_ = current_;
    current_ = nullptr;
    return 1;
  }
  if (!previous_) return 0;
  current_ = previous_;
  previous_ = previous_->Prev();
  return 1;
}

int TreeWalker::MoveNext() {
  if (current_) {
    if (next_) {
      if (E(current_) >= S(next_)) {
        previous_ = current_;
        current_ = next_;
        next_ = next_->Next();
      } else {
        previous_ = current_;
        current_ = nullptr;
      }
      return 1;
    }
    if (!parent_ || E(current_) >= E(parent_)) return 0;
    previous_ = current_;
    current_ = nullptr;
    return 1;
  }
  if (!next_) return 0;
  current_ = next_;
  next_ = next_->Next();
  return 1;
}

void TreeWalker::MoveToFirst() {
  DocumentNode* first = parent_ ? parent_->First() : nullptr;
  if (!first) return;
  previous_ = nullptr;
  if (S(first) <= S(parent_)) {
    current_ = first;
    next_ = first->Next();
  } else {
    current_ = nullptr;
    next_ = first;
  }
}

void TreeWalker::MoveToLast() {
  DocumentNode* last = parent_ ? parent_->Last() : nullptr;
  if (!last) return;
  next_ = nullptr;
  if (E(parent_) <= E(last)) {
    current_ = last;
    previous_ = last->Prev();
  } else {
    current_ = nullptr;
    previous_ = last;
  }
}

// The last place of an element's content in document order: the trailing
// gap when data follows its last child, else the last place inside that
// child when it has content of its own, else the child itself. (Descending
// to the deepest last element first and only then looking for a gap would
// skip the trailing data of an element between.)
void TreeWalker::PlaceLastIn(DocumentNode* element) {
  for (;;) {
    DocumentNode* last = element->Last();
    parent_ = element;
    next_ = nullptr;
    if (E(last) < E(element)) {
      previous_ = last;
      current_ = nullptr;
      return;
    }
    if (!last->First()) {
      current_ = last;
      previous_ = last->Prev();
      return;
    }
    element = last;
  }
}

void TreeWalker::MoveToLastDescendant() {
  if (current_ && current_->First()) PlaceLastIn(current_);
}

int TreeWalker::MoveForward() {
  if (current_ && current_->First()) return MoveToFirstChild();
  if (current_ && next_) {
    previous_ = current_;
    if (E(current_) >= S(next_)) {
      current_ = next_;
      next_ = next_->Next();
    } else {
      current_ = nullptr;
    }
    return 1;
  }
  if (current_ && parent_ && E(current_) < E(parent_)) {
    previous_ = current_;
    current_ = nullptr;
    return 1;
  }
  if (!current_ && next_) {
    current_ = next_;
    next_ = next_->Next();
    return 1;
  }
  // Out of this content: to what follows the nearest ancestor that has
  // anything after it.
  DocumentNode* a = parent_;
  while (a) {
    if (a->Next()) break;
    DocumentNode* up = a->Parent();
    if (up && E(up) > E(a)) {
      parent_ = up;
      previous_ = a;
      current_ = nullptr;
      next_ = nullptr;
      return 1;
    }
    a = up;
  }
  if (!a) return 0;
  DocumentNode* b = a->Next();
  parent_ = a->Parent();
  if (S(b) <= E(a)) {
    current_ = b;
    previous_ = b->Prev();
    next_ = b->Next();
  } else {
    previous_ = a;
    current_ = nullptr;
    next_ = b;
  }
  return 1;
}

int TreeWalker::MoveBackward() {
  if (previous_) {
    if (current_ && S(current_) > E(previous_)) {
      next_ = current_;
      current_ = nullptr;
      return 1;
    }
    if (previous_->First()) {
      PlaceLastIn(previous_);
      return 1;
    }
    // Onto the childless element before; from a gap the element after the
    // gap stays the next sibling.
    if (current_) next_ = current_;
    current_ = previous_;
    previous_ = previous_->Prev();
    return 1;
  }
  if (!parent_) return 0;
  if (current_ && S(current_) > S(parent_)) {
    next_ = current_;
    current_ = nullptr;
    return 1;
  }
  StandOn(parent_);
  return 1;
}

std::size_t TreeWalker::GetAttributeCount() const {
  if (!current_ || !current_->Decl()) return 0;
  return current_->Decl()->Attributes().Count();
}

const char* TreeWalker::GetAttributeName(std::size_t index) const {
  if (!current_ || !current_->Decl()) return nullptr;
  AttributeDecl* decl = current_->Decl()->Attributes().At(index);
  return decl ? decl->NameText() : nullptr;
}

const char* TreeWalker::GetAttributeValue(const char* name) const {
  if (!current_ || !name) return nullptr;
  return current_->GetAttributeValue(name);
}

const char* TreeWalker::GetElementName() const {
  return current_ ? current_->GetNameText() : kGapName;
}

void TreeWalker::GetRange(std::uint32_t* start, std::uint32_t* end) const {
  std::uint32_t s = 0, e = 0;
  if (current_) {
    s = S(current_);
    e = E(current_);
  } else if (previous_) {
    s = E(previous_);
    e = next_ ? S(next_) : (parent_ ? E(parent_) : s);
  } else if (next_ && parent_) {
    s = S(parent_);
    e = S(next_);
  }
  if (start) *start = s;
  if (end) *end = e;
}

std::uint32_t TreeWalker::GetStartPosition() const {
  std::uint32_t start;
  GetRange(&start, nullptr);
  return start;
}

// The element text in order, without recursion: the data before the first
// child, each child's own text, the data after each child up to the next one
// (or to the element's end).
template <class Sink>
void TreeWalker::WalkText(Sink& sink) const {
  DocumentNode* top = current_;
  DocumentNode* n = top;
  bool entering = true;
  while (true) {
    if (entering) {
      if (EntityDecl* entity = n->GetEntity()) {
        if (!sink.Literal("&", 1)) return;
        const char* name = entity->GetName();
        if (!sink.Literal(name, std::strlen(name))) return;
        if (!sink.Literal(";", 1)) return;
      } else if (!Suppressed(n)) {
        if (DocumentNode* first = n->First()) {
          if (!sink.Data(S(n), S(first))) return;
          n = first;
          continue;
        }
        if (!sink.Data(S(n), E(n))) return;
      }
    }
    if (n == top) return;
    DocumentNode* up = n->Parent();
    if (DocumentNode* after = n->Next()) {
      if (!sink.Data(E(n), S(after))) return;
      n = after;
      entering = true;
    } else {
      if (!sink.Data(E(n), E(up))) return;
      n = up;
      entering = false;
    }
  }
}

namespace {

struct CountSink {
  std::uint32_t total = 0;
  bool Literal(const char*, std::size_t n) {
    total += static_cast<std::uint32_t>(n);
    return true;
  }
  bool Data(std::uint32_t from, std::uint32_t to) {
    if (to > from) total += to - from;
    return true;
  }
};

// Writes pieces while room lasts; the caller keeps one byte for the NUL.
struct WriteSink {
  const TextStore* text;
  char* out;
  std::size_t room;
  bool Literal(const char* s, std::size_t n) {
    if (n > room) n = room;
    std::memcpy(out, s, n);
    out += n;
    room -= n;
    return room != 0;
  }
  bool Data(std::uint32_t from, std::uint32_t to) {
    if (to <= from) return room != 0;
    std::size_t n = to - from;
    if (n > room) n = room;
    // CopyRange terminates, so it writes n + 1 bytes: room has that byte.
    std::size_t copied = text ? text->CopyRange(out, from, from + static_cast<std::uint32_t>(n), true) : 0;
    out += copied;
    room -= copied;
    *out = '\0';
    return room != 0 && copied == n;
  }
};

}  // namespace

std::uint32_t TreeWalker::GetTextLength(bool raw) const {
  if (current_ && !raw) {
    CountSink sink;
    WalkText(sink);
    return sink.total;
  }
  std::uint32_t start, end;
  GetRange(&start, &end);
  return end > start ? end - start : 0;
}

void TreeWalker::GetText(char* buffer, std::size_t size, bool raw) const {
  if (!buffer || size == 0) return;
  std::size_t room = size - 1;
  const TextStore* text = document_ ? document_->Text() : nullptr;
  if (current_ && !raw) {
    WriteSink sink{text, buffer, room};
    *buffer = '\0';
    if (room != 0) WalkText(sink);
    *sink.out = '\0';
    return;
  }
  std::uint32_t start, end;
  GetRange(&start, &end);
  std::size_t n = end > start ? end - start : 0;
  if (n > room) n = room;
  std::size_t copied = text && n ? text->CopyRange(buffer, start, start + static_cast<std::uint32_t>(n), true) : 0;
  buffer[copied] = '\0';
}

}  // namespace qs
