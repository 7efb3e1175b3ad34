// Pictures for layout: the graphic services that the formatter's entity
// boxes use, answered by the engine's graphic cache, notation rules and
// renderers.
#pragma once
#include "foundation/engine.h"
#include "view/graphic_services.h"

namespace qs {

class EntityDecl;
class GraphicObject;
struct HotspotArea;

// The graphic of an entity in a context: its key from the notation rules,
// its mask from the data attribute "MASK" named in the context; one use for
// the caller, or null.
GraphicObject* GetEntityPicture(Document* context, EntityDecl* entity, bool create);

// Shows an area of the entity's picture: in the picture view that shows it,
// else in one the host gives a window for (event 8). 0 when the picture
// cannot be had.
int ShowPictureAreaOf(Document* context, EntityDecl* entity, const HotspotArea& area);

// Scrolls a document view of `document` (any document when null) that
// places the entity's picture so that its rows from y to y + height (in
// 1/2048 of its height) show: the most recently set view first. False when
// no view places it.
bool ShowPictureInDocumentViews(Document* document, EntityDecl* entity, int y, int height);

// Shows a graphic entity of a document as a whole: in a document view that
// places it, else through the engine's ShowHotArea with no area (a picture
// view, opened through the host when none shows it). 0 when it is no
// picture or cannot be had.
int ShowEntityPicture(Document* document, EntityDecl* entity);

// Installs the engine's picture services (engine start) and takes them out
// again, with the cache, at teardown.
void InstallPictureServices();
void RemovePictureServices();

// The engine the library runs: a hosted engine whose webs and documents
// keep the cached pictures' hot areas in step.
HostedEngine* MakePictureEngine(ModuleHandle instance, const char* home, const char* title,
                                HostCallback callback);
// A document was opened (with the webs it names): its hotspot elements and
// the webs' anchors become hot areas of the cached pictures.
void PicturesDocumentOpened(Document* document);
// A web was opened: the web anchors' areas are made again.
void PicturesWebsChanged();

}  // namespace qs
