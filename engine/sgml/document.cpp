#include "sgml/document.h"

#include <cstring>
#include <new>

#include "foundation/arena.h"
#include "foundation/strings.h"
#include "sgml/dtd.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/text_store.h"

namespace qs {

namespace {
constexpr std::size_t kTitleBytes = 40;
constexpr std::size_t kMaxPoolChunk = 1u << 20;
// Heap chunks from this size on have their pages brought in when made.
constexpr std::size_t kPresentChunk = 64u << 10;
constexpr std::size_t kPoolAlign = 8;
const char kNoIdText[] = "@ID";

bool NameEquals(const char* name, const char* item, std::size_t len) {
  return name && GetStringLength(name) == len && std::memcmp(name, item, len) == 0;
}

// Whether the comma-separated names match the type names of `node` and its
// ancestors upwards. An empty list (or an empty last item) holds.
bool MatchUpwards(const DocumentNode* node, const char* context) {
  if (!context) return true;
  const char* p = context;
  while (*p) {
    const char* comma = FindChar(p, ',');
    std::size_t len = comma ? std::size_t(comma - p) : GetStringLength(p);
    if (!node) return false;
    if (!NameEquals(node->GetNameText(), p, len)) return false;
    if (!comma) return true;
    p = comma + 1;
    node = node->Parent();
  }
  return true;
}
}  // namespace

namespace {

std::size_t MixPointer(std::size_t h, const void* p) {
  h ^= reinterpret_cast<std::uintptr_t>(p) >> 3;
  h *= 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

std::size_t HashRecord(AttributeDecl* decl, InternedName* value) {
  return MixPointer(MixPointer(0, decl), value);
}

std::size_t HashArray(Attribute* const* values, std::size_t count) {
  std::size_t h = count;
  for (std::size_t i = 0; i < count; ++i) h = MixPointer(h, values[i]);
  return h;
}

// Pointers by open addressing: a power-of-two number of slots, at most
// three quarters full. Pool items are 8-byte aligned, so each slot keeps
// three bits of its item's hash in the pointer's low bits: a probe passes
// most occupied slots without reading the item they point to (a miss in a
// large set would otherwise read several records scattered in memory).
struct PointerSet {
  static constexpr std::uintptr_t kTagMask = 7;
  std::uintptr_t* slots = nullptr;
  std::size_t mask = 0;
  std::size_t count = 0;

  ~PointerSet() { MemFree(slots); }
  static std::uintptr_t Tag(std::size_t hash) {
    return static_cast<std::uintptr_t>(hash >> (sizeof(std::size_t) * 8 - 3)) & kTagMask;
  }
  void* At(std::size_t i) const { return reinterpret_cast<void*>(slots[i] & ~kTagMask); }
  // Room for one more item; false when memory ran out.
  template <typename HashOf>
  bool Reserve(HashOf hashOf) {
    if (slots && (count + 1) * 4 <= (mask + 1) * 3) return true;
    std::size_t size = slots ? (mask + 1) * 2 : 64;
    auto* grown = static_cast<std::uintptr_t*>(MemAlloc(size * sizeof(std::uintptr_t)));
    if (!grown) return false;
    const std::size_t bytes = size * sizeof(std::uintptr_t);
    // Cleared whole right away: a large table's pages come in at once.
    if (bytes >= kPresentChunk) BringInPages(grown, bytes);
    std::memset(grown, 0, bytes);
    for (std::size_t i = 0; slots && i <= mask; ++i) {
      if (!slots[i]) continue;
      std::size_t j = hashOf(At(i)) & (size - 1);
      while (grown[j]) j = (j + 1) & (size - 1);
      grown[j] = slots[i];
    }
    MemFree(slots);
    slots = grown;
    mask = size - 1;
    return true;
  }
  // The index of the slot holding an item `equal` accepts, else of the free
  // slot where it goes (call Reserve first).
  template <typename Equal>
  std::size_t Probe(std::size_t hash, Equal equal) const {
    const std::uintptr_t tag = Tag(hash);
    std::size_t i = hash & mask;
    while (slots[i] && ((slots[i] & kTagMask) != tag || !equal(At(i)))) i = (i + 1) & mask;
    return i;
  }
  void Put(std::size_t i, void* item, std::size_t hash) {
    slots[i] = reinterpret_cast<std::uintptr_t>(item) | Tag(hash);
    ++count;
  }
};

// An unshared record, chained so that the document gives back its uses.
struct UnsharedAttribute {
  Attribute value;
  UnsharedAttribute* next;
};

}  // namespace

struct Document::SharedAttributes {
  PointerSet records;
  PointerSet arrays;
  UnsharedAttribute* unshared = nullptr;
};

namespace {
void ReleaseAttributeUses(Attribute* v) {
  if (v->decl) v->decl->Release();
  ReleaseName(v->value);
}
}  // namespace

// ---- Pool ------------------------------------------------------------------------------

struct DocumentPool::Chunk {
  Chunk* next;
  std::size_t size;
  bool bulk;  // a bulk region, else an engine-heap block
};

DocumentPool::~DocumentPool() {
  while (chunks_) {
    Chunk* next = chunks_->next;
    if (chunks_->bulk) FreeBulkRegion(chunks_);
    else MemFree(chunks_);
    chunks_ = next;
  }
}

void* DocumentPool::AllocInNewChunk(std::size_t size) {
  constexpr std::size_t header = (sizeof(Chunk) + kPoolAlign - 1) & ~(kPoolAlign - 1);
  std::size_t bytes = size > nextChunk_ - header ? size + header : nextChunk_;
  Chunk* chunk = nullptr;
  bool bulk = false;
  // Past the heap's largest chunk, the nodes of a large document go into
  // bulk regions, whose pages are present at once.
  if (bytes == nextChunk_ && nextChunk_ >= kMaxPoolChunk) {
    chunk = static_cast<Chunk*>(AllocBulkRegion());
    bulk = chunk != nullptr;
    if (bulk) bytes = kBulkRegionBytes;
  }
  if (!chunk) {
    // A large chunk comes cleared from the system and is not cleared again.
    chunk = static_cast<Chunk*>(MemAllocZeroed(bytes));
    if (!chunk) return nullptr;
    // A chunk this large is filled item after item to its end (only the
    // newest may stay part empty): its pages come in at once rather than
    // by a fault each, which on a virtual machine costs more than the items.
    if (bytes >= kPresentChunk) BringInPages(chunk, bytes);
  }
  if (bytes == nextChunk_ && nextChunk_ < kMaxPoolChunk) nextChunk_ *= 2;
  chunk->next = chunks_;
  chunk->size = bytes;
  chunk->bulk = bulk;
  chunks_ = chunk;
  used_ = header + size;
  room_ = bytes;
  return reinterpret_cast<char*>(chunk) + header;
}

// ---- Nodes ------------------------------------------------------------------------------

// What a large document costs per element: links, type, offsets and flags
// (and the attribute array for elements with attributes).
static_assert(sizeof(void*) != 8 || sizeof(DocumentNode) <= 56);
static_assert(sizeof(void*) != 8 || sizeof(AttributedNode) <= 64);

DocumentNode::DocumentNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end)
    : start(start), end(end < start ? start : end), decl_(decl ? decl->AddRef() : nullptr) {}

DocumentNode::~DocumentNode() {
  if (decl_) decl_->Release();
}

const char* DocumentNode::GetNameText() const { return decl_ ? decl_->NameText() : nullptr; }

const char* DocumentNode::GetAttributeValue(const char* name) const {
  return qs::GetAttributeValue(name, GetAttributeValues(), decl_ ? &decl_->Attributes() : nullptr);
}

AttributeDecl* DocumentNode::FindAttributeDecl(const char* name) const {
  return decl_ ? decl_->Attributes().Find(name) : nullptr;
}

const char* DocumentNode::GetHytimeForm() const {
  if (const char* form = GetAttributeValue("HYTIME")) return form;
  return GetNameText();
}

const char* DocumentNode::GetNotationValue() const {
  if (Attribute* const* values = GetAttributeValues()) {
    for (; *values; ++values)
      if ((*values)->decl && (*values)->decl->DeclaredValue() == kDeclaredNotation)
        return (*values)->Value();
  }
  if (!decl_) return nullptr;
  const AttributeDeclSet& decls = decl_->Attributes();
  for (std::size_t i = 0; i < decls.Count(); ++i) {
    const AttributeDecl* d = decls.At(i);
    if (d->DeclaredValue() == kDeclaredNotation) return d->DefaultText();
  }
  return nullptr;
}

namespace {
void AddPiece(ListHead& result, const char* text, std::size_t len) {
  char small[128];
  char* piece = len < sizeof small ? small : static_cast<char*>(MemAlloc(len + 1));
  if (!piece) return;
  std::memcpy(piece, text, len);
  piece[len] = '\0';
  if (InternedName* name = InternName(piece)) result.Append(new StringItem(name));
  if (piece != small) MemFree(piece);
}

void AddIdRefs(ListHead& result, const AttributeDecl* decl, const char* value) {
  if (!value) return;
  if (!(decl->Flags() & kAttrTokenList)) {
    AddPiece(result, value, GetStringLength(value));
    return;
  }
  const char* p = value;
  for (;;) {
    const char* blank = FindChar(p, ' ');
    if (!blank) {
      if (*p) AddPiece(result, p, GetStringLength(p));
      return;
    }
    AddPiece(result, p, std::size_t(blank - p));
    p = blank + 1;
  }
}
}  // namespace

void DocumentNode::CollectIdRefs(ListHead& result) const {
  Attribute* const* values = GetAttributeValues();
  auto specified = [values](const AttributeDecl* decl) {
    if (!values) return false;
    for (Attribute* const* v = values; *v; ++v) {
      const AttributeDecl* d = (*v)->decl;
      if (d && d->IsIdRefKind() && !(d->Flags() & kAttrNoIdRef) && d->Name() == decl->Name())
        return true;
    }
    return false;
  };
  if (values) {
    for (Attribute* const* v = values; *v; ++v) {
      const AttributeDecl* d = (*v)->decl;
      if (d && d->IsIdRefKind() && !(d->Flags() & kAttrNoIdRef)) AddIdRefs(result, d, (*v)->Value());
    }
  }
  if (!decl_) return;
  const AttributeDeclSet& decls = decl_->Attributes();
  for (int l = 0; l < 3; ++l) {
    const NameGroup* list = decls.List(l);
    if (!list) continue;
    for (std::uint16_t i = list->Count(); i-- > 0;) {
      const AttributeDecl* d = list->At(i);
      if (d->IsIdRefKind() && d->DefaultValue() && !specified(d))
        AddIdRefs(result, d, d->DefaultText());
    }
  }
}

bool DocumentNode::MatchesContext(const char* context) const {
  if (!context || !*context) return true;
  return MatchUpwards(Parent(), context);
}

bool DocumentNode::MatchesContextFromSelf(const char* context) const {
  return MatchUpwards(this, context);
}

DocumentNode* DocumentNode::CloneSelf(Document& target, ElementTypeDecl* decl,
                                      std::int32_t shift) const {
  return new (target.Pool()) DocumentNode(decl, start + shift, end + shift);
}

DocumentNode* DocumentNode::CloneInto(Document& target, std::int32_t shift) const {
  auto cloneOne = [&target, shift](const DocumentNode* n) -> DocumentNode* {
    ElementTypeDecl* decl = n->decl_ && n->decl_->forward ? n->decl_->forward : n->decl_;
    DocumentNode* copy = n->CloneSelf(target, decl, shift);
    if (copy) copy->flags = n->flags;
    return copy;
  };
  DocumentNode* top = cloneOne(this);
  if (!top) return nullptr;
  // A parallel walk of source and copy, without recursion.
  const DocumentNode* src = this;
  DocumentNode* dst = top;
  for (;;) {
    if (const DocumentNode* child = src->First()) {
      DocumentNode* copy = cloneOne(child);
      if (!copy) return top;
      dst->AppendChild(copy);
      src = child;
      dst = copy;
      continue;
    }
    while (src != this && !src->Next()) {
      src = src->Parent();
      dst = dst->Parent();
    }
    if (src == this) return top;
    src = src->Next();
    DocumentNode* copy = cloneOne(src);
    if (!copy) return top;
    dst->Parent()->AppendChild(copy);
    dst = copy;
  }
}

AttributedNode::AttributedNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end,
                               Attribute** values)
    : DocumentNode(decl, start, end), values_(values) {}

