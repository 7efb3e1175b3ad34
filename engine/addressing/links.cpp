#include "addressing/links.h"

#include <cstring>
#include <string>
#include <vector>

#include "addressing/locations.h"
#include "addressing/locators.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "api/dialogs.h"
#include "api/node_ref.h"
#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/errors.h"
#include "foundation/handle_table.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/link_rules.h"
#include "sgml/text_store.h"

namespace qs {

namespace {

LinkViewHooks* g_hooks = nullptr;

enum : int { kErrCantResolveLink = 25, kErrNoLinkSources = 26 };

// Text into a buffer of a given size, cut at a character boundary when it
// does not fit, always terminated.
class TextOut {
 public:
  TextOut(char* buffer, std::size_t size) : buffer_(buffer), size_(size) {
    if (size_) buffer_[0] = '\0';
  }
  // Goes on after the text already in the buffer.
  static TextOut After(char* buffer, std::size_t size) {
    TextOut out(buffer, 0);
    out.size_ = size;
    out.length_ = size ? std::strlen(buffer) : 0;
    return out;
  }
  TextOut& Put(const char* text) { return Put(text, text ? std::strlen(text) : 0); }
  TextOut& Put(const char* text, std::size_t n) {
    if (size_ == 0 || full_) return *this;
    std::size_t room = size_ - 1 - length_;
    if (n > room) {
      n = room;
      while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
      full_ = true;
    }
    std::memcpy(buffer_ + length_, text, n);
    length_ += n;
    buffer_[length_] = '\0';
    return *this;
  }
  TextOut& Number(std::uint32_t n) {
    char text[16];
    FormatString(text, sizeof text, "%u", n);
    return Put(text);
  }
  // A word of a location string: bare when the reader reads it as one
  // word, else quoted.
  TextOut& Word(const char* word) {
    bool bare = word && *word;
    for (const char* p = word; bare && *p; ++p) {
      unsigned char c = static_cast<unsigned char>(*p);
      bare = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '.' || c == '-' || c == '_' || c == ':' || c == '\\' || c >= 0x80;
    }
    if (bare) return Put(word);
    const char* quote = word && std::strchr(word, '\'') ? "\"" : "'";
    return Put(quote).Put(word).Put(quote);
  }
  char* End() const { return buffer_ + length_; }

