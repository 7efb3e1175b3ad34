// The web object: reading a parsed web file, editing, the scratch store of
// edited texts, writing the file, and the engine's list of open webs.
#include "addressing/web.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "addressing/locators.h"
#include "api/interface.h"
#include "foundation/engine.h"
#include "foundation/engine_lists.h"
#include "foundation/file.h"
#include "foundation/handle_table.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/catalog.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/parser.h"
#include "sgml/parser_report.h"
#include "view/host_documents.h"

namespace qs {

namespace {

constexpr char kSgmlNotationId[] =
    "+//ISO 8879:1986//NOTATION STANDARD GENERALIZED MARKUP LANGUAGE//EN";
const char* const kIconNames[3] = {"NoteIcon", "BkmkIcon", "LinkIcon"};
// The most locators an anchor's chain may hold before it is refused.
constexpr int kMaxChain = 16;

const char kFixedDeclarations[] =
    "\n<!ATTLIST dataloc\n\tHyTime NAME dataloc\n\tid ID #REQUIRED\n\tlocsrc IDREF "
    "#IMPLIED\n\tquantum (norm) norm\n\tnarrow CDATA #IMPLIED>\n<!ATTLIST hotspot\n\tquenda-af "
    "NAME hotspot\n\tid ID #IMPLIED\n\tgraphic ENTITY #REQUIRED\n\tshape CDATA #IMPLIED\n\tline "
    "CDATA #IMPLIED\n\trx NUMBER '0'\n\try NUMBER '0'\n\trw NUMBER '2048'\n\trh NUMBER "
    "'2048'\n\tzoom NUMBER '0'>\n<!ELEMENT hotpoly (#PCDATA)>\n<!ATTLIST hotpoly\n\tquenda-af "
    "NAME hotspot\n\tid ID #IMPLIED\n\tgraphic ENTITY #REQUIRED\n\tshape CDATA "
    "'#POLYGON'\n\tline CDATA #IMPLIED\n\trx NUMBER '0'\n\try NUMBER '0'\n\trw NUMBER "
    "'2048'\n\trh NUMBER '2048'\n\tzoom NUMBER '0'>\n";

bool Is(const DocumentNode* node, const char* name) {
  const char* text = node ? node->GetNameText() : nullptr;
  return text && CompareStringNoCase(text, name) == 0;
}

// Calls `visit` for every element of the subtree, in document order.
template <class F>
void ForEachElement(DocumentNode* root, F visit) {
  for (DocumentNode* node = root; node;) {
    visit(node);
    if (node->First()) {
      node = node->First();
      continue;
    }
    while (node && node != root && !node->Next()) node = node->Parent();
    if (!node || node == root) break;
    node = node->Next();
  }
}

// An anchor read from the file, by the ID it has there.
class IdItem : public HashItem {
 public:
  IdItem(const char* id, Anchor* anchor) : key_(DuplicateString(id)), anchor(anchor) {}
  ~IdItem() override { MemFree(key_); }
  const char* GetKey() const override { return key_; }
  std::size_t GetKeyLength() const override { return GetStringLength(key_); }
  char* key_;
  Anchor* anchor;
};

Anchor* FindId(HashTable& ids, const char* id) {
  auto* item = static_cast<IdItem*>(ids.Find(id, GetStringLength(id)));
  return item ? item->anchor : nullptr;
}

// A notation to declare, once per name.
class NotationItem : public HashItem {
 public:
  explicit NotationItem(NotationDecl* n) : notation(n) {}
  const char* GetKey() const override { return notation->Name(); }
  std::size_t GetKeyLength() const override { return GetStringLength(notation->Name()); }
  NotationDecl* notation;
};

// The web file's names and titles: a carriage return dropped, "&" and "<"
// followed by an empty comment so that the parser reads them as data.
void PutMarkedText(TextWriter& out, const char* text) {
  for (const char* p = text; p && *p; ++p) {
    if (*p == '\r') continue;
    out.PutChar(static_cast<std::uint8_t>(*p));
    if (*p == '&' || *p == '<') out.PutString("<!>");
  }
}

void PutExternalId(TextWriter& out, const char* systemId, const char* publicId) {
  if (publicId) {
    out.PutString("PUBLIC ");
    out.PutQuoted(publicId);
  } else {
    out.PutString("SYSTEM");
  }
  if (systemId) {
    out.PutChar(' ');
    out.PutQuoted(systemId);
  }
}

// The length of the directory part of a path (through its last separator).
std::size_t DirectoryLength(const char* path) {
  std::size_t n = 0;
  for (std::size_t i = 0; path[i]; ++i)
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') n = i + 1;
  return n;
}

bool ParseTwoNumbers(const char* text, int* a, int* b) {
  *a = *b = 0;
  if (!text) return false;
  int values[2] = {0, 0};
  int count = 0;
  const char* p = text;
  while (*p && count < 2) {
    while (*p == ' ') ++p;
    if (!*p) break;
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p) break;
    if (v < 0) v = 0;
    if (v > 0xFFFF) v = 0xFFFF;
    values[count++] = static_cast<int>(v);
    p = end;
  }
  *a = values[0];
  *b = values[1];
  return count > 0;
}

int AttributeNumber(DocumentNode* node, const char* name, int fallback) {
  const char* text = node->GetAttributeValue(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text) return fallback;
  if (v < -100000) v = -100000;
  if (v > 100000) v = 100000;
  return static_cast<int>(v);
}

void ForgetHandle(const void* object) {
  EngineBase* engine = GetEngine();
  HostedEngine* hosted = engine ? engine->AsHosted() : nullptr;
  if (hosted && hosted->handles) hosted->handles->Forget(object);
}

}  // namespace