// The values are the document's records; they go with it.
AttributedNode::~AttributedNode() = default;

Attribute** AttributedNode::CopyValues(Document& target) const {
  if (!values_) return nullptr;
  std::size_t n = 0;
  while (values_[n]) ++n;
  Attribute* local[16];
  Attribute** copy = n <= 16 ? local : static_cast<Attribute**>(MemAlloc(n * sizeof(Attribute*)));
  if (!copy) return nullptr;
  std::size_t out = 0;
  for (std::size_t i = 0; i < n; ++i)
    if (Attribute* v = target.NewAttribute(values_[i]->decl, values_[i]->value)) copy[out++] = v;
  Attribute** shared = target.ShareAttributeArray(copy, out);
  if (copy != local) MemFree(copy);
  return shared;
}

DocumentNode* AttributedNode::CloneSelf(Document& target, ElementTypeDecl* decl,
                                        std::int32_t shift) const {
  return new (target.Pool()) AttributedNode(decl, start + shift, end + shift, CopyValues(target));
}

ElementNode::ElementNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end,
                         Attribute** values, const char* id)
    : AttributedNode(decl, start, end, values), id_(id) {}

std::size_t ElementNode::GetKeyLength() const { return id_ ? GetStringLength(id_) : 0; }

const char* ElementNode::CopiedId(Attribute* const* copied) const {
  if (id_ && values_ && copied) {
    for (std::size_t i = 0; values_[i] && copied[i]; ++i)
      if (values_[i]->Value() == id_) return copied[i]->Value();
  }
  return kNoIdText;
}