 private:
  char* buffer_;
  std::size_t size_;
  std::size_t length_ = 0;
  bool full_ = false;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The next blank-separated name of `text` (at most `capacity` - 1 bytes
// kept); the position after it.
const char* NextName(const char* text, char* out, std::size_t capacity) {
  while (*text && IsSpace(*text)) ++text;
  std::size_t n = 0;
  while (*text && !IsSpace(*text)) {
    if (n + 1 < capacity) out[n++] = *text;
    ++text;
  }
  out[n] = '\0';
  return text;
}

bool FormIs(const DocumentNode* element, const char* form) {
  const char* f = element ? element->GetHytimeForm() : nullptr;
  return f && CompareStringNoCase(f, form) == 0;
}

EntityDecl* ExternalEntity(Document* document, const char* name) {
  EntityDecl* entity = name && *name ? document->FindEntity(name) : nullptr;
  return entity && entity->IsExternal() ? entity : nullptr;
}

const char* DeclaredValueKeyword(std::uint8_t declared) {
  switch (declared) {
    case kDeclaredEntity: return "ENTITY";
    case kDeclaredEntities: return "ENTITIES";
    case kDeclaredId: return "ID";
    case kDeclaredIdref: return "IDREF";
    case kDeclaredIdrefs: return "IDREFS";
    case kDeclaredName: return "NAME";
    case kDeclaredNames: return "NAMES";
    case kDeclaredNmtoken: return "NMTOKEN";
    case kDeclaredNmtokens: return "NMTOKENS";
    case kDeclaredNumber: return "NUMBER";
    case kDeclaredNumbers: return "NUMBERS";
    case kDeclaredNutoken: return "NUTOKEN";
    case kDeclaredNutokens: return "NUTOKENS";
    case kDeclaredNotation: return "NOTATION";
    case kDeclaredCdata: return "CDATA";
    default: return nullptr;
  }
}

// ---- The targets ------------------------------------------------------------

class DocumentTarget : public LinkTarget {
 public:
  using LinkTarget::LinkTarget;
  void Follow() override {
    DataRange* range = MakeRange(nullptr);
    if (!range) {
      ReportError(kErrCantResolveLink);
      return;
    }
    const DocumentNode* root = range->document->Root();
    bool whole = range->element == root && root && range->start == root->start &&
                 range->end == root->end;
    ShowTargetRange(view_, range->document, range->start,
                    whole || range->end < range->start ? 0 : range->end - range->start);
    delete range;
  }
};

class ElementTarget : public DocumentTarget {
 public:
  ElementTarget(View* view, Document* document, DocumentNode* element, DocumentNode* target)
      : DocumentTarget(view, document, element), target_(target) {}
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut out(buffer, size);
    if (const char* id = target_->GetId()) {
      out.Put("ID ").Word(id);
      return buffer;
    }
    // Without an ID the place is named by its extended pointer.
    char* pointer = static_cast<char*>(MemAlloc(kLocationAreaSize));
    if (!pointer) return buffer;
    WriteTreeLocation(pointer, kLocationAreaSize, target_);
    out.Put("TEI ").Put(pointer);
    MemFree(pointer);
    return buffer;
  }
  DataRange* MakeRange(DataRange* range) override {
    if (!range) return NewRange(document_, target_);
    range->Repoint(document_, target_);
    return range;
  }

 protected:
  DocumentNode* target_;
};

// An element that refers to the element whose sources were asked for.
class TeiTarget : public ElementTarget {
 public:
  using ElementTarget::ElementTarget;
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut out(buffer, size);
    char* pointer = static_cast<char*>(MemAlloc(kLocationAreaSize));
    if (!pointer) return buffer;
    WriteTreeLocation(pointer, kLocationAreaSize, target_);
    out.Put("TEI ").Put(pointer);
    MemFree(pointer);
    return buffer;
  }
};

class BadRefTarget : public DocumentTarget {
 public:
  BadRefTarget(View* view, Document* document, DocumentNode* element, const char* id)
      : DocumentTarget(view, document, element), id_(DuplicateString(id)) {}
  ~BadRefTarget() override { MemFree(id_); }
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut(buffer, size).Put("BADREF ").Word(id_ ? id_ : "");
    return buffer;
  }
  DataRange* MakeRange(DataRange* range) override {
    delete range;
    return nullptr;
  }

 private:
  char* id_;
};

class DocTarget : public DocumentTarget {
 public:
  DocTarget(View* view, Document* document, DocumentNode* element, EntityDecl* entity)
      : DocumentTarget(view, document, element), entity_(entity->AddRef()) {}
  ~DocTarget() override { entity_->Release(); }
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut(buffer, size).Put("DOC ").Word(entity_->GetName());
    return buffer;
  }
  DataRange* MakeRange(DataRange* range) override {
    DocumentCache* documents = EngineDocuments();
    Document* opened = documents ? documents->Get(entity_->GetExternalId()) : nullptr;
    DocumentNode* element = opened ? Element(opened) : nullptr;
    if (!element) {
      if (opened) opened->Release();
      delete range;
      return nullptr;
    }
    if (range) range->Repoint(opened, element);
    else range = NewRange(opened, element);
    opened->Release();
    return range;
  }

 protected:
  virtual DocumentNode* Element(Document* opened) const { return opened->Root(); }
  EntityDecl* entity_;
};

class DocIdTarget : public DocTarget {
 public:
  DocIdTarget(View* view, Document* document, DocumentNode* element, EntityDecl* entity,
              const char* id)
      : DocTarget(view, document, element, entity), id_(DuplicateString(id)) {}
  ~DocIdTarget() override { MemFree(id_); }
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut(buffer, size).Put("DOC ").Word(entity_->GetName()).Put(" ID ").Word(id_ ? id_ : "");
    return buffer;
  }

 protected:
  DocumentNode* Element(Document* opened) const override {
    return id_ ? FindElementByIdText(opened, id_) : nullptr;
  }

 private:
  char* id_;
};