// ---- Life --------------------------------------------------------------------------

Web::Web(Document* parsed, ExternalId* source) : source_(source ? source->AddRef() : nullptr) {
  if (parsed) Read(parsed);
}

Web::Web(ExternalId* source) : source_(source ? source->AddRef() : nullptr) {
  // Parsed as the opening exports parse webs: through the engine's catalog
  // and ENTITYRC file, whose VERBATIM entry keeps the line ends of notes.
  Document* parsed = nullptr;
  if (source) {
    auto* parser = new ReportingParser(nullptr, 0, nullptr, nullptr);
    parser->ParseSource(source, false);
    if (!parser->Stopped() && parser->GetDocument()) parsed = parser->GetDocument()->AddRef();
    delete parser;
  }
  if (!parsed) {
    ReportError(35);
    unreadable_ = true;
    return;
  }
  Read(parsed);
  parsed->Release();
}

Web::~Web() {
  // What the documents' indexes and the host's handles hold of the anchors
  // goes first, without a word to the host for each anchor.
  for (WebEntry* entry = FirstEntry(); entry; entry = static_cast<WebEntry*>(entry->Next())) {
    for (Anchor* a = entry->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next())) {
      a->Unmark();
      ForgetHandle(a);
    }
  }
  if (EngineBase* engine = GetEngine()) engine->WebClosing(this);
  bookmarks_.DeleteAll();
  links_.DeleteAll();
  entries_.DeleteAll();
  for (int i = 0; i < 3; ++i) {
    if (icons_[i]) icons_[i]->Release();
    if (masks_[i]) masks_[i]->Release();
  }
  if (store_) {
    delete store_;
    File::Delete(storeName_);
  }
  MemFree(storeName_);
  MemFree(name_);
  if (doctypeId_) doctypeId_->Release();
  if (parsed_) parsed_->Release();
  if (source_) source_->Release();
}

void Web::SetName(const char* name) {
  MemFree(name_);
  name_ = nullptr;
  if (name) {
    char cut[kWebNameLength + 1];
    CopyLinkTitle(cut, name, GetStringLength(name));
    name_ = DuplicateString(cut);
  }
}

int Web::BeginEdit() {
  flags |= kEditable;
  if (!store_ && !storeFailed_) OpenStore();
  if (EngineBase* engine = GetEngine()) engine->WebEditingOpened(this);
  return 1;
}

void Web::SetReadOnly() {
  if (!IsEditable()) return;
  flags &= static_cast<std::uint8_t>(~kEditable);
  if (EngineBase* engine = GetEngine()) engine->WebEditingClosed(this);
}

std::size_t Web::AnchorCount() const {
  std::size_t n = 0;
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next()))
    for (Anchor* a = e->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next())) ++n;
  return n;
}

bool Web::HoldsAnchor(const Anchor* anchor) const {
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next()))
    for (Anchor* a = e->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next()))
      if (a == anchor) return true;
  return false;
}

// ---- The scratch store ---------------------------------------------------------------------

bool Web::OpenStore() {
  EngineBase* engine = GetEngine();
  char name[kPathBufferSize];
  if (!engine || !engine->MakeTempName(name)) {
    storeFailed_ = true;
    return false;
  }
  store_ = File::Open(name, File::kModeCreate);
  if (!store_) {
    ReportError(32, reinterpret_cast<std::intptr_t>(name));
    storeFailed_ = true;
    return false;
  }
  storeName_ = DuplicateString(name);
  storeEnd_ = 0;
  return true;
}

std::int32_t Web::StoreText(const char* text, std::size_t length) {
  if (!store_) {
    ReportError(0, 15);
    return 0;
  }
  if (storeEnd_ + std::int64_t(length) > 0x7FFFFFF0 || store_->Seek(storeEnd_, 0) < 0 ||
      store_->Write(text, length) != length) {
    ReportError(0, 15);
    return 0;
  }
  std::int32_t position = static_cast<std::int32_t>(-1 - storeEnd_);
  storeEnd_ += static_cast<std::int64_t>(length);
  return position;
}

