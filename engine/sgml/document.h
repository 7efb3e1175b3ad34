// A parsed document: the element tree with the text range of every node,
// the marks laid over the text, the document's own entities, the elements by
// ID, and the text itself. Positions are byte offsets into the document text
// (UTF-8 character data without markup); a node covers [start, end).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/containers.h"
#include "foundation/memory.h"
#include "sgml/attributes.h"
#include "sgml/entities.h"
#include "sgml/link_rules.h"
#include "sgml/mark_kinds.h"
#include "sgml/node_flags.h"
#include "sgml/use_count.h"

namespace qs {

class Document;
class ElementTypeDecl;
class ExternalId;
class TextStore;
class Dtd;
class InternedName;

// Every node, mark and attribute value of a document comes from its pool and
// goes when the document goes; nothing is freed singly.
class DocumentPool {
 public:
  DocumentPool() = default;
  ~DocumentPool();
  DocumentPool(const DocumentPool&) = delete;
  DocumentPool& operator=(const DocumentPool&) = delete;
  // Null when memory ran out. Zero-filled, 8-byte aligned. Inline: a large
  // document makes hundreds of thousands of items. A chunk is zero-filled
  // when it comes (a bulk region comes so from the system) and nothing is
  // handed out twice, so an item needs no clearing of its own.
  void* Alloc(std::size_t size) {
    size = size ? (size + kAlign - 1) & ~(kAlign - 1) : kAlign;
    if (!chunks_ || size > room_ - used_) return AllocInNewChunk(size);
    void* p = reinterpret_cast<char*>(chunks_) + used_;
    used_ += size;
    return p;
  }

 private:
  static constexpr std::size_t kAlign = 8;  // what pointers and 32-bit fields need
  void* AllocInNewChunk(std::size_t size);
  struct Chunk;
  Chunk* chunks_ = nullptr;
  std::size_t used_ = 0;
  std::size_t room_ = 0;
  // Chunks double from 16 KB up to 1 MB: a small document stays small, a
  // large one asks the system for memory a few dozen times, not thousands.
  // Beyond that come bulk regions (foundation/arena.h) with their pages
  // present at once.
  std::size_t nextChunk_ = 16384;
};

// The allocation of pool items: `new (pool) T(...)` gives null when the pool
// is exhausted; `delete` only runs the destructor.
#define QS_POOL_ITEM                                                           \
  static void* operator new(std::size_t size, DocumentPool& pool) noexcept {  \
    return pool.Alloc(size);                                                   \
  }                                                                            \
  static void operator delete(void*, DocumentPool&) noexcept {}               \
  static void operator delete(void*) noexcept {}

// ---- Tree nodes -----------------------------------------------------------------

class DocumentNode : public TreeNode {
 public:
  QS_POOL_ITEM
  // Takes a use of the declaration.
  DocumentNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end);
  ~DocumentNode() override;

  DocumentNode* Parent() const { return static_cast<DocumentNode*>(GetParent()); }
  DocumentNode* First() const { return static_cast<DocumentNode*>(FirstChild()); }
  DocumentNode* Last() const { return static_cast<DocumentNode*>(LastChild()); }
  DocumentNode* Next() const { return static_cast<DocumentNode*>(NextSibling()); }
  DocumentNode* Prev() const { return static_cast<DocumentNode*>(PrevSibling()); }

  ElementTypeDecl* Decl() const { return decl_; }
  const char* GetNameText() const;
  bool Contains(std::uint32_t offset) const { return start <= offset && offset < end; }

  virtual Attribute* const* GetAttributeValues() const { return nullptr; }
  virtual const char* GetId() const { return nullptr; }
  virtual EntityDecl* GetEntity() const { return nullptr; }
  virtual bool IsGraphic() const { return false; }

  // The specified value, else the declared default (names ignoring case).
  const char* GetAttributeValue(const char* name) const;
  AttributeDecl* FindAttributeDecl(const char* name) const;
  // The value of "HYTIME", else the type name.
  const char* GetHytimeForm() const;
  // The first specified NOTATION value, else the default of the first
  // NOTATION declaration.
  const char* GetNotationValue() const;
  // Appends the element's ID references to `result` as StringItems: the
  // specified IDREF/IDREFS values not exempted by flag 0x40, then the
  // defaults of IDREF/IDREFS declarations with no specified value. A token
  // list is split at each blank (two blanks give an empty piece; an empty
  // last piece is dropped).
  void CollectIdRefs(ListHead& result) const;
  // Whether the comma-separated names equal the type names of the parent,
  // grandparent, ... (from the node itself for the second); an empty or null
  // list holds; a list longer than the ancestry fails.
  bool MatchesContext(const char* context) const;
  bool MatchesContextFromSelf(const char* context) const;