// A target reached from a source target by place numbers.
class TreeTarget : public DocumentTarget {
 public:
  TreeTarget(View* view, Document* document, DocumentNode* element, LinkTarget* source,
             const std::uint16_t* numbers, std::size_t count)
      : DocumentTarget(view, document, element), source_(source) {
    for (; count_ < count && count_ < kMaxLocatorNumbers; ++count_) numbers_[count_] = numbers[count_];
  }
  ~TreeTarget() override { delete source_; }
  char* WriteLocation(char* buffer, std::size_t size) const override {
    source_->WriteLocation(buffer, size);
    TextOut out = TextOut::After(buffer, size);
    out.Put(" TREE(");
    for (std::size_t i = 0; i < count_; ++i) {
      if (i) out.Put(" ");
      out.Number(numbers_[i]);
    }
    out.Put(")");
    return buffer;
  }
  DataRange* MakeRange(DataRange* range) override {
    range = source_->MakeRange(range);
    if (!range) return nullptr;
    TreeWalker walker(range->document, range->element);
    if (!FollowTreePath(&walker, numbers_, count_)) {
      delete range;
      return nullptr;
    }
    range->element = walker.Current();
    walker.GetRange(&range->start, &range->end);
    return range;
  }

 private:
  LinkTarget* source_;
  std::uint16_t numbers_[kMaxLocatorNumbers] = {};
  std::size_t count_ = 0;
};

// Words counted from a source target's place.
class DataTarget : public DocumentTarget {
 public:
  DataTarget(View* view, Document* document, DocumentNode* element, LinkTarget* source,
             std::uint16_t start, std::uint16_t count)
      : DocumentTarget(view, document, element), source_(source), start_(start), count_(count) {}
  ~DataTarget() override { delete source_; }
  char* WriteLocation(char* buffer, std::size_t size) const override {
    source_->WriteLocation(buffer, size);
    TextOut out = TextOut::After(buffer, size);
    out.Put(" DATA(").Number(start_);
    if (count_) out.Put(" ").Number(count_);
    out.Put(")");
    return buffer;
  }
  DataRange* MakeRange(DataRange* range) override {
    range = source_->MakeRange(range);
    if (!range) return nullptr;
    // Words count from the element's start, or the document's in a gap, as
    // the location strings' DATA term counts them.
    const DocumentNode* from = range->element ? range->element : range->document->Root();
    if (!from || !SelectWords(range->document, from->start, start_, count_, &range->start,
                              &range->end)) {
      delete range;
      return nullptr;
    }
    return range;
  }

 private:
  LinkTarget* source_;
  std::uint16_t start_, count_;
};

// An area of a graphic named by a hotspot element.
class FigureTarget : public LinkTarget {
 public:
  FigureTarget(View* view, Document* document, DocumentNode* element, DocumentNode* hotspot,
               EntityDecl* graphic)
      : LinkTarget(view, document, element), hotspot_(hotspot), graphic_(graphic->AddRef()) {}
  ~FigureTarget() override { graphic_->Release(); }
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut out(buffer, size);
    out.Put("FIG ").Word(graphic_->GetName());
    static constexpr const char* kNames[] = {"RX", "RY", "RW", "RH", "ZOOM"};
    static constexpr const char* kDefaults[] = {"0", "0", "2048", "2048", "0"};
    for (int i = 0; i < 5; ++i) {
      const char* value = hotspot_->GetAttributeValue(kNames[i]);
      out.Put(" ").Word(value && *value ? value : kDefaults[i]);
    }
    return buffer;
  }
  void Follow() override {
    auto number = [&](const char* name, std::int32_t fallback) {
      const char* value = hotspot_->GetAttributeValue(name);
      return value && *value ? ParseLong(value) : fallback;
    };
    // Kept inside the graphic as hotspots are.
    std::int32_t x = number("RX", 0), y = number("RY", 0);
    std::int32_t w = number("RW", kHotspotUnits), h = number("RH", kHotspotUnits);
    HotspotArea area;
    area.x = static_cast<std::int16_t>(x < 0 ? 0 : x > kHotspotUnits - 1 ? kHotspotUnits - 1 : x);
    area.y = static_cast<std::int16_t>(y < 0 ? 0 : y > kHotspotUnits - 1 ? kHotspotUnits - 1 : y);
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    if (std::int64_t(area.x) + w > kHotspotUnits) w = kHotspotUnits - area.x;
    if (std::int64_t(area.y) + h > kHotspotUnits) h = kHotspotUnits - area.y;
    area.width = static_cast<std::int16_t>(w);
    area.height = static_cast<std::int16_t>(h);
    area.zoom = ParseHotspotZoom(hotspot_->GetAttributeValue("ZOOM"));
    if (EngineBase* engine = GetEngine())
      engine->GotoLocation(view_, document_, element_, graphic_, area);
  }

 private:
  DocumentNode* hotspot_;
  EntityDecl* graphic_;
};

