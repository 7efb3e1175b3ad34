// Pictures in the host's own windows: a graphic entity shown as a picture
// view, its overview panes, zoom and scroll, and the engine's request for a
// window (event 8) when a hot area of a picture no view shows is to be shown.
#include <algorithm>

#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "api/wrappers.h"
#include "foundation/engine.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "view/graphic_object.h"
#include "view/hot_areas.h"
#include "view/picture_services.h"
#include "view/picture_view.h"
#include "view/tree_view.h"
#include "view/window_device.h"
#include "view/window_map.h"

using namespace qs;

namespace {

PictureView* ViewOf(QsWindow window) {
  if (!GetEngine()) return nullptr;
  return static_cast<PictureView*>(FindPictureView(static_cast<WindowHandle>(window)));
}

// The graphic of an entity handle of a document (one use for the caller).
GraphicObject* GraphicOf(QsHandle entity) {
  HandleTable* handles = Handles();
  auto* ref = handles ? static_cast<EntityRef*>(handles->LookupEntity(entity)) : nullptr;
  if (!ref || !ref->Owner() || !ref->Entity() || !ref->Entity()->IsExternal()) return nullptr;
  return GetEntityPicture(ref->Owner(), ref->Entity(), true);
}

// A new handle of the graphic's entity, 0 without one.
QsHandle EntityHandle(GraphicObject* graphic) {
  HandleTable* handles = Handles();
  if (!handles || !graphic || !graphic->entity) return 0;
  EntityRef* ref = graphic->context ? EntityRef::OfDocument(graphic->context, graphic->entity)
                                    : EntityRef::OfEntity(graphic->entity);
  if (!ref) return 0;
  QsHandle handle = handles->RegisterEntity(ref);
  if (!handle) delete ref;
  return handle;
}

// The sizes event 8 reports: at the area's zoom, kept within the sides a
// picture view allows, when the area has one.
void RequestExtents(const GraphicObject* graphic, const Region* area, QsPictureRequest* request) {
  std::int64_t w = graphic->width, h = graphic->height;
  int z = area ? area->zoom : 0;
  if (z > 0) {
    for (std::int64_t extent : {w, h}) {
      if (extent <= 0) continue;
      if (extent * z / 256 < 8) z = static_cast<int>(std::max<std::int64_t>(1, 2048 / extent));
      else if (extent * z / 256 > 16384) z = static_cast<int>(4194304 / extent);
    }
    w = w * z / 256;
    h = h * z / 256;
  }
  request->width = static_cast<std::int32_t>(w);
  request->height = static_cast<std::int32_t>(h);
  request->zoom = area ? area->zoom : 0;
}

}  // namespace

namespace qs {

int FindOrOpenPicture(WindowHandle window, GraphicObject* graphic, const Region* area) {
  EngineBase* engine = GetEngine();
  if (!engine || !graphic) return 0;
  if (PictureView* view = FindPictureViewOf(graphic)) {
    if (auto* device = dynamic_cast<WindowDevice*>(view->GetDevice()))
      if (HostedEngine* hosted = engine->AsHosted()) hosted->ShowWindow(device->window());
    if (area) view->ShowArea(area);
    return 1;
  }
  const QsHandle entity = EntityHandle(graphic);
  QsPictureRequest request{};
  RequestExtents(graphic, area, &request);
  const auto answer = static_cast<WindowHandle>(engine->RaiseEvent(
      window, kEventPictureWindow, static_cast<std::intptr_t>(entity),
      reinterpret_cast<std::intptr_t>(&request)));
  if (entity)
    if (HandleTable* handles = Handles()) handles->Release(entity);
  if (!answer) return 1;
  HostPictureView* view =
      OpenPictureView(answer, graphic, static_cast<std::uint32_t>(request.pictureFlags),
                      area ? 0 : request.zoom, request.scrollX, request.scrollY);
  if (!view) return 1;
  if (request.overviewWindow)
    OpenOverviewView(answer, static_cast<WindowHandle>(request.overviewWindow), 0);
  if (area) view->ShowArea(area);
  return 1;
}

int HostedEngine::FindOrOpenHotArea(WindowHandle window, Document*, GraphicObject* graphic,
                                    Region* area) {
  return FindOrOpenPicture(window, graphic, area);
}

}  // namespace qs

