// The compiled-document reader. It checks everything it reads: counts
// against what follows, indexes against their tables, type bytes against
// the known kinds, strings against kQsbStringMax, every offset against the
// text that ends the file, nodes inside their parents and after their
// previous siblings, marks in order, and the tree's depth. The first fault
// abandons the whole document.
#include <cstring>
#include <new>

#include "foundation/containers.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "sgml/catalog.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/qsb.h"
#include "sgml/text_store.h"
#include "style/style_rules.h"

namespace qs {

namespace {

constexpr int kNotQsbFile = 24;

// The style property sets the marks of kind 5 of a loaded document refer
// to; the document owns them.
class CarriedStyleTable : public EngineObject {
 public:
  explicit CarriedStyleTable(std::size_t count) : count_(count) {
    items_ = static_cast<StyleProps**>(MemAlloc((count ? count : 1) * sizeof(StyleProps*)));
    if (items_) std::memset(items_, 0, (count ? count : 1) * sizeof(StyleProps*));
  }
  ~CarriedStyleTable() {
    if (!items_) return;
    for (std::size_t i = 0; i < count_; ++i) delete items_[i];
    MemFree(items_);
  }
  // The set at i, made on first use; null when memory ran out.
  StyleProps* At(std::size_t i) {
    if (!items_ || i >= count_) return nullptr;
    if (!items_[i]) items_[i] = new StyleProps;
    return items_[i];
  }
  bool Ok() const { return items_ != nullptr; }

 private:
  StyleProps** items_;
  std::size_t count_;
};

// A growing array of pointers on the engine heap.
template <class T>
class PtrArray {
 public:
  PtrArray() = default;
  ~PtrArray() { MemFree(items_); }
  PtrArray(const PtrArray&) = delete;
  PtrArray& operator=(const PtrArray&) = delete;
  bool Reserve(std::size_t n) {
    MemFree(items_);
    items_ = static_cast<T**>(MemAlloc((n ? n : 1) * sizeof(T*)));
    count_ = 0;
    return items_ != nullptr;
  }
  void Push(T* item) { items_[count_++] = item; }
  std::size_t Count() const { return count_; }
  T* At(std::size_t i) const { return items_[i]; }
  T** Data() { return items_; }

 private:
  T** items_ = nullptr;
  std::size_t count_ = 0;
};

class Reader {
 public:
  Reader(Stream& in, const char* name, const char* publicId)
      : in_(in), name_(name), publicId_(publicId) {}
  ~Reader();
  Document* Run();

 private:
  // ---- Primitives: each marks the input bad instead of running past it.
  bool Fill() {
    std::size_t n = 0;
    const std::uint8_t* block = in_.ReadBlock(&n, std::size_t(1) << 20);
    if (!block || n == 0) {
      bad_ = true;
      p_ = e_ = nullptr;
      return false;
    }
    p_ = block;
    e_ = block + n;
    return true;
  }
  std::size_t Left() const { return std::size_t(e_ - p_); }
  std::uint8_t Byte() {
    if (p_ == e_ && !Fill()) return 0;
    return *p_++;
  }
  // Fields are taken straight from the block; only one that straddles two
  // blocks goes byte by byte.
  unsigned U16() {
    if (Left() >= 2) {
      unsigned v = unsigned(p_[0]) << 8 | p_[1];
      p_ += 2;
      return v;
    }
    unsigned hi = Byte();
    return (hi << 8) | Byte();
  }
  std::uint32_t U24() {
    if (Left() >= 3) {
      std::uint32_t v = std::uint32_t(p_[0]) << 16 | std::uint32_t(p_[1]) << 8 | p_[2];
      p_ += 3;
      return v;
    }
    std::uint32_t hi = Byte();
    return (hi << 16) | U16();
  }
  // Into buffer_ (its length in *length when asked); null (input bad)
  // when it runs past kQsbStringMax bytes.
  const char* String(std::size_t* length = nullptr) {
    std::size_t left = Left();
    std::size_t scan = left < kQsbStringMax + 1 ? left : kQsbStringMax + 1;
    if (const void* nul = scan ? std::memchr(p_, 0, scan) : nullptr) {
      std::size_t n = std::size_t(static_cast<const std::uint8_t*>(nul) - p_);
      std::memcpy(buffer_, p_, n + 1);
      p_ += n + 1;
      if (length) *length = n;
      return buffer_;
    }
    if (scan == kQsbStringMax + 1) {
      bad_ = true;
      return nullptr;
    }
    return StringAcrossBlocks(length);
  }
  const char* StringAcrossBlocks(std::size_t* length) {
    std::size_t n = 0;
    for (;;) {
      if (p_ == e_ && !Fill()) return nullptr;
      std::uint8_t b = *p_++;
      if (b == 0) break;
      if (n == kQsbStringMax) {
        bad_ = true;
        return nullptr;
      }
      buffer_[n++] = char(b);
    }
    buffer_[n] = 0;
    if (length) *length = n;
    return buffer_;
  }
  // A heap copy of the next string (empty gives null, as "none").
  bool OptionalString(char** out) {
    const char* s = String();
    if (!s) return false;
    *out = *s ? DuplicateString(s) : nullptr;
    if (*s && !*out) bad_ = true;
    return !bad_;
  }
  bool Fault() {
    bad_ = true;
    return false;
  }
  void NoteOffset(std::uint32_t offset) {
    if (offset > maxOffset_) maxOffset_ = offset;
  }

