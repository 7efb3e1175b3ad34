#include "view/picture_view.h"

#include <algorithm>
#include <cstdlib>

#include "addressing/hotspot_outline.h"
#include "addressing/web.h"
#include "foundation/engine.h"
#include "view/current_view.h"
#include "view/graphic_object.h"
#include "view/hot_areas.h"
#include "view/pictures.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

namespace {

constexpr int kVkPageUp = 0x21, kVkPageDown = 0x22, kVkLeft = 0x25, kVkUp = 0x26,
              kVkRight = 0x27, kVkDown = 0x28;
constexpr int kArrowStep = 12;
constexpr int kScrollRange = 8192;
constexpr int kDragSlop = 2;

int Clip16(std::int64_t v) {
  return static_cast<int>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

// The highest set bit among bits 15..1, or -1.
int HighBit(int n) {
  for (int bit = 15; bit >= 1; --bit)
    if (n & (1 << bit)) return bit;
  return -1;
}

// Draws through a device pass of the view when no paint runs.
class DrawPass {
 public:
  explicit DrawPass(ViewWindow* view) { PushCurrentView(view, true); }
  ~DrawPass() { PopCurrentView(); }
  DrawPass(const DrawPass&) = delete;
  DrawPass& operator=(const DrawPass&) = delete;
};

}  // namespace

int GetGraphicState(const Region* area) {
  if (!area) return 0;
  Anchor* anchor = area->GetAnchor();
  if (!anchor) return 4;
  // An anchor that only leads on (links end at it, it has no note) points
  // like a link; one with a note to show pops it up.
  return anchor->GetLinkCount() && !anchor->HasNote() ? 6 : 5;
}

int NextLargerZoom(int n) {
  const int h = HighBit(n);
  if (h < 0) return n;
  n ^= 1 << (h - 1);
  if (!(n & (1 << (h - 1)))) n <<= 1;
  return n;
}

int NextSmallerZoom(int n) {
  const int h = HighBit(n);
  if (h < 0) return n;
  n ^= 1 << (h - 1);
  if (n & (1 << (h - 1))) n >>= 1;
  return n;
}

// ---- PictureView ----------------------------------------------------------------------

PictureView::PictureView(OutputDevice* device, ImageRenderer* renderer)
    : ViewWindow(device), renderer_(renderer) {
  TakeNaturalSize();
  ComputeZoomed(zoom_);
}

PictureView::~PictureView() {
  while (OverviewView* o = overviews_) {
    overviews_ = o->next_;
    o->next_ = nullptr;
    o->picture_ = nullptr;
    o->SetPictureView(nullptr);
    if (OutputDevice* d = o->GetDevice()) d->Invalidate();
  }
  delete marked_;
  delete renderer_;
}

void PictureView::OnDeviceClosed() {
  AddRef();
  // The renderer belongs to the device that goes.
  delete renderer_;
  renderer_ = nullptr;
  ViewWindow::OnDeviceClosed();
  ViewWindow::Release();
  ViewWindow::Release();
}

GraphicObject* PictureView::Graphic() const { return renderer_ ? renderer_->graphic : nullptr; }

void PictureView::TakeNaturalSize() {
  naturalWidth_ = renderer_ && renderer_->graphic ? renderer_->width : 0;
  naturalHeight_ = renderer_ && renderer_->graphic ? renderer_->height : 0;
}

void PictureView::ComputeZoomed(int n) {
  zoomedWidth_ = Clip16(std::int64_t{naturalWidth_} * n / 256);
  zoomedHeight_ = Clip16(std::int64_t{naturalHeight_} * n / 256);
}

void PictureView::Repaint() {
  if (OutputDevice* d = GetDevice()) d->Invalidate();
}

int PictureView::SetZoom(int n, int x, int y) {
  if (naturalWidth_ > 0) {
    const std::int64_t zw = std::int64_t{naturalWidth_} * n / 256;
    if (zw < kMinSide) n = std::max(1, 2048 / naturalWidth_);
    else if (zw > kMaxSide) n = static_cast<int>(4194304 / naturalWidth_);
  }
  if (naturalHeight_ > 0) {
    const std::int64_t zh = std::int64_t{naturalHeight_} * n / 256;
    if (zh < kMinSide) n = std::max(1, 2048 / naturalHeight_);
    else if (zh > kMaxSide) n = static_cast<int>(4194304 / naturalHeight_);
  }
  // The zoom is a signed 16-bit value.
  n = std::clamp(n, kMinZoom, kMaxZoom);
  int ax = x, ay = y;
  if (mode_ & kZoomAboutCentre) ax = viewWidth_ / 2, ay = viewHeight_ / 2;
  scrollX_ = Clip16((std::int64_t{scrollX_} + x) * n / zoom_ - ax);
  scrollY_ = Clip16((std::int64_t{scrollY_} + y) * n / zoom_ - ay);
  ComputeZoomed(n);
  zoom_ = n;
  Clamp();
  return n;
}

void PictureView::Clamp() {
  OutputDevice* d = GetDevice();
  if (scrollY_ > zoomedHeight_ - viewHeight_) scrollY_ = zoomedHeight_ - viewHeight_;
  if (scrollY_ < 0) scrollY_ = 0;
  if (viewHeight_ < zoomedHeight_) {
    if (!(mode_ & kVertBarShown)) {
      mode_ |= kVertBarShown;
      if (d) d->ShowVertScrollBar();
    }
    if (d) d->SetVertScroll(scrollY_, viewHeight_, zoomedHeight_);
  } else if (mode_ & kVertBarShown) {
    mode_ &= ~kVertBarShown;
    if (d) d->HideVertScrollBar();
  }
  if (scrollX_ > zoomedWidth_ - viewWidth_) scrollX_ = zoomedWidth_ - viewWidth_;
  if (scrollX_ < 0) scrollX_ = 0;
  if (viewWidth_ < zoomedWidth_) {
    if (!(mode_ & kHorzBarShown)) {
      mode_ |= kHorzBarShown;
      if (d) d->ShowHorzScrollBar();
    }
    if (d) d->SetHorzScroll(scrollX_, viewWidth_, zoomedWidth_);
  } else if (mode_ & kHorzBarShown) {
    mode_ &= ~kHorzBarShown;
    if (d) d->HideHorzScrollBar();
  }
}

void PictureView::ResetZoom(std::uint32_t mode, int n, int x, int y) {
  scrollX_ = scrollY_ = 0;
  SetZoom(n ? n : 256, 0, 0);
  scrollX_ = Clip16(x), scrollY_ = Clip16(y);
  Clamp();
  SetModeFlags(mode);
  Repaint();
}

void PictureView::SetModeFlags(std::uint32_t mode) {
  const std::uint32_t old = mode_;
  mode_ = (mode_ & (kHorzBarShown | kVertBarShown)) | (mode & ~(kHorzBarShown | kVertBarShown));
  if ((old ^ mode_) & kRendererFlag) Repaint();
}

void PictureView::Blink() {
  OutputDevice* d = GetDevice();
  if (!d) return;
  DrawPass pass(this);
  d->InvertRect(0, 0, viewWidth_, viewHeight_);
  d->InvertRect(0, 0, viewWidth_, viewHeight_);
}

void PictureView::Step(int x, int y, bool larger) {
  const int n = larger ? NextLargerZoom(zoom_) : NextSmallerZoom(zoom_);
  const std::int64_t zw = std::int64_t{naturalWidth_} * n / 256;
  const std::int64_t zh = std::int64_t{naturalHeight_} * n / 256;
  if (n == zoom_ || n < kMinZoom || n > kMaxZoom || zw < kMinSide || zw > kMaxSide ||
      zh < kMinSide || zh > kMaxSide) {
    Blink();
    return;
  }
  SetZoom(n, x, y);
  Repaint();
}

int PictureView::ZoomIn(int x, int y, bool force) {
  if (!(mode_ & kPanningMode) || force) {
    const int before = zoom_;
    Step(x, y, true);
    return zoom_ != before;
  }
  if (!(mode_ & kZoomAboutCentre)) return 0;
  const int sx = scrollX_, sy = scrollY_;
  SetScroll(scrollX_ + x - viewWidth_ / 2, scrollY_ + y - viewHeight_ / 2, true);
  return sx != scrollX_ || sy != scrollY_;
}

int PictureView::ZoomOut(int x, int y, bool force) {
  if (!(mode_ & kPanningMode) || force) {
    const int before = zoom_;
    Step(x, y, false);
    return zoom_ != before;
  }
  if (!(mode_ & kZoomAboutCentre)) return 0;
  const int sx = scrollX_, sy = scrollY_;
  SetScroll(scrollX_ + x - viewWidth_ / 2, scrollY_ + y - viewHeight_ / 2, true);
  return sx != scrollX_ || sy != scrollY_;
}

void PictureView::ShowArea(const Region* area) {
  if (!area) return;
  if (area->zoom) SetZoom(area->zoom, 0, 0);
  scrollX_ = Clip16((std::int64_t{area->width} * zoomedWidth_ / kAreaUnits - viewWidth_) / 2 +
                    std::int64_t{area->x} * zoomedWidth_ / kAreaUnits);
  scrollY_ = Clip16((std::int64_t{area->height} * zoomedHeight_ / kAreaUnits - viewHeight_) / 2 +
                    std::int64_t{area->y} * zoomedHeight_ / kAreaUnits);
  Clamp();
  SelectHotArea(area, false);
  Repaint();
}

void PictureView::SelectHotArea(const Region* area, bool repaint) {
  if (!renderer_) return;
  const bool had = renderer_->selected != nullptr;
  renderer_->Select(const_cast<Region*>(area));
  marchPhase_ = 0;
  marchPen_ = 0;
  if (had || area) OnSelectionChanged();
  if (repaint) Repaint();
}

const Region* PictureView::SelectedArea() const { return renderer_ ? renderer_->selected : nullptr; }

void PictureView::PlaceRenderer() {
  if (renderer_) renderer_->Place(-scrollX_, -scrollY_, zoomedWidth_, zoomedHeight_);
}

Region* PictureView::HitTest(int x, int y, bool force) {
  if (!renderer_ || !renderer_->graphic || (!force && !(mode_ & kHotAreasLive))) return nullptr;
  PlaceRenderer();
  return renderer_->HitTest(x, y);
}

void PictureView::SetScrollX(int x) { SetScroll(x, scrollY_, true); }
void PictureView::SetScrollY(int y) { SetScroll(scrollX_, y, true); }

void PictureView::SetScroll(int x, int y, bool repaint) {
  scrollX_ = Clip16(x), scrollY_ = Clip16(y);
  Clamp();
  if (repaint) Repaint();
}

void PictureView::SetGraphic(ImageRenderer* renderer) {
  delete marked_;
  marked_ = nullptr;
  if (renderer_ && renderer_->selected) {
    renderer_->Select(nullptr);
    OnSelectionChanged();
  }
  delete renderer_;
  renderer_ = renderer;
  TakeNaturalSize();
  // The zoom applies again to the new size.
  const int n = zoom_;
  zoom_ = 256;
  SetZoom(n, 0, 0);
  for (OverviewView* o = overviews_; o; o = o->next_) {
    o->SetPictureView(this);
    if (OutputDevice* d = o->GetDevice()) d->Invalidate();
  }
  Repaint();
}

void PictureView::AddOverview(OverviewView* overview) {
  if (!overview || overview->picture_ == this) return;
  if (overview->picture_) overview->picture_->RemoveOverview(overview);
  overview->next_ = overviews_;
  overviews_ = overview;
  overview->SetPictureView(this);
}

void PictureView::RemoveOverview(OverviewView* overview) {
  for (OverviewView** link = &overviews_; *link; link = &(*link)->next_)
    if (*link == overview) {
      *link = overview->next_;
      overview->next_ = nullptr;
      overview->picture_ = nullptr;
      return;
    }
}

void PictureView::OnSize() {
  viewWidth_ = GetWidth();
  viewHeight_ = GetHeight();
  Clamp();
  Repaint();
}

void PictureView::OnPaint() {
  OutputDevice* d = GetDevice();
  if (!d) return;
  AddRef();
  PushCurrentView(this, false);
  if (viewWidth_ != d->width || viewHeight_ != d->height) {
    viewWidth_ = d->width, viewHeight_ = d->height;
    Clamp();
  }
  if (renderer_ && renderer_->graphic) {
    PlaceRenderer();
    d->DrawRendererStretched(renderer_, -scrollX_, -scrollY_, zoomedWidth_, zoomedHeight_);
    if (mode_ & kHotAreasLive) DrawAreaOutlines();
  }
  // What the picture does not cover shows the background.
  if (zoomedWidth_ < viewWidth_) {
    d->FillBackground(zoomedWidth_, 0, viewWidth_, viewHeight_);
    if (zoomedHeight_ < viewHeight_) d->FillBackground(0, zoomedHeight_, zoomedWidth_, viewHeight_);
  } else if (zoomedHeight_ < viewHeight_) {
    d->FillBackground(0, zoomedHeight_, viewWidth_, viewHeight_);
  }
  if (dragState_ > 0 && dragMoved_ && frameShown_) DrawDragFrame();
  PopCurrentView();
  RedrawOverviewFrames(true, true);
  OnPainted();
  ViewWindow::Release();
}

void PictureView::DrawAreaOutlines() {
  OutputDevice* d = GetDevice();
  if (!d || zoomedWidth_ <= 0 || zoomedHeight_ <= 0) return;
  for (Region* area = renderer_->graphic->FirstArea(); area; area = area->next) {
    // The areas hit-testing takes: this document's and the webs'.
    const Document* document = area->GetDocument();
    if (renderer_->limit && document && document != renderer_->limit) continue;
    const int count = std::min<int>(area->pointCount, kAreaMaxPoints);
    if (count < 3) continue;
    const std::int64_t x0 = -scrollX_ + std::int64_t{area->x} * zoomedWidth_ / kAreaUnits;
    const std::int64_t y0 = -scrollY_ + std::int64_t{area->y} * zoomedHeight_ / kAreaUnits;
    const std::int64_t w = std::int64_t{area->width} * zoomedWidth_ / kAreaUnits;
    const std::int64_t h = std::int64_t{area->height} * zoomedHeight_ / kAreaUnits;
    d->SetColor(area->color ? area->color : d->GetColor("red"));
    auto point = [&](int i, int* x, int* y) {
      const AreaPoint& p = area->points[i % count];
      *x = Clip16(x0 + p.x * w / kAreaUnits);
      *y = Clip16(y0 + p.y * h / kAreaUnits);
    };
    for (int i = 0; i < count; ++i) {
      int x1, y1, x2, y2;
      point(i, &x1, &y1);
      point(i + 1, &x2, &y2);
      // Dotted: every other pixel along the longer axis.
      const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
      for (int k = 0; k <= steps; k += 2) {
        const int x = steps ? x1 + (x2 - x1) * k / steps : x1;
        const int y = steps ? y1 + (y2 - y1) * k / steps : y1;
        d->DrawLine(x, y, x + 1, y);
      }
    }
  }
}

void PictureView::RedrawOverviewFrames(bool erase, bool draw) {
  for (OverviewView* o = overviews_; o; o = o->next_) {
    OutputDevice* d = o->GetDevice();
    if (!d || !d->IsAvailable()) continue;
    DrawPass pass(o);
    if (erase) o->DrawFrame();
    o->ComputeFrame();
    if (draw) o->DrawFrame();
  }
}

void PictureView::DrawDragFrame() {
  OutputDevice* d = GetDevice();
  if (!d) return;
  d->XorFrameRect(std::min(pressX_, currentX_), std::min(pressY_, currentY_),
                  std::max(pressX_, currentX_), std::max(pressY_, currentY_));
}

void PictureView::MarkArea(Region* area) {
  if (!renderer_) return;
  delete marked_;
  marked_ = area ? area->Clone() : nullptr;
  renderer_->outlined = area;
  Repaint();
}

void PictureView::Press(int x, int y, int state) {
  pressX_ = currentX_ = x;
  pressY_ = currentY_ = y;
  dragMoved_ = false;
  frameShown_ = false;
  if (x < 0 || x > zoomedWidth_ - scrollX_ || y < 0 || y > zoomedHeight_ - scrollY_) {
    dragState_ = state == 1 ? -1 : 0;
    return;
  }
  dragState_ = static_cast<std::int8_t>(state);
  if (mode_ & kHotAreasLive)
    if (Region* area = HitTest(x, y, false)) MarkArea(area);
}

void PictureView::OnLButtonDown(int x, int y, int) {
  if (SelectedArea()) SelectHotArea(nullptr, true);
  Press(x, y, 1);
}

void PictureView::OnRButtonDown(int x, int y) { Press(x, y, 2); }

void PictureView::OnMouseMove(int x, int y) {
  OutputDevice* d = GetDevice();
  if (!d) return;
  const int code = GetGraphicState(HitTest(x, y, false));
  if (dragState_ > 0 && (mode_ & kHotAreasLive)) {
    d->SetCursorForHit(x, y, 3, code, 1);
    if (!dragMoved_ && std::abs(x - pressX_) <= kDragSlop && std::abs(y - pressY_) <= kDragSlop)
      return;
    DrawPass pass(this);
    if (!dragMoved_) {
      dragMoved_ = true;
      if (marked_) MarkArea(nullptr);
    } else if (frameShown_) {
      DrawDragFrame();
    }
    currentX_ = x, currentY_ = y;
    DrawDragFrame();
    frameShown_ = true;
    d->EnableTimer(x < 0 || y < 0 || x > viewWidth_ || y > viewHeight_);
    return;
  }
  d->SetCursorForHit(x, y, 3, code, 0);
}

void PictureView::OnTimer() {
  OutputDevice* d = GetDevice();
  if (!d) return;
  if (dragState_ <= 0 || !dragMoved_) {
    d->EnableTimer(false);
    return;
  }
  int dx = currentX_ < 0 ? currentX_ : currentX_ > viewWidth_ ? currentX_ - viewWidth_ : 0;
  int dy = currentY_ < 0 ? currentY_ : currentY_ > viewHeight_ ? currentY_ - viewHeight_ : 0;
  dx = std::clamp(dx, -scrollX_, std::max(0, zoomedWidth_ - viewWidth_ - scrollX_));
  dy = std::clamp(dy, -scrollY_, std::max(0, zoomedHeight_ - viewHeight_ - scrollY_));
  if (!dx && !dy) return;
  SetScroll(scrollX_ + dx, scrollY_ + dy, false);
  pressX_ -= dx, pressY_ -= dy;
  DrawPass pass(this);
  OnPaint();
}

void PictureView::SelectRectangle() {
  if (zoomedWidth_ <= 0 || zoomedHeight_ <= 0) return;
  const int left = std::min(pressX_, currentX_), top = std::min(pressY_, currentY_);
  const int w = std::abs(currentX_ - pressX_), h = std::abs(currentY_ - pressY_);
  Region area;
  area.x = static_cast<std::int16_t>(std::clamp<std::int64_t>(
      (std::int64_t{scrollX_} + left) * kAreaUnits / zoomedWidth_, 0, kAreaUnits));
  area.y = static_cast<std::int16_t>(std::clamp<std::int64_t>(
      (std::int64_t{scrollY_} + top) * kAreaUnits / zoomedHeight_, 0, kAreaUnits));
  area.width = static_cast<std::int16_t>(
      std::clamp<std::int64_t>(std::int64_t{w} * kAreaUnits / zoomedWidth_, 0, kAreaUnits));
  area.height = static_cast<std::int16_t>(
      std::clamp<std::int64_t>(std::int64_t{h} * kAreaUnits / zoomedHeight_, 0, kAreaUnits));
  SelectHotArea(&area, true);
}

void PictureView::EndPress(int x, int y, bool right) {
  (void)x, (void)y;
  OutputDevice* d = GetDevice();
  if (d) d->EnableTimer(false);
  const int state = dragState_;
  dragState_ = 0;
  if (state == -1) {
    if (!right) ZoomIn(pressX_, pressY_, false);
    return;
  }
  if (state <= 0) return;
  if (dragMoved_) {
    if (frameShown_) {
      DrawPass pass(this);
      DrawDragFrame();
    }
    frameShown_ = false;
    SelectRectangle();
    return;
  }
  Region* marked = marked_;
  marked_ = nullptr;
  if (renderer_) renderer_->outlined = nullptr;
  if (marked) Repaint();
  if (!right) {
    if (marked) {
      // The marked copy names the same source: find the graphic's own area.
      PlaceRenderer();
      Region* area = HitTest(pressX_, pressY_, true);
      if (area) area->Activate(reinterpret_cast<View*>(static_cast<ViewWindow*>(this)));
    } else {
      ZoomIn(pressX_, pressY_, false);
    }
  } else if (marked) {
    SelectHotArea(marked, true);
  } else {
    ZoomOut(pressX_, pressY_, false);
  }
  delete marked;
}

void PictureView::OnLButtonUp(int x, int y) {
  AddRef();  // activating an area may close the view
  EndPress(x, y, false);
  ViewWindow::Release();
}

void PictureView::OnRButtonUp(int x, int y) {
  AddRef();
  EndPress(x, y, true);
  ViewWindow::Release();
}

void PictureView::OnKeyDown(int key) {
  const int page = viewHeight_ * 5 / 4;
  switch (key) {
    case kVkPageUp: SetScroll(scrollX_, scrollY_ - page, true); break;
    case kVkPageDown: SetScroll(scrollX_, scrollY_ + page, true); break;
    case kVkUp: SetScroll(scrollX_, scrollY_ - kArrowStep, true); break;
    case kVkDown: SetScroll(scrollX_, scrollY_ + kArrowStep, true); break;
    case kVkLeft: SetScroll(scrollX_ - kArrowStep, scrollY_, true); break;
    case kVkRight: SetScroll(scrollX_ + kArrowStep, scrollY_, true); break;
    default: break;
  }
}

void PictureView::OnScroll(int horizontal, int code, int position) {
  const int page = (horizontal ? viewWidth_ : viewHeight_) * 5 / 4;
  int value = horizontal ? scrollX_ : scrollY_;
  switch (code) {
    case 0: value -= page; break;
    case 3: value += page; break;
    case 1: value -= kArrowStep; break;
    case 2: value += kArrowStep; break;
    case 4:
      value = horizontal ? position
                         : Clip16(std::int64_t{zoomedHeight_} * position / kScrollRange);
      break;
    default: return;
  }
  if (horizontal) SetScroll(value, scrollY_, true);
  else SetScroll(scrollX_, value, true);
}

void PictureView::OnMouseWheel(int lines, int control, int x, int y) {
  if (!control) {
    SetScroll(scrollX_, scrollY_ - lines * kArrowStep, true);
    return;
  }
  if (lines < 0) ZoomOut(x, y, true);
  else if (lines > 0) ZoomIn(x, y, true);
}

void PictureView::OnPan(int dx, int dy) {
  dx = std::clamp(dx, -scrollX_, std::max(0, zoomedWidth_ - viewWidth_ - scrollX_));
  dy = std::clamp(dy, -scrollY_, std::max(0, zoomedHeight_ - viewHeight_ - scrollY_));
  if (dx || dy) SetScroll(scrollX_ + dx, scrollY_ + dy, true);
}

namespace {

class MarchSink : public DashSink {
 public:
  MarchSink(OutputDevice* device, DeviceColor* colour, DeviceColor* inverse)
      : device_(device), colours_{colour, inverse} {}
  void MoveTo(int x, int y) override { x_ = x, y_ = y; }
  void LineTo(int x, int y, int pen) override {
    device_->SetColor(colours_[pen ? 1 : 0]);
    device_->DrawLine(x_, y_, x, y);
    x_ = x, y_ = y;
  }