DocumentNode* ElementNode::CloneSelf(Document& target, ElementTypeDecl* decl,
                                     std::int32_t shift) const {
  Attribute** values = CopyValues(target);
  auto* copy = new (target.Pool())
      ElementNode(decl, start + shift, end + shift, values, CopiedId(values));
  if (copy) target.RegisterId(copy);
  return copy;
}

DocumentNode* GraphicElementNode::CloneSelf(Document& target, ElementTypeDecl* decl,
                                            std::int32_t shift) const {
  Attribute** values = CopyValues(target);
  auto* copy = new (target.Pool())
      GraphicElementNode(decl, start + shift, end + shift, values, CopiedId(values));
  if (!copy) return nullptr;
  target.RegisterId(copy);
  if (EntityDecl* entity = target.FindEntityOrDefault(copy->GetAttributeValue("GRAPHIC")))
    if (entity->IsExternal()) target.AddGraphicReference(copy, entity);
  return copy;
}

EntityNode::EntityNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end,
                       EntityDecl* entity)
    : DocumentNode(decl, start, end), entity_(entity ? entity->AddRef() : nullptr) {}

EntityNode::~EntityNode() {
  if (entity_) entity_->Release();
}

Attribute* const* EntityNode::GetAttributeValues() const {
  return entity_ ? entity_->GetDataAttributes() : nullptr;
}

DocumentNode* EntityNode::CloneSelf(Document& target, ElementTypeDecl* decl,
                                    std::int32_t shift) const {
  return new (target.Pool()) EntityNode(decl, start + shift, end + shift, entity_);
}

StringItem::~StringItem() { ReleaseName(name_); }
const char* StringItem::Text() const { return NameText(name_); }

// ---- Marks -------------------------------------------------------------------------------

EntityRefMark::EntityRefMark(std::uint32_t start, EntityDecl* entity)
    : Mark(kMarkEntityRef, start),
      entity_(entity ? entity->AddRef() : nullptr),
      notation_(entity && entity->GetNotation() ? entity->GetNotation()->AddRef() : nullptr) {}

EntityRefMark::~EntityRefMark() {
  if (notation_) notation_->Release();
  if (entity_) entity_->Release();
}

const char* EntityRefMark::GetDataAttribute(const char* name) const {
  if (!entity_ || !entity_->IsExternal()) return nullptr;
  return static_cast<const ExternalEntityDecl*>(entity_)->GetDataAttribute(name);
}

// ---- The walk -----------------------------------------------------------------------------

void TreeVisitor::Run(DocumentNode* element) {
  if (element) Walk(element);
  if (deleteAfter_) delete this;
}