std::size_t Web::GetText(char* dest, std::int32_t position, std::size_t length) const {
  dest[0] = '\0';
  if (length == 0) return 0;
  std::size_t n = 0;
  if (position >= 0) {
    if (!parsed_) return 0;
    n = parsed_->ExtractText(dest, static_cast<std::uint32_t>(position),
                             static_cast<std::uint32_t>(position) +
                                 static_cast<std::uint32_t>(length));
  } else {
    if (!store_) {
      ReportError(0, 11);
      return 0;
    }
    if (store_->Seek(-1 - std::int64_t(position), 0) < 0) return 0;
    n = store_->Read(dest, length);
  }
  // A text cut on reading may end inside a character: that part goes.
  std::size_t keep = n;
  while (keep > 0 && (static_cast<unsigned char>(dest[keep - 1]) & 0xC0) == 0x80) --keep;
  if (keep > 0) {
    unsigned char lead = static_cast<unsigned char>(dest[keep - 1]);
    std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (keep - 1 + need <= n) keep = n;
    else keep -= 1;
  }
  dest[keep] = '\0';
  return keep;
}

std::int32_t Web::UpdateText(const char* text, std::int32_t position, std::size_t oldLength,
                             std::size_t length) {
  if (position >= 0 || !store_) {
    ReportError(0, 19);
    return 0;
  }
  // A longer text would run into the next one: it is stored anew.
  if (length > oldLength) return StoreText(text, length);
  if (store_->Seek(-1 - std::int64_t(position), 0) < 0 || store_->Write(text, length) != length) {
    ReportError(0, 19);
    return 0;
  }
  return position;
}

// ---- Reading ---------------------------------------------------------------------------------

void Web::Read(Document* parsed) {
  parsed_ = parsed->AddRef();
  if (parsed->DoctypeId()) doctypeId_ = parsed->DoctypeId()->AddRef();
  DocumentNode* root = parsed->Root();
  if (!root) return;
  HashTable ids(64, true);
  ForEachElement(root, [&](DocumentNode* node) {
    if (Is(node, "ANCHOR")) {
      ReadAnchor(parsed, node, ids);
    } else if (!name_ && Is(node, "WEBNAME")) {
      char text[kWebNameLength * 4 + 1];
      std::size_t n = ElementData(parsed, node, text, sizeof text);
      char cut[kWebNameLength + 1];
      CopyLinkTitle(cut, text, n);
      name_ = DuplicateString(cut);
    }
  });
  ReadLinks(parsed, ids);
  ReadIcons(parsed);
  const char* version = root->GetAttributeValue("VERSION");
  formatLevel_ = version && std::strcmp(version, "2.00") >= 0 ? 2 : 0;
}

