// Anchors and hotspots through the interface: making them on documents and
// graphics, their notes, heads, bookmark flags and hotspot geometry, links
// between them, and walks over them with a filter.
#include <cstring>

#include "addressing/web.h"
#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/wrappers.h"
#include "foundation/engine.h"
#include "foundation/errors.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"

using namespace qs;

namespace {

Anchor* LookupAnchor(QsHandle handle) {
  HandleTable* handles = Handles();
  return handles ? static_cast<Anchor*>(handles->LookupAnchor(handle)) : nullptr;
}

// An anchor whose web may be changed.
Anchor* EditableAnchor(QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  return anchor && anchor->GetWeb()->IsEditable() ? anchor : nullptr;
}

Web* LookupEditableWeb(QsHandle handle) {
  HandleTable* handles = Handles();
  auto* web = handles ? static_cast<Web*>(handles->LookupWeb(handle)) : nullptr;
  return web && web->IsEditable() ? web : nullptr;
}

char* CopyOut(const char* text, char* buffer, std::int32_t size) {
  if (!buffer || size <= 0) return nullptr;
  CopyStringMax(buffer, text ? text : "", static_cast<std::size_t>(size));
  return buffer;
}

QsHandle RegisterAnchor(Anchor* anchor) {
  HandleTable* handles = Handles();
  return handles && anchor ? handles->RegisterAnchor(anchor) : 0;
}

// The head a new anchor on a document range gets when the host gives none:
// the range's first characters, folded for display.
void SetRangeHead(Anchor* anchor, Document* document, std::uint32_t start, std::uint32_t length,
                  const char* head) {
  if (head && *head) {
    anchor->SetHead(head);
    return;
  }
  std::uint32_t take = length < 4 * kLinkTitleLength ? length : 4 * kLinkTitleLength;
  char text[4 * kLinkTitleLength + 1];
  std::size_t n = document->ExtractText(text, start, start + take);
  char title[kLinkTitleLength + 1];
  CopyLinkTitle(title, text, n);
  if (*title) anchor->SetHead(title);
}

QsHandle NewRangeAnchor(Web* web, Document* document, std::uint32_t start, std::uint32_t length,
                        const char* head) {
  if (!web || !document) return 0;
  Anchor* anchor = web->AddDocumentAnchor(document, start, length);
  if (!anchor) return 0;
  SetRangeHead(anchor, document, start, length, head);
  return RegisterAnchor(anchor);
}

// Whether an anchor is still held by an open web (a walk's procedure may
// have removed it).
bool StillOpen(Anchor* anchor) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->webs) return false;
  for (OwnedNode* n = engine->webs->First(); n; n = n->Next())
    if (static_cast<Web*>(static_cast<ObjectListItem*>(n))->HoldsAnchor(anchor)) return true;
  return false;
}

bool Selected(Anchor* anchor, std::int32_t filter) {
  bool document = anchor->GetLocation()->IsDocumentLocation();
  return (filter & 0x001) || ((filter & 0x002) && anchor->IsBookmark()) ||
         ((filter & 0x020) && !anchor->IsBookmark()) || ((filter & 0x004) && anchor->HasNote()) ||
         ((filter & 0x040) && !anchor->HasNote()) || ((filter & 0x008) && !document) ||
         ((filter & 0x080) && document) || ((filter & 0x010) && anchor->GetLinkCount()) ||
         ((filter & 0x100) && !anchor->GetLinkCount());
}

// Gives each listed anchor the filter selects to the procedure, under a
// handle made for the call.
std::intptr_t WalkAnchors(const AnchorList& list, std::int32_t filter, QsHandleProc procedure,
                          QsWord data) {
  HandleTable* handles = Handles();
  if (!handles || !procedure) return 0;
  for (AnchorRef* r = list.FirstRef(); r; r = static_cast<AnchorRef*>(r->Next())) {
    if (!StillOpen(r->anchor) || !Selected(r->anchor, filter)) continue;
    QsHandle handle = handles->RegisterAnchor(r->anchor);
    if (!handle) continue;
    std::intptr_t answer = procedure(handle, data);
    handles->Release(handle);
    if (answer) return answer;
  }
  return 0;
}

HotspotLocation* Hotspot(Anchor* anchor) {
  Location* location = anchor ? anchor->GetLocation() : nullptr;
  return location && !location->IsDocumentLocation() ? static_cast<HotspotLocation*>(location)
                                                     : nullptr;
}

}  // namespace