void TreeVisitor::Walk(DocumentNode* top) {
  DocumentNode* node = top;
  for (;;) {
    // Entering `node`.
    bool descended = false;
    if (VisitElement(node) == 0) {
      DocumentNode* child = node->First();
      if (!child) {
        if (node->start < node->end) VisitData(node, node->start, node->end);
      } else if (child->start <= node->start ||
                 VisitData(node, node->start, child->start) != 1) {
        node = child;
        descended = true;
      }
    }
    if (descended) continue;
    // Leaving `node`, then moving on to its next sibling or leaving parents.
    for (;;) {
      LeaveElement(node);
      if (node == top) return;
      DocumentNode* parent = node->Parent();
      DocumentNode* next = node->Next();
      if (next) {
        if (next->start <= node->end || VisitData(parent, node->end, next->start) != 1) {
          node = next;
          break;
        }
      } else if (node->end < parent->end) {
        VisitData(parent, node->end, parent->end);
      }
      node = parent;
    }
  }
}

// ---- Anchors ---------------------------------------------------------------------------------

int AnchorIndex::Compare(std::intptr_t a, std::intptr_t b) const {
  const auto* ma = reinterpret_cast<const Mark*>(a);
  const auto* mb = reinterpret_cast<const Mark*>(b);
  if (ma->Start() != mb->Start()) return ma->Start() < mb->Start() ? -1 : 1;
  if (a == b) return 0;
  if (ma->GetEnd() != mb->GetEnd()) return ma->GetEnd() < mb->GetEnd() ? -1 : 1;
  return a < b ? -1 : 1;
}

Mark* AnchorIndex::FindAtLeast(std::uint32_t position) {
  for (std::intptr_t v = First(); v; v = Next()) {
    auto* mark = reinterpret_cast<Mark*>(CurrentKey());
    if (mark->Start() >= position) return mark;
  }
  return nullptr;
}

// ---- Document ---------------------------------------------------------------------------------

Document::Document(ExternalId* source)
    : source_(TakeUse(source)), names_(16, true) {}

WebReference::WebReference(ExternalId* id) : id_(id->AddRef()) {}

WebReference::~WebReference() { id_->Release(); }

bool Document::AddWebReference(ExternalId* id) {
  if (!id) return false;
  for (ListNode* n = webs_.First(); n; n = n->Next()) {
    if (ExternalId::Equals(static_cast<WebReference*>(n)->Id(), id)) return false;
  }
  auto* reference = new WebReference(id);
  if (!reference) return false;
  webs_.Append(reference);
  return true;
}

Document::~Document() {
  // Anchor marks belong to the webs' anchors, which must forget them.
  while (Mark* mark = anchors_.FindAtLeast(0)) {
    anchors_.Remove(mark);
    mark->DocumentGone();
  }
  webs_.DeleteAll();
  while (graphics_) {
    if (graphics_->entity) graphics_->entity->Release();
    graphics_ = graphics_->next;
  }
  if (doctypeId_) doctypeId_->Release();
  // The ID table goes first: it links through the nodes.
  delete ids_;
  ids_ = nullptr;
  DeleteTree();
  if (sharedAttributes_) {
    PointerSet& records = sharedAttributes_->records;
    for (std::size_t i = 0; records.slots && i <= records.mask; ++i) {
      if (auto* v = static_cast<Attribute*>(records.At(i))) ReleaseAttributeUses(v);
    }
    for (UnsharedAttribute* u = sharedAttributes_->unshared; u; u = u->next) {
      ReleaseAttributeUses(&u->value);
    }
    sharedAttributes_->~SharedAttributes();
    MemFree(sharedAttributes_);
    sharedAttributes_ = nullptr;
  }
  if (text_) text_->Release();
  MemFree(title_);
  for (std::size_t i = ownedCount_; i-- > 0;) owned_[i].destroy(owned_[i].object);
  MemFree(owned_);
  // Marks hold uses of entities and notations; their memory goes with the
  // pool.
  for (Mark* m = firstMark_; m;) {
    Mark* next = m->next;
    delete m;
    m = next;
  }
  for (std::size_t i = 0; i < typeCount_; ++i) types_[i]->Release();
  MemFree(types_);
  if (dtd_) dtd_->Release();
  if (source_) source_->Release();
}

void Document::DeleteTree() {
  // Leaf by leaf, so that no depth of tree nests destructor calls, and
  // children before their parent: the tree goes whole, so a node only
  // forgets its links before its destructor gives back its uses. Unhooking
  // each from its parent and next sibling wrote to two more nodes and cost
  // most of a large document's teardown.
  DocumentNode* node = root_;
  root_ = nullptr;
  if (!node) return;
  while (node->First()) node = node->First();
  while (node) {
    // A node is reached once all its children are gone; its own next
    // subtree goes from its first leaf.
    DocumentNode* next = node->Next();
    if (next) {
      while (next->First()) next = next->First();
    } else {
      next = node->Parent();
    }
    node->ForgetLinks();
    delete node;
    node = next;
  }
}

Attribute** Document::NewAttributeArray(std::size_t count) {
  if (count > (std::size_t(1) << 20)) return nullptr;
  return static_cast<Attribute**>(pool_.Alloc((count + 1) * sizeof(Attribute*)));
}