void Web::ReadAnchor(Document* parsed, DocumentNode* element, HashTable& ids) {
  const char* anchorId = element->GetId();
  std::intptr_t idArg = reinterpret_cast<std::intptr_t>(anchorId ? anchorId : "");
  // The chain from the link end back to where the locators originate.
  DocumentNode* chain[kMaxChain];
  int length = 0;
  const char* linkend = element->GetAttributeValue("LINKEND");
  DocumentNode* node = linkend ? parsed->FindElementById(linkend) : nullptr;
  while (node) {
    for (int i = 0; i < length; ++i) {
      if (chain[i] == node) {
        ReportError(36, reinterpret_cast<std::intptr_t>(node->GetNameText()));
        return;
      }
    }
    if (length == kMaxChain) {
      ReportError(37, reinterpret_cast<std::intptr_t>(node->GetNameText()));
      return;
    }
    chain[length++] = node;
    const char* locsrc = node->GetAttributeValue("LOCSRC");
    node = locsrc ? parsed->FindElementById(locsrc) : nullptr;
  }
  if (length == 0) {
    ReportError(39, idArg);
    return;
  }
  DocumentNode* origin = chain[length - 1];
  Location* location = nullptr;
  bool document = true;
  if (Is(origin, "NAMELOC")) {
    char id[kLocatorIdSize];
    EntityDecl* entity = ReadNameLocator(parsed, origin, id);
    std::uint16_t path[kMaxLocatorNumbers];
    std::size_t pathCount = 0;
    std::uint16_t dataStart = 0, dataCount = 0;
    int narrowStart = 0, narrowEnd = 0;
    int next = length - 2;
    auto readData = [&](DocumentNode* dataloc) {
      ReadDimList(parsed, dataloc, &dataStart, &dataCount);
      ParseTwoNumbers(dataloc->GetAttributeValue("NARROW"), &narrowStart, &narrowEnd);
    };
    if (next >= 0) {
      DocumentNode* second = chain[next--];
      if (Is(second, "TREELOC")) {
        pathCount = ReadNumberList(parsed, second, path);
        if (next >= 0) {
          DocumentNode* third = chain[next--];
          if (!Is(third, "DATALOC")) {
            ReportError(36, reinterpret_cast<std::intptr_t>(third->GetNameText()));
            return;
          }
          readData(third);
        }
      } else if (Is(second, "DATALOC")) {
        readData(second);
      }
    }
    if (next >= 0) {
      ReportError(37, reinterpret_cast<std::intptr_t>(chain[next]->GetNameText()));
      return;
    }
    if (!entity) {
      ReportError(36, reinterpret_cast<std::intptr_t>(origin->GetNameText()));
      return;
    }
    location = new TreeDataLocation(entity, id, path, pathCount, dataStart, dataCount,
                                    static_cast<std::uint16_t>(narrowStart),
                                    static_cast<std::uint16_t>(narrowEnd));
  } else if (Is(origin, "HOTSPOT") || Is(origin, "HOTPOLY")) {
    if (length > 1) {
      ReportError(37, reinterpret_cast<std::intptr_t>(chain[length - 2]->GetNameText()));
      return;
    }
    const char* graphicName = origin->GetAttributeValue("GRAPHIC");
    EntityDecl* graphic = graphicName ? parsed->FindEntity(graphicName) : nullptr;
    if (!graphic || !graphic->IsExternal()) {
      ReportError(38, idArg);
      return;
    }
    HotspotArea area;
    int x = AttributeNumber(origin, "RX", 0), y = AttributeNumber(origin, "RY", 0);
    x = x < 0 ? 0 : x > kHotspotUnits - 1 ? kHotspotUnits - 1 : x;
    y = y < 0 ? 0 : y > kHotspotUnits - 1 ? kHotspotUnits - 1 : y;
    int w = AttributeNumber(origin, "RW", kHotspotUnits);
    int h = AttributeNumber(origin, "RH", kHotspotUnits);
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    if (x + w > kHotspotUnits) w = kHotspotUnits - x;
    if (y + h > kHotspotUnits) h = kHotspotUnits - y;
    area.x = static_cast<std::int16_t>(x);
    area.y = static_cast<std::int16_t>(y);
    area.width = static_cast<std::int16_t>(w);
    area.height = static_cast<std::int16_t>(h);
    area.zoom = ParseHotspotZoom(origin->GetAttributeValue("ZOOM"));
    const char* shape = origin->GetAttributeValue("SHAPE");
    const char* word = shape;
    while (word && (*word == '#' || *word == ' ')) ++word;
    bool marked = shape && FindChar(shape, '#');
    if (marked && CompareStringNoCase(word, "POLYGON") == 0) area.shape = kShapePolygon;
    else if (marked && CompareStringNoCase(word, "ELLIPSE") == 0) area.shape = kShapeEllipse;
    auto* hotspot = new HotspotLocation(graphic, area);
    if (area.shape == kShapePolygon) {
      // The points are the element's text: at most 1020 bytes of it.
      char text[1021];
      ElementData(parsed, origin, text, sizeof text);
      std::int16_t points[2 * kMaxPolygonPoints];
      int count = 0;
      for (const char* p = text; *p && count < 2 * kMaxPolygonPoints;) {
        if (*p != '-' && (*p < '0' || *p > '9')) {
          ++p;
          continue;
        }
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p) {
          ++p;
          continue;
        }
        points[count++] = static_cast<std::int16_t>(ClampHotspotCoordinate(
            v < -100000 ? -100000 : v > 100000 ? 100000 : static_cast<int>(v)));
        p = end;
      }
      hotspot->SetShape(kShapePolygon, count / 2, points);
    }
    hotspot->SetLine(origin->GetAttributeValue("LINE"));
    // LINE names the outline's colour, as on a document's hotspot elements.
    if (const char* line = hotspot->Line())
      if (EngineBase* engine = GetEngine()) {
        if (!engine->colours) engine->colours.Set(new ColorTable);
        hotspot->SetColor(engine->colours->LookupOrAdd(line));
      }
    location = hotspot;
    document = false;
  } else {
    ReportError(39, idArg);
    return;
  }
  WebEntry* entry = EntryFor(location->Entity(), document);
  Anchor* anchor = entry ? Append(entry, location) : nullptr;
  if (!anchor) {
    if (!entry) delete location;
    return;
  }
  for (DocumentNode* child = element->First(); child; child = child->Next()) {
    WebText* text = Is(child, "HEAD") ? &anchor->head : Is(child, "NOTE") ? &anchor->note : nullptr;
    if (!text) continue;
    std::size_t limit = text == &anchor->head ? kAnchorHeadLength : kAnchorNoteLength;
    std::uint32_t n = child->end - child->start;
    text->position = static_cast<std::int32_t>(child->start);
    text->length = static_cast<std::uint16_t>(n > limit ? limit : n);
  }
  const char* bookmark = element->GetAttributeValue("BOOKMARK");
  const char* hilite = element->GetAttributeValue("HILITE");
  if (bookmark && std::strcmp(bookmark, "1") == 0) {
    anchor->flags |= Anchor::kBookmark;
    AddBookmark(anchor);
  }
  if (hilite && std::strcmp(hilite, "1") == 0) anchor->flags |= Anchor::kHighlight;
  if (anchorId) ids.Insert(new IdItem(anchorId, anchor), true);
}

