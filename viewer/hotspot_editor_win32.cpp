// The hotspot editor: a mode of the main window in which the figure window
// fills the client area and the mouse draws, moves, resizes and reshapes
// the hotspots of the shown picture in the edited web. The engine stores
// and draws the hotspots; the editor keeps the geometry of the one being
// edited, draws its handles, and writes each change back at once.
#include <windows.h>

#include <cstring>
#include <vector>

#include "engine.h"
#include "hotspot_geometry.h"
#include "resources/resource.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

enum Tool { kSelect = 0, kAddPoint = 1, kRemovePoint = 2, kNewRect = 3, kNewEllipse = 4, kNewPolygon = 5 };
enum class Drag { kNone, kMove, kResize, kPoint, kNewBox, kPan };

enum CursorId {
  kCurSel, kCurLocked, kCurMove, kCurCut, kCurCutHit, kCurTrash, kCurTrashHit, kCurRect,
  kCurEllipse, kCurPoly, kCurPolyEnd, kCursorCount
};
constexpr const char* kCursorNames[kCursorCount] = {
    "curSel", "curLocked", "curMove", "curCut", "curCutHit", "curTrash",
    "curTrashHit", "curRect", "curEllipse", "curPoly", "curPolyEnd"};

constexpr COLORREF kVga[HOT_COLOR_COUNT] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192),
    RGB(192, 220, 192), RGB(166, 202, 240), RGB(255, 251, 240), RGB(160, 160, 164),
    RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255)};

constexpr char kHotspotHead[] = "HOTSPOT";

struct Editor {
  HMENU menu = nullptr;
  HCURSOR cursors[kCursorCount] = {};
  HPEN pen = nullptr;
  int colour = 13;
  bool active = false;
  WNDPROC mainProc = nullptr, figureProc = nullptr;
  bool setHotspotFlag = false;
  bool mainViewWasShown = false, navigatorWasShown = false;
  UINT wheelMessage = 0;

  // The hotspot being edited.
  QsHandle current = 0;
  HsBox box;
  int zoom = 0;
  int shape = 0;
  std::vector<HsPoint> points;  // relative to the box

  PictureTransform transform;
  int tool = kSelect;
  Drag drag = Drag::kNone;
  int handle = -1, pointIndex = -1;
  HsPoint press;        // picture units
  HsBox dragBox;        // the box the outline shows
  HsPoint dragPoint;    // a dragged polygon point, relative
  bool outlineShown = false;
  std::vector<HsPoint> drawing;  // a polygon being drawn, picture units
  HsPoint rubberEnd;             // window position of the line's far end
  bool rubberShown = false;
} e;

HWND Figure() { return FigureWindow(); }

void Release(QsHandle handle) {
  if (handle) eng::QsReleaseHandle(handle);
}

void RefreshTransform() {
  HWND figure = Figure();
  e.transform.scrollX = static_cast<std::int16_t>(eng::QsGetPictureScrollX(W(figure)));
  e.transform.scrollY = static_cast<std::int16_t>(eng::QsGetPictureScrollY(W(figure)));
  e.transform.height = static_cast<std::int16_t>(eng::QsGetPictureZoomY(W(figure)));
  e.transform.width = static_cast<std::int16_t>(eng::QsGetPictureZoomX(W(figure)));
}