extern "C" {

QsHandle QsCreateHotspot(QsHandle web, QsHandle entity, const char* head, std::int32_t x,
                         std::int32_t y, std::int32_t width, std::int32_t height,
                         std::int32_t zoom) {
  Web* w = LookupEditableWeb(web);
  HandleTable* handles = Handles();
  auto* ref = handles ? static_cast<EntityRef*>(handles->LookupEntity(entity)) : nullptr;
  // A graphic of a document: an external entity with a notation.
  EntityDecl* graphic = ref && ref->Owner() ? ref->Entity() : nullptr;
  if (!w || !graphic || !graphic->IsExternal() || !graphic->GetNotation()) return 0;
  x = x < 0 ? 0 : x > kHotspotUnits - 1 ? kHotspotUnits - 1 : x;
  y = y < 0 ? 0 : y > kHotspotUnits - 1 ? kHotspotUnits - 1 : y;
  if (x + width > kHotspotUnits) width = kHotspotUnits - x;
  if (y + height > kHotspotUnits) height = kHotspotUnits - y;
  Anchor* anchor = w->AddHotspotAnchor(graphic, x, y, width, height, zoom);
  if (!anchor) return 0;
  if (head && *head) {
    anchor->SetHead(head);
  } else {
    char buffer[512];
    EngineBase* engine = GetEngine();
    const char* text = engine ? engine->GetString(kStrHotspotTitle, buffer) : nullptr;
    if (text) anchor->SetHead(text);
  }
  return RegisterAnchor(anchor);
}

QsHandle QsCreateNodeAnchor(QsHandle web, QsHandle node, const char* head) {
  HandleTable* handles = Handles();
  auto* ref = handles ? static_cast<NodeRef*>(handles->LookupNode(node)) : nullptr;
  DocumentNode* element = ref ? ref->Current() : nullptr;
  if (!element) return 0;
  return NewRangeAnchor(LookupEditableWeb(web), ref->GetDocument(), element->start,
                        element->end - element->start, head);
}

QsHandle QsCreateRangeAnchor(QsHandle web, QsHandle document, std::int32_t start,
                             std::int32_t length, const char* head) {
  HandleTable* handles = Handles();
  auto* doc = handles ? static_cast<Document*>(handles->LookupDocument(document)) : nullptr;
  if (!doc || start < 0 || length < 0 ||
      std::uint64_t(start) + std::uint64_t(length) > doc->TextLength())
    return 0;
  return NewRangeAnchor(LookupEditableWeb(web), doc, static_cast<std::uint32_t>(start),
                        static_cast<std::uint32_t>(length), head);
}

std::int32_t QsGetAnchorRange(QsHandle handle, std::int32_t* start, std::int32_t* length) {
  Anchor* anchor = LookupAnchor(handle);
  if (!anchor || !anchor->GetLocation()->IsDocumentLocation()) return 0;
  EntityDecl* entity = anchor->GetLocation()->Entity();
  DocumentCache* documents = EngineDocuments();
  Document* document = documents && entity ? documents->Find(entity->GetExternalId()) : nullptr;
  if (!document) return 0;
  document->AddRef();
  std::uint32_t s = 0, n = 0;
  int found = anchor->GetLocation()->GetRange(document, &s, &n);
  document->Release();
  if (!found) return 0;
  if (start) *start = static_cast<std::int32_t>(s);
  if (length) *length = static_cast<std::int32_t>(n);
  return 1;
}

QsHandle QsGetAnchorEntity(QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  HandleTable* handles = Handles();
  EntityDecl* entity = anchor ? anchor->GetLocation()->Entity() : nullptr;
  EntityRef* ref = entity ? EntityRef::OfEntity(entity) : nullptr;
  if (!ref) return 0;
  QsHandle result = handles->RegisterEntity(ref);
  if (!result) delete ref;
  return result;
}

std::int32_t QsActivateAnchor(QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  if (!anchor) return 0;
  anchor->Activate(nullptr);
  return 1;
}

std::int32_t QsAnchorNotifyA(QsWindow window, QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  EngineBase* engine = GetEngine();
  if (!anchor || !engine) return 0;
  engine->ShowNoteDialog(window, anchor, 0);
  return 1;
}

std::int32_t QsAnchorNotifyB(QsWindow window, QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  EngineBase* engine = GetEngine();
  if (!anchor || !engine) return 0;
  engine->ShowLinkDialog(window, anchor);
  return 1;
}

std::int32_t QsDeleteAnchor(QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  return anchor && anchor->Delete() ? 1 : 0;
}

std::int32_t QsAddLink(QsHandle a, QsHandle b) {
  Anchor* from = EditableAnchor(a);
  Anchor* to = LookupAnchor(b);
  if (!from || !to || from->GetWeb() != to->GetWeb()) return 0;
  return from->GetWeb()->AddLink(from, to, true) ? 1 : 0;
}

std::int32_t QsRemoveLinks(QsHandle a, QsHandle b) {
  Anchor* from = a ? LookupAnchor(a) : nullptr;
  Anchor* to = b ? LookupAnchor(b) : nullptr;
  if ((a && !from) || (b && !to) || (!from && !to)) return 0;
  Web* web = from ? from->GetWeb() : to->GetWeb();
  if ((from && to && from->GetWeb() != to->GetWeb()) || !web->IsEditable()) return 0;
  web->RemoveLinks(from, to);
  return 1;
}

QsHandle QsGetAnchorWeb(QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  HandleTable* handles = Handles();
  return anchor ? handles->RegisterWeb(anchor->GetWeb()) : 0;
}

char* QsGetAnchorNote(QsHandle handle, char* buffer, std::int32_t size) {
  Anchor* anchor = LookupAnchor(handle);
  if (!anchor || !buffer || size <= 0) return nullptr;
  char* note = static_cast<char*>(MemAlloc(kAnchorNoteLength + 1));
  if (!note) return nullptr;
  char* result = anchor->GetNote(note) ? CopyOut(note, buffer, size) : nullptr;
  MemFree(note);
  return result;
}

std::int32_t QsSetAnchorNote(QsHandle handle, const char* text) {
  Anchor* anchor = EditableAnchor(handle);
  return anchor && anchor->SetNote(text) ? 1 : 0;
}

char* QsGetAnchorName(QsHandle handle, char* buffer, std::int32_t size) {
  Anchor* anchor = LookupAnchor(handle);
  if (!anchor) return nullptr;
  char name[kAnchorHeadLength + 1];
  return CopyOut(anchor->GetName(name), buffer, size);
}

std::int32_t QsSetAnchorHead(QsHandle handle, const char* text) {
  Anchor* anchor = EditableAnchor(handle);
  return anchor && anchor->SetHead(text) ? 1 : 0;
}

std::int32_t QsSetAnchorBookmark(QsHandle handle, std::int32_t on) {
  Anchor* anchor = EditableAnchor(handle);
  if (!anchor) return 0;
  anchor->SetBookmark(on != 0);
  return 1;
}

std::int32_t QsGetAnchorKind(QsHandle handle) {
  Anchor* anchor = LookupAnchor(handle);
  if (!anchor) return 0;
  std::int32_t kind = anchor->IsBookmark() ? 3 : 1;
  if (anchor->HasNote()) kind += 4;
  if (anchor->GetLinkCount()) kind += 16;
  return kind;
}

std::int32_t QsGetHotspotRect(QsHandle handle, std::int32_t* x, std::int32_t* y,
                              std::int32_t* width, std::int32_t* height, std::int32_t* zoom) {
  HotspotLocation* hotspot = Hotspot(LookupAnchor(handle));
  HotspotArea area;
  if (!hotspot || !hotspot->GetArea(&area)) return 0;
  if (x) *x = area.x;
  if (y) *y = area.y;
  if (width) *width = area.width;
  if (height) *height = area.height;
  if (zoom) *zoom = area.zoom;
  return 1;
}

std::int32_t QsSetHotspotRect(QsHandle handle, std::int32_t x, std::int32_t y,
                              std::int32_t width, std::int32_t height, std::int32_t zoom) {
  Anchor* anchor = EditableAnchor(handle);
  HotspotLocation* hotspot = Hotspot(anchor);
  if (!hotspot) return 0;
  hotspot->SetZoom(static_cast<std::int16_t>(zoom));
  hotspot->SetArea(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                   static_cast<std::int16_t>(width), static_cast<std::int16_t>(height));
  anchor->GetWeb()->SetChanged();
  return 1;
}

std::int32_t QsGetHotspotPoints(QsHandle handle, std::int32_t* count, std::int16_t* points) {
  HotspotLocation* hotspot = Hotspot(LookupAnchor(handle));
  HotspotArea area;
  if (!hotspot || !hotspot->GetArea(&area)) return 0;
  std::int16_t outline[2 * kMaxOutlinePoints];
  int n = hotspot->GetOutline(outline);
  if (n < 3) return 0;
  if (points) std::memcpy(points, outline, sizeof(std::int16_t) * 2 * std::size_t(n));
  if (count) *count = n;
  return area.shape + 1;
}

std::int32_t QsSetHotspotPoints(QsHandle handle, std::int32_t shape, std::int32_t count,
                                const std::int16_t* points) {
  Anchor* anchor = EditableAnchor(handle);
  HotspotLocation* hotspot = Hotspot(anchor);
  if (!hotspot || count < 0 || count >= 100) return 0;
  if (shape == 3) {
    if (count <= 2 || !points) return 0;
    if (!hotspot->SetShape(kShapePolygon, count, points)) return 0;
    anchor->GetWeb()->SetChanged();
    return 1;
  }
  if (shape == 1 || shape == 2) {
    hotspot->SetShape(shape - 1, 0, nullptr);
    anchor->GetWeb()->SetChanged();
  }
  return 0;
}

char* QsGetHotspotColor(QsHandle handle, char* buffer, std::int32_t size) {
  HotspotLocation* hotspot = Hotspot(LookupAnchor(handle));
  if (!hotspot) return nullptr;
  ColorEntry* color = hotspot->Color();
  return CopyOut(color ? color->Name() : "RED", buffer, size);
}

std::int32_t QsSetHotspotColor(QsHandle handle, const char* name) {
  Anchor* anchor = EditableAnchor(handle);
  HotspotLocation* hotspot = Hotspot(anchor);
  EngineBase* engine = GetEngine();
  if (!hotspot || !engine) return 0;
  if (!name || !*name) {
    hotspot->SetColor(nullptr);
    hotspot->SetLine(nullptr);
  } else {
    if (!engine->colours) engine->colours.Set(new ColorTable);
    ColorEntry* color = engine->colours->LookupOrAdd(name);
    if (!color) return 0;
    hotspot->SetColor(color);
    // The web keeps the colour as the hotspot's LINE, so a saved web has it.
    hotspot->SetLine(color->Name());
  }
  anchor->GetWeb()->SetChanged();
  // The outlines shown take the new colour.
  engine->AnchorsChanged();
  return 1;
}

std::intptr_t QsEnumWebAnchors(QsHandle web, std::int32_t filter, QsHandleProc procedure,
                               QsWord data) {
  HandleTable* handles = Handles();
  auto* w = handles ? static_cast<Web*>(handles->LookupWeb(web)) : nullptr;
  if (!w) return 0;
  AnchorList list;
  for (WebEntry* e = w->FirstEntry(); e; e = static_cast<WebEntry*>(e->Next()))
    for (Anchor* a = e->FirstAnchor(); a; a = static_cast<Anchor*>(a->Next())) list.Add(a);
  return WalkAnchors(list, filter, procedure, data);
}

std::intptr_t QsEnumDocAnchors(QsHandle document, std::int32_t filter, QsHandleProc procedure,
                               QsWord data) {
  HandleTable* handles = Handles();
  auto* doc = handles ? static_cast<Document*>(handles->LookupDocument(document)) : nullptr;
  if (!doc) return 0;
  AnchorList list;
  AnchorIndex& index = doc->Anchors();
  for (std::intptr_t v = index.First(); v; v = index.Next()) {
    auto* mark = reinterpret_cast<Mark*>(index.CurrentKey());
    if (mark->Kind() == kMarkAnchor) list.Add(static_cast<AnchorMark*>(mark)->GetAnchor());
  }
  return WalkAnchors(list, filter, procedure, data);
}

std::intptr_t QsEnumEntityHotspots(QsHandle entity, std::int32_t filter, QsHandleProc procedure,
                                   QsWord data) {
  HandleTable* handles = Handles();
  auto* ref = handles ? static_cast<EntityRef*>(handles->LookupEntity(entity)) : nullptr;
  if (!ref) return 0;
  AnchorList list;
  CollectOpenWebHotspots(ref->Entity(), list);
  return WalkAnchors(list, filter, procedure, data);
}

std::intptr_t QsEnumLinkedAnchors(QsHandle handle, QsHandleProc procedure, QsWord data) {
  Anchor* anchor = LookupAnchor(handle);
  if (!anchor) return 0;
  AnchorList list;
  anchor->GetWeb()->ListLinkedAnchors(anchor, list);
  return WalkAnchors(list, 0x001, procedure, data);
}

}  // extern "C"