void Web::ReadLinks(Document* parsed, HashTable& ids) {
  ForEachElement(parsed->Root(), [&](DocumentNode* node) {
    if (!Is(node, "LINK")) return;
    const char* value = node->GetAttributeValue("LINKENDS");
    if (!value) return;
    char tokens[2][kLocatorIdSize];
    int count = 0;
    for (const char* p = value; *p && count < 2;) {
      while (*p == ' ') ++p;
      if (!*p) break;
      std::size_t n = 0;
      while (*p && *p != ' ') {
        if (n + 1 < kLocatorIdSize) tokens[count][n++] = *p;
        ++p;
      }
      tokens[count++][n] = '\0';
    }
    if (count < 2) {
      ReportError(34, reinterpret_cast<std::intptr_t>(value));
      return;
    }
    Anchor* a = FindId(ids, tokens[0]);
    Anchor* b = FindId(ids, tokens[1]);
    if (!a || !b) {
      ReportError(33, reinterpret_cast<std::intptr_t>(tokens[0]),
                  reinterpret_cast<std::intptr_t>(tokens[1]));
      return;
    }
    AddLink(a, b, false);
  });
}

void Web::ReadIcons(Document* parsed) {
  for (int i = 0; i < 3; ++i) {
    EntityDecl* icon = parsed->FindEntity(kIconNames[i]);
    if (!icon || !icon->IsExternal() || !icon->GetNotation()) continue;
    icons_[i] = icon->AddRef();
    auto* external = static_cast<ExternalEntityDecl*>(icon);
    const char* mask = external->GetDataAttribute("MASK");
    EntityDecl* maskEntity = mask ? parsed->FindEntity(mask) : nullptr;
    if (maskEntity && maskEntity->IsExternal()) masks_[i] = maskEntity->AddRef();
  }
}

// ---- Entries, anchors and links ----------------------------------------------------------------

WebEntry* Web::FindDocumentEntry(const ExternalId* id) const {
  if (!id) return nullptr;
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next())) {
    if (e->IsDocument() && ExternalId::Equals(e->Entity()->GetExternalId(), id)) return e;
  }
  return nullptr;
}

WebEntry* Web::EntryFor(EntityDecl* entity, bool document) {
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next())) {
    if (e->Entity() == entity) return e;
    if (e->IsDocument() == document && EntityDecl::Equals(e->Entity(), entity)) return e;
  }
  auto* entry = new WebEntry(entity);
  if (entry) entries_.Append(entry);
  return entry;
}

Anchor* Web::Append(WebEntry* entry, Location* location) {
  auto* anchor = new Anchor(this, location, ++counter_);
  if (!anchor) {
    delete location;
    return nullptr;
  }
  entry->anchors.Append(anchor);
  return anchor;
}

bool Web::HasEntityNamed(const char* name) const {
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next()))
    if (std::strcmp(e->Entity()->GetName(), name) == 0) return true;
  return false;
}

EntityDecl* Web::NewEntity(const char* prefix, ExternalId* id, NotationDecl* notation) {
  char name[32];
  for (;;) {
    std::snprintf(name, sizeof name, "%s%ld", prefix, static_cast<long>(counter_));
    if (!HasEntityNamed(name)) break;
    ++counter_;
  }
  return new ExternalEntityDecl(name, id, kEntityNdata, notation);
}

Anchor* Web::AddDocumentAnchor(Document* document, std::uint32_t start, std::uint32_t length) {
  if (!IsEditable() || !document || !document->Source()) return nullptr;
  if (std::uint64_t(start) + length > document->TextLength()) return nullptr;
  WebEntry* entry = FindDocumentEntry(document->Source());
  if (!entry) {
    char* path = document->Source()->GetFilePath();
    auto* id = new ExternalId(nullptr, nullptr, nullptr,
                              path ? path : document->Source()->SystemId(),
                              document->Source()->PublicId(), ExternalId::kGeneralEntity);
    MemFree(path);
    EntityDecl* entity = NewEntity("DOC", id, nullptr);
    if (!entity) return nullptr;
    Location* probe = MakeTreeDataAddress(entity, document, start, length);
    if (!probe) {
      entity->Release();
      return nullptr;
    }
    delete probe;
    entry = new WebEntry(entity);
    entity->Release();
    entries_.Append(entry);
  }
  Location* location = MakeTreeDataAddress(entry->Entity(), document, start, length);
  if (!location) return nullptr;
  Anchor* anchor = Append(entry, location);
  if (!anchor) return nullptr;
  SetChanged();
  if (EngineBase* engine = GetEngine()) engine->AnchorsChanged();
  anchor->MarkInDocument(document);
  return anchor;
}

