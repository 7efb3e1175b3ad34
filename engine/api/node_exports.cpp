// Element node exports: a host walks and reads a document's element tree
// through node handles, each a NodeRef owned by its handle record.
#include <cstring>

#include "addressing/ext_pointer.h"
#include "addressing/links.h"
#include "addressing/locations.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "api/value_codes.h"
#include "api/wrappers.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/text_store.h"
#include "view/document_view.h"
#include "view/picture_services.h"
#include "view/window_map.h"

using namespace qs;

namespace {

NodeRef* LookupNodeRef(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<NodeRef*>(table->LookupNode(handle)) : nullptr;
}

Document* LookupDoc(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<Document*>(table->LookupDocument(handle)) : nullptr;
}

// Registers a new node; the record owns it. 0, with the node gone, when it
// could not be registered.
QsHandle RegisterNew(NodeRef* node) {
  HandleTable* table = Handles();
  if (!node) return 0;
  QsHandle handle = table ? table->RegisterNode(node) : 0;
  if (!handle) delete node;
  return handle;
}

QsHandle NewNode(Document* document, DocumentNode* element) {
  if (!document || !element) return 0;
  return RegisterNew(new NodeRef(document, element));
}

AttributeDecl* CurrentAttributeDecl(const NodeRef* node, const char* name) {
  DocumentNode* current = node ? node->Current() : nullptr;
  if (!current || !current->Decl() || !name) return nullptr;
  return current->Decl()->Attributes().Find(name);
}

// Levels from B's place up to A's element: 1 when A's element is the
// parent, more when further up; 0 when A is not above B. A place in a gap
// starts at its parent, which already counts as one level.
int LevelsAbove(const NodeRef& a, const NodeRef& b) {
  if (!a.Current()) return 0;
  DocumentNode* n = b.Current() ? b.Current()->Parent() : b.Parent();
  for (int level = 1; n; n = n->Parent(), ++level)
    if (n == a.Current()) return level;
  return 0;
}

// The base bits of a place from an element declaration's content kind.
int ContentKindBase(const DocumentNode* element) {
  std::uint8_t d = element && element->Decl() ? element->Decl()->flags : 0;
  if ((d & 0x02) && (d & 0x08)) return 4;
  if (d & 0x08) return 16;
  if (d & 0x01) return 1;
  return 0;
}

constexpr std::size_t kMarkTextRoom = 4096;

}  // namespace

