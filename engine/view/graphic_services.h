// What layout asks of the pictures: the graphic objects that external
// entities, style-sheet icons and widgets resolve to, and the size, fitting,
// drawing and hot areas of a picture placed in a view (a GraphicRenderer
// the view made of a graphic for one format, DocumentView::TakePicture).
//
// Layout never looks inside a GraphicObject or a renderer: everything goes
// through the one installed GraphicServices object. The base class answers
// "none" everywhere (no graphic, empty pictures), so until a pictures
// implementation installs itself, entities show as notation labels and
// widgets as "Widget: NAME" labels. An implementation derives from
// GraphicServices, overrides what it supports and installs itself with
// SetGraphicServices for as long as it lives.
#pragma once
#include <cstdint>

namespace qs {

class Document;
class DocumentNode;
class DocumentView;
class EntityDecl;
class GraphicObject;
class GraphicRenderer;
class StyleSheet;

// A placed picture's geometry, in units of the device it was made for.
struct PictureGeometry {
  int width = 0;
  // The narrowest the picture may be fitted to.
  int minWidth = 0;
  int height = 0;
  // The part below the text baseline.
  int descent = 0;
  // The device size that 2048 hot-area units stand for, per axis.
  int scaleX = 0, scaleY = 0;
  // Added to box coordinates before a hot-area test.
  int originX = 0, originY = 0;
};

// A hot area of a picture found under a point.
struct PictureHotArea {
  // The area's bounds in 1/2048 of the picture's size.
  int x = 0, y = 0, width = 0, height = 0;
  // The pointer kind the area answers (its state code).
  int pointerKind = 0;
  // The information value of the area (what the box's query answers).
  std::intptr_t info = 0;
  // The implementation's own handle on the area (passed back unchanged).
  void* area = nullptr;
};

class GraphicServices {
 public:
  virtual ~GraphicServices() = default;

  // ---- Graphic objects: each answer carries one use for the caller.
  // The graphic of an external entity referred to in `context` (loaded and
  // cached when it is new), or null.
  virtual GraphicObject* GetEntityGraphic(Document* context, EntityDecl* entity) {
    (void)context, (void)entity;
    return nullptr;
  }
  // The graphic of a widget element (`widget` names the widget or the
  // notation whose handler draws it), created when missing, or null.
  virtual GraphicObject* GetWidgetGraphic(Document* context, DocumentNode* element,
                                          const char* widget) {
    (void)context, (void)element, (void)widget;
    return nullptr;
  }
  // The image of an icon the sheet declares, or null when the sheet has no
  // such icon or it cannot be read.
  virtual GraphicObject* GetIconGraphic(StyleSheet* sheet, const char* name) {
    (void)sheet, (void)name;
    return nullptr;
  }
  virtual void AddRef(GraphicObject* graphic) { (void)graphic; }
  virtual void Release(GraphicObject* graphic) { (void)graphic; }

  // ---- Pictures (renderers a view made; the view owns them).
  virtual PictureGeometry Geometry(GraphicRenderer* picture) {
    (void)picture;
    return {};
  }
  // Shrinks to the width (or height): below 16 taken as 16, not below 4 %
  // of the current size, never grown; the descent keeps its proportion.
  virtual void FitWidth(GraphicRenderer* picture, int width) { (void)picture, (void)width; }
  virtual void FitHeight(GraphicRenderer* picture, int height) { (void)picture, (void)height; }
  // Places and draws the picture with its top-left corner at (x, top) on
  // the current device; `pressed` draws it in its pressed state.
  virtual void Draw(GraphicRenderer* picture, int x, int top, int pressed) {
    (void)picture, (void)x, (void)top, (void)pressed;
  }
  // The hot area under (x, y) (picture coordinates, origin added), or false.
  virtual bool HotAreaAt(GraphicRenderer* picture, int x, int y, PictureHotArea* found) {
    (void)picture, (void)x, (void)y, (void)found;
    return false;
  }
  // Shows (on) or takes away (off) the area's press feedback.
  virtual void ShowHotArea(GraphicRenderer* picture, const PictureHotArea& area, bool on) {
    (void)picture, (void)area, (void)on;
  }
  // A press released on the area: its anchor activated, else its link
  // followed.
  virtual void ActivateHotArea(DocumentView* view, GraphicRenderer* picture,
                               const PictureHotArea& area) {
    (void)view, (void)picture, (void)area;
  }
};

// The installed services, else the base that answers none.
GraphicServices& GetGraphicServices();
// Installs `services` (null restores the base); returns the previous one
// (null when it was the base).
GraphicServices* SetGraphicServices(GraphicServices* services);

}  // namespace qs