Anchor* Web::AddHotspotAnchor(EntityDecl* graphic, int x, int y, int width, int height,
                              int zoom) {
  if (!IsEditable() || !graphic || !graphic->IsExternal()) return nullptr;
  WebEntry* entry = nullptr;
  for (WebEntry* e = FirstEntry(); e && !entry; e = static_cast<WebEntry*>(e->Next()))
    if (!e->IsDocument() && EntityDecl::Equals(e->Entity(), graphic)) entry = e;
  if (!entry) {
    ExternalId* source = graphic->GetExternalId();
    char* path = source->GetFilePath();
    auto* id = new ExternalId(nullptr, nullptr, nullptr, path ? path : source->SystemId(),
                              source->PublicId(), ExternalId::kGeneralEntity);
    MemFree(path);
    EntityDecl* entity = NewEntity("ENT", id, graphic->GetNotation());
    if (!entity) return nullptr;
    entry = new WebEntry(entity);
    entity->Release();
    entries_.Append(entry);
  }
  HotspotArea area;
  area.zoom = static_cast<std::int16_t>(zoom);
  auto* location = new HotspotLocation(entry->Entity(), area);
  location->SetArea(x, y, width, height);
  Anchor* anchor = Append(entry, location);
  if (!anchor) return nullptr;
  SetChanged();
  if (EngineBase* engine = GetEngine()) engine->AnchorsChanged();
  return anchor;
}

Link* Web::AddLink(Anchor* a, Anchor* b, bool refresh) {
  if (!a || !b) return nullptr;
  auto* link = new Link(a, b);
  if (!link) return nullptr;
  links_.Append(link);
  if (refresh) SetChanged();
  return link;
}

void Web::RemoveLinks(Anchor* a, Anchor* b) {
  EngineBase* engine = GetEngine();
  for (Link* link = FirstLink(); link;) {
    Link* next = static_cast<Link*>(link->Next());
    if ((!a || link->Ends(a)) && (!b || link->Ends(b))) {
      links_.Unlink(link);
      Anchor* from = link->A();
      Anchor* to = link->B();
      delete link;
      if (engine) engine->LinkDeleted(from, to);
    }
    link = next;
  }
}

bool Web::RemoveAnchor(Anchor* anchor) {
  if (!IsEditable() || !anchor) return false;
  WebEntry* entry = nullptr;
  for (WebEntry* e = FirstEntry(); e && !entry; e = static_cast<WebEntry*>(e->Next()))
    for (Anchor* a = e->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next()))
      if (a == anchor) entry = e;
  if (!entry) {
    ReportError(0, 14);
    return false;
  }
  // Layout reads anchors through the documents' indexes: those go first.
  anchor->Unmark();
  RemoveLinks(anchor, nullptr);
  entry->anchors.Unlink(anchor);
  RemoveBookmark(anchor);
  SetChanged();
  if (EngineBase* engine = GetEngine()) engine->AnchorDeleted(anchor);
  ForgetHandle(anchor);
  delete anchor;
  return true;
}

void Web::ListLinkedAnchors(Anchor* anchor, AnchorList& list) const {
  for (Link* link = FirstLink(); link; link = static_cast<Link*>(link->Next()))
    if (link->Ends(anchor)) list.Add(link->Other(anchor));
}

void Web::AddBookmark(Anchor* anchor) {
  for (AnchorRef* r = bookmarks_.FirstRef(); r; r = static_cast<AnchorRef*>(r->Next()))
    if (r->anchor == anchor) return;
  bookmarks_.Add(anchor);
}

void Web::RemoveBookmark(Anchor* anchor) {
  for (AnchorRef* r = bookmarks_.FirstRef(); r; r = static_cast<AnchorRef*>(r->Next())) {
    if (r->anchor == anchor) {
      bookmarks_.Unlink(r);
      delete r;
      return;
    }
  }
}

bool Web::MarkDocumentAnchors(Document* document) {
  WebEntry* entry = document ? FindDocumentEntry(document->Source()) : nullptr;
  if (!entry) return false;
  for (Anchor* a = entry->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next()))
    a->MarkInDocument(document);
  return true;
}

bool Web::CollectGraphicHotspots(EntityDecl* graphic, AnchorList& list) const {
  bool found = false;
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next())) {
    if (e->IsDocument() || !EntityDecl::Equals(e->Entity(), graphic)) continue;
    found = true;
    for (Anchor* a = e->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next()))
      if (!a->GetLocation()->IsDocumentLocation()) list.Add(a);
  }
  return found;
}