Attribute* Document::NewAttribute(AttributeDecl* decl, InternedName* value) {
  if (!sharedAttributes_) {
    sharedAttributes_ = static_cast<SharedAttributes*>(MemAlloc(sizeof(SharedAttributes)));
    if (!sharedAttributes_) return nullptr;
    new (sharedAttributes_) SharedAttributes();
  }
  PointerSet& set = sharedAttributes_->records;
  auto hashOf = [](void* p) {
    auto* a = static_cast<Attribute*>(p);
    return HashRecord(a->decl, a->value);
  };
  if (!set.Reserve(hashOf)) return nullptr;
  const std::size_t hash = HashRecord(decl, value);
  std::size_t slot = set.Probe(hash, [&](void* p) {
    auto* a = static_cast<Attribute*>(p);
    return a->decl == decl && a->value == value;
  });
  if (set.slots[slot]) return static_cast<Attribute*>(set.At(slot));
  auto* v = static_cast<Attribute*>(pool_.Alloc(sizeof(Attribute)));
  if (!v) return nullptr;
  v->decl = decl ? decl->AddRef() : nullptr;
  v->value = AddNameUse(value);
  set.Put(slot, v, hash);
  return v;
}

Attribute* Document::NewUnsharedAttribute(AttributeDecl* decl, InternedName* value) {
  if (!sharedAttributes_) {
    sharedAttributes_ = static_cast<SharedAttributes*>(MemAlloc(sizeof(SharedAttributes)));
    if (!sharedAttributes_) return nullptr;
    new (sharedAttributes_) SharedAttributes();
  }
  auto* u = static_cast<UnsharedAttribute*>(pool_.Alloc(sizeof(UnsharedAttribute)));
  if (!u) return nullptr;
  u->value.decl = decl ? decl->AddRef() : nullptr;
  u->value.value = AddNameUse(value);
  u->next = sharedAttributes_->unshared;
  sharedAttributes_->unshared = u;
  return &u->value;
}

Attribute** Document::NewUnsharedAttributeArray(Attribute* const* values, std::size_t count) {
  Attribute** array = NewAttributeArray(count);
  if (!array) return nullptr;
  for (std::size_t i = 0; i < count; ++i) array[i] = values[i];
  return array;
}

Attribute** Document::ShareAttributeArray(Attribute* const* values, std::size_t count) {
  if (count > (std::size_t(1) << 20)) return nullptr;
  if (!sharedAttributes_) {
    sharedAttributes_ = static_cast<SharedAttributes*>(MemAlloc(sizeof(SharedAttributes)));
    if (!sharedAttributes_) return nullptr;
    new (sharedAttributes_) SharedAttributes();
  }
  PointerSet& set = sharedAttributes_->arrays;
  auto hashOf = [](void* p) {
    auto* array = static_cast<Attribute**>(p);
    std::size_t n = 0;
    while (array[n]) ++n;
    return HashArray(array, n);
  };
  if (!set.Reserve(hashOf)) return nullptr;
  const std::size_t hash = HashArray(values, count);
  std::size_t slot = set.Probe(hash, [&](void* p) {
    auto* array = static_cast<Attribute**>(p);
    for (std::size_t i = 0; i < count; ++i)
      if (array[i] != values[i]) return false;
    return array[count] == nullptr;
  });
  if (set.slots[slot]) return static_cast<Attribute**>(set.At(slot));
  Attribute** array = NewAttributeArray(count);
  if (!array) return nullptr;
  for (std::size_t i = 0; i < count; ++i) array[i] = values[i];
  set.Put(slot, array, hash);
  return array;
}

void Document::SetSource(ExternalId* source) {
  if (source) source->AddRef();
  if (source_) source_->Release();
  source_ = source;
}

void Document::SetText(TextStore* text) {
  if (text) text->AddRef();
  if (text_) text_->Release();
  text_ = text;
}

std::uint32_t Document::TextLength() const { return text_ ? text_->Length() : 0; }

bool Document::AppendText(const char* bytes, std::size_t n) {
  if (!text_) {
    text_ = new TextStore;
  }
  return text_->Append(bytes, n);
}

void Document::SetRoot(DocumentNode* root) {
  if (root == root_) return;
  DeleteTree();
  root_ = root;
}

DocumentNode* Document::ElementAtPosition(std::uint32_t offset) const {
  DocumentNode* node = root_;
  if (!node || !node->Contains(offset)) return nullptr;
  for (;;) {
    DocumentNode* child = node->First();
    while (child && !child->Contains(offset)) child = child->Next();
    if (!child) return node;
    node = child;
  }
}

DocumentNode* Document::ElementAtRange(std::uint32_t from, std::uint32_t to) const {
  DocumentNode* node = ElementAtPosition(from);
  while (node && node->end < to) node = node->Parent();
  return node;
}

DocumentNode* Document::FindDescendant(DocumentNode* element, const char* name,
                                       const char* qualifier, bool fromSelf) const {
  if (!element || !name) return nullptr;
  DocumentNode* node = element;
  for (;;) {
    const char* type = node->GetNameText();
    if (type && CompareStrings(type, name) == 0 &&
        (fromSelf ? node->MatchesContextFromSelf(qualifier) : node->MatchesContext(qualifier)))
      return node;
    if (node->First()) {
      node = node->First();
      continue;
    }
    while (node != element && !node->Next()) node = node->Parent();
    if (node == element) return nullptr;
    node = node->Next();
  }
}

void Document::NoteTypeUse(ElementTypeDecl* decl) {
  if (!decl || decl->used) return;
  if (typeCount_ == typeCapacity_) {
    std::size_t grown = typeCapacity_ ? typeCapacity_ * 2 : 16;
    auto** bigger = static_cast<ElementTypeDecl**>(MemAlloc(grown * sizeof(ElementTypeDecl*)));
    if (!bigger) return;
    if (typeCount_) std::memcpy(bigger, types_, typeCount_ * sizeof(ElementTypeDecl*));
    MemFree(types_);
    types_ = bigger;
    typeCapacity_ = grown;
  }
  decl->used = true;
  types_[typeCount_++] = decl->AddRef();
}

