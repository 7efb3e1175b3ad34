#include "api/sets.h"

#include "sgml/document.h"

namespace qs {

namespace {
int Depth(const DocumentNode* n) {
  int d = 0;
  for (; n; n = n->Parent()) ++d;
  return d;
}
}  // namespace

bool PrecedesInDocument(const DocumentNode* a, const DocumentNode* b) {
  if (a == b) return false;
  if (a->start != b->start) return a->start < b->start;
  // Equal starts: an ancestor first, else the order of the siblings where
  // the two lines of ancestors meet.
  int da = Depth(a), db = Depth(b);
  const DocumentNode* x = a;
  const DocumentNode* y = b;
  while (da > db) { x = x->Parent(); --da; }
  while (db > da) { y = y->Parent(); --db; }
  if (x == b) return false;  // b is an ancestor of a
  if (y == a) return true;   // a is an ancestor of b
  while (x->Parent() != y->Parent()) {
    x = x->Parent();
    y = y->Parent();
  }
  for (const DocumentNode* s = x->Next(); s; s = s->Next())
    if (s == y) return true;
  return false;
}

TagSet* TagSet::New(Document* document) { return document ? new TagSet(document) : nullptr; }
TagSet::TagSet(Document* document) : document_(document->AddRef()) {}
TagSet::~TagSet() {
  links_.DeleteAll();
  document_->Release();
}

void TagSet::Append(DocumentNode* element) {
  links_.Append(new TagLink(element));
  ++count_;
}

bool TagSet::Insert(DocumentNode* element) {
  TagLink* later = nullptr;
  for (TagLink* l = FirstLink(); l; l = l->NextLink()) {
    if (l->first == element) return false;
    if (!later && PrecedesInDocument(element, l->first)) later = l;
  }
  links_.InsertBefore(later, new TagLink(element));
  ++count_;
  return true;
}

bool TagSet::Remove(DocumentNode* element) {
  for (TagLink* l = FirstLink(); l; l = l->NextLink()) {
    if (l->first != element) continue;
    links_.Unlink(l);
    delete l;
    --count_;
    return true;
  }
  return false;
}

bool TagSet::Contains(const DocumentNode* element) const {
  for (TagLink* l = FirstLink(); l; l = l->NextLink())
    if (l->first == element) return true;
  return false;
}

void TagSet::Clear() {
  links_.DeleteAll();
  count_ = 0;
}

SelectionSet* SelectionSet::New(Document* document) {
  return document ? new SelectionSet(document) : nullptr;
}
SelectionSet::SelectionSet(Document* document) : document_(document->AddRef()) {}
SelectionSet::~SelectionSet() {
  ranges_.DeleteAll();
  document_->Release();
}

bool SelectionSet::Add(std::uint32_t start, std::uint32_t end) {
  Range* later = nullptr;
  for (Range* r = ranges_.LastRange(); r && r->GetStart() > start; r = r->PrevRange()) later = r;
  auto* range = new PairRange(start, end);
  ranges_.InsertBefore(later, range);
  return true;
}

}  // namespace qs