extern "C" {

QsHandle QsGetDocumentRoot(QsHandle document) {
  Document* doc = LookupDoc(document);
  return doc ? NewNode(doc, doc->Root()) : 0;
}

QsHandle QsGetNodeDocument(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  HandleTable* table = Handles();
  return n && n->GetDocument() ? table->RegisterDocument(n->GetDocument()) : 0;
}

QsHandle QsGetElementById(QsHandle document, const char* id) {
  Document* doc = LookupDoc(document);
  if (!doc || !id) return 0;
  std::size_t length = std::strlen(id);
  char* copy = static_cast<char*>(MemAlloc(length + 1));
  if (!copy) return 0;
  std::memcpy(copy, id, length + 1);
  // Folded as the reader folds names: ASCII letters only. The engine's
  // upper-case table also folds Latin-1 letters, which in UTF-8 text are
  // lead bytes of other characters.
  if (doc->foldsNames)
    for (char* p = copy; *p; ++p) *p = ToUpperAscii(*p);
  ElementNode* element = doc->FindElementById(copy);
  MemFree(copy);
  return NewNode(doc, element);
}

QsHandle QsGetElementByPointer(QsHandle document, const char* pointer) {
  Document* doc = LookupDoc(document);
  if (!doc || !pointer) return 0;
  auto* node = new NodeRef(doc, nullptr);
  if (!ResolveExtendedPointer(node, pointer, nullptr, nullptr)) {
    delete node;
    return 0;
  }
  return RegisterNew(node);
}

char* QsGetNodeLocation(QsHandle node, char* buffer, std::int32_t size) {
  NodeRef* n = LookupNodeRef(node);
  if (!n || !buffer) return nullptr;
  if (size <= 0) return buffer;
  char* area = static_cast<char*>(MemAlloc(kLocationAreaSize));
  if (!area) {
    buffer[0] = '\0';
    return buffer;
  }
  if (n->Current())
    WriteTreeLocation(area, kLocationAreaSize, n->Current());
  else
    WritePositionLocation(area, kLocationAreaSize, n->GetDocument(), n->GetStartPosition());
  CopyStringMax(buffer, area, static_cast<std::size_t>(size));
  MemFree(area);
  return buffer;
}

std::int32_t QsGotoLocation(QsHandle node, const char* pointer) {
  NodeRef* n = LookupNodeRef(node);
  if (!n || !pointer) return 0;
  TreeWalker copy(*n);
  if (!ResolveExtendedPointer(&copy, pointer, n->Current(), nullptr)) return 0;
  if (copy.GetDocument() != n->GetDocument()) return 0;
  n->Assign(copy);
  return 1;
}

QsWord QsParseLocation(QsHandle node, const char* location) {
  NodeRef* n = LookupNodeRef(node);
  if (!n || !location) return 0;
  return static_cast<QsWord>(ParseLocationString(n->GetDocument(), n->Current(), location));
}

QsHandle QsGetElementAtPosition(QsHandle document, std::int32_t position) {
  Document* doc = LookupDoc(document);
  if (!doc || position < 0) return 0;
  return NewNode(doc, doc->ElementAtPosition(static_cast<std::uint32_t>(position)));
}

std::int32_t QsGetNodeRange(QsHandle node, std::int32_t* start, std::int32_t* length) {
  NodeRef* n = LookupNodeRef(node);
  if (!n) return 0;
  std::uint32_t s, e;
  n->GetRange(&s, &e);
  if (start) *start = static_cast<std::int32_t>(s);
  if (length) *length = e > s ? static_cast<std::int32_t>(e - s) : 0;
  return 1;
}

std::int32_t QsGotoParent(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? n->MoveToParent() : 0;
}

std::int32_t QsGotoFirstChild(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? n->MoveToFirstChild() : 0;
}

std::int32_t QsGotoPrevSibling(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? n->MovePrevious() : 0;
}

std::int32_t QsGotoNextSibling(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? n->MoveNext() : 0;
}

QsHandle QsDupNode(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? RegisterNew(new NodeRef(*n)) : 0;
}

std::int32_t QsCompareNodes(QsHandle first, QsHandle second) {
  NodeRef* a = LookupNodeRef(first);
  NodeRef* b = LookupNodeRef(second);
  if (!a || !b) return 7;
  if (a->GetDocument() != b->GetDocument()) return 7;
  if (a->SamePlace(*b)) return 0;
  std::uint32_t a1, a2, b1, b2;
  a->GetRange(&a1, &a2);
  b->GetRange(&b1, &b2);
  if (a2 <= b1) return 5;
  if (b2 <= a1) return 6;
  bool differ = a1 != b1 || a2 != b2;
  // A gap is nobody's ancestor, whatever its range holds.
  if (differ && a1 <= b1 && b2 <= a2 && a->Current())
    return b->Parent() == a->Current() ? 1 : 2;
  if (differ && b1 <= a1 && a2 <= b2 && b->Current())
    return a->Parent() == b->Current() ? 3 : 4;
  if (int up = LevelsAbove(*a, *b)) return up == 1 ? 1 : 2;
  if (int up = LevelsAbove(*b, *a)) return up == 1 ? 3 : 4;
  return 7;
}

const char* QsGetElementName(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? n->GetElementName() : nullptr;
}

const char* QsGetNodeIdValue(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n && n->Current() ? n->Current()->GetId() : nullptr;
}

std::int32_t QsGetNodeProperty(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  if (!n) return 0;
  DocumentNode* element = n->Current();
  if (!element) {
    int parentBase = ContentKindBase(n->Parent());
    if (parentBase == 4) return 6;
    if (parentBase == 16) return 18;
    return 2;
  }
  std::int32_t bits = ContentKindBase(element);
  if (element->Decl() && element->Decl()->Attributes().Count() != 0) bits |= 0x80;
  Attribute* const* values = element->GetAttributeValues();
  if (values && values[0]) bits |= 0x100;
  if (element->flags & 0x01) bits |= 0x20;
  if (element->flags & 0x02) bits |= 0x40;
  return bits;
}

QsHandle QsGetNodeEntity(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  DocumentNode* element = n ? n->Current() : nullptr;
  if (!element) return 0;
  Document* doc = n->GetDocument();
  EntityDecl* entity = element->GetEntity();
  if (!entity && element->IsGraphic()) {
    for (Document::GraphicEntry* e = doc->FirstGraphic(); e && !entity; e = e->next)
      for (GraphicElementNode* g = e->first; g; g = g->nextOfEntity)
        if (g == element) {
          entity = e->entity;
          break;
        }
  }
  if (!entity) return 0;
  EntityRef* ref = EntityRef::OfDocument(doc, entity);
  HandleTable* table = Handles();
  QsHandle handle = ref ? table->RegisterEntity(ref) : 0;
  if (!handle) delete ref;
  return handle;
}

std::int32_t QsGetTextLength(QsHandle node, std::int32_t raw) {
  NodeRef* n = LookupNodeRef(node);
  return n ? static_cast<std::int32_t>(n->GetTextLength(raw != 0)) : 0;
}

std::int32_t QsGetText(QsHandle node, std::int32_t raw, char* buffer, std::int32_t size) {
  NodeRef* n = LookupNodeRef(node);
  if (!n) return 0;
  if (buffer && size > 0) n->GetText(buffer, static_cast<std::size_t>(size), raw != 0);
  return 1;
}

std::int32_t QsGetAttributeCount(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  return n ? static_cast<std::int32_t>(n->GetAttributeCount()) : 0;
}

const char* QsGetAttributeName(QsHandle node, std::int32_t index) {
  NodeRef* n = LookupNodeRef(node);
  return n && index >= 0 ? n->GetAttributeName(static_cast<std::size_t>(index)) : nullptr;
}

std::int32_t QsGetAttributeDeclaredValue(QsHandle node, const char* name) {
  AttributeDecl* decl = CurrentAttributeDecl(LookupNodeRef(node), name);
  return decl ? DeclaredValueCode(decl) : 0;
}

const char* QsGetAttributeDefaultText(QsHandle node, const char* name) {
  AttributeDecl* decl = CurrentAttributeDecl(LookupNodeRef(node), name);
  return decl ? DefaultText(decl) : nullptr;
}

const char* QsGetAttribute(QsHandle node, const char* name) {
  NodeRef* n = LookupNodeRef(node);
  return n ? n->GetAttributeValue(name) : nullptr;
}

std::intptr_t QsEnumDocumentMarks(QsHandle document, QsRecordProc procedure, QsWord data) {
  Document* doc = LookupDoc(document);
  if (!doc || !procedure) return 0;
  TextStore* text = doc->Text();
  char* buffer = static_cast<char*>(MemAlloc(kMarkTextRoom));
  if (!buffer) return 0;
  // The copy stays inside the buffer: a mark's text is cut to its room.
  auto copy = [&](const Mark* mark) {
    std::uint32_t from = mark->Start(), to = mark->GetEnd();
    if (to < from) to = from;
    if (to - from > kMarkTextRoom - 1) to = from + static_cast<std::uint32_t>(kMarkTextRoom - 1);
    buffer[0] = '\0';
    if (text) text->CopyRange(buffer, from, to, true);
  };
  std::intptr_t result = 0;
  for (Mark* mark = doc->firstKeptMarkup; mark && !result; mark = mark->next) {
    std::uint8_t kind = mark->Kind();
    if (kind < kMarkKeptMarkupFirst || kind > kMarkKeptMarkupLast) continue;
    copy(mark);
    QsMarkRecord record{buffer, 0, 0};
    result = procedure(&record, data);
  }
  for (Mark* mark = doc->FirstMark(); mark && !result; mark = mark->next) {
    if (mark->Kind() != kMarkProcessingInstruction) continue;
    copy(mark);
    std::uint32_t end = mark->GetEnd();
    QsMarkRecord record{buffer, static_cast<std::int32_t>(mark->Start()),
                      end > mark->Start() ? static_cast<std::int32_t>(end - mark->Start()) : 0};
    result = procedure(&record, data);
  }
  MemFree(buffer);
  return result;
}

void QsShowElement(QsHandle handle) {
  HandleTable* table = Handles();
  HandleType type;
  void* object = nullptr;
  if (!table || !table->Find(handle, &type, &object)) return;
  // An anchor's location shows itself; a host's bookmark list locates its
  // anchors this way.
  if (type == HandleType::kAnchor) {
    static_cast<Anchor*>(object)->Show(nullptr);
    return;
  }
  // A graphic entity of a document: where a document view places it, else
  // as a picture of its own (the host is asked for a window when no picture
  // view shows it).
  if (type == HandleType::kEntity) {
    auto* entity = static_cast<EntityRef*>(object);
    if (entity->Owner()) ShowEntityPicture(entity->Owner(), entity->Entity());
    return;
  }
  if (type != HandleType::kNode) return;
  auto* node = static_cast<NodeRef*>(object);
  Engine* engine = CurrentEngine();
  std::uint32_t start, end;
  node->GetRange(&start, &end);
  if (engine && node->GetDocument())
    engine->GotoPosition(0, nullptr, node->GetDocument(), static_cast<std::int32_t>(start),
                         static_cast<std::int32_t>(end > start ? end - start : 0), 1);
}

void QsFollowLink(QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  if (!n || !n->Current()) return;
  FollowLink(nullptr, n->GetDocument(), n->Current(), false);
}

std::int32_t QsListAttributes(QsWindow window, QsHandle node) {
  NodeRef* n = LookupNodeRef(node);
  DocumentNode* element = n ? (n->Current() ? n->Current() : n->Parent()) : nullptr;
  EngineBase* engine = GetEngine();
  if (!element || !engine) return 0;
  LinkTargetList* list = ListElementAttributes(nullptr, n->GetDocument(), element);
  engine->ShowNodeList(static_cast<WindowHandle>(window), nullptr, n->GetDocument(), element, list);
  return 1;
}

std::int32_t QsMarkTextBetween(QsWindow window, const char* startMarker, const char* endMarker) {
  DocumentView* view = GetEngine() ? FindDocumentView(static_cast<WindowHandle>(window)) : nullptr;
  Document* document = view ? view->GetDocument() : nullptr;
  if (!document) return 0;
  view->ranges.DeleteAll();
  view->highlights.DeleteAll();
  view->rangesAreHits = false;
  std::size_t count = FindMarkedRanges(
      document, startMarker, endMarker,
      [](void* context, std::uint32_t start, std::uint32_t end) {
        static_cast<DocumentView*>(context)->ranges.InsertOrdered(start, end);
      },
      view);
  view->OnHighlightChanged();
  view->Refresh();
  return static_cast<std::int32_t>(count);
}

}  // extern "C"