// Attribute display items: a specified value, or a declaration.
class AttributeItem : public LinkTarget {
 public:
  AttributeItem(View* view, Document* document, DocumentNode* element, AttributeDecl* decl,
                const char* name, const char* value)
      : LinkTarget(view, document, element), decl_(decl), name_(name), value_(value) {}
  char* WriteLocation(char* buffer, std::size_t size) const override {
    TextOut out(buffer, size);
    out.Put(name_ ? name_ : "");
    if (value_) {
      // Long values are cut at 100 bytes, never inside a character.
      std::size_t n = std::strlen(value_);
      if (n > kValueRoom) {
        n = kValueRoom;
        while (n > 0 && (static_cast<unsigned char>(value_[n]) & 0xC0) == 0x80) --n;
      }
      out.Put("=\"").Put(value_, n).Put("\"");
    } else {
      out.Put(" <IMPLIED>");
    }
    if (decl_) {
      if (const char* keyword = DeclaredValueKeyword(decl_->DeclaredValue()))
        out.Put(" [").Put(keyword).Put("]");
      if (decl_->DefaultKind() == kDefaultConref) out.Put(" #CONREF");
    }
    return buffer;
  }
  void Follow() override {}

 private:
  static constexpr std::size_t kValueRoom = 100;
  AttributeDecl* decl_;
  const char* name_;
  const char* value_;
};

// ---- Collecting targets -------------------------------------------------------

constexpr int kMaxLocatorDepth = 64;

struct Collector {
  View* view;
  Document* document;
  DocumentNode* element;

  void Add(LinkTargetList* list, LinkTarget* target) { list->Append(target); }
  void AddElement(LinkTargetList* list, DocumentNode* target) {
    Add(list, new ElementTarget(view, document, element, target));
  }

  // Reads a locator element into the list. `chain` holds the locators
  // whose sources led here: a source met again names nothing.
  void ReadLocator(DocumentNode* locator, LinkTargetList* list, DocumentNode** chain, int depth);
  void ReadNameLocator(DocumentNode* locator, LinkTargetList* list);
  void ReadPlaceLocator(DocumentNode* locator, LinkTargetList* list, DocumentNode** chain,
                        int depth, bool data);
};

void Collector::ReadNameLocator(DocumentNode* locator, LinkTargetList* list) {
  const char* nametype = locator->GetAttributeValue("NAMETYPE");
  bool entities = !nametype || CompareStringNoCase(nametype, "ENTITY") == 0;
  bool elements = nametype && CompareStringNoCase(nametype, "ELEMENT") == 0;
  if (!entities && !elements) return;
  char* text = static_cast<char*>(MemAlloc(4096));
  if (!text) return;
  ElementData(document, locator, text, 4096);
  EntityDecl* docorsub = elements ? ExternalEntity(document, locator->GetAttributeValue("DOCORSUB")) : nullptr;
  char name[kLocatorIdSize];
  for (const char* p = NextName(text, name, sizeof name); name[0];
       p = NextName(p, name, sizeof name)) {
    if (entities) {
      if (EntityDecl* entity = ExternalEntity(document, name))
        Add(list, new DocTarget(view, document, element, entity));
      else
        AddElement(list, locator);
    } else if (docorsub) {
      if (document->foldsNames)
        for (char* c = name; *c; ++c) *c = ToUpperAscii(*c);
      Add(list, new DocIdTarget(view, document, element, docorsub, name));
    } else if (DocumentNode* target = FindElementByIdText(document, name)) {
      AddElement(list, target);
    }
  }
  MemFree(text);
}