  bool ReadHeader();
  bool ReadTokens(TokenGroup** out);
  bool ReadAttributeDefinitions();
  bool ReadIndexedSet(AttributeDeclSet& set);
  bool ReadNotations();
  bool ReadElements();
  bool ReadAttributeList(bool inPool, Attribute*** out);
  Attribute* NewNodeAttribute(AttributeDecl* decl, InternedName* value, bool& unshared);
  // A node's list: one lying whole in the block is taken from there, and
  // one byte-identical to a list met before gives that list's array.
  // Also gives the list's ID value (null when none).
  bool ReadNodeAttributes(Attribute*** out, const char** id);
  static bool FindId(Attribute* const* values, const char** id);
  bool ReadEntities();
  // A node whose range lies in [floor, ceiling), else null (input bad).
  DocumentNode* ReadNode(std::uint8_t flags, std::uint32_t floor, std::uint32_t ceiling);
  bool ReadTree();
  bool ReadStyles();
  bool ReadMarks();
  bool ReadInstructions();
  bool ReadText();
  void ScanKeptMarkup();

  Stream& in_;
  const char* name_;
  const char* publicId_;
  const std::uint8_t* p_ = nullptr;
  const std::uint8_t* e_ = nullptr;
  bool bad_ = false;
  char buffer_[kQsbStringMax + 1];