extern "C" {

std::int32_t QsOpenPictureView(QsWindow window, QsHandle entity, QsWord options, QsWord zoom,
                               QsWord x, QsWord y) {
  if (!GetEngine() || !window) return 0;
  GraphicObject* graphic = GraphicOf(entity);
  if (!graphic) return 0;
  HostPictureView* view =
      OpenPictureView(static_cast<WindowHandle>(window), graphic, static_cast<std::uint32_t>(options),
                      static_cast<int>(zoom), static_cast<int>(x), static_cast<int>(y));
  graphic->Release();
  return view ? 1 : 0;
}

std::int32_t QsShowHotArea(QsWindow window, QsHandle entity) {
  if (!GetEngine()) return 0;
  HandleTable* handles = Handles();
  auto* ref = handles ? static_cast<EntityRef*>(handles->LookupEntity(entity)) : nullptr;
  if (!ref || !ref->Owner()) return 0;
  GraphicObject* graphic = GraphicOf(entity);
  if (!graphic) {
    GetEngine()->RaiseEvent(static_cast<WindowHandle>(window), kEventGraphicUnavailable,
                            static_cast<std::intptr_t>(entity), 0);
    return 1;
  }
  if (HostedEngine* hosted = GetEngine()->AsHosted())
    hosted->FindOrOpenHotArea(static_cast<WindowHandle>(window), ref->Owner(), graphic, nullptr);
  graphic->Release();
  return 1;
}

QsHandle QsGetPictureEntity(QsWindow window) {
  PictureView* view = ViewOf(window);
  return view ? EntityHandle(view->Graphic()) : 0;
}

std::int32_t QsZoomPictureSteps(QsWindow window, std::int32_t x, std::int32_t y, std::int32_t steps) {
  PictureView* view = ViewOf(window);
  if (!view) return 0;
  // Each step either changes the view or ends the run.
  for (; steps < 0; ++steps)
    if (!view->ZoomOut(x, y, false)) break;
  for (; steps > 0; --steps)
    if (!view->ZoomIn(x, y, false)) break;
  return 1;
}

std::int32_t QsSetPictureZoom(QsWindow window, std::int32_t x, std::int32_t y, std::int32_t zoom) {
  PictureView* view = ViewOf(window);
  if (!view) return 0;
  const int result = view->SetZoom(zoom, x, y);
  if (OutputDevice* device = view->GetDevice()) device->Invalidate();
  return result;
}

std::int32_t QsPanPicture(QsWindow window, std::int32_t dx, std::int32_t dy) {
  PictureView* view = ViewOf(window);
  if (!view) return 0;
  if (dx) view->SetScrollX(view->ScrollX() + dx);
  if (dy) view->SetScrollY(view->ScrollY() + dy);
  return 1;
}

std::int32_t QsGetPictureExtent(QsWindow window) {
  PictureView* view = ViewOf(window);
  return view ? static_cast<std::int16_t>(view->Zoom()) : 0;
}

std::int32_t QsGetPictureScrollX(QsWindow window) {
  PictureView* view = ViewOf(window);
  return view ? static_cast<std::int16_t>(view->ScrollX()) : 0;
}

std::int32_t QsGetPictureScrollY(QsWindow window) {
  PictureView* view = ViewOf(window);
  return view ? static_cast<std::int16_t>(view->ScrollY()) : 0;
}

std::int32_t QsGetPictureZoomX(QsWindow window) {
  PictureView* view = ViewOf(window);
  return view ? static_cast<std::int16_t>(view->ZoomedWidth()) : 0;
}

std::int32_t QsGetPictureZoomY(QsWindow window) {
  PictureView* view = ViewOf(window);
  return view ? static_cast<std::int16_t>(view->ZoomedHeight()) : 0;
}

std::int32_t QsCreateOverviewView(QsWindow pictureWindow, QsWindow overviewWindow) {
  if (!ViewOf(pictureWindow) || !overviewWindow) return 0;
  OpenOverviewView(static_cast<WindowHandle>(pictureWindow), static_cast<WindowHandle>(overviewWindow), 0);
  return 1;
}

std::int32_t QsCreateTreeView(QsWindow window, QsHandle document, QsHandle node, QsWord value,
                              QsWord options) {
  HandleTable* handles = GetEngine() ? Handles() : nullptr;
  auto* doc = handles ? static_cast<Document*>(handles->LookupDocument(document)) : nullptr;
  if (!doc || !window) return 0;
  // A node of another document is ignored: the root is shown.
  DocumentNode* start = nullptr;
  if (auto* ref = node ? static_cast<NodeRef*>(handles->LookupNode(node)) : nullptr;
      ref && ref->GetDocument() == doc)
    start = ref->Current() ? ref->Current() : ref->Parent();
  auto* view = new HostTreeView(static_cast<WindowHandle>(window), doc, start, value,
                                static_cast<std::uint32_t>(options));
  if (OutputDevice* device = view->GetDevice()) device->Invalidate();
  return 1;
}

}  // extern "C"