bool Document::RegisterId(ElementNode* element) {
  if (!element || !element->GetId()) return false;
  if (!ids_) ids_ = new HashTable(256, false, HashTable::Layout::kGrowing);
  return ids_->Insert(element, false) == 1;
}

ElementNode* Document::FindElementById(const char* id) const {
  if (!ids_ || !id) return nullptr;
  return static_cast<ElementNode*>(ids_->Find(id, GetStringLength(id)));
}

void Document::AppendMark(Mark* mark) {
  if (!mark) return;
  mark->next = nullptr;
  if (lastMark_)
    lastMark_->next = mark;
  else
    firstMark_ = mark;
  lastMark_ = mark;
}

bool Document::RemoveMark(Mark* mark) {
  Mark* prev = nullptr;
  for (Mark* m = firstMark_; m; prev = m, m = m->next) {
    if (m != mark) continue;
    (prev ? prev->next : firstMark_) = m->next;
    if (lastMark_ == m) lastMark_ = prev;
    m->next = nullptr;
    if (firstKeptMarkup == m) firstKeptMarkup = nullptr;
    anchors_.Remove(m);
    return true;
  }
  return false;
}

Mark* Document::MarkAt(std::uint32_t offset) const {
  for (Mark* m = firstMark_; m; m = m->next)
    if (m->Start() <= offset && offset < m->GetEnd()) return m;
  return nullptr;
}

std::size_t Document::ExtractText(char* dest, std::uint32_t from, std::uint32_t to) const {
  if (!dest) return 0;
  std::uint32_t length = TextLength();
  if (to > length) to = length;
  dest[0] = '\0';
  if (!text_ || from >= to) return 0;

  std::size_t out = 0;
  Mark* m = firstMark_;
  while (m && m->GetEnd() <= from) m = m->next;
  Mark* patch = m;  // record ends and tabs not yet passed
  auto copy = [&](std::uint32_t a, std::uint32_t b) {
    if (a >= b) return;
    text_->CopyRange(dest + out, a, b, true);
    while (patch && patch->Start() < a) patch = patch->next;
    for (; patch && patch->Start() < b; patch = patch->next) {
      if (patch->Start() < a) continue;  // out of order: not in this piece
      if (patch->Kind() == kMarkRecordEnd)
        dest[out + (patch->Start() - a)] = '\n';
      else if (patch->Kind() == kMarkTab)
        dest[out + (patch->Start() - a)] = '\t';
    }
    out += b - a;
  };

  std::uint32_t pos = from;
  for (; m && m->Start() < to; m = m->next) {
    std::uint8_t kind = m->Kind();
    if (kind != kMarkEntityRef && kind != kMarkProcessingInstruction) continue;
    // Pieces never overlap, whatever order or extent the marks have.
    if (m->Start() > pos) {
      copy(pos, m->Start());
      pos = m->Start();
    }
    std::uint32_t markEnd = m->GetEnd();
    if (markEnd > pos) pos = markEnd < to ? markEnd : to;
  }
  copy(pos, to);
  dest[out] = '\0';
  return out;
}

void Document::SetTitleExcerpt(const char* path) {
  MemFree(title_);
  title_ = nullptr;
  if (!root_ || !path || !*path) return;
  char* spec = DuplicateString(path);
  if (!spec) return;
  if (foldsNames) UppercaseString(spec);

  // The path names the outermost type first; the search wants the wanted
  // type first and its ancestors after it.
  std::size_t length = GetStringLength(spec);
  char* reversed = static_cast<char*>(MemAlloc(length + 1));
  if (!reversed) {
    MemFree(spec);
    return;
  }
  std::size_t out = 0;
  for (std::size_t itemEnd = length;;) {
    std::size_t itemStart = itemEnd;
    while (itemStart > 0 && spec[itemStart - 1] != ',') --itemStart;
    if (out) reversed[out++] = ',';
    std::memcpy(reversed + out, spec + itemStart, itemEnd - itemStart);
    out += itemEnd - itemStart;
    if (itemStart == 0) break;
    itemEnd = itemStart - 1;
  }
  reversed[out] = '\0';
  MemFree(spec);

  char* comma = FindChar(reversed, ',');
  const char* qualifier = nullptr;
  if (comma) {
    *comma = '\0';
    if (comma[1]) qualifier = comma + 1;
  }
  DocumentNode* found = FindDescendant(root_, reversed, qualifier);
  MemFree(reversed);
  if (!found || !text_) return;

  std::uint32_t end = found->end;
  if (end - found->start > kTitleBytes) {
    end = found->start + std::uint32_t(kTitleBytes);
    // Never cut inside a character: leave out one whose bytes run on.
    while (end > found->start && (text_->ByteAt(end) & 0xC0) == 0x80) --end;
  }
  title_ = text_->CopyRangeAlloc(found->start, end, true);
}

void Document::SetTitleText(const char* text) {
  MemFree(title_);
  title_ = text && *text ? DuplicateString(text) : nullptr;
}