void Collector::ReadPlaceLocator(DocumentNode* locator, LinkTargetList* list, DocumentNode** chain,
                                 int depth, bool data) {
  std::uint16_t numbers[kMaxLocatorNumbers];
  std::size_t count;
  if (DocumentNode* child = locator->First()) {
    if (!FormIs(child, data ? "DIMLIST" : "MARKLIST")) {
      AddElement(list, locator);
      return;
    }
    count = ReadNumberList(document, child, numbers);
  } else {
    count = ReadNumberList(document, locator, numbers);
  }
  if (data ? count != 2 : count == 0) return;
  const char* locsrc = locator->GetAttributeValue("LOCSRC");
  DocumentNode* source = locsrc ? FindElementByIdText(document, locsrc) : document->Root();
  if (!source || depth + 1 >= kMaxLocatorDepth) return;
  chain[depth] = locator;
  for (int i = 0; i <= depth; ++i)
    if (chain[i] == source) return;
  LinkTargetList sources("tmp", nullptr);
  ReadLocator(source, &sources, chain, depth + 1);
  while (auto* target = static_cast<LinkTarget*>(sources.PopFirst())) {
    if (data)
      Add(list, new DataTarget(view, document, element, target, numbers[0], numbers[1]));
    else
      Add(list, new TreeTarget(view, document, element, target, numbers, count));
  }
}

void Collector::ReadLocator(DocumentNode* locator, LinkTargetList* list, DocumentNode** chain,
                            int depth) {
  if (FormIs(locator, "NAMELOC")) return ReadNameLocator(locator, list);
  if (FormIs(locator, "TREELOC")) return ReadPlaceLocator(locator, list, chain, depth, false);
  if (FormIs(locator, "DATALOC")) return ReadPlaceLocator(locator, list, chain, depth, true);
  const char* form = locator->GetAttributeValue("QUENDA-AF");
  if (form && CompareStringNoCase(form, "HOTSPOT") == 0) {
    EntityDecl* graphic = ExternalEntity(document, locator->GetAttributeValue("GRAPHIC"));
    if (graphic && graphic->GetNotation()) {
      Add(list, new FigureTarget(view, document, element, locator, graphic));
      return;
    }
  }
  AddElement(list, locator);
}

LinkTargetList* NewList(int titleId, const char* fallback) {
  char buffer[512];
  EngineBase* engine = GetEngine();
  const char* title = engine ? engine->GetString(titleId, buffer) : nullptr;
  return new LinkTargetList(nullptr, title ? title : fallback);
}

std::size_t CountTargets(const LinkTargetList* list) {
  std::size_t n = 0;
  for (SListNode* t = list->First(); t; t = t->Next()) ++n;
  return n;
}

// One target is followed, several offered, none reported.
void Offer(View* view, Document* document, DocumentNode* element, LinkTargetList* list,
           int noneError) {
  std::size_t count = CountTargets(list);
  EngineBase* engine = GetEngine();
  if (count == 0) {
    delete list;
    ReportError(noneError);
    return;
  }
  if (count > 1) {
    if (engine) engine->ShowTextList(0, view, document, element, list);
    else delete list;
    return;
  }
  static_cast<LinkTarget*>(list->First())->Follow();
  delete list;
}

bool TokenEquals(const Document* document, const char* a, std::size_t n, const char* b) {
  if (std::strlen(b) != n) return false;
  return document->foldsNames ? CompareStringNoCaseMax(a, b, n) == 0 : std::strncmp(a, b, n) == 0;
}

// Whether a blank-separated token of `value` is `id`.
bool NamesId(const Document* document, const char* value, const char* id) {
  for (const char* p = value; *p;) {
    while (*p && IsSpace(*p)) ++p;
    const char* start = p;
    while (*p && !IsSpace(*p)) ++p;
    if (p > start && TokenEquals(document, start, std::size_t(p - start), id)) return true;
  }
  return false;
}