// ---- Writing ---------------------------------------------------------------------------------

void Web::WriteBody(TextWriter& out) const {
  out.PutString("<!DOCTYPE WEB ");
  // Public identifiers are kept upper-cased; the web type is written as
  // it is named.
  const char* pub = doctypeId_ ? doctypeId_->PublicId() : nullptr;
  const char* sys = doctypeId_ ? doctypeId_->SystemId() : nullptr;
  if (!doctypeId_ || (pub && !sys && CompareStringNoCase(pub, kWebPublicId) == 0)) {
    pub = kWebPublicId;
    sys = nullptr;
  }
  if (!pub && !sys) pub = kWebPublicId;
  PutExternalId(out, sys, pub);
  out.PutChar('[');
  if (formatLevel_ < 2) out.PutString(kFixedDeclarations);

  // Notations of the icons and of the entries, each once.
  HashTable notations(8, true);
  auto note = [&](EntityDecl* entity) {
    NotationDecl* n = entity ? entity->GetNotation() : nullptr;
    if (n && n->Name()) notations.Insert(new NotationItem(n), true);
  };
  for (int i = 0; i < 3; ++i) {
    note(icons_[i]);
    note(masks_[i]);
  }
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next())) note(e->Entity());
  if (!notations.Find("SGML", 4)) {
    out.PutString("\n<!NOTATION SGML PUBLIC \"");
    out.PutString(kSgmlNotationId);
    out.PutString("\">");
  }
  for (HashItem* item = notations.First(); item; item = notations.Next()) {
    NotationDecl* n = static_cast<NotationItem*>(item)->notation;
    out.PutString("\n<!NOTATION ");
    out.PutString(n->Name());
    out.PutChar(' ');
    PutExternalId(out, n->SystemId(), n->PublicId());
    out.PutChar('>');
    const AttributeDeclSet& attributes = n->Attributes();
    std::size_t count = attributes.Count();
    if (count == 0) continue;
    out.PutString("\n<!ATTLIST #NOTATION ");
    out.PutString(n->Name());
    for (std::size_t i = 0; i < count; ++i) {
      AttributeDecl* d = attributes.At(i);
      if (!d) continue;
      out.PutString("\n\t\t");
      out.PutString(d->NameText());
      out.PutChar(' ');
      if (d->DeclaredValue() != kDeclaredTokenGroup) {
        out.PutString(GetReservedName(d->DeclaredValue()).name);
        out.PutChar(' ');
      }
      if (const TokenGroup* tokens = d->Tokens()) {
        out.PutChar('(');
        for (std::uint16_t t = 0; t < tokens->Count(); ++t) {
          if (t) out.PutChar('|');
          out.PutString(tokens->At(t)->Text());
        }
        out.PutString(") ");
      }
      if (d->DefaultKind() != kDefaultValue) {
        out.PutString(" #");
        out.PutString(GetReservedName(d->DefaultKind()).name);
      }
      if (d->DefaultValue()) out.PutQuoted(d->DefaultText());
    }
    out.PutChar('>');
  }

  // The icons' entities, each mask before its icon.
  auto declare = [&](EntityDecl* entity) {
    if (!entity || !entity->GetExternalId()) return;
    ExternalId* id = entity->GetExternalId();
    out.PutString("\n<!ENTITY ");
    out.PutString(entity->GetName());
    out.PutChar(' ');
    PutExternalId(out, id->SystemId(), id->PublicId());
    if (NotationDecl* n = entity->GetNotation()) {
      if (n->Name()) {
        out.PutString(" NDATA ");
        out.PutString(n->Name());
      }
    }
    if (Attribute* const* values = entity->GetDataAttributes()) {
      if (*values) {
        out.PutString(" [");
        for (Attribute* const* v = values; *v; ++v) {
          if (v != values) out.PutChar(' ');
          out.PutString((*v)->GetName() ? (*v)->GetName() : "");
          out.PutString("=\"");
          // The internal subset is read before any entity is declared, so
          // a double quote goes as a character reference.
          for (const char* p = (*v)->Value(); p && *p; ++p) {
            if (*p == '"') out.PutString("&#34;");
            else out.PutChar(static_cast<std::uint8_t>(*p));
          }
          out.PutChar('"');
        }
        out.PutChar(']');
      }
    }
    out.PutChar('>');
  };
  for (int i = 0; i < 3; ++i) {
    declare(masks_[i]);
    declare(icons_[i]);
  }

  // The documents and graphics, their files named from the web's folder.
  char* webPath = source_ ? source_->GetFilePath() : nullptr;
  std::size_t dirLength = webPath ? DirectoryLength(webPath) : 0;
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next())) {
    ExternalId* id = e->Entity()->GetExternalId();
    char* path = id ? id->GetFilePath() : nullptr;
    const char* system = path ? path : id ? id->SystemId() : nullptr;
    if (path && dirLength && CompareStringNoCaseMax(path, webPath, dirLength) == 0 &&
        path[dirLength])
      system += dirLength;
    out.PutString("\n<!ENTITY ");
    out.PutString(e->Entity()->GetName());
    out.PutChar(' ');
    PutExternalId(out, system, id ? id->PublicId() : nullptr);
    out.PutString(" NDATA ");
    NotationDecl* n = e->Entity()->GetNotation();
    out.PutString(n && n->Name() ? n->Name() : "SGML");
    out.PutChar('>');
    MemFree(path);
  }
  MemFree(webPath);

  out.PutString("\n]>\n<web><webname>");
  if (name_) {
    PutMarkedText(out, name_);
  } else {
    EngineBase* engine = GetEngine();
    Engine* named = engine ? engine->AsHosted() : nullptr;
    if (named && named->applicationName()) PutMarkedText(out, named->applicationName());
  }
  out.PutString("</webname>\n");
  for (WebEntry* e = FirstEntry(); e; e = static_cast<WebEntry*>(e->Next())) {
    out.PutString("\n<doc><title>");
    char title[1024] = "";
    if (ExternalId* id = e->Entity()->GetExternalId()) id->Format(title, sizeof title);
    PutMarkedText(out, title);
    out.PutString("</title>");
    for (Anchor* a = e->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next())) a->Write(out);
    out.PutString("\n</doc>");
  }
  for (Link* link = FirstLink(); link; link = static_cast<Link*>(link->Next())) {
    char line[96];
    std::snprintf(line, sizeof line, "\n<link linkends=\"ID%ld ID%ld\">",
                  static_cast<long>(link->A()->Number()), static_cast<long>(link->B()->Number()));
    out.PutString(line);
  }
  out.PutString("\n</web>");
}