 private:
  OutputDevice* device_;
  DeviceColor* colours_[2];
  int x_ = 0, y_ = 0;
};

}  // namespace

bool PictureView::StepOutline() {
  const Region* area = SelectedArea();
  OutputDevice* d = GetDevice();
  if (!area || !d || zoomedWidth_ <= 0 || zoomedHeight_ <= 0 || area->pointCount < 3) return false;
  // The area in the picture's frame, its outline points in the area.
  auto cut = [](std::int64_t v) { return static_cast<std::int16_t>(v); };
  const std::int64_t x0 = -scrollX_ + std::int64_t{area->x} * zoomedWidth_ / kAreaUnits;
  const std::int64_t y0 = -scrollY_ + std::int64_t{area->y} * zoomedHeight_ / kAreaUnits;
  const std::int64_t w = std::int64_t{area->width} * zoomedWidth_ / kAreaUnits;
  const std::int64_t h = std::int64_t{area->height} * zoomedHeight_ / kAreaUnits;
  OutlinePoint points[kAreaMaxPoints + 1];
  const int count = std::min<int>(area->pointCount, kAreaMaxPoints);
  for (int i = 0; i < count; ++i)
    points[i] = {cut(x0 + area->points[i].x * w / kAreaUnits), cut(y0 + area->points[i].y * h / kAreaUnits)};
  points[count] = points[0];
  DrawPass pass(this);
  DeviceColor* colour = area->color ? area->color : d->GetColor("red");
  DeviceColor* inverse = area->color ? d->GetStockColor(0) : d->GetColor("cyan");
  MarchSink sink(d, colour, inverse);
  DashState state{marchPhase_, marchPen_};
  const int drawn = DashOutline(points, count + 1, state, sink);
  AdvanceMarch(marchPhase_, marchPen_);
  return drawn > 0;
}

bool StepPictureOutlines() {
  bool drew = false;
  for (GraphicObject* g = GetGraphicCache().First(); g; g = static_cast<GraphicObject*>(g->Next()))
    for (ImageRenderer* r = g->renderers; r; r = r->nextOfGraphic) {
      OutputDevice* d = r->owner;
      if (!r->selected || !d || !d->view || d->view->GetKind() != 2) continue;
      auto* view = static_cast<PictureView*>(d->view);
      if (view->Renderer() == r) drew |= view->StepOutline();
    }
  return drew;
}

// ---- OverviewView ---------------------------------------------------------------------

OverviewView::OverviewView(OutputDevice* device)
    : ViewWindow(device), drawWidth_(GetWidth()), drawHeight_(GetHeight()) {}

OverviewView::~OverviewView() {
  if (picture_) picture_->RemoveOverview(this);
  delete renderer_;
}

void OverviewView::OnDeviceClosed() {
  AddRef();
  if (picture_) picture_->RemoveOverview(this);
  delete renderer_;
  renderer_ = nullptr;
  ViewWindow::OnDeviceClosed();
  Release();
  Release();
}

void OverviewView::TakeRenderer() {
  delete renderer_;
  renderer_ = nullptr;
  GraphicObject* graphic = picture_ ? picture_->Graphic() : nullptr;
  if (graphic && GetDevice()) renderer_ = graphic->MakeOverviewRenderer(GetDevice());
}

void OverviewView::SetPictureView(PictureView* view) {
  picture_ = view;
  TakeRenderer();
  if (!picture_) {
    numerator_ = denominator_ = 1;
    frame_[0] = frame_[1] = frame_[2] = frame_[3] = -1;
  }
}

void OverviewView::ComputeFrame() {
  frame_[0] = frame_[1] = frame_[2] = frame_[3] = -1;
  numerator_ = denominator_ = 1;
  if (!picture_) return;
  const int zw = picture_->zoomedWidth_, zh = picture_->zoomedHeight_;
  if (zw <= 0 || zh <= 0 || drawWidth_ <= 0 || drawHeight_ <= 0) return;
  // The smaller ratio; the height's when equal.
  if (std::int64_t{drawHeight_} * zw <= std::int64_t{drawWidth_} * zh)
    numerator_ = drawHeight_, denominator_ = zh;
  else
    numerator_ = drawWidth_, denominator_ = zw;
  auto scale = [&](int v) { return Clip16(std::int64_t{v} * numerator_ / denominator_); };
  frame_[0] = scale(picture_->scrollX_);
  frame_[1] = scale(picture_->scrollY_);
  frame_[2] = scale(picture_->scrollX_ + picture_->viewWidth_);
  frame_[3] = scale(picture_->scrollY_ + picture_->viewHeight_);
}

void OverviewView::DrawFrame() {
  OutputDevice* d = GetDevice();
  if (!d || frame_[0] < 0) return;
  const int l = frame_[0], t = frame_[1], r = frame_[2], b = frame_[3];
  d->XorFrameRect(l - 1, t - 1, r + 1, b + 1);
  d->XorFrameRect(l, t, r, b);
  d->XorFrameRect(l + 1, t + 1, r - 1, b - 1);
}

void OverviewView::OnPaint() {
  OutputDevice* d = GetDevice();
  if (!d) return;
  PushCurrentView(this, false);
  const int paneWidth = d->width, paneHeight = d->height;
  const int zw = picture_ ? picture_->zoomedWidth_ : 0, zh = picture_ ? picture_->zoomedHeight_ : 0;
  if (picture_ && zw > 0 && zh > 0) {
    if (std::int64_t{paneWidth} * zh < std::int64_t{paneHeight} * zw) {
      drawWidth_ = paneWidth;
      drawHeight_ = Clip16(std::int64_t{paneWidth} * zh / zw);
    } else {
      drawHeight_ = paneHeight;
      drawWidth_ = Clip16(std::int64_t{paneHeight} * zw / zh);
    }
    if (renderer_ && renderer_->graphic) {
      renderer_->Place(0, 0, drawWidth_, drawHeight_);
      d->DrawRendererStretched(renderer_, 0, 0, drawWidth_, drawHeight_);
    }
    if (drawWidth_ < paneWidth) d->FillBackground(drawWidth_, 0, paneWidth, paneHeight);
    if (drawHeight_ < paneHeight) d->FillBackground(0, drawHeight_, drawWidth_, paneHeight);
  } else {
    drawWidth_ = paneWidth, drawHeight_ = paneHeight;
    d->FillBackground(0, 0, paneWidth, paneHeight);
  }
  ComputeFrame();
  DrawFrame();
  PopCurrentView();
}

void OverviewView::MoveFrameTo(int left, int top) {
  const int w = frame_[2] - frame_[0], h = frame_[3] - frame_[1];
  // Right and bottom first, then the top-left corner.
  left = std::max(0, std::min(left, drawWidth_ - w));
  top = std::max(0, std::min(top, drawHeight_ - h));
  DrawPass pass(this);
  DrawFrame();
  frame_[0] = left, frame_[1] = top, frame_[2] = left + w, frame_[3] = top + h;
  DrawFrame();
}

void OverviewView::OnLButtonDown(int x, int y, int) {
  if (!picture_ || frame_[0] < 0) return;
  dragging_ = true;
  if (x < frame_[0] || x > frame_[2] || y < frame_[1] || y > frame_[3])
    MoveFrameTo(x - (frame_[2] - frame_[0]) / 2, y - (frame_[3] - frame_[1]) / 2);
  grabX_ = x - frame_[0];
  grabY_ = y - frame_[1];
}

void OverviewView::OnMouseMove(int x, int y) {
  OutputDevice* d = GetDevice();
  if (!d) return;
  if (!dragging_) {
    d->SetCursorForHit(x, y, 5, 0, 0);
    return;
  }
  MoveFrameTo(x - grabX_, y - grabY_);
  d->SetCursorForHit(x, y, 5, 0, 1);
}

void OverviewView::OnLButtonUp(int, int) {
  if (dragging_ && picture_ && numerator_ > 0 && denominator_ > 0) {
    const std::int64_t x = std::int64_t{frame_[0]} * denominator_ / numerator_;
    const std::int64_t y = std::int64_t{frame_[1]} * denominator_ / numerator_;
    picture_->SetScroll(Clip16(x), Clip16(y), true);
  }
  dragging_ = false;
}

// ---- Host forms -----------------------------------------------------------------------

HostPictureView::HostPictureView(OutputDevice* device, ImageRenderer* renderer,
                                 std::uint32_t options)
    : PictureView(device, renderer) {
  if (auto* host = dynamic_cast<HostWindowDevice*>(device)) host->SetScrollBarFlags(options);
  options_ = options;
  if (EngineBase* engine = GetEngine(); engine && window())
    engine->RaiseEvent(window(), kEventPictureViewChanged, 0, 0);
}

std::uint32_t HostPictureView::ModeForOptions(std::uint32_t options) {
  std::uint32_t mode = 0;
  if (options & kOptRendererFlag) mode |= kRendererFlag;
  if (options & kOptZoomAboutCentre) mode |= kZoomAboutCentre;
  if (options & kOptPanning) mode |= kPanningMode;
  if (options & kOptHotAreasLive) mode |= kHotAreasLive;
  return mode;
}

void HostPictureView::SetOptions(std::uint32_t options) {
  options_ = options;
  SetModeFlags(ModeForOptions(options));
}

WindowHandle HostPictureView::window() const {
  auto* device = dynamic_cast<WindowDevice*>(GetDevice());
  return device ? device->window() : 0;
}

void HostPictureView::OnSelectionChanged() {
  if (EngineBase* engine = GetEngine(); engine && window())
    engine->RaiseEvent(window(), kEventPictureSelection, SelectedArea() ? 1 : 0, 0);
}

void HostPictureView::OnPainted() {
  const auto x = static_cast<std::int16_t>(ScrollX()), y = static_cast<std::int16_t>(ScrollY());
  const auto w = static_cast<std::int16_t>(ViewWidth()), h = static_cast<std::int16_t>(ViewHeight());
  if (x == reportedX_ && y == reportedY_ && w == reportedWidth_ && h == reportedHeight_) return;
  reportedX_ = x, reportedY_ = y, reportedWidth_ = w, reportedHeight_ = h;
  if (EngineBase* engine = GetEngine(); engine && window())
    engine->RaiseEvent(window(), kEventPictureViewChanged, 0, 0);
}

HostOverviewView::HostOverviewView(OutputDevice* device, std::uint32_t options)
    : OverviewView(device), options_(options) {
  if (auto* host = dynamic_cast<HostWindowDevice*>(device)) host->SetScrollBarFlags(options);
}

HostPictureView* OpenPictureView(WindowHandle window, GraphicObject* graphic,
                                 std::uint32_t options, int zoom, int x, int y) {
  if (!graphic || !window) return nullptr;
  WindowDevice* device = AttachWindowDevice(window, 0x0A, 1);
  if (!device) return nullptr;
  ImageRenderer* renderer = graphic->MakeScreenRenderer(device);
  if (!renderer) return nullptr;
  auto* view = new HostPictureView(device, renderer, options);
  view->OnSize();
  view->ResetZoom(HostPictureView::ModeForOptions(options), zoom, x, y);
  view->SetOptions(options);
  return view;
}

HostOverviewView* OpenOverviewView(WindowHandle pictureWindow, WindowHandle overviewWindow,
                                   std::uint32_t options) {
  auto* picture = static_cast<PictureView*>(FindPictureView(pictureWindow));
  if (!picture || !overviewWindow) return nullptr;
  WindowDevice* device = AttachWindowDevice(overviewWindow, 0, 1);
  if (!device) return nullptr;
  auto* overview = new HostOverviewView(device, options);
  picture->AddOverview(overview);
  device->Invalidate();
  return overview;
}

PictureView* FindPictureViewOf(const GraphicObject* graphic) {
  if (!graphic) return nullptr;
  for (ImageRenderer* r = graphic->renderers; r; r = r->nextOfGraphic) {
    OutputDevice* d = r->owner;
    if (d && d->view && d->view->GetKind() == 2) {
      auto* view = static_cast<PictureView*>(d->view);
      if (view->Renderer() == r) return view;
    }
  }
  return nullptr;
}

void PictureSelectionDropped(ImageRenderer* renderer) {
  OutputDevice* d = renderer ? renderer->owner : nullptr;
  if (!d || !d->view || d->view->GetKind() != 2) return;
  auto* view = static_cast<PictureView*>(d->view);
  if (view->Renderer() == renderer) view->SelectionDropped();
}

void ClearPictureViewsOf(const GraphicObject* graphic) {
  while (PictureView* view = FindPictureViewOf(graphic)) view->SetGraphic(nullptr);
}

}  // namespace qs