// A node handle for an event: a node reference on (document, node), or 0.
Handle NodeHandle(HostedEngine* engine, Document* document, DocumentNode* node) {
  if (!engine->handles || !document) return 0;
  auto* ref = new NodeRef(document, node);
  Handle handle = engine->handles->RegisterNode(ref);
  if (!handle) delete ref;
  return handle;
}

}  // namespace

// ---- DataRange, LinkTarget ------------------------------------------------------

DataRange::DataRange(View* view, Document* fromDocument, DocumentNode* fromElement,
                     Document* document, DocumentNode* element)
    : view(view), fromDocument(fromDocument), fromElement(fromElement) {
  Repoint(document, element);
}

DataRange::~DataRange() {
  if (document) document->Release();
}

void DataRange::Repoint(Document* newDocument, DocumentNode* newElement) {
  if (newDocument) newDocument->AddRef();
  if (document) document->Release();
  document = newDocument;
  element = newElement ? newElement : newDocument ? newDocument->Root() : nullptr;
  start = element ? element->start : 0;
  end = element ? element->end : 0;
}

LinkViewHooks* SetLinkViewHooks(LinkViewHooks* hooks) {
  LinkViewHooks* previous = g_hooks;
  g_hooks = hooks;
  return previous;
}

LinkTarget::LinkTarget(View* view, Document* document, DocumentNode* element)
    : view_(view), document_(document ? document->AddRef() : nullptr), element_(element) {}

LinkTarget::~LinkTarget() {
  if (document_) document_->Release();
}

char* LinkTarget::WriteLocation(char* buffer, std::size_t size) const {
  TextOut(buffer, size).Put("<default>");
  return buffer;
}

void LinkTarget::Follow() {}

DataRange* LinkTarget::MakeRange(DataRange* range) {
  delete range;
  return nullptr;
}

DataRange* LinkTarget::NewRange(Document* document, DocumentNode* element) const {
  if (!document) return nullptr;
  return new DataRange(view_, document_, element_, document, element);
}

// ---- Paths and shows -----------------------------------------------------------------

bool FollowTreePath(TreeWalker* walker, const std::uint16_t* numbers, std::size_t count) {
  if (count == 0) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (numbers[i] < 1) return false;
    if (i && !walker->MoveToFirstChild()) return false;
    for (std::uint16_t step = 1; step < numbers[i]; ++step)
      if (!walker->MoveNext()) return false;
  }
  return true;
}

void ShowTargetRange(View* view, Document* document, std::uint32_t start, std::uint32_t length) {
  if (view && g_hooks && g_hooks->ShowRange(view, document, start, length)) return;
  if (EngineBase* engine = GetEngine())
    engine->GotoPosition(0, view, document, static_cast<std::int32_t>(start),
                         static_cast<std::int32_t>(length), 0);
}

int EngineBase::GotoLocation(View* view, Document* document, DocumentNode* element,
                             EntityDecl* graphic, const HotspotArea& area) {
  // Without a picture to show it in, a view given may show the area.
  return view && g_hooks ? g_hooks->ShowHotArea(view, document, element, graphic, area) : 0;
}

// ---- Following ------------------------------------------------------------------------

LinkTargetList* CollectLinkTargets(View* view, Document* document, DocumentNode* element,
                                   bool includeAncestors) {
  LinkTargetList* list = NewList(kStrSelectTarget, "Select Target");
  if (!document || !element) return list;
  Collector collector{view, document, element};
  DocumentNode* chain[kMaxLocatorDepth];
  for (DocumentNode* e = element; e; e = includeAncestors ? e->Parent() : nullptr) {
    bool clink = FormIs(e, "CLINK");
    ListHead references;
    e->CollectIdRefs(references);
    for (ListNode* n = references.First(); n; n = n->Next()) {
      const char* name = static_cast<StringItem*>(n)->Text();
      if (!name || !*name) continue;
      DocumentNode* target = FindElementByIdText(document, name);
      if (!target)
        collector.Add(list, new BadRefTarget(view, document, element, name));
      else if (!clink)
        collector.AddElement(list, target);
      else
        collector.ReadLocator(target, list, chain, 0);
    }
  }
  return list;
}