bool Web::Write(TextWriter* out) {
  if (out) {
    WriteBody(*out);
    if (!out->ok()) {
      ReportError(40);
      return false;
    }
    flags &= static_cast<std::uint8_t>(~kChanged);
    return true;
  }
  char* path = source_ && !unreadable_ ? source_->GetFilePath() : nullptr;
  bool done = path && WriteTo(path);
  MemFree(path);
  if (!path) ReportError(40);
  return done;
}

bool Web::WriteTo(const char* path) {
  TextWriter out(path, true);
  WriteBody(out);
  if (!out.Close()) {
    ReportError(40);
    return false;
  }
  flags &= static_cast<std::uint8_t>(~kChanged);
  return true;
}

// ---- The engine's open webs ---------------------------------------------------------------------

DocumentCache* EngineDocuments() { return OpenDocuments(); }

Web* FindOpenWeb(const ExternalId* id) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->webs || !id) return nullptr;
  for (OwnedNode* n = engine->webs->First(); n; n = n->Next()) {
    auto* web = static_cast<Web*>(static_cast<ObjectListItem*>(n));
    if (ExternalId::Equals(web->Source(), id)) return web;
  }
  return nullptr;
}

void AddOpenWeb(Web* web) {
  EngineBase* engine = GetEngine();
  if (!engine || !web) return;
  if (!engine->webs) engine->webs.Set(new WebList);
  engine->webs->Append(web);
  if (DocumentCache* documents = engine->documentCache.get()) {
    for (std::size_t i = 0; Document* d = documents->At(i); ++i) web->MarkDocumentAnchors(d);
  }
  if (!web->Bookmarks().IsEmpty()) engine->AnchorsChanged();
}

void MarkOpenWebAnchors(Document* document) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->webs || !document) return;
  for (OwnedNode* n = engine->webs->First(); n; n = n->Next())
    static_cast<Web*>(static_cast<ObjectListItem*>(n))->MarkDocumentAnchors(document);
}

void CollectOpenWebHotspots(EntityDecl* graphic, AnchorList& list) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->webs || !graphic) return;
  for (OwnedNode* n = engine->webs->First(); n; n = n->Next())
    static_cast<Web*>(static_cast<ObjectListItem*>(n))->CollectGraphicHotspots(graphic, list);
}

void OpenDocumentWebs(Document* document) {
  if (!document) return;
  for (ListNode* n = document->WebReferences().First(); n; n = n->Next()) {
    ExternalId* id = static_cast<WebReference*>(n)->Id();
    if (Web* open = FindOpenWeb(id)) {
      if (open->useCount >= 0 && open->useCount < 0x7FFF) ++open->useCount;
      continue;
    }
    auto* web = new Web(id);
    if (!web) continue;
    web->useCount = 1;
    AddOpenWeb(web);
  }
  MarkOpenWebAnchors(document);
}

}  // namespace qs
