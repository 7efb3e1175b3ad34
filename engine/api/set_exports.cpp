// Tag sets and selection sets: made empty or by a query, edited and walked
// by the host through their handles.
#include <cstdint>

#include "addressing/query.h"
#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "api/sets.h"
#include "sgml/document.h"
#include "view/ranges.h"

using namespace qs;

namespace {

Document* LookupDoc(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<Document*>(table->LookupDocument(handle)) : nullptr;
}
TagSet* LookupTags(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<TagSet*>(table->LookupTagSet(handle)) : nullptr;
}
SelectionSet* LookupSelection(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<SelectionSet*>(table->LookupSelSet(handle)) : nullptr;
}
NodeRef* LookupNodeRef(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<NodeRef*>(table->LookupNode(handle)) : nullptr;
}

QsHandle RegisterTags(TagSet* set) {
  HandleTable* table = Handles();
  QsHandle handle = set && table ? table->RegisterTagSet(set) : 0;
  if (!handle) delete set;
  return handle;
}
QsHandle RegisterSelection(SelectionSet* set) {
  HandleTable* table = Handles();
  QsHandle handle = set && table ? table->RegisterSelSet(set) : 0;
  if (!handle) delete set;
  return handle;
}

// One use more of a handle for the length of a walk, so that a host that
// releases it from its procedure does not pull the object away under the
// walk; given back (and the object deleted, if that was its last use) at
// the end.
class HeldHandle {
 public:
  HeldHandle(HandleTable* table, QsHandle handle) : table_(table), handle_(handle) {
    held_ = table_->AddRef(handle_) != 0;
  }
  ~HeldHandle() {
    if (held_) table_->Release(handle_);
  }
  HeldHandle(const HeldHandle&) = delete;
  HeldHandle& operator=(const HeldHandle&) = delete;

 private:
  HandleTable* table_;
  QsHandle handle_;
  bool held_;
};

}  // namespace