  // A copy of the subtree in the target's pool, positions moved by `shift`,
  // each type replaced by its forward declaration; null when the pool ran
  // out.
  DocumentNode* CloneInto(Document& target, std::int32_t shift) const;

  // Offsets stay below kMaxDocumentText (24 bits), so the start shares its
  // word with the flags: a large document has hundreds of thousands of nodes.
  std::uint32_t start : 24;
  std::uint32_t flags : 8 = kNodeInitialFlags;
  std::uint32_t end;

 protected:
  // A copy of this node alone (no children).
  virtual DocumentNode* CloneSelf(Document& target, ElementTypeDecl* decl,
                                  std::int32_t shift) const;

 private:
  ElementTypeDecl* decl_;
};

class AttributedNode : public DocumentNode {
 public:
  QS_POOL_ITEM
  // The array and its values are pool items of the same document; each
  // value holds a use of its declaration and of its value.
  AttributedNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end,
                 Attribute** values);
  ~AttributedNode() override;
  Attribute* const* GetAttributeValues() const override { return values_; }

 protected:
  DocumentNode* CloneSelf(Document& target, ElementTypeDecl* decl,
                          std::int32_t shift) const override;
  // A copy of the values array in the target's pool.
  Attribute** CopyValues(Document& target) const;
  Attribute** values_;
};

// An element; listed in the document's ID table under its ID text.
class ElementNode : public AttributedNode, public HashItem {
 public:
  QS_POOL_ITEM
  // `id` is the text of one of the values (or null).
  ElementNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end, Attribute** values,
              const char* id);
  const char* GetKey() const override { return id_; }
  std::size_t GetKeyLength() const override;
  const char* GetId() const override { return id_; }

 protected:
  DocumentNode* CloneSelf(Document& target, ElementTypeDecl* decl,
                          std::int32_t shift) const override;
  // The copy's ID: the copied value that held this element's ID, else "@ID".
  const char* CopiedId(Attribute* const* copied) const;
  const char* id_;
};

// An element that refers to an external graphic entity.
class GraphicElementNode : public ElementNode {
 public:
  QS_POOL_ITEM
  using ElementNode::ElementNode;
  bool IsGraphic() const override { return true; }
  // The next element listed under the same graphic entity.
  GraphicElementNode* nextOfEntity = nullptr;

 protected:
  DocumentNode* CloneSelf(Document& target, ElementTypeDecl* decl,
                          std::int32_t shift) const override;
};

// A node that stands for an entity.
class EntityNode : public DocumentNode {
 public:
  QS_POOL_ITEM
  // Takes a use of the entity.
  EntityNode(ElementTypeDecl* decl, std::uint32_t start, std::uint32_t end, EntityDecl* entity);
  ~EntityNode() override;
  Attribute* const* GetAttributeValues() const override;
  EntityDecl* GetEntity() const override { return entity_; }

 protected:
  DocumentNode* CloneSelf(Document& target, ElementTypeDecl* decl,
                          std::int32_t shift) const override;

 private:
  EntityDecl* entity_;
};

// One interned name in a list (ID references, token lists).
class StringItem : public ListNode {
 public:
  explicit StringItem(InternedName* name) : name_(name) {}  // takes the use
  ~StringItem() override;
  InternedName* Name() const { return name_; }
  const char* Text() const;

 private:
  InternedName* name_;
};

// ---- Marks -------------------------------------------------------------------------

class Mark {
 public:
  QS_POOL_ITEM
  Mark(std::uint8_t kind, std::uint32_t start) : packed(PackMark(kind, start)) {}
  virtual ~Mark() = default;
  Mark(const Mark&) = delete;
  Mark& operator=(const Mark&) = delete;