void Document::AddGraphicReference(GraphicElementNode* element, EntityDecl* entity) {
  if (!element || !entity) return;
  const ExternalId* id = entity->GetExternalId();
  const char* system = id ? id->SystemId() : nullptr;
  GraphicEntry* entry = graphics_;
  for (; entry; entry = entry->next) {
    const ExternalId* otherId = entry->entity->GetExternalId();
    const char* other = otherId ? otherId->SystemId() : nullptr;
    if (system && other ? CompareStrings(system, other) == 0
                        : EntityDecl::Equals(entry->entity, entity))
      break;
  }
  if (!entry) {
    entry = static_cast<GraphicEntry*>(pool_.Alloc(sizeof(GraphicEntry)));
    if (!entry) return;
    entry->entity = entity->AddRef();
    entry->first = entry->last = nullptr;
    entry->next = graphics_;
    graphics_ = entry;
  }
  element->nextOfEntity = nullptr;
  if (entry->last)
    entry->last->nextOfEntity = element;
  else
    entry->first = element;
  entry->last = element;
}

void Document::SetDtd(Dtd* dtd) {
  if (dtd) dtd->AddRef();
  if (dtd_) dtd_->Release();
  dtd_ = dtd;
}

void Document::SetDoctypeId(ExternalId* id) {
  if (id) id->AddRef();
  if (doctypeId_) doctypeId_->Release();
  doctypeId_ = id;
}

void Document::FlagLinkDeclarations(Dtd& dtd) {
  for (LinkRuleRecord* r = links_.FirstElement(); r; r = links_.NextElement())
    if (ElementTypeDecl* decl = dtd.FindElement(NameText(r->Name()))) decl->flags |= kElementLinkRule;
  for (LinkRuleRecord* r = links_.FirstAttribute(); r; r = links_.NextAttribute()) {
    if (AttributeNameRecord* record = dtd.AttributeDefs().FindRecord(NameText(r->Name())))
      for (std::size_t i = 0; i < record->Count(); ++i)
        record->At(i)->SetFlags(record->At(i)->Flags() | kAttrLinkRule);
  }
}

const LinkRule* Document::FindLinkRule(const DocumentNode* element) const {
  if (!element) return nullptr;
  auto holds = [element](const LinkRule* rule) {
    return !rule->Condition() || element->GetAttributeValue(rule->ConditionText()) != nullptr;
  };
  if (LinkRuleRecord* record = links_.FindElement(element->GetNameText()))
    for (const LinkRule* rule = record->FirstRule(); rule; rule = rule->Next())
      if (holds(rule)) return rule;
  if (!element->Decl()) return nullptr;
  const AttributeDeclSet& decls = element->Decl()->Attributes();
  for (std::size_t i = decls.Count(); i-- > 0;) {
    const AttributeDecl* d = decls.At(i);
    if (!(d->Flags() & kAttrLinkRule)) continue;
    const char* value = element->GetAttributeValue(d->NameText());
    if (!value) continue;
    LinkRuleRecord* record = links_.FindAttribute(d->NameText());
    if (!record) continue;
    for (LinkValueRules* v = record->FirstValue(); v; v = v->Next()) {
      if (CompareStringNoCase(v->ValueText(), value) != 0) continue;
      for (const LinkRule* rule = v->FirstRule(); rule; rule = rule->Next())
        if (holds(rule)) return rule;
    }
  }
  return nullptr;
}

bool Document::AddOwnedObject(EngineObject* object, void (*destroy)(EngineObject*)) {
  if (!object || !destroy) return false;
  auto* grown = static_cast<Owned*>(MemAlloc((ownedCount_ + 1) * sizeof(Owned)));
  if (!grown) return false;
  if (ownedCount_) std::memcpy(grown, owned_, ownedCount_ * sizeof(Owned));
  MemFree(owned_);
  owned_ = grown;
  owned_[ownedCount_++] = {object, destroy};
  return true;
}

// ---- Part merge -------------------------------------------------------------------------------

namespace {

bool SameElementType(const ElementTypeDecl& a, const ElementTypeDecl& b) {
  const AttributeDeclSet& da = a.Attributes();
  const AttributeDeclSet& db = b.Attributes();
  if (a.flags != b.flags || da.Count() != db.Count()) return false;
  for (std::size_t i = 0; i < da.Count(); ++i) {
    const AttributeDecl* x = da.At(i);
    const AttributeDecl* y = db.FindByAtom(x->Name());
    if (!y || x->DeclaredValue() != y->DeclaredValue() || x->DefaultKind() != y->DefaultKind() ||
        x->Flags() != y->Flags())
      return false;
    if (x->DefaultValue() && y->DefaultValue() && x->DefaultValue() != y->DefaultValue())
      return false;
  }
  return true;
}

bool CopyText(TextStore& to, const TextStore& from, std::uint32_t a, std::uint32_t b) {
  constexpr std::uint32_t kStep = 65536;
  char* buffer = static_cast<char*>(MemAlloc(kStep + 1));
  if (!buffer) return false;
  bool ok = true;
  for (std::uint32_t pos = a; ok && pos < b;) {
    std::uint32_t n = b - pos < kStep ? b - pos : kStep;
    std::size_t got = from.CopyRange(buffer, pos, pos + n, false);
    ok = got == n && to.Append(buffer, got);
    pos += n;
  }
  MemFree(buffer);
  return ok;
}

void ShiftSubtree(DocumentNode* top, std::uint32_t by) {
  DocumentNode* node = top;
  for (;;) {
    node->start += by;
    node->end += by;
    if (node->First()) {
      node = node->First();
      continue;
    }
    while (node != top && !node->Next()) node = node->Parent();
    if (node == top) return;
    node = node->Next();
  }
}

bool IsKeptMarkup(const Mark* m) {
  return m->Kind() >= kMarkKeptMarkupFirst && m->Kind() <= kMarkKeptMarkupLast;
}

}  // namespace