  Document* doc_ = nullptr;
  Dtd* dtd_ = nullptr;
  ExternalId* id_ = nullptr;
  const InternedName* baseDir_ = nullptr;
  PtrArray<AttributeDecl> attributes_;
  PtrArray<NotationDecl> notations_;
  PtrArray<ElementTypeDecl> elements_;
  // Node attribute lists by their first bytes: many elements carry the
  // same few values, and a list seen before needs none of them read,
  // interned or shared again. A fixed table of sets of a few lists (a newer
  // list takes the oldest one's way) short enough to keep their bytes,
  // which a hit must equal.
  static constexpr std::size_t kListBytes = 40;
  struct ListSlot {
    Attribute** values;
    const char* id;  // the ID value among them, or null
    std::uint64_t key;
    std::uint32_t length;
    std::uint8_t bytes[kListBytes];
  };
  static constexpr std::size_t kListSlots = 256;
  static constexpr std::size_t kListWays = 4;
  std::uint8_t listTurns_[kListSlots / kListWays] = {};
  ListSlot* lists_ = nullptr;
  CarriedStyleTable* styles_ = nullptr;
  std::size_t styleCount_ = 0;
  std::uint32_t maxOffset_ = 0;
};

Reader::~Reader() {
  MemFree(lists_);
  if (dtd_) dtd_->Release();
  if (id_) id_->Release();
}

bool Reader::ReadHeader() {
  const char* magic = String();
  if (!magic || std::strcmp(magic, "QSB01") != 0) return Fault();
  if (!String()) return false;  // the source's base name: not used
  const char* publicId = String();
  if (!publicId) return false;
  if (*publicId) {
    auto* doctype = new ExternalId(nullptr, nullptr, "QSB-DOC", nullptr, publicId,
                                   ExternalId::kDoctype);
    doc_->SetDoctypeId(doctype);
    dtd_->SetDoctypeId(doctype);
    doctype->Release();
  }
  const char* title = String();
  if (!title) return false;
  if (*title) doc_->SetTitleText(title);
  return true;
}

// Tokens up to an empty string; no group for none.
bool Reader::ReadTokens(TokenGroup** out) {
  *out = nullptr;
  InternedName** items = nullptr;
  std::size_t count = 0, capacity = 0;
  bool ok = true;
  for (;;) {
    const char* token = String();
    if (!token) {
      ok = false;
      break;
    }
    if (!*token) break;
    if (count == 0xFFFF) {
      ok = false;
      break;
    }
    if (count == capacity) {
      capacity = capacity ? capacity * 2 : 16;
      auto** grown = static_cast<InternedName**>(MemAlloc(capacity * sizeof(InternedName*)));
      if (!grown) {
        ok = false;
        break;
      }
      if (count) std::memcpy(grown, items, count * sizeof(InternedName*));
      MemFree(items);
      items = grown;
    }
    InternedName* name = InternName(token);
    if (!name) {
      ok = false;
      break;
    }
    items[count++] = name;
  }
  if (ok && count) {
    // The group takes over the uses, also when it fails.
    *out = TokenGroup::New(items, std::uint16_t(count));
    ok = *out != nullptr;
  } else {
    for (std::size_t i = 0; i < count; ++i) ReleaseName(items[i]);
  }
  MemFree(items);
  return ok;
}

bool Reader::ReadAttributeDefinitions() {
  unsigned count = U16();
  if (bad_ || !attributes_.Reserve(count)) return Fault();
  for (unsigned i = 0; i < count; ++i) {
    const char* name = String();
    if (!name || !*name) return Fault();
    InternedName* atom = InternName(name);
    std::uint8_t flags = Byte();
    std::uint8_t declared = Byte();
    std::uint8_t defaultKind = Byte();
    TokenGroup* tokens = nullptr;
    InternedName* defaultValue = nullptr;
    bool ok = !bad_ && atom;
    if (ok && declared == kDeclaredTokenGroup) ok = ReadTokens(&tokens);
    if (ok && defaultKind == kDefaultValue) {
      const char* value = String();
      if (!value) {
        ok = false;
      } else if (*value) {
        defaultValue = InternName(value);
      }
    }
    AttributeDecl* decl = nullptr;
    if (ok) {
      decl = dtd_->AttributeDefs().Intern(atom, declared, defaultKind, flags, tokens, defaultValue);
    } else {
      ReleaseName(atom);
      ReleaseName(defaultValue);
      delete tokens;
    }
    if (!decl) return Fault();
    attributes_.Push(decl);
  }
  return !bad_;
}

bool Reader::ReadIndexedSet(AttributeDeclSet& set) {
  unsigned n = U16();
  if (bad_) return false;
  if (n == 0) return true;
  PtrArray<AttributeDecl> items;
  if (!items.Reserve(n)) return Fault();
  for (unsigned i = 0; i < n; ++i) {
    unsigned index = U16();
    if (bad_ || index >= attributes_.Count()) return Fault();
    items.Push(attributes_.At(index));
  }
  NameGroup* group = NameGroup::New(items.Data(), std::uint16_t(n));
  if (!group) return Fault();
  if (!set.List(0)) {
    set.SetList(0, group);
  } else {
    DtdNameGroupMerge(set, group);
    group->Release();
  }
  return true;
}

bool Reader::ReadNotations() {
  unsigned count = U16();
  if (bad_ || !notations_.Reserve(count)) return Fault();
  for (unsigned i = 0; i < count; ++i) {
    const char* name = String();
    if (!name || !*name) return Fault();
    auto* notation = new NotationDecl(name);
    const char* systemId = String();
    if (systemId && *systemId) notation->SetSystemId(systemId);
    const char* publicId = systemId ? String() : nullptr;
    if (publicId && *publicId) notation->SetPublicId(publicId);
    if (!publicId || !ReadIndexedSet(notation->Attributes())) {
      notation->Release();
      return Fault();
    }
    // A name met twice keeps its first declaration; its index still
    // leads there.
    NotationDecl* kept = dtd_->FindNotation(notation->Name());
    if (kept) {
      notation->Release();
    } else {
      dtd_->AddNotation(notation);
      kept = notation;
    }
    notations_.Push(kept);
  }
  return true;
}

bool Reader::ReadElements() {
  unsigned count = U16();
  if (bad_ || !elements_.Reserve(count)) return Fault();
  for (unsigned i = 0; i < count; ++i) {
    const char* name = String();
    if (!name || !*name) return Fault();
    ElementTypeDecl* type = dtd_->FindElement(name);
    std::uint8_t flags = Byte();
    if (!type) {
      type = dtd_->FindOrDeclareElementType(name);
      if (!type) return Fault();
      type->flags = flags;
      if (!ReadIndexedSet(type->Attributes())) return Fault();
    } else {
      AttributeDeclSet ignored;
      if (!ReadIndexedSet(ignored)) return Fault();
    }
    elements_.Push(type);
  }
  return !bad_;
}

// A node's value record, as the parser makes it: a value whose only use is
// the reader's was never given to a record, so its record (and the list
// holding it) are made without a look among the document's shared ones.
// A loaded document then costs what the parsed one did.
Attribute* Reader::NewNodeAttribute(AttributeDecl* decl, InternedName* value, bool& unshared) {
  if (value->UseCount() == 1) {
    Attribute* v = doc_->NewUnsharedAttribute(decl, value);
    unshared = unshared || v;
    return v;
  }
  return doc_->NewAttribute(decl, value);
}

// Count byte, then (index, value) pairs; a count of 0 gives no array. In
// the document's pool for nodes, on the heap for entities.
bool Reader::ReadAttributeList(bool inPool, Attribute*** out) {
  *out = nullptr;
  unsigned n = Byte();
  if (bad_) return false;
  if (n == 0) return true;
  // A node's values are the document's records (kept by the document even
  // when the list fails), gathered here and then shared as one array.
  Attribute* local[256] = {};
  Attribute** values;
  if (inPool) {
    values = local;
  } else {
    values = static_cast<Attribute**>(MemAlloc((n + 1) * sizeof(Attribute*)));
    if (values) std::memset(values, 0, (n + 1) * sizeof(Attribute*));
  }
  if (!values) return Fault();
  if (!inPool) *out = values;  // freed by the caller even when a value fails
  auto fail = [&]() { return Fault(); };
  bool unshared = false;
  for (unsigned i = 0; i < n; ++i) {
    unsigned index = U16();
    if (bad_ || index >= attributes_.Count()) return fail();
    const char* text = String();
    if (!text) return fail();
    InternedName* value = InternName(text);
    if (!value) return fail();
    Attribute* v = inPool ? NewNodeAttribute(attributes_.At(index), value, unshared)
                          : NewAttributeValue(attributes_.At(index), value);
    ReleaseName(value);
    if (!v) return fail();
    values[i] = v;
  }
  if (inPool) {
    values = unshared ? doc_->NewUnsharedAttributeArray(local, n)
                      : doc_->ShareAttributeArray(local, n);
    if (!values) return Fault();
  }
  *out = values;
  return true;
}

// The key of the node attribute list that starts at `at` (8 bytes of it lie
// in the block): its first 8 bytes, or only the list's own bytes when a list
// of one value ends sooner, so that what follows it changes nothing.
std::uint64_t ListKey(const std::uint8_t* at) {
  std::uint64_t key = 0;
  for (int i = 0; i < 8; ++i) key |= std::uint64_t(at[i]) << (8 * i);
  if (at[0] == 1) {
    // The count, two index bytes, then the value up to its NUL.
    for (int i = 3; i < 7; ++i) {
      if (at[i] == 0) return key & ((std::uint64_t(1) << (8 * (i + 1))) - 1);
    }
  }
  return key;
}

std::size_t ListSetOf(std::uint64_t key, std::size_t sets) {
  return std::size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & (sets - 1);
}

bool Reader::ReadNodeAttributes(Attribute*** out, const char** id) {
  *out = nullptr;
  *id = nullptr;
  if (p_ == e_) return ReadAttributeList(true, out) && FindId(*out, id);
  const unsigned n = *p_;
  if (n == 0) {
    ++p_;
    return true;
  }
  // A list met before is found by its first bytes, without looking for
  // its end: a list's bytes end it (the count, then each value up to its
  // NUL), so bytes equal to a whole list met before are that list, with
  // the same values in the same order and so the same shared array.
  ListSlot* slot = nullptr;
  std::uint64_t key = 0;
  if (Left() >= 8) {
    if (!lists_) {
      lists_ = static_cast<ListSlot*>(MemAlloc(kListSlots * sizeof(ListSlot)));
      if (lists_) std::memset(lists_, 0, kListSlots * sizeof(ListSlot));
    }
    if (lists_) {
      key = ListKey(p_);
      // Lists that begin alike (values with a common start) share a set.
      const std::size_t set = ListSetOf(key, kListSlots / kListWays);
      ListSlot* ways = lists_ + set * kListWays;
      for (std::size_t w = 0; w < kListWays; ++w) {
        const ListSlot& way = ways[w];
        // Equal keys are equal first bytes, all of a list of up to 8. A
        // key is never 0 (a list's count is not), so an empty way fails.
        if (way.key != key) continue;
        const std::size_t length = way.length;
        if (length <= 8 ||
            (length <= Left() && std::memcmp(way.bytes + 8, p_ + 8, length - 8) == 0)) {
          p_ += length;
          *out = way.values;
          *id = way.id;
          return true;
        }
      }
      // The list will take the set's first empty way, or its oldest.
      slot = ways;
      while (slot < ways + kListWays && slot->key) ++slot;
      if (slot == ways + kListWays) slot = ways + (listTurns_[set]++ % kListWays);
    }
  }
  // Where the list ends, when it lies whole in this block; else (or when a
  // value runs past kQsbStringMax) the careful reader takes it.
  const std::uint8_t* q = p_ + 1;
  for (unsigned i = 0; i < n; ++i) {
    if (e_ - q < 3) return ReadAttributeList(true, out) && FindId(*out, id);
    q += 2;
    std::size_t left = std::size_t(e_ - q);
    const void* nul = std::memchr(q, 0, left < kQsbStringMax + 1 ? left : kQsbStringMax + 1);
    if (!nul) return ReadAttributeList(true, out) && FindId(*out, id);
    q = static_cast<const std::uint8_t*>(nul) + 1;
  }
  const std::size_t length = std::size_t(q - p_);
  if (length > kListBytes) slot = nullptr;
  // The values are the document's records (kept by the document even when
  // the list fails), gathered here and then shared as one array.
  Attribute* local[256];
  bool unshared = false;
  const std::uint8_t* r = p_ + 1;
  for (unsigned i = 0; i < n; ++i) {
    unsigned index = unsigned(r[0]) << 8 | r[1];
    if (index >= attributes_.Count()) return Fault();
    const char* text = reinterpret_cast<const char*>(r + 2);
    std::size_t textLength = std::strlen(text);
    r += 2 + textLength + 1;
    InternedName* value = g_nameTable->Intern(text, textLength);
    if (!value) return Fault();
    Attribute* v = NewNodeAttribute(attributes_.At(index), value, unshared);
    ReleaseName(value);
    if (!v) return Fault();
    local[i] = v;
  }
  Attribute** values = unshared ? doc_->NewUnsharedAttributeArray(local, n)
                                : doc_->ShareAttributeArray(local, n);
  if (!values) return Fault();
  FindId(values, id);
  if (slot) {
    slot->values = values;
    slot->id = *id;
    slot->key = key;
    slot->length = std::uint32_t(length);
    std::memcpy(slot->bytes, p_, length);
  }
  p_ = q;
  *out = values;
  return true;
}

bool Reader::FindId(Attribute* const* values, const char** id) {
  *id = nullptr;
  if (values) {
    for (Attribute* const* v = values; *v; ++v) {
      if ((*v)->decl->DeclaredValue() == kDeclaredId) {
        *id = (*v)->Value();
        break;
      }
    }
  }
  return true;
}

bool Reader::ReadEntities() {
  EntityResolver* catalog = GetEngine() ? GetEngine()->GetCatalog() : nullptr;
  for (;;) {
    const char* s = String();
    if (!s) return false;
    if (!*s) return true;
    char* name = DuplicateString(s);
    if (!name) return Fault();
    std::uint8_t type = Byte();
    EntityDecl* entity = nullptr;
    bool ok = !bad_;
    if (ok && !(type & 0x80)) {
      const char* text = String();
      ok = text != nullptr;
      if (ok) entity = TextEntityDecl::WithStoredText(name, type, text);
    } else if (ok) {
      char* publicId = nullptr;
      char* systemId = nullptr;
      ok = OptionalString(&publicId) && OptionalString(&systemId);
      unsigned notationIndex = ok ? U16() : 0;
      ok = ok && !bad_ && (notationIndex == 0xFFFF || notationIndex < notations_.Count());
      Attribute** values = nullptr;
      if (ok && notationIndex != 0xFFFF) ok = ReadAttributeList(false, &values);
      if (ok) {
        auto* id = new ExternalId(catalog, baseDir_, name, systemId, publicId,
                                  ExternalId::kGeneralEntity);
        auto* external = new ExternalEntityDecl(
            name, id, std::uint8_t(type & 0x7F),
            notationIndex == 0xFFFF ? nullptr : notations_.At(notationIndex));
        external->SetDataAttributes(values);
        values = nullptr;
        entity = external;
      }
      if (values) FreeAttributeValues(values);
      MemFree(publicId);
      MemFree(systemId);
    }
    MemFree(name);
    if (!ok || !entity) {
      if (entity) entity->Release();
      return Fault();
    }
    doc_->AddEntity(entity);
  }
}

DocumentNode* Reader::ReadNode(std::uint8_t flags, std::uint32_t floor, std::uint32_t ceiling) {
  if (flags != 0x08 && (flags & ~0x07)) {
    Fault();
    return nullptr;
  }
  unsigned typeIndex;
  std::uint32_t start, end;
  std::uint8_t extra;
  if (Left() >= 9) {
    const std::uint8_t* q = p_;
    typeIndex = unsigned(q[0]) << 8 | q[1];
    start = std::uint32_t(q[2]) << 16 | std::uint32_t(q[3]) << 8 | q[4];
    end = std::uint32_t(q[5]) << 16 | std::uint32_t(q[6]) << 8 | q[7];
    extra = q[8];
    p_ += 9;
  } else {
    typeIndex = U16();
    start = U24();
    end = U24();
    extra = Byte();
  }
  if (bad_ || typeIndex >= elements_.Count() || start > end || start < floor || end > ceiling) {
    Fault();
    return nullptr;
  }
  NoteOffset(end);
  ElementTypeDecl* type = elements_.At(typeIndex);
  DocumentPool& pool = doc_->Pool();
  DocumentNode* node = nullptr;
  if (flags == 0x08) {
    const char* name = String();
    if (!name) return nullptr;
    EntityDecl* entity = doc_->FindEntity(name);
    if (entity && entity->IsExternal()) {
      node = new (pool) EntityNode(type, start, end, entity);
    } else {
      node = new (pool) DocumentNode(type, start, end);
    }
  } else {
    Attribute** values = nullptr;
    const char* id = nullptr;
    if ((flags & 0x01) && !ReadNodeAttributes(&values, &id)) return nullptr;
    if (flags & 0x02) {
      auto* graphic = new (pool) GraphicElementNode(type, start, end, values, id ? id : "%");
      node = graphic;
      if (graphic) {
        if (id) doc_->RegisterId(graphic);
        const char* name = graphic->GetAttributeValue("GRAPHIC");
        EntityDecl* entity = name ? doc_->FindEntity(name) : nullptr;
        if (entity && entity->IsExternal()) doc_->AddGraphicReference(graphic, entity);
      }
    } else if (id) {
      auto* element = new (pool) ElementNode(type, start, end, values, id);
      node = element;
      if (element) doc_->RegisterId(element);
    } else if (values) {
      node = new (pool) AttributedNode(type, start, end, values);
    } else {
      node = new (pool) DocumentNode(type, start, end);
    }
  }
  if (!node) {
    Fault();
    return nullptr;
  }
  node->flags = extra;
  if (!type->used) doc_->NoteTypeUse(type);
  return node;
}

bool Reader::ReadTree() {
  std::uint8_t flags = Byte();
  if (bad_ || flags == 0x80) return Fault();
  DocumentNode* root = ReadNode(flags, 0, kMaxDocumentText);
  if (!root) return Fault();
  doc_->SetRoot(root);
  if (!(flags & 0x04) || flags == 0x08) return true;
  // parent: the node whose children are being read; last: its last child
  // so far (null before the first).
  DocumentNode* parent = root;
  DocumentNode* last = nullptr;
  int depth = 1;
  while (parent) {
    flags = p_ != e_ ? *p_++ : Byte();
    if (bad_) return false;
    if (flags == 0x80) {
      if (!last) return Fault();  // a child list is never empty
      last = parent;
      parent = parent->Parent();
      --depth;
      continue;
    }
    DocumentNode* node = ReadNode(flags, last ? last->end : parent->start, parent->end);
    if (!node) return Fault();
    if (last) {
      last->InsertAfter(node);
    } else {
      parent->AppendChild(node);
    }
    if ((flags & 0x04) && flags != 0x08) {
      if (++depth > kQsbMaxDepth) return Fault();
      parent = node;
      last = nullptr;
    } else {
      last = node;
    }
  }
  return true;
}

bool Reader::ReadStyles() {
  unsigned count = U16();
  if (bad_) return false;
  styleCount_ = count;
  if (count == 0) return true;
  styles_ = new CarriedStyleTable(count);
  if (!styles_->Ok() ||
      !doc_->AddOwnedObject(styles_, [](EngineObject* o) { delete static_cast<CarriedStyleTable*>(o); })) {
    delete styles_;
    styles_ = nullptr;
    return Fault();
  }
  for (unsigned i = 0; i < count; ++i) {
    StyleProps* style = styles_->At(i);
    if (!style) return Fault();
    const char* colour = String();
    if (!colour) return false;
    if (*colour) style->SetFontColor(colour);
    const char* shadow = String();
    if (!shadow) return false;
    if (*shadow) style->SetShadowColor(shadow);
    std::uint8_t flags = Byte();
    style->fontSize = Byte();
    style->fontScale = std::uint16_t(U16());
    if (bad_ || (flags & 0xE0)) return Fault();
    std::uint8_t slant = 0, weight = 0;
    switch (flags & 0x07) {
      case 0: break;
      case 1: slant = StyleProps::kSlantRoman; break;
      case 2: slant = StyleProps::kSlantItalic; break;
      case 4: slant = StyleProps::kSlantEmphas; break;
      default: return Fault();
    }
    switch (flags & 0x18) {
      case 0: break;
      case 0x08: weight = StyleProps::kWeightMedium; break;
      case 0x10: weight = StyleProps::kWeightBold; break;
      default: return Fault();
    }
    StyleProps::SetBits(&style->fontByte, StyleProps::kSlantMask, slant);
    StyleProps::SetBits(&style->fontByte, StyleProps::kWeightMask, weight);
  }
  return true;
}

bool Reader::ReadMarks() {
  std::uint32_t previous = 0;
  DocumentPool& pool = doc_->Pool();
  for (;;) {
    std::uint32_t start = U24();
    if (bad_) return false;
    if (start == 0xFFFFFF) return true;
    std::uint8_t kind = Byte();
    if (bad_ || kind == 0 || start < previous) return Fault();
    previous = start;
    NoteOffset(start);
    Mark* mark = nullptr;
    switch (kind) {
      case kMarkNotation: {
        unsigned index = U16();
        std::uint32_t end = U24();
        if (bad_ || index >= notations_.Count() || end < start) return Fault();
        NoteOffset(end);
        mark = new (pool)
            NotationMark(start, end, reinterpret_cast<std::intptr_t>(notations_.At(index)));
        break;
      }
      case kMarkEntityRef: {
        const char* name = String();
        if (!name) return false;
        EntityDecl* entity = doc_->FindEntity(name);
        // Only a data entity with a notation makes a reference mark.
        if (!entity || !entity->GetNotation()) continue;
        mark = new (pool) EntityRefMark(start, entity);
        break;
      }
      case kMarkRecord: {
        std::uint32_t end = U24();
        unsigned index = U16();
        if (bad_ || index >= styleCount_ || end < start) return Fault();
        NoteOffset(end);
        mark = new (pool) RecordMark(start, end, reinterpret_cast<std::intptr_t>(styles_->At(index)));
        break;
      }
      case 6:
      case 7:
      case 8:
      case 9: {
        std::uint32_t end = U24();
        if (bad_ || end < start) return Fault();
        NoteOffset(end);
        mark = new (pool) MarkupMark(kind, start, end);
        break;
      }
      default:
        mark = new (pool) SimpleMark(kind, start);
        break;
    }
    if (!mark) return Fault();
    doc_->AppendMark(mark);
    if (!doc_->firstKeptMarkup && kind >= kMarkKeptMarkupFirst && kind <= kMarkKeptMarkupLast) {
      doc_->firstKeptMarkup = mark;
    }
  }
}

bool Reader::ReadInstructions() {
  char* s[5] = {};
  bool ok = true;
  for (;;) {
    std::uint8_t type = Byte();
    if (bad_) break;
    if (type == 0) break;
    int strings = type == 1 || type == 2 ? 2 : type == 3 ? 4 : type == 4 ? 5 : 0;
    if (!strings) {
      ok = false;
      break;
    }
    for (int i = 0; i < strings && ok; ++i) {
      const char* text = String();
      if (!text) {
        ok = false;
        break;
      }
      s[i] = DuplicateString(text);
      if (!s[i]) ok = false;
    }
    if (!ok) break;
    if (type <= 2) {
      auto* resource = new EntityrcResource(
          nullptr, s[0], s[1], type == 1 ? EntityrcResource::kStyleSheet : EntityrcResource::kNavigator);
      resource->SetLocation(s[1], baseDir_);
      doc_->Resources().Append(NewResourceRef(resource));
      resource->Release();
    } else {
      char** f = type == 4 ? s + 1 : s;
      const char* condition = type == 4 && *s[0] ? s[0] : nullptr;
      const char* fourth = *f[3] ? f[3] : nullptr;
      if (!*f[1]) {
        doc_->Links().AddElementRule(f[0], condition, f[2], fourth);
      } else {
        doc_->Links().AddAttributeRule(f[1], f[0], condition, f[2], fourth);
      }
    }
    for (char*& text : s) {
      MemFree(text);
      text = nullptr;
    }
  }
  for (char* text : s) MemFree(text);
  if (!ok) return Fault();
  return !bad_;
}

bool Reader::ReadText() {
  auto* text = new TextStore;
  doc_->SetText(text);
  text->Release();
  // Nodes and marks reach this far into the text.
  text->ExpectLength(maxOffset_);
  // The attribute lists' table is done with: it goes before the text
  // comes, so that the text's cache blocks may take its memory. Each block
  // of the file goes to the text whole: past the cache's room its whole
  // 4 KB blocks reach the cache file in one write.
  MemFree(lists_);
  lists_ = nullptr;
  bool ok = true;
  if (p_ != e_) {
    ok = text->Append(reinterpret_cast<const char*>(p_), std::size_t(e_ - p_));
    p_ = e_;
  }
  while (ok) {
    std::size_t n = 0;
    const std::uint8_t* block = in_.ReadBlock(&n, std::size_t(1) << 20);
    if (!block || n == 0) break;
    ok = text->Append(reinterpret_cast<const char*>(block), n);
  }
  if (!ok) return Fault();
  text->Close();
  return maxOffset_ <= text->Length();
}

// Kept instructions after the instance: DOCWEB names a web, "xml" switches
// the document to XML's names.
void Reader::ScanKeptMarkup() {
  bool xmlSeen = false;
  char span[kQsbStringMax + 1];
  for (Mark* m = doc_->firstKeptMarkup; m; m = m->next) {
    if (m->Kind() == kMarkProcessingInstruction) break;
    if (m->Kind() < kMarkKeptMarkupFirst || m->Kind() > kMarkKeptMarkupLast) continue;
    std::uint32_t end = m->GetEnd();
    if (end - m->Start() > kQsbStringMax) end = m->Start() + std::uint32_t(kQsbStringMax);
    doc_->Text()->CopyRange(span, m->Start(), end, false);
    if (CompareStringNoCaseMax(span, "docweb", 6) == 0) {
      const char* p = span + 6;
      const char* open = nullptr;
      while (*p && *p != '"' && *p != '\'') ++p;
      if (*p) open = p;
      const char* close = open ? std::strchr(open + 1, *open) : nullptr;
      if (close) {
            char file[kQsbStringMax + 1];
        std::size_t n = std::size_t(close - open - 1);
        std::memcpy(file, open + 1, n);
        file[n] = 0;
        auto* web = new ExternalId(GetEngine() ? GetEngine()->GetCatalog() : nullptr, baseDir_,
                                   nullptr, file, nullptr, ExternalId::kGeneralEntity);
        doc_->AddWebReference(web);
        web->Release();
      }
    } else if (!xmlSeen && span[0] == 'x' && span[1] == 'm' && span[2] == 'l' &&
               (span[3] == 0 || span[3] == ' ')) {
      xmlSeen = true;
      doc_->foldsNames = false;
    }
  }
}

Document* Reader::Run() {
  EngineBase* engine = GetEngine();
  id_ = new ExternalId(engine ? engine->GetCatalog() : nullptr, nullptr, nullptr, name_, publicId_,
                       ExternalId::kGeneralEntity);
  baseDir_ = id_->Location() ? id_->Location()->Directory() : nullptr;
  doc_ = new Document(id_);
  dtd_ = new Dtd();
  doc_->SetDtd(dtd_);
  bool ok = ReadHeader() && ReadAttributeDefinitions() && ReadNotations() && ReadElements() &&
            ReadEntities() && ReadTree() && ReadStyles() && ReadMarks() && ReadInstructions() &&
            ReadText();
  if (!ok || bad_) {
    doc_->Release();
    if (engine) engine->ReportError(kNotQsbFile);
    return nullptr;
  }
  if (engine) {
    EntityrcFile* entityrc = engine->GetEntityRc();
    ExternalId* doctype = doc_->DoctypeId();
    if (entityrc && doctype && doctype->PublicId()) {
      entityrc->GetResources(doctype, doc_->Resources(), true);
    }
  }
  ScanKeptMarkup();
  Document* done = doc_;
  doc_ = nullptr;
  return done;
}

}  // namespace

Document* ReadQsb(Stream& in, const char* name, const char* publicId) {
  if (!g_nameTable) g_nameTable = new NameTable();
  Reader reader(in, name, publicId);
  return reader.Run();
}

}  // namespace qs