extern "C" {

QsHandle QsCreateSelSet(QsHandle document) {
  Document* doc = LookupDoc(document);
  return doc ? RegisterSelection(SelectionSet::New(doc)) : 0;
}

QsHandle QsQueryDocument(QsHandle document, const char* query, std::int32_t flags) {
  Document* doc = LookupDoc(document);
  if (!doc) return 0;
  SelectionSet* set = SelectionSet::New(doc);
  if (!set) return 0;
  // Element hits become the text ranges of their elements.
  RangeList hits;
  RunQuery(query, doc, nullptr, hits, flags);
  for (Range* r = hits.FirstRange(); r; r = r->NextRange())
    set->Ranges().Append(r->GetStart(), r->GetEnd());
  return RegisterSelection(set);
}

std::int32_t QsAddSelSetRange(QsHandle selSet, std::int32_t start, std::int32_t length) {
  SelectionSet* set = LookupSelection(selSet);
  if (!set || start < 0 || length < 0) return 0;
  std::uint32_t end = static_cast<std::uint32_t>(start) + static_cast<std::uint32_t>(length);
  return set->Add(static_cast<std::uint32_t>(start), end) ? 1 : 0;
}

std::int32_t QsGetSelSetItem(QsHandle selSet, std::int32_t move, std::int32_t* start,
                             std::int32_t* length) {
  SelectionSet* set = LookupSelection(selSet);
  if (!set) return 0;
  switch (move) {
    case 0: set->cursor = set->Ranges().FirstRange(); break;
    case 1: if (set->cursor) set->cursor = set->cursor->PrevRange(); break;
    case 3: if (set->cursor) set->cursor = set->cursor->NextRange(); break;
    case 4: set->cursor = set->Ranges().LastRange(); break;
    default: break;
  }
  Range* r = set->cursor;
  if (!r) return 0;
  if (start) *start = static_cast<std::int32_t>(r->GetStart());
  if (length) *length = static_cast<std::int32_t>(r->GetEnd() - r->GetStart());
  return 1;
}

std::intptr_t QsEnumSelSet(QsHandle selSet, std::int32_t backwards, QsRecordProc procedure,
                           QsWord data) {
  SelectionSet* set = LookupSelection(selSet);
  if (!set || !procedure) return 0;
  // The procedure may change or release the set: walk a copy of its ranges.
  RangeList copy;
  for (Range* r = set->Ranges().FirstRange(); r; r = r->NextRange())
    copy.Append(r->GetStart(), r->GetEnd());
  HeldHandle held(Handles(), selSet);
  std::intptr_t result = 0;
  for (Range* r = backwards ? copy.LastRange() : copy.FirstRange(); r && !result;
       r = backwards ? r->PrevRange() : r->NextRange()) {
    QsRangeRecord record{static_cast<std::int32_t>(r->GetStart()),
                         static_cast<std::int32_t>(r->GetEnd() - r->GetStart())};
    result = procedure(&record, data);
  }
  return result;
}

QsHandle QsCreateTagSet(QsHandle document) {
  Document* doc = LookupDoc(document);
  return doc ? RegisterTags(TagSet::New(doc)) : 0;
}

QsHandle QsQueryTagSet(QsHandle document, const char* query, std::int32_t flags) {
  Document* doc = LookupDoc(document);
  if (!doc) return 0;
  RangeList hits;
  RunQuery(query, doc, nullptr, hits, flags);
  TagSet* set = nullptr;
  for (Range* r = hits.FirstRange(); r; r = r->NextRange()) {
    if (!r->GetNode()) continue;
    if (!set && !(set = TagSet::New(doc))) return 0;
    set->Append(r->GetNode());
  }
  return set ? RegisterTags(set) : 0;
}

std::int32_t QsClearTagSet(QsHandle tagSet) {
  TagSet* set = LookupTags(tagSet);
  if (!set) return 0;
  set->Clear();
  return 1;
}

std::int32_t QsCountTagSet(QsHandle tagSet) {
  TagSet* set = LookupTags(tagSet);
  return set ? static_cast<std::int32_t>(set->Count()) : 0;
}

std::int32_t QsAddToTagSet(QsHandle tagSet, QsHandle node) {
  TagSet* set = LookupTags(tagSet);
  NodeRef* n = LookupNodeRef(node);
  // A node of another document would leave the set pointing into a tree
  // it holds no use of.
  if (!set || !n || !n->Current() || n->GetDocument() != set->GetDocument()) return 0;
  return set->Insert(n->Current()) ? 1 : 0;
}

std::int32_t QsRemoveFromTagSet(QsHandle tagSet, QsHandle node) {
  TagSet* set = LookupTags(tagSet);
  NodeRef* n = LookupNodeRef(node);
  if (!set || !n || !n->Current()) return 0;
  return set->Remove(n->Current()) ? 1 : 0;
}

std::int32_t QsIsInTagSet(QsHandle tagSet, QsHandle node) {
  TagSet* set = LookupTags(tagSet);
  NodeRef* n = LookupNodeRef(node);
  if (!set || !n || !n->Current()) return 0;
  return set->Contains(n->Current()) ? 1 : 0;
}

std::intptr_t QsEnumTagSet(QsHandle tagSet, QsHandleProc procedure, QsWord data) {
  HandleTable* table = Handles();
  TagSet* set = LookupTags(tagSet);
  if (!set || !procedure || !set->Count()) return 0;
  // The procedure may change or release the set: walk a copy of its
  // elements, with a use of the document they belong to.
  std::size_t count = set->Count();
  auto** elements = static_cast<DocumentNode**>(MemAlloc(count * sizeof(DocumentNode*)));
  if (!elements) return 0;
  std::size_t n = 0;
  for (TagLink* l = set->FirstLink(); l && n < count; l = l->NextLink()) elements[n++] = l->first;
  Document* doc = set->GetDocument()->AddRef();
  HeldHandle heldSet(table, tagSet);

  QsHandle node = 0;
  NodeRef* ref = nullptr;
  std::intptr_t result = 0;
  for (std::size_t i = 0; i < n && !result; ++i) {
    // The host may release the node handle from its procedure: make a new
    // one when it is gone.
    if (!node || table->LookupNode(node) != ref) {
      ref = new NodeRef(doc, elements[i]);
      node = table->RegisterNode(ref);
      if (!node) {
        delete ref;
        break;
      }
    }
    ref->SetNode(elements[i]);
    // Our own use, so that a release in the procedure cannot free the node
    // while it is being called.
    HeldHandle heldNode(table, node);
    result = procedure(node, data);
  }
  if (node && table->LookupNode(node) == ref) table->Release(node);
  doc->Release();
  MemFree(elements);
  return result;
}

}  // extern "C"