  std::uint8_t Kind() const { return MarkKindOf(packed); }
  std::uint32_t Start() const { return MarkOffsetOf(packed); }
  void SetStart(std::uint32_t start) { packed = PackMark(Kind(), start); }
  virtual std::uint32_t GetEnd() const { return Start() + 1; }
  virtual EntityDecl* GetEntity() const { return nullptr; }
  virtual const char* GetDataAttribute(const char*) const { return nullptr; }
  // Told by a document going away while the mark is in its anchor index
  // (after it was taken out), so that what made the mark can let it go.
  virtual void DocumentGone() {}

  Mark* next = nullptr;
  std::uint32_t packed;
};

// A record end (kind 1) or a tab (kind 2).
class SimpleMark : public Mark {
 public:
  QS_POOL_ITEM
  using Mark::Mark;
};

// A mark with an end of its own: processing instructions and kept markup
// (kinds 6-9).
class MarkupMark : public Mark {
 public:
  QS_POOL_ITEM
  MarkupMark(std::uint8_t kind, std::uint32_t start, std::uint32_t end)
      : Mark(kind, start), end(end) {}
  std::uint32_t GetEnd() const override { return end; }
  std::uint32_t end;
};

// Kind 3, made by the compiled-document reader: an object and an end.
class NotationMark : public MarkupMark {
 public:
  QS_POOL_ITEM
  NotationMark(std::uint32_t start, std::uint32_t end, std::intptr_t object)
      : MarkupMark(kMarkNotation, start, end), object(object) {}
  std::intptr_t object;
};

// Kind 5, made by the compiled-document reader: an end and a record.
class RecordMark : public MarkupMark {
 public:
  QS_POOL_ITEM
  RecordMark(std::uint32_t start, std::uint32_t end, std::intptr_t record)
      : MarkupMark(kMarkRecord, start, end), record(record) {}
  std::intptr_t record;
};

// Kind 4: a reference to an entity not replaced by text. Holds a use of the
// entity and of its notation.
class EntityRefMark : public Mark {
 public:
  QS_POOL_ITEM
  EntityRefMark(std::uint32_t start, EntityDecl* entity);
  ~EntityRefMark() override;
  EntityDecl* GetEntity() const override { return entity_; }
  NotationDecl* Notation() const { return notation_; }
  const char* GetDataAttribute(const char* name) const override;

 private:
  EntityDecl* entity_;
  NotationDecl* notation_;
};

// ---- The walk ------------------------------------------------------------------------

// Walks a subtree in document order: VisitElement on entering (non-zero
// skips the content), VisitData over the character data before, between and
// after children (or over the whole range of a node without children; never
// an empty range; 1 ends the walk of the current child list), LeaveElement
// for every visited element, also a skipped one. The walk keeps no
// recursion, so any depth of tree is walked.
class TreeVisitor : public EngineObject {
 public:
  explicit TreeVisitor(bool deleteAfter = false) : deleteAfter_(deleteAfter) {}
  virtual int VisitElement(DocumentNode*) { return 0; }
  virtual int VisitData(DocumentNode*, std::uint32_t, std::uint32_t) { return 0; }
  virtual void LeaveElement(DocumentNode*) {}
  virtual ~TreeVisitor() = default;

  // Walks the subtree (nothing for null); then, when made with the
  // delete-after flag, deletes the visitor.
  void Run(DocumentNode* element);

 private:
  void Walk(DocumentNode* element);
  bool deleteAfter_;
};

// ---- The document -------------------------------------------------------------------

// Anchor marks in position order (ties by end, then identity), so that anchors can be
// found from a position and taken out again.
class AnchorIndex : public BTree {
 public:
  int Compare(std::intptr_t a, std::intptr_t b) const override;
  bool Add(Mark* mark) { return Insert(reinterpret_cast<std::intptr_t>(mark), 1) == 1; }
  bool Remove(Mark* mark) { return BTree::Remove(reinterpret_cast<std::intptr_t>(mark)) == 1; }
  // The first anchor mark at or after the position, null when none.
  Mark* FindAtLeast(std::uint32_t position);
};

// One link web a document names, by its identifier (a use held).
class WebReference : public ListNode {
 public:
  explicit WebReference(ExternalId* id);
  ~WebReference() override;
  ExternalId* Id() const { return id_; }

 private:
  ExternalId* id_;
};

