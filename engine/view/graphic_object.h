// Pictures: every picture a document shows is one shared GraphicObject,
// loaded once and kept in the engine's graphic cache, with its hot areas.
// Each place that shows it asks it for a renderer (an ImageRenderer), which
// knows the size, position and highlight of that one appearance.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "view/output_device.h"
#include "view/shared_palette.h"

namespace qs {

class Anchor;
class Document;
class DocumentNode;
class Web;
class EngineBase;
class EntityDecl;
class GraphicObject;
class Region;
class View;

// One appearance of a picture.
class ImageRenderer : public GraphicRenderer, public PaletteUser {
 public:
  enum : std::uint8_t { kPlaced = 1 };
  // Takes a use of the graphic and enters the graphic's list.
  ImageRenderer(GraphicObject* graphic, OutputDevice* owner);
  ~ImageRenderer() override;

  // Height (or width) follows the picture's aspect.
  virtual void SetWidth(int w);
  virtual void SetHeight(int h);
  // The picture's own size and descent.
  virtual void ResetSize();
  virtual void Print(OutputDevice* device, int x, int y) { (void)device, (void)x, (void)y; }
  void UsePalette(void* handle) override { (void)handle; }
  // The platform palette of the picture, null for none.
  virtual void* GetPalette() { return nullptr; }
  // Taken off its place (no effect here).
  virtual void Unplaced() {}
  void OwnerGone() override { owner = nullptr; }

  // Records the place and redraws a visible renderer on its owner.
  void Place(int x, int y, int w, int h);
  void TakeOff();
  // Shrinks to a width (at least 16, and not below 4 % of the present
  // width); never grows. The descent keeps its proportion.
  void ShrinkToWidth(int w);
  void ShrinkToHeight(int h);
  // The hot area of the picture under the view point, or null.
  Region* HitTest(int x, int y) const;
  // Selects a hot area (a copy is kept); a selection starts the engine's
  // timer, which draws its moving outline.
  void Select(Region* area);

  GraphicObject* graphic;
  OutputDevice* owner;
  std::int16_t minWidth = 8;
  std::int16_t width, height, descent;
  std::int16_t placedWidth = 0, placedHeight = 0, placedX = 0, placedY = 0;
  std::uint8_t flags = 0;
  // Hot areas of this document only (web anchors always count); null: all.
  Document* limit = nullptr;
  Region* outlined = nullptr;
  Region* selected = nullptr;
  ImageRenderer* nextOfGraphic = nullptr;
};

class GraphicObject : public OwnedNode {
 public:
  GraphicObject(EntityDecl* entity, EntityDecl* maskEntity, DocumentNode* element,
                Document* context, const char* key, int width, int height);
  ~GraphicObject() override;

  // A screen renderer for a view's device, null when the class has none.
  virtual ImageRenderer* MakeRenderer(OutputDevice* owner) { (void)owner; return nullptr; }
  // The same scaled from the screen's resolution to a printer's.
  ImageRenderer* MakePrintRenderer(OutputDevice* device);
  // 1131 for raster images of the imaging library, else 0.
  virtual int Kind() const { return 0; }

  // A screen renderer attached to the owner's device list.
  ImageRenderer* MakeScreenRenderer(OutputDevice* owner);
  // The form an overview pane shows (the screen renderer unless the class
  // has its own), attached likewise.
  virtual ImageRenderer* MakeOverviewRenderer(OutputDevice* owner) { return MakeScreenRenderer(owner); }

  void AddRef() { ++useCount; }
  // At 0 an orphaned graphic is deleted; any other stays cached.
  void Release();

  // Hot areas in the order added (owned).
  void AddArea(Region* area);
  void RemoveAreas(bool (*which)(Region*, const void*), const void* data);
  Region* FirstArea() const { return areas_; }
  std::size_t AreaCount() const;

  EntityDecl* entity;
  EntityDecl* maskEntity;
  DocumentNode* element;
  Document* context;
  const char* key;
  ImageRenderer* renderers = nullptr;
  std::int16_t width, height;
  std::int16_t descent = 0;
  std::uint16_t useCount = 1;
  bool orphaned = false;

 private:
  Region* areas_ = nullptr;
};

// Makes the pictures; the engine's handler implements the built-in loaders.
class NotationHandler {
 public:
  virtual ~NotationHandler() = default;
  virtual GraphicObject* LoadElement(Document* context, DocumentNode* element, const char* key) {
    (void)context, (void)element, (void)key;
    return nullptr;
  }
  virtual GraphicObject* LoadEntity(EntityDecl* entity, const char* key, EntityDecl* maskEntity) {
    (void)entity, (void)key, (void)maskEntity;
    return nullptr;
  }
  virtual bool CanLoadElement(const char* key);
};

// The engine's cache of pictures, most recently used first.
class GraphicCache {
 public:
  // Graphics unused beyond this many are dropped before a new one comes.
  static constexpr std::size_t kKeep = 6;
  // `handler` is not owned.
  explicit GraphicCache(NotationHandler* handler) : handler_(handler) {}
  // Unused graphics are deleted, the others orphaned.
  ~GraphicCache();
  GraphicCache(const GraphicCache&) = delete;
  GraphicCache& operator=(const GraphicCache&) = delete;

  // The graphic of an entity (or, without one, of an element in a
  // context) under `key`, with a use for the caller; made by the handler
  // when `create` and new. Null when it cannot be made.
  GraphicObject* Get(Document* context, DocumentNode* element, EntityDecl* entity, const char* key,
                     EntityDecl* maskEntity, bool create);
  // Deletes every unused graphic.
  void Remove();
  // The document closes: its hot areas go, and the graphics it asked for
  // leave the cache (deleted when unused, else orphaned).
  void DocumentClosed(Document* document);
  // A document was loaded: its hotspot elements become hot areas of the
  // cached graphics they name.
  void DocumentLoaded(Document* document);
  // The areas of web anchors made again from the open webs.
  void WebsChanged();
  // A web closes, or one anchor goes: their areas (and selected copies) go
  // first, while the anchors still stand.
  void WebClosing(Web* web);
  void AnchorDeleted(Anchor* anchor);
  std::size_t Count() const { return list_.Count(); }
  GraphicObject* First() const { return static_cast<GraphicObject*>(list_.First()); }

  // Hot areas a new graphic of an entity gets: hotspot elements of the
  // open documents, then the open webs' hotspot anchors.
  static void CollectAreas(GraphicObject* graphic);

 private:
  NotationHandler* handler_;
  OwnedList list_{false};
};

// Whether two entities name the same picture: the same object, or equal
// identifiers with the same effective data attribute values.
bool SamePictureEntity(EntityDecl* a, EntityDecl* b);
// The descent a new graphic takes from "DESCENT" (else "VALIGN") of the
// element, else of the entity's data attributes.
int PictureDescent(DocumentNode* element, EntityDecl* entity, int height);

}  // namespace qs