bool Document::MergePart(DocumentNode* element, Document& part) {
  if (&part == this || !element || !part.root_ || !text_) return false;
  const std::uint32_t insertAt = element->end;
  const std::uint32_t partStart = part.root_->start;
  const std::uint32_t length = part.root_->end - partStart;
  const std::uint32_t oldRootEnd = root_ ? root_->end : insertAt;
  if (part.TextLength() < part.root_->end || TextLength() < oldRootEnd) return false;

  // The new text holds the tree's text and then the kept markup again; it
  // must stay within the 24-bit offsets of the marks.
  std::uint64_t kept = 0;
  for (Mark* m = firstMark_; m; m = m->next)
    if (IsKeptMarkup(m) && m->GetEnd() > m->Start()) kept += m->GetEnd() - m->Start();
  if (std::uint64_t(oldRootEnd) + length + kept > kMaxDocumentText) return false;

  // Declarations: a type of the part stands for this document's type of the
  // same name, which must agree with it.
  for (std::size_t i = 0; i < part.typeCount_; ++i) {
    ElementTypeDecl* theirs = part.types_[i];
    theirs->forward = nullptr;
    for (std::size_t j = 0; j < typeCount_; ++j) {
      if (types_[j]->Name() != theirs->Name()) continue;
      if (!SameElementType(*theirs, *types_[j])) return false;
      theirs->forward = types_[j];
      break;
    }
  }

  // Text, built before anything changes so that a failure leaves all as it was.
  auto* text = new TextStore;
  bool ok = CopyText(*text, *text_, 0, insertAt) &&
            CopyText(*text, *part.text_, partStart, partStart + length) &&
            CopyText(*text, *text_, insertAt, oldRootEnd);
  if (!ok) {
    text->Release();
    return false;
  }

  for (std::size_t i = 0; i < part.typeCount_; ++i) {
    ElementTypeDecl* theirs = part.types_[i];
    if (theirs->forward) continue;
    ElementTypeDecl* copy = theirs->Copy();
    theirs->forward = copy;
    NoteTypeUse(copy);
    copy->Release();
  }

  // Tree.
  DocumentNode* clone = part.root_->CloneInto(*this, std::int32_t(insertAt - partStart));
  if (clone) {
    element->AppendChild(clone);
    for (DocumentNode* a = element; a; a = a->Parent()) {
      a->end += length;
      for (DocumentNode* s = a->Next(); s; s = s->Next()) ShiftSubtree(s, length);
    }
  }

  // Kept markup goes after the text again, kinds 7 to 9 in turn.
  Mark* keptFirst = nullptr;
  Mark* keptLast = nullptr;
  for (std::uint8_t kind = kMarkKeptMarkupFirst; kind <= kMarkKeptMarkupLast; ++kind) {
    for (Mark* m = firstMark_; m;) {
      Mark* next = m->next;
      if (m->Kind() == kind) {
        RemoveMark(m);
        std::uint32_t from = m->Start();
        std::uint32_t to = m->GetEnd();
        std::uint32_t at = text->Length();
        CopyText(*text, *text_, from, to);
        m->SetStart(at);
        static_cast<MarkupMark*>(m)->end = text->Length();
        (keptLast ? keptLast->next : keptFirst) = m;
        keptLast = m;
      }
      m = next;
    }
  }
  text_->Release();
  text_ = text;
  text_->Close();

  // Marks: this document's from the insertion point on move by the part's
  // length; the part's marks come in between, at equal offsets first.
  Mark* rest = nullptr;
  if (!firstMark_ || firstMark_->Start() >= insertAt) {
    rest = firstMark_;
    firstMark_ = lastMark_ = nullptr;
  } else {
    Mark* m = firstMark_;
    while (m->next && m->next->Start() < insertAt) m = m->next;
    rest = m->next;
    m->next = nullptr;
    lastMark_ = m;
  }
  auto copyOf = [this, insertAt, partStart](const Mark* m) -> Mark* {
    std::uint32_t at = m->Start() - partStart + insertAt;
    switch (m->Kind()) {
      case kMarkRecordEnd:
      case kMarkTab:
        return new (pool_) SimpleMark(m->Kind(), at);
      case kMarkEntityRef:
        return new (pool_) EntityRefMark(at, m->GetEntity());
      case kMarkProcessingInstruction:
        return new (pool_) MarkupMark(m->Kind(), at, m->GetEnd() - partStart + insertAt);
      default:
        return nullptr;
    }
  };
  const Mark* theirs = part.firstMark_;
  while (theirs && theirs->Start() < partStart) theirs = theirs->next;
  while (rest || theirs) {
    if (theirs && (theirs->Start() >= partStart + length)) {
      theirs = nullptr;
      continue;
    }
    bool takeTheirs =
        theirs && (!rest || rest->Start() + length >= theirs->Start() - partStart + insertAt);
    if (takeTheirs) {
      AppendMark(copyOf(theirs));
      theirs = theirs->next;
    } else {
      Mark* m = rest;
      rest = rest->next;
      std::uint8_t kind = m->Kind();
      m->SetStart(m->Start() + length);
      // These kinds carry an end of their own.
      if (kind == kMarkResume || kind == kMarkStyledText || kind >= kMarkProcessingInstruction)
        static_cast<MarkupMark*>(m)->end += length;
      AppendMark(m);
    }
  }
  if (keptFirst) {
    firstKeptMarkup = keptFirst;
    for (Mark* m = keptFirst; m;) {
      Mark* next = m->next;
      AppendMark(m);
      m = next;
    }
  }

  // External entities of the part.
  for (EntityDecl* e = part.FirstEntity(); e; e = part.NextEntity())
    if (e->IsExternal()) AddEntity(e->Clone());
  return true;
}

}  // namespace qs