void EnableItem(int id, bool on) {
  if (e.menu) EnableMenuItem(e.menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void UpdateMenu() {
  const bool has = e.current != 0;
  const bool polygon = has && e.shape == static_cast<int>(HotspotShape::kPolygon);
  const int count = static_cast<int>(e.points.size());
  for (int id : {IDM_HOT_SHAPE_RECT, IDM_HOT_SHAPE_ELLIPSE, IDM_HOT_SHAPE_POLYGON, IDM_HOT_NOTES,
                 IDM_HOT_COLOR, IDM_HOT_REMOVE_ANCHOR})
    EnableItem(id, has);
  EnableItem(IDM_HOT_TRIM, polygon);
  EnableItem(IDM_HOT_ADD_POINT, polygon && CanAddPoint(count));
  EnableItem(IDM_HOT_REMOVE_POINT, polygon && CanRemovePoint(count));
  for (int shape = 1; shape <= 3; ++shape)
    if (e.menu)
      CheckMenuItem(e.menu, IDM_HOT_REMOVE_POINT + shape,
                    MF_BYCOMMAND | (has && e.shape == shape ? MF_CHECKED : MF_UNCHECKED));
  if (e.active && MainWindow()) DrawMenuBar(MainWindow());
}

void Redraw() {
  if (HWND figure = Figure()) InvalidateRect(figure, nullptr, FALSE);
}

// Reads the edited hotspot's geometry again; one without a region is let go.
bool Reread() {
  if (!e.current) return false;
  std::int32_t x = 0, y = 0, w = 0, h = 0, zoom = 0;
  if (!eng::QsGetHotspotRect(e.current, &x, &y, &w, &h, &zoom)) return false;
  e.box = {x, y, w, h};
  e.zoom = zoom;
  std::int32_t count = 0;
  std::int16_t buffer[2 * 100] = {};
  e.shape = eng::QsGetHotspotPoints(e.current, nullptr, nullptr);
  e.points.clear();
  if (e.shape == static_cast<int>(HotspotShape::kPolygon) &&
      eng::QsGetHotspotPoints(e.current, &count, buffer) && count > 0) {
    if (count > 100) count = 100;
    for (int i = 0; i < count; ++i) e.points.push_back({buffer[2 * i], buffer[2 * i + 1]});
  }
  return true;
}

void DropCurrent() {
  Release(e.current);
  e.current = 0;
  e.points.clear();
  e.shape = 0;
  e.drag = Drag::kNone;
  UpdateMenu();
  Redraw();
}

// Makes the anchor the edited hotspot, with a use of its own.
void SetCurrent(QsHandle anchor) {
  if (anchor != e.current) {
    eng::QsAddRefHandle(anchor);
    Release(e.current);
    e.current = anchor;
  }
  if (!Reread()) {
    DropCurrent();
    return;
  }
  UpdateMenu();
  Redraw();
}

void AfterChange() {
  if (!Reread()) {
    DropCurrent();
    return;
  }
  UpdateMenu();
  Redraw();
}

std::vector<HsPoint> PolygonWindowPoints() {
  std::vector<HsPoint> window;
  for (const HsPoint& p : e.points) window.push_back(PictureToWindow(e.transform, AbsolutePoint(e.box, p)));
  return window;
}

bool SetPoints(QsHandle anchor, int shape, const std::vector<HsPoint>& points) {
  std::vector<std::int16_t> flat;
  for (const HsPoint& p : points) {
    flat.push_back(static_cast<std::int16_t>(p.x));
    flat.push_back(static_cast<std::int16_t>(p.y));
  }
  return eng::QsSetHotspotPoints(anchor, shape, static_cast<std::int32_t>(points.size()),
                                 flat.empty() ? nullptr : flat.data()) != 0;
}

// ---- Drawing ---------------------------------------------------------------------------

void Line(HDC dc, HsPoint a, HsPoint b) {
  MoveToEx(dc, a.x, a.y, nullptr);
  LineTo(dc, b.x, b.y);
}

// The outline that follows the mouse, drawn inverted so that drawing it
// again takes it away.
void DrawDragOutline() {
  HWND figure = Figure();
  if (!figure) return;
  HDC dc = GetDC(figure);
  const int mode = SetROP2(dc, R2_NOT);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  if (e.drag == Drag::kPoint) {
    const int count = static_cast<int>(e.points.size());
    if (count > 0) {
      const auto at = [&](int i) { return PictureToWindow(e.transform, AbsolutePoint(e.box, e.points[static_cast<std::size_t>(i)])); };
      const HsPoint moved = PictureToWindow(e.transform, AbsolutePoint(e.box, e.dragPoint));
      Line(dc, at((e.pointIndex + count - 1) % count), moved);
      Line(dc, moved, at((e.pointIndex + 1) % count));
    }
  } else if (e.drag != Drag::kNone) {
    const HsPoint a = PictureToWindow(e.transform, {e.dragBox.x, e.dragBox.y});
    const HsPoint b = PictureToWindow(e.transform, {e.dragBox.Right(), e.dragBox.Bottom()});
    if (e.drag == Drag::kNewBox && e.tool == kNewEllipse) {
      Arc(dc, a.x, a.y, b.x, b.y, a.x, a.y, a.x, a.y);
    } else {
      Line(dc, a, {b.x, a.y});
      Line(dc, {b.x, a.y}, b);
      Line(dc, b, {a.x, b.y});
      Line(dc, {a.x, b.y}, a);
    }
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  SetROP2(dc, mode);
  ReleaseDC(figure, dc);
  e.outlineShown = !e.outlineShown;
}

void DrawRubberLine() {
  HWND figure = Figure();
  if (!figure || e.drawing.empty()) return;
  HDC dc = GetDC(figure);
  const int mode = SetROP2(dc, R2_NOT);
  Line(dc, PictureToWindow(e.transform, e.drawing.back()), e.rubberEnd);
  SetROP2(dc, mode);
  ReleaseDC(figure, dc);
  e.rubberShown = !e.rubberShown;
}

void HideFeedback() {
  if (e.outlineShown) DrawDragOutline();
  if (e.rubberShown) DrawRubberLine();
}

// The handles of the edited hotspot, the points of a polygon, and the
// lines of a polygon being drawn, over the engine's picture.
void DrawHandles(HDC dc) {
  HGDIOBJ oldPen = SelectObject(dc, e.pen ? e.pen : GetStockObject(BLACK_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  if (e.current) {
    for (const HsPoint& h : HandlePositions(e.transform, e.box))
      Rectangle(dc, h.x - 3, h.y - 3, h.x + 4, h.y + 4);
    if (e.shape == static_cast<int>(HotspotShape::kPolygon)) {
      for (const HsPoint& p : PolygonWindowPoints()) {
        const POINT diamond[4] = {{p.x, p.y - 3}, {p.x + 3, p.y}, {p.x, p.y + 3}, {p.x - 3, p.y}};
        Polygon(dc, diamond, 4);
      }
    }
  }
  for (std::size_t i = 1; i < e.drawing.size(); ++i)
    Line(dc, PictureToWindow(e.transform, e.drawing[i - 1]), PictureToWindow(e.transform, e.drawing[i]));
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void SelectPenColour(int n) {
  if (n < 0 || n >= HOT_COLOR_COUNT) return;
  if (e.menu) {
    CheckMenuItem(e.menu, IDM_HOT_COLOR_FIRST + e.colour, MF_BYCOMMAND | MF_UNCHECKED);
    CheckMenuItem(e.menu, IDM_HOT_COLOR_FIRST + n, MF_BYCOMMAND | MF_CHECKED);
  }
  e.colour = n;
  if (e.pen) DeleteObject(e.pen);
  e.pen = CreatePen(PS_SOLID, 1, kVga[n]);
  Redraw();
}

// ---- The mouse -----------------------------------------------------------------------

HsPoint MouseAt(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// The anchor under a window position with a use for the caller, and whether
// it belongs to the edited web.
QsHandle AnchorAt(HsPoint at, bool* ours) {
  QsHandle anchor = eng::QsAnchorAtPoint(W(Figure()), at.x, at.y);
  *ours = false;
  if (anchor) {
    QsHandle web = eng::QsGetAnchorWeb(anchor);
    *ours = web != 0 && web == CurrentWeb();
    Release(web);
  }
  return anchor;
}

QsHandle PictureEntity() { return eng::QsGetPictureEntity(W(Figure())); }

// Creates a hotspot of the edited web on the shown picture; it becomes the
// edited one. 0 when the engine refuses it.
QsHandle CreateHotspot(const HsBox& box) {
  QsHandle entity = PictureEntity();
  if (!entity || !CurrentWeb()) {
    Release(entity);
    return 0;
  }
  QsHandle anchor =
      eng::QsCreateHotspot(CurrentWeb(), entity, kHotspotHead, box.x, box.y, box.width, box.height, 0);
  Release(entity);
  return anchor;
}

void ClosePolygon() {
  const PolygonGeometry polygon = PolygonFromPicturePoints(e.drawing);
  HideFeedback();
  e.drawing.clear();
  Redraw();
  if (polygon.points.size() < static_cast<std::size_t>(kMinHotspotPoints)) return;
  if (QsHandle anchor = CreateHotspot(polygon.box)) {
    SetPoints(anchor, static_cast<int>(HotspotShape::kPolygon), polygon.points);
    SetCurrent(anchor);
    Release(anchor);
  }
  e.tool = kSelect;
}

void LeftDown(HWND figure, HsPoint at) {
  RefreshTransform();
  HideFeedback();
  SetCapture(figure);
  const HsPoint picture = WindowToPictureClamped(e.transform, at);
  e.press = picture;
  switch (e.tool) {
    case kSelect: {
      if (e.current) {
        const auto handles = HandlePositions(e.transform, e.box);
        const int handle = PointHit(handles.data(), 8, at);
        if (handle >= 0) {
          e.drag = Drag::kResize;
          e.handle = handle;
          e.dragBox = e.box;
          DrawDragOutline();
          return;
        }
        if (e.shape == static_cast<int>(HotspotShape::kPolygon)) {
          const std::vector<HsPoint> window = PolygonWindowPoints();
          const int point = PointHit(window.data(), static_cast<int>(window.size()), at);
          if (point >= 0) {
            e.drag = Drag::kPoint;
            e.pointIndex = point;
            e.dragPoint = e.points[static_cast<std::size_t>(point)];
            DrawDragOutline();
            return;
          }
        }
      }
      bool ours = false;
      QsHandle anchor = AnchorAt(at, &ours);
      if (!anchor) {
        if (e.current) DropCurrent();
      } else if (anchor == e.current) {
        e.drag = Drag::kMove;
        e.dragBox = e.box;
        DrawDragOutline();
      } else if (ours) {
        SetCurrent(anchor);
      }
      // An anchor of another web is not the editor's to change.
      Release(anchor);
      return;
    }
    case kAddPoint: {
      if (e.current && e.shape == static_cast<int>(HotspotShape::kPolygon) &&
          CanAddPoint(static_cast<int>(e.points.size()))) {
        if (const auto hit = EdgeAt(PolygonWindowPoints(), at)) {
          std::vector<HsPoint> points = e.points;
          const HsPoint foot = WindowToPicture(e.transform, hit->foot);
          points.insert(points.begin() + hit->index, DragPolygonPoint(e.box, foot));
          SetPoints(e.current, static_cast<int>(HotspotShape::kPolygon), points);
          AfterChange();
          e.tool = kSelect;
        }
      }
      return;
    }
    case kRemovePoint: {
      if (e.current && e.shape == static_cast<int>(HotspotShape::kPolygon) &&
          CanRemovePoint(static_cast<int>(e.points.size()))) {
        const std::vector<HsPoint> window = PolygonWindowPoints();
        const int point = PointHit(window.data(), static_cast<int>(window.size()), at);
        if (point >= 0) {
          std::vector<HsPoint> points = e.points;
          points.erase(points.begin() + point);
          SetPoints(e.current, static_cast<int>(HotspotShape::kPolygon), points);
          AfterChange();
          e.tool = kSelect;
        }
      }
      return;
    }
    case kNewRect:
    case kNewEllipse:
      e.drag = Drag::kNewBox;
      e.dragBox = {picture.x, picture.y, 0, 0};
      DrawDragOutline();
      return;
    case kNewPolygon: {
      std::vector<HsPoint> window;
      for (const HsPoint& p : e.drawing) window.push_back(PictureToWindow(e.transform, p));
      if (ClosesPolygon(window, at)) {
        ClosePolygon();
      } else if (CanAddPoint(static_cast<int>(e.drawing.size()))) {
        e.drawing.push_back(picture);
        Redraw();
      }
      return;
    }
    default:
      return;
  }
}

void UpdateDrag(HsPoint at) {
  const HsPoint picture = WindowToPictureClamped(e.transform, at);
  switch (e.drag) {
    case Drag::kMove: e.dragBox = MoveBox(e.box, e.press, WindowToPicture(e.transform, at)); break;
    case Drag::kResize: e.dragBox = ResizeBox(e.box, e.handle, e.press, picture); break;
    case Drag::kPoint: e.dragPoint = DragPolygonPoint(e.box, WindowToPicture(e.transform, at)); break;
    case Drag::kNewBox: {
      const std::optional<HsBox> spanned = SpannedBox(e.press, picture);
      e.dragBox = spanned ? *spanned
                          : HsBox{std::min(e.press.x, picture.x), std::min(e.press.y, picture.y),
                                  std::abs(picture.x - e.press.x), std::abs(picture.y - e.press.y)};
      break;
    }
    default: break;
  }
}

HCURSOR CursorFor(HsPoint at) {
  auto own = [](CursorId id) { return e.cursors[id] ? e.cursors[id] : LoadCursor(nullptr, IDC_ARROW); };
  switch (e.tool) {
    case kAddPoint: {
      const bool hit = e.current && e.shape == static_cast<int>(HotspotShape::kPolygon) &&
                       EdgeAt(PolygonWindowPoints(), at).has_value();
      return own(hit ? kCurCutHit : kCurCut);
    }
    case kRemovePoint: {
      bool hit = false;
      if (e.current && e.shape == static_cast<int>(HotspotShape::kPolygon)) {
        const std::vector<HsPoint> window = PolygonWindowPoints();
        hit = PointHit(window.data(), static_cast<int>(window.size()), at) >= 0;
      }
      return own(hit ? kCurTrashHit : kCurTrash);
    }
    case kNewRect: return own(kCurRect);
    case kNewEllipse: return own(kCurEllipse);
    case kNewPolygon: {
      std::vector<HsPoint> window;
      for (const HsPoint& p : e.drawing) window.push_back(PictureToWindow(e.transform, p));
      return own(ClosesPolygon(window, at) ? kCurPolyEnd : kCurPoly);
    }
    default: break;
  }
  if (e.current) {
    static const LPCTSTR kSizing[8] = {IDC_SIZENWSE, IDC_SIZENS, IDC_SIZENESW, IDC_SIZEWE,
                                       IDC_SIZEWE,   IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE};
    const auto handles = HandlePositions(e.transform, e.box);
    const int handle = PointHit(handles.data(), 8, at);
    if (handle >= 0) return LoadCursor(nullptr, kSizing[handle]);
    if (e.shape == static_cast<int>(HotspotShape::kPolygon)) {
      const std::vector<HsPoint> window = PolygonWindowPoints();
      if (PointHit(window.data(), static_cast<int>(window.size()), at) >= 0)
        return LoadCursor(nullptr, IDC_CROSS);
    }
  }
  bool ours = false;
  QsHandle anchor = AnchorAt(at, &ours);
  HCURSOR cursor = LoadCursor(nullptr, IDC_ARROW);
  if (anchor)
    cursor = anchor == e.current ? own(kCurMove) : ours ? own(kCurSel) : own(kCurLocked);
  Release(anchor);
  return cursor;
}

void MouseMove(HsPoint at) {
  if (e.drag != Drag::kNone && e.drag != Drag::kPan) {
    if (e.outlineShown) DrawDragOutline();
    UpdateDrag(at);
    DrawDragOutline();
    return;
  }
  if (e.tool == kNewPolygon && !e.drawing.empty()) {
    if (e.rubberShown) DrawRubberLine();
    e.rubberEnd = at;
    DrawRubberLine();
  }
  SetCursor(CursorFor(at));
}

void LeftUp(HsPoint at) {
  if (GetCapture() == Figure()) ReleaseCapture();
  if (e.drag == Drag::kNone || e.drag == Drag::kPan) return;
  if (e.outlineShown) DrawDragOutline();
  UpdateDrag(at);
  const Drag drag = e.drag;
  e.drag = Drag::kNone;
  switch (drag) {
    case Drag::kMove:
    case Drag::kResize:
      if (e.current && !(e.dragBox == e.box))
        eng::QsSetHotspotRect(e.current, e.dragBox.x, e.dragBox.y, e.dragBox.width,
                              e.dragBox.height, e.zoom);
      AfterChange();
      break;
    case Drag::kPoint:
      if (e.current && e.pointIndex >= 0 && e.pointIndex < static_cast<int>(e.points.size())) {
        std::vector<HsPoint> points = e.points;
        points[static_cast<std::size_t>(e.pointIndex)] = e.dragPoint;
        SetPoints(e.current, static_cast<int>(HotspotShape::kPolygon), points);
      }
      AfterChange();
      break;
    case Drag::kNewBox: {
      // A click without a drag makes no hotspot.
      const std::optional<HsBox> box = SpannedBox(e.press, WindowToPictureClamped(e.transform, at));
      if (!box) break;
      if (QsHandle anchor = CreateHotspot(*box)) {
        if (e.tool == kNewEllipse) SetPoints(anchor, static_cast<int>(HotspotShape::kEllipse), {});
        SetCurrent(anchor);
        Release(anchor);
        e.tool = kSelect;
      }
      break;
    }
    default:
      break;
  }
}

// ---- Commands ------------------------------------------------------------------------

void ChooseTool(int tool) {
  HideFeedback();
  if (e.current) DropCurrent();
  e.tool = tool;
  e.drawing.clear();
  Redraw();
}

void TrimBoundingBox() {
  if (!e.current || e.shape != static_cast<int>(HotspotShape::kPolygon) || e.points.empty()) return;
  const PolygonGeometry trimmed = TrimPolygon(e.box, e.points);
  eng::QsSetHotspotRect(e.current, trimmed.box.x, trimmed.box.y, trimmed.box.width,
                        trimmed.box.height, e.zoom);
  SetPoints(e.current, static_cast<int>(HotspotShape::kPolygon), trimmed.points);
  AfterChange();
}

void ChangeShape(int shape) {
  if (!e.current || shape == e.shape) return;
  SetPoints(e.current, shape, UnitSquarePoints());
  AfterChange();
}

void HotspotColour() {
  if (!e.current) return;
  char buffer[256] = "";
  eng::QsGetHotspotColor(e.current, buffer, std::int32_t{255});
  if (eng::QsInputDialog(W(MainWindow()), "Set hotspot color", "Color:", buffer))
    eng::QsSetHotspotColor(e.current, buffer);
  AfterChange();
}

void EditCommand(HWND main, int id, WPARAM wParam, LPARAM lParam) {
  if (id >= IDM_HOT_COLOR_FIRST && id < IDM_HOT_COLOR_FIRST + HOT_COLOR_COUNT) {
    SelectPenColour(id - IDM_HOT_COLOR_FIRST);
    return;
  }
  switch (id) {
    case IDM_EXIT:
      SendMessageA(main, WM_CLOSE, 0, 0);
      return;
    case IDM_HOT_DONE:
      LeaveHotspotEditMode();
      return;
    case IDM_ZOOM_OUT: case IDM_ZOOM_IN: case IDM_ZOOM_RESET: case IDM_OVERVIEW:
    case IDM_CENTER_ZOOM: case IDM_SUPPRESS_ZOOM: case IDM_IGNORE_HOTSPOTS:
    case IDM_PRINT_FIGURE: case IDM_PREVIEW_FIGURE:
      CallWindowProcA(e.mainProc, main, WM_COMMAND, wParam, lParam);
      RefreshTransform();
      return;
    case IDM_HOT_REMOVE_ANCHOR:
      if (e.current) {
        const QsHandle anchor = e.current;
        eng::QsAddRefHandle(anchor);
        DropCurrent();
        eng::QsDeleteAnchor(anchor);
        Release(anchor);
      }
      SendMessageA(Figure(), WM_COMMAND, wParam, lParam);
      return;
    case IDM_HOT_COLOR: HotspotColour(); return;
    case IDM_HOT_NOTES:
      if (e.current) eng::QsAnchorNotifyA(W(main), e.current);
      SendMessageA(Figure(), WM_COMMAND, wParam, lParam);
      return;
    case IDM_HOT_NEW_RECT: ChooseTool(kNewRect); return;
    case IDM_HOT_NEW_ELLIPSE: ChooseTool(kNewEllipse); return;
    case IDM_HOT_NEW_POLYGON: ChooseTool(kNewPolygon); return;
    case IDM_HOT_TRIM: TrimBoundingBox(); return;
    case IDM_HOT_ADD_POINT: HideFeedback(); e.tool = kAddPoint; return;
    case IDM_HOT_REMOVE_POINT: HideFeedback(); e.tool = kRemovePoint; return;
    case IDM_HOT_SHAPE_RECT: ChangeShape(1); return;
    case IDM_HOT_SHAPE_ELLIPSE: ChangeShape(2); return;
    case IDM_HOT_SHAPE_POLYGON: ChangeShape(3); return;
    default: return;
  }
}

void PaintMainFrame(HWND main) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(main, &ps);
  RECT client;
  GetClientRect(main, &client);
  RECT figure{};
  if (HWND f = Figure()) {
    GetWindowRect(f, &figure);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&figure), 2);
  }
  RECT sunken = figure;
  InflateRect(&sunken, 2, 2);
  HRGN fill = CreateRectRgnIndirect(&client);
  HRGN hole = CreateRectRgnIndirect(&figure);
  CombineRgn(fill, fill, hole, RGN_DIFF);
  FillRgn(dc, fill, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  DeleteObject(hole);
  DeleteObject(fill);
  DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);
  DrawEdge(dc, &sunken, EDGE_SUNKEN, BF_RECT);
  EndPaint(main, &ps);
}

}  // namespace

bool HotspotEditing() { return e.active; }
HMENU HotspotEditorMenu() { return e.menu; }

void PlaceHotspotFigure() {
  HWND main = MainWindow(), figure = Figure();
  if (!main || !figure) return;
  RECT client;
  GetClientRect(main, &client);
  MoveWindow(figure, 4, 4, client.right - 9, client.bottom - 9, TRUE);
  InvalidateRect(main, nullptr, TRUE);
}

std::intptr_t UpdateOverviewFrame(QsWindow, std::int32_t, QsWord, QsWord, QsWord) {
  RefreshTransform();
  return 0;
}

void HotspotAnchorGone(QsHandle anchor) {
  if (anchor && anchor == e.current) DropCurrent();
}

void InitHotspotEditor(HINSTANCE instance) {
  e.menu = LoadMenuA(instance, "menuHotEd");
  for (int id : {IDM_HOT_CUT, IDM_HOT_COPY, IDM_HOT_PASTE, IDM_HOT_TRIM, IDM_HOT_ADD_POINT,
                 IDM_HOT_REMOVE_POINT, IDM_HOT_NOTES, IDM_HOT_COLOR, IDM_HOT_REMOVE_ANCHOR})
    EnableItem(id, false);
  for (int i = 0; i < kCursorCount; ++i) e.cursors[i] = LoadCursorA(instance, kCursorNames[i]);
  eng::QsSetCallback(W(Figure()), std::int32_t{1}, UpdateOverviewFrame, QsWord{0});
  e.colour = 13;
  SelectPenColour(13);
  e.wheelMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
}

void FreeHotspotEditor() {
  if (e.active) LeaveHotspotEditMode();
  Release(e.current);
  e.current = 0;
  if (e.menu) DestroyMenu(e.menu);
  e.menu = nullptr;
  // Cursors loaded from resources are shared and need no destroying.
  for (HCURSOR& cursor : e.cursors) cursor = nullptr;
  if (e.pen) DeleteObject(e.pen);
  e.pen = nullptr;
}

void EnterHotspotEditMode() {
  HWND main = MainWindow(), figure = Figure();
  if (e.active || !main || !figure || !e.menu || !CurrentWeb()) return;
  QsHandle entity = PictureEntity();
  Release(entity);
  if (!entity) return;
  const std::int32_t flags = eng::QsGetViewFlags(W(figure));
  e.setHotspotFlag = !(flags & 0x10);
  if (e.setHotspotFlag) eng::QsSetViewFlags(W(figure), flags | 0x10);
  // The Zoom items of this menu show the same states as the main menu's.
  for (int id : {IDM_OVERVIEW, IDM_CENTER_ZOOM, IDM_SUPPRESS_ZOOM, IDM_IGNORE_HOTSPOTS}) {
    const UINT state = GetMenuState(MainMenu(), id, MF_BYCOMMAND);
    CheckMenuItem(e.menu, id, MF_BYCOMMAND | (state != 0xFFFFFFFF && (state & MF_CHECKED) ? MF_CHECKED : MF_UNCHECKED));
  }
  e.active = true;
  SetMenu(main, e.menu);
  e.mainProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HotspotEditWndProc)));
  e.figureProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(figure, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HotspotFigureWndProc)));
  e.mainViewWasShown = MainViewPaneShown();
  e.navigatorWasShown = NavigatorPaneShown();
  ShowMainViewPane(false);
  ShowNavigatorPane(false);
  PlaceHotspotFigure();
  eng::QsClearHighlight(W(figure));
  e.tool = kSelect;
  e.drag = Drag::kNone;
  e.drawing.clear();
  e.outlineShown = e.rubberShown = false;
  RefreshTransform();
  UpdateMenu();
}