class Document : public EngineObject {
 public:
  // Takes a use of the source identifier (may be null).
  explicit Document(ExternalId* source = nullptr);
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  Document* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }
  std::uint32_t UseCount() const { return uses_.Get(); }

  ExternalId* Source() const { return source_; }
  // Takes a use of the new source and gives back the old one's.
  void SetSource(ExternalId* source);
  DocumentPool& Pool() { return pool_; }
  // A null-terminated array of `count` values in the pool (all null yet).
  Attribute** NewAttributeArray(std::size_t count);
  // A value in the pool holding a use of the declaration and of the value
  // until the document goes. Equal pairs give the same record: records are
  // never changed once made, and a node going gives back nothing.
  Attribute* NewAttribute(AttributeDecl* decl, InternedName* value);
  // A null-terminated array in the pool holding the `count` values in
  // order; equal arrays are one array, so it is never changed once made.
  // Null when memory ran out.
  Attribute** ShareAttributeArray(Attribute* const* values, std::size_t count);
  // A value in the pool for a value no record holds yet (the caller's use
  // is its only one, as for a value seen for the first time): made without
  // a look among the shared records and never shared, since no record can
  // equal it. The document holds the same uses as for NewAttribute. A
  // document whose values are mostly distinct (link targets, IDs) then
  // keeps no table of them.
  Attribute* NewUnsharedAttribute(AttributeDecl* decl, InternedName* value);
  // A null-terminated array in the pool holding the `count` values, not
  // shared: for a list holding an unshared record, which no earlier list
  // can equal. Null when memory ran out.
  Attribute** NewUnsharedAttributeArray(Attribute* const* values, std::size_t count);

  // ---- Entities (the document's own table)
  virtual EntityDecl* FindEntityOrDefault(const char* name) {
    return entities_.FindOrDefault(name);
  }
  virtual EntityDecl* FindEntity(const char* name) { return entities_.Find(name); }
  virtual EntityDecl* FirstEntity() { return entities_.First(); }
  virtual EntityDecl* NextEntity() { return entities_.Next(); }
  // Takes over the caller's use; a name already there keeps its entity and
  // the newcomer is discarded (false).
  virtual bool AddEntity(EntityDecl* entity) { return entities_.Add(entity); }

  // ---- Text
  TextStore* Text() const { return text_; }
  // Replaces the text store, taking a use of the new one.
  void SetText(TextStore* text);
  std::uint32_t TextLength() const;
  // Appends character data. False, with nothing appended, when the text
  // would pass the 24-bit offset range (kMaxDocumentText) or memory ran out:
  // the parse then stops with an error.
  bool AppendText(const char* bytes, std::size_t n);

  // ---- Tree
  DocumentNode* Root() const { return root_; }
  // The document element (the tree is deleted with the document).
  void SetRoot(DocumentNode* root);
  // Innermost node whose range holds the offset; null outside the root.
  DocumentNode* ElementAtPosition(std::uint32_t offset) const;
  // Innermost node with start <= from and end >= to.
  DocumentNode* ElementAtRange(std::uint32_t from, std::uint32_t to) const;
  // Depth-first from `element` (itself first): the first node of type
  // `name` (exact) whose ancestors match the comma-separated qualifier read
  // upwards (from the parent, or with fromSelf from the node itself).
  DocumentNode* FindDescendant(DocumentNode* element, const char* name, const char* qualifier,
                               bool fromSelf = false) const;
  // Records the first node of a type: flags the type used and lists it.
  void NoteTypeUse(ElementTypeDecl* decl);
  // The used element types, in the order first used.
  ElementTypeDecl* UsedType(std::size_t i) const { return i < typeCount_ ? types_[i] : nullptr; }
  std::size_t UsedTypeCount() const { return typeCount_; }

  // ---- IDs
  // Lists the element under its ID text (exact bytes); false when the
  // element has no ID or another element holds it already.
  bool RegisterId(ElementNode* element);
  ElementNode* FindElementById(const char* id) const;

  // ---- Marks
  Mark* FirstMark() const { return firstMark_; }
  Mark* LastMark() const { return lastMark_; }
  // At the tail (callers append in offset order); null is ignored.
  void AppendMark(Mark* mark);
  // Takes the mark out of the list (it stays in the pool); false when absent.
  bool RemoveMark(Mark* mark);
  // The first mark in list order with start <= offset < end.
  virtual Mark* MarkAt(std::uint32_t offset) const;
  Mark* firstKeptMarkup = nullptr;
  AnchorIndex& Anchors() { return anchors_; }

  // Copies [from, to) of the text into dest, which holds to - from + 1
  // bytes: entity references (kind 4) and processing instructions (kind 6)
  // are left out, a record end (kind 1) reads as a line feed and a tab mark
  // (kind 2) as a tab. NUL-terminated; returns the bytes written.
  std::size_t ExtractText(char* dest, std::uint32_t from, std::uint32_t to) const;

  // ---- Title
  // From a comma-separated path of type names, outermost first: the first
  // element at the end of that path, its first 40 bytes of text (never
  // cutting a character) become the excerpt. Null clears it.
  void SetTitleExcerpt(const char* path);
  const char* TitleExcerpt() const { return title_; }
  // The excerpt as stored elsewhere (a compiled document); null clears it.
  void SetTitleText(const char* text);
  // Whether element and attribute names are folded to upper case (SGML).
  bool foldsNames = true;

  // ---- Part merge
  // Splices a separately parsed part in as the last child of `element` (a
  // node of this document): its types, tree, text, marks and external
  // entities. True when merged; false, with this document unchanged, when
  // the part is this document or has no root, when one of its element types
  // differs from this document's type of the same name, or when the text
  // would pass kMaxDocumentText bytes.
  bool MergePart(DocumentNode* element, Document& part);

  // ---- Graphics
  // Lists a graphic element under its external entity: an entry is shared by
  // entities with the same system identifier (or, where either has none,
  // equal entities).
  void AddGraphicReference(GraphicElementNode* element, EntityDecl* entity);
  struct GraphicEntry {
    EntityDecl* entity;  // holds a use
    GraphicElementNode* first;
    GraphicElementNode* last;
    GraphicEntry* next;
  };
  GraphicEntry* FirstGraphic() const { return graphics_; }

  // ---- Declarations, resources, links
  // The declarations the document was parsed with (its element types and
  // notations); the document holds a use.
  Dtd* GetDtd() const { return dtd_; }
  void SetDtd(Dtd* dtd);
  ExternalId* DoctypeId() const { return doctypeId_; }
  void SetDoctypeId(ExternalId* id);  // takes a use
  ListHead& Resources() { return resources_; }
  // The link webs the document names: WebReference items in the order
  // named. Adds a use of `id` unless the same resource is named already;
  // true when added.
  bool AddWebReference(ExternalId* id);
  const ListHead& WebReferences() const { return webs_; }
  LinkRules& Links() { return links_; }
  const LinkRules& Links() const { return links_; }
  // Flags the declarations named by link rules (types 0x80, attributes 0x20).
  void FlagLinkDeclarations(Dtd& dtd);
  // The rule that makes the element a link, null when none.
  const LinkRule* FindLinkRule(const DocumentNode* element) const;
  HashTable& Names() { return names_; }
  // Deleted with the document.
  bool AddOwnedObject(EngineObject* object, void (*destroy)(EngineObject*));

 protected:
  virtual ~Document();
  EntityTable& OwnEntities() { return entities_; }

 private:
  void DeleteTree();

  UseCount32 uses_;
  ExternalId* source_;
  EntityTable entities_;
  DocumentPool pool_;
  ExternalId* doctypeId_ = nullptr;
  Dtd* dtd_ = nullptr;
  char* title_ = nullptr;
  DocumentNode* root_ = nullptr;
  TextStore* text_ = nullptr;
  HashTable* ids_ = nullptr;
  Mark* firstMark_ = nullptr;
  Mark* lastMark_ = nullptr;
  AnchorIndex anchors_;
  LinkRules links_;
  ListHead resources_;
  ListHead webs_;
  ElementTypeDecl** types_ = nullptr;
  std::size_t typeCount_ = 0;
  std::size_t typeCapacity_ = 0;
  GraphicEntry* graphics_ = nullptr;
  // The attribute records and arrays handed out, so that equal ones are
  // made once (many elements carry the same few values).
  struct SharedAttributes;
  SharedAttributes* sharedAttributes_ = nullptr;
  HashTable names_;
  struct Owned {
    EngineObject* object;
    void (*destroy)(EngineObject*);
  };
  Owned* owned_ = nullptr;
  std::size_t ownedCount_ = 0;

 public:
  std::uint8_t flag = 1;
};

}  // namespace qs
