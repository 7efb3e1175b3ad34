#include "view/graphic_object.h"

#include <cstring>

#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "view/hot_areas.h"
#include "view/picture_view.h"

namespace qs {

// ---- ImageRenderer ------------------------------------------------------------------

ImageRenderer::ImageRenderer(GraphicObject* g, OutputDevice* device)
    : graphic(g), owner(device), width(g->width), height(g->height), descent(g->descent) {
  graphic->AddRef();
  nextOfGraphic = graphic->renderers;
  graphic->renderers = this;
}

ImageRenderer::~ImageRenderer() {
  if (owner) owner->DetachRenderer(this);
  delete selected;
  if (!graphic) return;
  for (ImageRenderer** link = &graphic->renderers; *link; link = &(*link)->nextOfGraphic)
    if (*link == this) {
      *link = nextOfGraphic;
      break;
    }
  graphic->Release();
}

void ImageRenderer::SetWidth(int w) {
  if (w < 1) w = 1;
  width = static_cast<std::int16_t>(w > 32767 ? 32767 : w);
  if (graphic->width > 0) {
    std::int64_t h = std::int64_t{width} * graphic->height / graphic->width;
    height = static_cast<std::int16_t>(h > 32767 ? 32767 : h);
  }
}

void ImageRenderer::SetHeight(int h) {
  if (h < 1) h = 1;
  height = static_cast<std::int16_t>(h > 32767 ? 32767 : h);
  if (graphic->height > 0) {
    std::int64_t w = std::int64_t{height} * graphic->width / graphic->height;
    width = static_cast<std::int16_t>(w > 32767 ? 32767 : w);
  }
}

void ImageRenderer::ResetSize() {
  width = graphic->width;
  height = graphic->height;
  descent = graphic->descent;
}

void ImageRenderer::Place(int x, int y, int w, int h) {
  placedX = static_cast<std::int16_t>(x), placedY = static_cast<std::int16_t>(y);
  placedWidth = static_cast<std::int16_t>(w), placedHeight = static_cast<std::int16_t>(h);
  flags |= kPlaced;
}

void ImageRenderer::TakeOff() {
  placedWidth = placedHeight = 0;
  flags &= static_cast<std::uint8_t>(~kPlaced);
  Unplaced();
}

namespace {
void KeepDescent(ImageRenderer& r) {
  if (r.graphic->height > 0)
    r.descent = static_cast<std::int16_t>(std::int64_t{r.graphic->descent} * r.height /
                                          r.graphic->height);
}
}  // namespace

void ImageRenderer::ShrinkToWidth(int w) {
  if (w < 16) w = 16;
  if (w >= width) return;
  const int least = width * 4 / 100;
  if (w < least) w = least;
  SetWidth(w);
  KeepDescent(*this);
}

void ImageRenderer::ShrinkToHeight(int h) {
  if (h < 16) h = 16;
  if (h >= height) return;
  const int least = height * 4 / 100;
  if (h < least) h = least;
  SetHeight(h);
  KeepDescent(*this);
}

Region* ImageRenderer::HitTest(int x, int y) const {
  Placement placed{placedX, placedY, placedWidth, placedHeight};
  return HitTestAreas(graphic->FirstArea(), placed, limit, x, y);
}

void ImageRenderer::Select(Region* area) {
  delete selected;
  selected = area ? area->Clone() : nullptr;
  if (selected)
    if (EngineBase* engine = GetEngine()) engine->StartTimer();
}

// ---- GraphicObject ---------------------------------------------------------------------

GraphicObject::GraphicObject(EntityDecl* e, EntityDecl* mask, DocumentNode* el, Document* ctx,
                             const char* k, int w, int h)
    : entity(e ? e->AddRef() : nullptr),
      maskEntity(mask ? mask->AddRef() : nullptr),
      element(el),
      context(ctx),
      key(k),
      width(static_cast<std::int16_t>(w)),
      height(static_cast<std::int16_t>(h)) {}

GraphicObject::~GraphicObject() {
  // Renderers still showing it go with it (only at teardown).
  while (ImageRenderer* r = renderers) {
    renderers = r->nextOfGraphic;
    r->graphic = nullptr;
  }
  while (Region* r = areas_) {
    areas_ = r->next;
    delete r;
  }
  if (entity) entity->Release();
  if (maskEntity) maskEntity->Release();
}

ImageRenderer* GraphicObject::MakeScreenRenderer(OutputDevice* owner) {
  ImageRenderer* r = MakeRenderer(owner);
  if (r && owner) owner->AttachRenderer(r);
  return r;
}

ImageRenderer* GraphicObject::MakePrintRenderer(OutputDevice* device) {
  ImageRenderer* r = MakeRenderer(device);
  if (!r || !device) return r;
  auto scale = [](int value, int dpi, int screen) {
    std::int64_t v = std::int64_t{value} * dpi / (screen > 0 ? screen : 72);
    return static_cast<std::int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  };
  r->width = scale(r->width, device->dpiX, GetScreenDpiX());
  r->minWidth = scale(r->minWidth, device->dpiX, GetScreenDpiX());
  r->height = scale(r->height, device->dpiY, GetScreenDpiY());
  r->descent = scale(r->descent, device->dpiY, GetScreenDpiY());
  return r;
}

void GraphicObject::Release() {
  if (useCount) --useCount;
  if (useCount == 0 && orphaned) delete this;
}

void GraphicObject::AddArea(Region* area) {
  area->next = nullptr;
  Region** link = &areas_;
  while (*link) link = &(*link)->next;
  *link = area;
}

void GraphicObject::RemoveAreas(bool (*which)(Region*, const void*), const void* data) {
  for (Region** link = &areas_; *link;) {
    Region* r = *link;
    if (which(r, data)) {
      *link = r->next;
      for (ImageRenderer* v = renderers; v; v = v->nextOfGraphic)
        if (v->outlined == r) v->outlined = nullptr;
      delete r;
    } else {
      link = &r->next;
    }
  }
}

std::size_t GraphicObject::AreaCount() const {
  std::size_t n = 0;
  for (Region* r = areas_; r; r = r->next) ++n;
  return n;
}

bool NotationHandler::CanLoadElement(const char* key) {
  return key && (CompareStringNoCase(key, "XPM") == 0 || CompareStringNoCase(key, "XBM") == 0);
}

// ---- Matching entities ---------------------------------------------------------------------

namespace {

const char* EffectiveValue(EntityDecl* entity, const char* name) {
  return static_cast<ExternalEntityDecl*>(entity)->GetDataAttribute(name);
}

// Every attribute declared for `notation` has the same value on both.
bool SameValues(const NotationDecl* notation, EntityDecl* a, EntityDecl* b) {
  const AttributeDeclSet& set = notation->Attributes();
  for (std::size_t i = 0, n = set.Count(); i < n; ++i) {
    AttributeDecl* decl = set.At(i);
    if (!decl) continue;
    const char* name = decl->NameText();
    const char* va = EffectiveValue(a, name);
    const char* vb = EffectiveValue(b, name);
    if (!va && !vb) continue;
    if (!va || !vb || std::strcmp(va, vb) != 0) return false;
  }
  return true;
}

bool HasAnyValue(EntityDecl* entity) {
  Attribute* const* values = entity->GetDataAttributes();
  if (values && values[0]) return true;
  const NotationDecl* notation = entity->GetNotation();
  const AttributeDeclSet& set = notation->Attributes();
  for (std::size_t i = 0, n = set.Count(); i < n; ++i)
    if (AttributeDecl* decl = set.At(i); decl && decl->DefaultText()) return true;
  return false;
}

}  // namespace

bool SamePictureEntity(EntityDecl* a, EntityDecl* b) {
  if (a == b) return true;
  if (!a || !b || !a->IsExternal() || !b->IsExternal()) return false;
  if (!ExternalId::Equals(a->GetExternalId(), b->GetExternalId())) return false;
  const NotationDecl* na = a->GetNotation();
  const NotationDecl* nb = b->GetNotation();
  if (na && nb) return SameValues(na, a, b) && SameValues(nb, a, b);
  if (na) return !HasAnyValue(a);
  if (nb) return !HasAnyValue(b);
  return true;
}

int PictureDescent(DocumentNode* element, EntityDecl* entity, int height) {
  auto value = [&](const char* name) -> const char* {
    if (element) return element->GetAttributeValue(name);
    if (entity && entity->IsExternal())
      return static_cast<ExternalEntityDecl*>(entity)->GetDataAttribute(name);
    return nullptr;
  };
  if (const char* text = value("DESCENT")) {
    int d = ReadAreaNumber(text);
    if (d < 0) return 0;
    return d > height ? height : d;
  }
  const char* align = value("VALIGN");
  if (!align) return 0;
  if (CompareStringNoCase(align, "TOP") == 0) return height;
  if (CompareStringNoCase(align, "CENTER") == 0) return height / 2;
  return 0;
}

// ---- The cache -----------------------------------------------------------------------------------

GraphicCache::~GraphicCache() {
  while (auto* g = static_cast<GraphicObject*>(list_.PopFirst())) {
    if (g->useCount == 0)
      delete g;
    else
      g->orphaned = true;
  }
}

GraphicObject* GraphicCache::Get(Document* context, DocumentNode* element, EntityDecl* entity,
                                 const char* key, EntityDecl* maskEntity, bool create) {
  std::size_t counted = 0;
  for (OwnedNode* n = list_.First(); n; n = n->Next()) {
    ++counted;
    auto* g = static_cast<GraphicObject*>(n);
    if (g->key != key) continue;
    bool match = entity && g->entity
                     ? SamePictureEntity(g->entity, entity)
                     : !entity && !g->entity && element && g->element == element &&
                           g->context == context;
    if (!match) continue;
    g->AddRef();
    list_.Prepend(g);
    return g;
  }
  if (!create || !handler_) return nullptr;
  // Unused graphics go from the back while more than six are kept.
  for (OwnedNode* n = list_.Last(); n && counted > kKeep;) {
    auto* g = static_cast<GraphicObject*>(n);
    n = n->Prev();
    if (g->useCount == 0) {
      delete g;
      --counted;
    }
  }
  GraphicObject* g = entity ? handler_->LoadEntity(entity, key, maskEntity)
                            : handler_->LoadElement(context, element, key);
  if (!g) return nullptr;
  if (g->width <= 0 || g->height <= 0) {
    // A picture without extent is refused: nothing would ever divide by it.
    delete g;
    return nullptr;
  }
  if (!g->context) g->context = context;
  if (!g->element) g->element = element;
  if (g->descent == 0) g->descent = static_cast<std::int16_t>(PictureDescent(element, entity, g->height));
  if (entity) CollectAreas(g);
  list_.Prepend(g);
  return g;
}

void GraphicCache::Remove() {
  for (OwnedNode* n = list_.First(); n;) {
    auto* g = static_cast<GraphicObject*>(n);
    n = n->Next();
    if (g->useCount == 0) delete g;
  }
}

namespace {

bool OfDocument(Region* r, const void* document) { return r->GetDocument() == document; }
bool OfWeb(Region* r, const void*) { return r->GetAnchor() != nullptr; }

void AddDocumentAreas(GraphicObject* g, Document* document) {
  EngineBase* engine = GetEngine();
  ColorTable* colors = engine ? engine->colours.get() : nullptr;
  for (Document::GraphicEntry* e = document->FirstGraphic(); e; e = e->next) {
    if (!SamePictureEntity(e->entity, g->entity)) continue;
    for (GraphicElementNode* el = e->first; el; el = el->nextOfEntity) {
      g->AddArea(new HotArea(document, el, colors));
      if (el == e->last) break;
    }
  }
}

void AddWebAreas(GraphicObject* g) {
  AnchorList anchors;
  CollectOpenWebHotspots(g->entity, anchors);
  for (AnchorRef* a = anchors.FirstRef(); a; a = static_cast<AnchorRef*>(a->Next()))
    g->AddArea(new WholeRegion(a->anchor));
}

}  // namespace

void GraphicCache::CollectAreas(GraphicObject* g) {
  EngineBase* engine = GetEngine();
  if (!g->entity) return;
  if (engine && engine->documentCache)
    for (std::size_t i = 0; Document* d = engine->documentCache->At(i); ++i) AddDocumentAreas(g, d);
  AddWebAreas(g);
}

void GraphicCache::DocumentLoaded(Document* document) {
  for (OwnedNode* n = list_.First(); n; n = n->Next()) {
    auto* g = static_cast<GraphicObject*>(n);
    if (!g->entity) continue;
    g->RemoveAreas(OfDocument, document);
    AddDocumentAreas(g, document);
  }
}

namespace {
// A selected area whose source goes: the picture view showing it hears.
void DropSelection(ImageRenderer* r) {
  delete r->selected;
  r->selected = nullptr;
  PictureSelectionDropped(r);
}
}  // namespace

void GraphicCache::DocumentClosed(Document* document) {
  for (OwnedNode* n = list_.First(); n;) {
    auto* g = static_cast<GraphicObject*>(n);
    n = n->Next();
    g->RemoveAreas(OfDocument, document);
    for (ImageRenderer* r = g->renderers; r; r = r->nextOfGraphic)
      if (r->selected && r->selected->GetDocument() == document) {
        DropSelection(r);
      }
    if (g->context != document) continue;
    // Picture views of it show nothing more: the document it names goes.
    ClearPictureViewsOf(g);
    g->Remove();
    if (g->useCount == 0)
      delete g;
    else
      g->orphaned = true;
  }
}

void GraphicCache::WebClosing(Web* web) {
  for (OwnedNode* n = list_.First(); n; n = n->Next()) {
    auto* g = static_cast<GraphicObject*>(n);
    g->RemoveAreas([](Region* r, const void* w) { return r->GetAnchor() && r->GetAnchor()->GetWeb() == w; },
                   web);
    for (ImageRenderer* r = g->renderers; r; r = r->nextOfGraphic)
      if (r->selected && r->selected->GetAnchor() && r->selected->GetAnchor()->GetWeb() == web) {
        DropSelection(r);
      }
  }
}

void GraphicCache::AnchorDeleted(Anchor* anchor) {
  for (OwnedNode* n = list_.First(); n; n = n->Next()) {
    auto* g = static_cast<GraphicObject*>(n);
    g->RemoveAreas([](Region* r, const void* a) { return r->GetAnchor() == a; }, anchor);
    for (ImageRenderer* r = g->renderers; r; r = r->nextOfGraphic)
      if (r->selected && r->selected->GetAnchor() == anchor) {
        DropSelection(r);
      }
  }
}

void GraphicCache::WebsChanged() {
  for (OwnedNode* n = list_.First(); n; n = n->Next()) {
    auto* g = static_cast<GraphicObject*>(n);
    if (!g->entity) continue;
    g->RemoveAreas(OfWeb, nullptr);
    for (ImageRenderer* r = g->renderers; r; r = r->nextOfGraphic)
      if (r->selected && r->selected->GetAnchor()) {
        DropSelection(r);
      }
    AddWebAreas(g);
  }
}

}  // namespace qs