void LeaveHotspotEditMode() {
  if (!e.active) return;
  HWND main = MainWindow(), figure = Figure();
  if (GetCapture() == figure) ReleaseCapture();
  HideFeedback();
  if (e.setHotspotFlag) {
    eng::QsSetViewFlags(W(figure), eng::QsGetViewFlags(W(figure)) & ~0x10);
    e.setHotspotFlag = false;
  }
  DropCurrent();
  e.drawing.clear();
  SetMenu(main, MainMenu());
  SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(e.mainProc));
  SetWindowLongPtrA(figure, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(e.figureProc));
  e.active = false;
  ShowMainViewPane(e.mainViewWasShown);
  ShowNavigatorPane(e.navigatorWasShown);
  LayoutPanes();
  InvalidateRect(main, nullptr, TRUE);
}

LRESULT CALLBACK HotspotEditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == e.wheelMessage && e.wheelMessage) return SendMessageA(Figure(), message, wParam, lParam);
  switch (message) {
    case WM_KEYDOWN:
    case WM_MOUSEWHEEL:
      return SendMessageA(Figure(), message, wParam, lParam);
    case WM_SIZE:
      // The main window's own handling keeps its size; the layout then puts
      // the figure at (4, 4) while the editor runs.
      return CallWindowProcA(e.mainProc, window, message, wParam, lParam);
    case WM_PAINT:
      PaintMainFrame(window);
      return 0;
    case WM_CLOSE: {
      const WNDPROC main = e.mainProc;
      LeaveHotspotEditMode();
      return CallWindowProcA(main, window, message, wParam, lParam);
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      return CallWindowProcA(e.mainProc, window, message, wParam, lParam);
    case WM_PALETTECHANGED:
      return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
    case WM_COMMAND:
      EditCommand(window, LOWORD(wParam), wParam, lParam);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK HotspotFigureWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      LeftDown(window, MouseAt(lParam));
      return 0;
    case WM_LBUTTONUP:
      LeftUp(MouseAt(lParam));
      return 0;
    case WM_MOUSEMOVE:
      SetWheelTarget(window);
      if (wParam & MK_MBUTTON) break;  // the engine pans
      MouseMove(MouseAt(lParam));
      return 0;
    case WM_RBUTTONDOWN:
      if (e.tool == kNewPolygon && e.drawing.size() > 2) ClosePolygon();
      return 0;
    case WM_RBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      return 0;
    case WM_MBUTTONDOWN:
      SetCapture(window);
      e.drag = Drag::kPan;
      break;
    case WM_MBUTTONUP:
      if (GetCapture() == window) ReleaseCapture();
      if (e.drag == Drag::kPan) e.drag = Drag::kNone;
      break;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) return TRUE;  // the mouse moves set it
      break;
    case WM_SIZE: {
      const LRESULT result = CallWindowProcA(e.figureProc, window, message, wParam, lParam);
      RefreshTransform();
      return result;
    }
    case WM_PAINT: {
      // The paint covers the inverted outlines: they are drawn again after it.
      const bool outline = e.outlineShown, rubber = e.rubberShown;
      const LRESULT result = CallWindowProcA(e.figureProc, window, message, wParam, lParam);
      HDC dc = GetDC(window);
      DrawHandles(dc);
      ReleaseDC(window, dc);
      e.outlineShown = e.rubberShown = false;
      if (outline) DrawDragOutline();
      if (rubber) DrawRubberLine();
      return result;
    }
    default:
      break;
  }
  return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
}

}  // namespace qs::viewer