void FollowLink(View* view, Document* document, DocumentNode* element, bool includeAncestors) {
  if (!document || !element) return;
  if (view && g_hooks) {
    if (g_hooks->FollowLink(view, document, element, nullptr)) return;
    for (DocumentNode* e = element; e; e = e->Parent()) {
      const LinkRule* rule = (e->flags & kNodeLinkSource) ? document->FindLinkRule(e) : nullptr;
      if (rule && g_hooks->FollowLink(view, document, e, rule)) return;
    }
  }
  Offer(view, document, element, CollectLinkTargets(view, document, element, includeAncestors),
        kErrCantResolveLink);
}

LinkTargetList* CollectLinkSources(View* view, Document* document, DocumentNode* element) {
  LinkTargetList* list = NewList(kStrSelectTarget, "Select Target");
  const char* id = element ? element->GetId() : nullptr;
  if (!document || !id || !document->Root()) return list;
  // Every element in document order, without recursion.
  for (DocumentNode* e = document->Root(); e;) {
    if (Attribute* const* values = e->GetAttributeValues()) {
      for (; *values; ++values) {
        const AttributeDecl* decl = (*values)->decl;
        const char* value = (*values)->Value();
        if (!decl || !value) continue;
        if (decl->DeclaredValue() != kDeclaredIdref && decl->DeclaredValue() != kDeclaredIdrefs)
          continue;
        if (NamesId(document, value, id)) list->Append(new TeiTarget(view, document, element, e));
      }
    }
    if (e->First()) {
      e = e->First();
      continue;
    }
    while (e && !e->Next()) e = e->Parent();
    if (e) e = e->Next();
  }
  return list;
}

void FollowLinkSources(View* view, Document* document, DocumentNode* element) {
  const char* id = element ? element->GetId() : nullptr;
  if (!document || !id || !document->Root()) return;
  Offer(view, document, element, CollectLinkSources(view, document, element), kErrNoLinkSources);
}

LinkTargetList* ListElementAttributes(View* view, Document* document, DocumentNode* element) {
  // The title: the engine's text with the element's name for its "%s".
  char format[512], title[1024];
  EngineBase* engine = GetEngine();
  const char* text = engine ? engine->GetString(kStrAttributesTitle, format) : nullptr;
  if (!text) text = "Attributes for <%s>";
  const char* name = element ? element->GetNameText() : "";
  TextOut out(title, sizeof title);
  if (const char* at = std::strstr(text, "%s")) {
    out.Put(text, std::size_t(at - text)).Put(name ? name : "").Put(at + 2);
  } else {
    out.Put(text);
  }
  auto* list = new LinkTargetList(title, nullptr);
  if (!element) return list;
  Attribute* const* values = element->GetAttributeValues();
  std::size_t specified = 0;
  for (Attribute* const* v = values; v && *v; ++v, ++specified)
    list->Append(new AttributeItem(view, document, element, (*v)->decl, (*v)->GetName(),
                                   (*v)->Value()));
  if (!element->Decl()) return list;
  const AttributeDeclSet& decls = element->Decl()->Attributes();
  for (std::size_t i = 0; i < decls.Count(); ++i) {
    AttributeDecl* decl = decls.At(i);
    const char* declName = decl ? decl->NameText() : nullptr;
    if (!declName) continue;
    bool given = false;
    for (std::size_t k = 0; k < specified && !given; ++k)
      given = values[k]->GetName() && std::strcmp(values[k]->GetName(), declName) == 0;
    if (!given)
      list->Append(new AttributeItem(view, document, element, decl, declName,
                                     element->GetAttributeValue(declName)));
  }
  return list;
}

std::size_t FindMarkedRanges(const Document* document, const char* startMarker,
                             const char* endMarker,
                             void (*add)(void* context, std::uint32_t start, std::uint32_t end),
                             void* context) {
  const TextStore* text = document ? document->Text() : nullptr;
  if (!text || !startMarker || !endMarker) return 0;
  // A mark's text that does not fit the work buffer equals no marker.
  constexpr std::size_t kRoom = 4092;
  char* buffer = static_cast<char*>(MemAlloc(kRoom));
  if (!buffer) return 0;
  std::size_t count = 0;
  bool open = false;
  std::uint32_t from = 0;
  for (const Mark* mark = document->FirstMark(); mark; mark = mark->next) {
    if (mark->Kind() != kMarkProcessingInstruction) continue;
    std::uint32_t start = mark->Start(), end = mark->GetEnd();
    if (end < start || end - start > kRoom - 1) continue;
    text->CopyRange(buffer, start, end, true);
    if (!open && std::strcmp(buffer, startMarker) == 0) {
      open = true;
      from = end;
    } else if (open && std::strcmp(buffer, endMarker) == 0) {
      open = false;
      if (add) add(context, from, start);
      ++count;
    }
  }
  MemFree(buffer);
  return count;
}

