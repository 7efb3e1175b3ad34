// The compiled-document reader. It checks everything it reads: counts
// against what follows, indexes against their tables, type bytes against
// the known kinds, strings against kQsbStringMax, every offset against the
// text that ends the file, nodes inside their parents and after their
// previous siblings, marks in order, and the tree's depth. The first fault
// abandons the whole document.
#include <cstring>
#include <new>

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
  std::uint8_t Byte() {
    if (p_ == e_ && !Fill()) return 0;
    return *p_++;
  }
  unsigned U16() {
    unsigned hi = Byte();
    return (hi << 8) | Byte();
  }
  std::uint32_t U24() {
    std::uint32_t hi = Byte();
    return (hi << 16) | U16();
  }
  // Into buffer_; false (input bad) when it runs past kQsbStringMax bytes.
  const char* String() {
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
  CarriedStyleTable* styles_ = nullptr;
  std::size_t styleCount_ = 0;
  std::uint32_t maxOffset_ = 0;
};

Reader::~Reader() {
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
  for (unsigned i = 0; i < n; ++i) {
    unsigned index = U16();
    if (bad_ || index >= attributes_.Count()) return fail();
    const char* text = String();
    if (!text) return fail();
    InternedName* value = InternName(text);
    if (!value) return fail();
    Attribute* v = inPool ? doc_->NewAttribute(attributes_.At(index), value)
                          : NewAttributeValue(attributes_.At(index), value);
    ReleaseName(value);
    if (!v) return fail();
    values[i] = v;
  }
  if (inPool) {
    values = doc_->ShareAttributeArray(local, n);
    if (!values) return Fault();
  }
  *out = values;
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
  unsigned typeIndex = U16();
  std::uint32_t start = U24();
  std::uint32_t end = U24();
  std::uint8_t extra = Byte();
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
    if ((flags & 0x01) && !ReadAttributeList(true, &values)) return nullptr;
    const char* id = nullptr;
    if (values) {
      for (Attribute** v = values; *v; ++v) {
        if ((*v)->decl->DeclaredValue() == kDeclaredId) {
          id = (*v)->Value();
          break;
        }
      }
    }
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
  doc_->NoteTypeUse(type);
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
    flags = Byte();
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
  if (p_ != e_) {
    if (!text->Append(reinterpret_cast<const char*>(p_), std::size_t(e_ - p_))) return Fault();
    p_ = e_;
  }
  for (;;) {
    std::size_t n = 0;
    const std::uint8_t* block = in_.ReadBlock(&n, std::size_t(1) << 20);
    if (!block || n == 0) break;
    if (!text->Append(reinterpret_cast<const char*>(block), n)) return Fault();
  }
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
