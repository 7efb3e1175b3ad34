#include "view/picture_services.h"

#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "style/style_sheet.h"
#include "view/document_view.h"
#include "view/host_objects.h"
#include "view/hot_areas.h"
#include "view/notation_rules.h"
#include "view/picture_view.h"
#include "view/pictures.h"

namespace qs {

GraphicObject* GetEntityPicture(Document* context, EntityDecl* entity, bool create) {
  EngineBase* engine = GetEngine();
  if (!engine || !entity) return nullptr;
  const char* key = GetNotationNames(*engine).FindKey(entity);
  if (!key) return nullptr;
  EntityDecl* mask = nullptr;
  if (context && entity->IsExternal())
    if (const char* name = static_cast<ExternalEntityDecl*>(entity)->GetDataAttribute("MASK"))
      mask = context->FindEntity(name);
  return GetGraphicCache().Get(context, nullptr, entity, key, mask, create);
}

int ShowPictureAreaOf(Document* context, EntityDecl* entity, const HotspotArea& area) {
  GraphicObject* picture = GetEntityPicture(context, entity, true);
  if (!picture) return 0;
  Region region;
  region.x = area.x;
  region.y = area.y;
  region.width = area.width;
  region.height = area.height;
  region.zoom = area.zoom;
  // Through the engine's own operation, which opens a picture view through
  // the host when none shows the picture.
  EngineBase* engine = GetEngine();
  const int shown = engine ? engine->ShowHotArea(context, picture, &region) : 0;
  picture->Release();
  return shown;
}

bool ShowPictureInDocumentViews(Document* document, EntityDecl* entity, int y, int height) {
  for (DocumentView* v = ViewList::First(); v; v = ViewList::Next(v)) {
    if (!v->GetDevice() || !v->GetDocument() || (document && v->GetDocument() != document)) continue;
    if (v->ShowPictureArea(entity, y, height)) return true;
  }
  return false;
}

int ShowEntityPicture(Document* document, EntityDecl* entity) {
  EngineBase* engine = GetEngine();
  if (!engine || !document || !entity || !entity->IsExternal()) return 0;
  if (ShowPictureInDocumentViews(document, entity, 0, kAreaUnits)) return 1;
  GraphicObject* picture = GetEntityPicture(document, entity, true);
  if (!picture) return 0;
  const int shown = engine->ShowHotArea(document, picture, nullptr);
  picture->Release();
  return shown;
}

namespace {

ImageRenderer* Renderer(GraphicRenderer* picture) { return static_cast<ImageRenderer*>(picture); }

// What the pointer shows over an area: 4 a hotspot element, 6 an anchor
// with links, 5 an anchor (its note).
int PointerKind(const Region* area) {
  if (Anchor* anchor = area->GetAnchor()) return anchor->GetLinkCount() ? 6 : 5;
  return 4;
}

class PictureServices : public GraphicServices {
 public:
  GraphicObject* GetEntityGraphic(Document* context, EntityDecl* entity) override {
    return GetEntityPicture(context, entity, true);
  }
  // A widget names a notation key whose handler draws from the element.
  GraphicObject* GetWidgetGraphic(Document* context, DocumentNode* element,
                                  const char* widget) override {
    EngineBase* engine = GetEngine();
    if (!engine || !element || !widget || !*widget) return nullptr;
    char upper[64];
    std::size_t n = 0;
    for (; widget[n] && n + 1 < sizeof upper; ++n) upper[n] = ToUpperAscii(widget[n]);
    upper[n] = 0;
    const char* key = GetNotationNames(*engine).Intern(upper);
    // A key no loader knows still reaches the host (event 31).
    if (!key) return nullptr;
    return GetGraphicCache().Get(context, element, nullptr, key, nullptr, true);
  }
  // A sheet's icon: the graphic of the entity the sheet declared it with.
  GraphicObject* GetIconGraphic(StyleSheet* sheet, const char* name) override {
    EngineBase* engine = GetEngine();
    StyleIcon* icon = sheet && name ? sheet->FindIcon(name) : nullptr;
    if (!engine || !icon) return nullptr;
    EntityDecl* entity = icon->IconDecl();
    const char* key = GetNotationNames(*engine).FindKey(entity);
    if (!key) return nullptr;
    return GetGraphicCache().Get(nullptr, nullptr, entity, key, icon->MaskDecl(), true);
  }
  void AddRef(GraphicObject* graphic) override {
    if (graphic) graphic->AddRef();
  }
  void Release(GraphicObject* graphic) override {
    if (graphic) graphic->Release();
  }
  PictureGeometry Geometry(GraphicRenderer* picture) override {
    PictureGeometry g;
    if (ImageRenderer* r = Renderer(picture)) {
      g.width = r->width;
      g.minWidth = r->minWidth;
      g.height = r->height;
      g.descent = r->descent;
      g.scaleX = r->width;
      g.scaleY = r->height;
    }
    return g;
  }
  void FitWidth(GraphicRenderer* picture, int width) override {
    if (picture) Renderer(picture)->ShrinkToWidth(width);
  }
  void FitHeight(GraphicRenderer* picture, int height) override {
    if (picture) Renderer(picture)->ShrinkToHeight(height);
  }
  void Draw(GraphicRenderer* picture, int x, int top, int pressed) override {
    ImageRenderer* r = Renderer(picture);
    if (!r) return;
    r->Place(x, top, r->width, r->height);
    if (r->owner) r->owner->DrawRenderer(r, x, top, pressed);
  }
  bool HotAreaAt(GraphicRenderer* picture, int x, int y, PictureHotArea* found) override {
    ImageRenderer* r = Renderer(picture);
    if (!r) return false;
    Region* area = r->HitTest(x, y);
    if (!area) return false;
    if (found) {
      found->x = area->x, found->y = area->y;
      found->width = area->width, found->height = area->height;
      found->pointerKind = PointerKind(area);
      found->info = reinterpret_cast<std::intptr_t>(area);
      found->area = area;
    }
    return true;
  }
  void ShowHotArea(GraphicRenderer* picture, const PictureHotArea& area, bool on) override {
    if (ImageRenderer* r = Renderer(picture)) r->outlined = on ? static_cast<Region*>(area.area) : nullptr;
  }
  void ActivateHotArea(DocumentView* view, GraphicRenderer* picture,
                       const PictureHotArea& area) override {
    (void)picture;
    if (area.area) static_cast<Region*>(area.area)
          ->Activate(reinterpret_cast<View*>(static_cast<ViewWindow*>(view)));
  }
};

PictureServices g_services;

class PictureEngine : public HostedEngine {
 public:
  using HostedEngine::HostedEngine;
  void WebClosing(Web* web) override {
    GetGraphicCache().WebClosing(web);
    HostedEngine::WebClosing(web);
  }
  void AnchorDeleted(Anchor* anchor) override {
    GetGraphicCache().AnchorDeleted(anchor);
    HostedEngine::AnchorDeleted(anchor);
  }
  void AnchorsChanged() override {
    GetGraphicCache().WebsChanged();
    HostedEngine::AnchorsChanged();
  }
  void StartTimer() override { StartPictureTimer(); }
  int GotoLocation(View* view, Document* document, DocumentNode* element, EntityDecl* graphic,
                   const HotspotArea& area) override {
    if (!graphic || !graphic->IsExternal()) return 0;
    // A picture with hot areas of its own is shown as a picture; any other
    // is scrolled to where a document view places it.
    GraphicObject* known = GetEntityPicture(document, graphic, false);
    const bool hasAreas = known && known->FirstArea();
    if (known) known->Release();
    if (!hasAreas && ShowPictureInDocumentViews(document, graphic, area.y, area.height)) return 1;
    if (view) return HostedEngine::GotoLocation(view, document, element, graphic, area);
    return ShowPictureAreaOf(document, graphic, area);
  }
};

}  // namespace

HostedEngine* MakePictureEngine(ModuleHandle instance, const char* home, const char* title,
                                HostCallback callback) {
  return new PictureEngine(instance, home, title, callback);
}

void PicturesDocumentOpened(Document* document) {
  if (!document) return;
  GetGraphicCache().DocumentLoaded(document);
  GetGraphicCache().WebsChanged();
}

void PicturesWebsChanged() { GetGraphicCache().WebsChanged(); }

void InstallPictureServices() { SetGraphicServices(&g_services); }

void RemovePictureServices() {
  if (&GetGraphicServices() == &g_services) SetGraphicServices(nullptr);
  StopPictureTimer();
  DestroyGraphicCache();
  ClearHostObjectTypes();
}

}  // namespace qs