// ---- Lists offered to the user ---------------------------------------------------------

namespace {

// A list of targets as the lines of the engine's list dialog: each line is
// its target's list text, the caption the list's title, and choosing a
// line follows its target (attribute lines have nowhere to go).
class TargetLines : public ListDialogItems {
 public:
  explicit TargetLines(LinkTargetList* list) : title_(list->Title()) {
    char text[kTargetTextSize];
    for (SListNode* t = list->First(); t; t = t->Next()) {
      auto* target = static_cast<LinkTarget*>(t);
      target->WriteLocation(text, sizeof text);
      lines_.push_back({target, text});
    }
  }
  int Count() const override { return static_cast<int>(lines_.size()); }
  const char* Text(int index) const override {
    return index >= 0 && index < Count() ? lines_[static_cast<std::size_t>(index)].text.c_str() : "";
  }
  void Choose(int index) override {
    if (index >= 0 && index < Count()) lines_[static_cast<std::size_t>(index)].target->Follow();
  }
  const char* Title() const override { return title_ && *title_ ? title_ : nullptr; }

 private:
  struct Line {
    LinkTarget* target;
    std::string text;
  };
  const char* title_;
  std::vector<Line> lines_;
};

void ShowTargetsInDialog(EngineBase* engine, WindowHandle owner, LinkTargetList* list) {
  if (list && !list->IsEmpty()) {
    TargetLines lines(list);
    engine->ShowListDialog(owner, &lines);
  }
  delete list;
}

}  // namespace

void EngineBase::ShowNodeList(WindowHandle owner, View*, Document*, DocumentNode*,
                              LinkTargetList* list) {
  ShowTargetsInDialog(this, owner, list);
}

void EngineBase::ShowTextList(WindowHandle owner, View*, Document*, DocumentNode*,
                              LinkTargetList* list) {
  ShowTargetsInDialog(this, owner, list);
}

void HostedEngine::ShowNodeList(WindowHandle owner, View* view, Document* document,
                                DocumentNode* node, LinkTargetList* list) {
  Handle handle = NodeHandle(this, document, node);
  std::intptr_t answer = RaiseEvent(owner, kEventNodeList, handle, 0);
  if (handle) handles->Release(handle);
  if (answer) {
    delete list;
    return;
  }
  Engine::ShowNodeList(owner, view, document, node, list);
}

void HostedEngine::ShowTextList(WindowHandle owner, View* view, Document* document,
                                DocumentNode* node, LinkTargetList* list) {
  // The items' texts, as copies in an array ended by a null pointer.
  std::size_t count = list ? CountTargets(list) : 0;
  auto** texts = static_cast<char**>(MemAlloc((count + 1) * sizeof(char*)));
  if (texts) {
    std::size_t i = 0;
    for (SListNode* t = list ? list->First() : nullptr; t; t = t->Next()) {
      char* text = static_cast<char*>(MemAlloc(kTargetTextSize));
      if (!text) break;
      static_cast<LinkTarget*>(t)->WriteLocation(text, kTargetTextSize);
      texts[i++] = text;
    }
    texts[i] = nullptr;
  }
  Handle handle = NodeHandle(this, document, node);
  std::intptr_t answer = RaiseEvent(owner, kEventTextList, handle,
                                    reinterpret_cast<std::intptr_t>(texts));
  if (handle) handles->Release(handle);
  if (texts) {
    for (char** t = texts; *t; ++t) MemFree(*t);
    MemFree(texts);
  }
  if (answer) {
    delete list;
    return;
  }
  Engine::ShowTextList(owner, view, document, node, list);
}

}  // namespace qs
