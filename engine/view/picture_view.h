// A picture in a window of its own: one graphic zoomed and scrolled, its
// hot areas pointed at, clicked and selected, and overview panes that show
// the whole graphic with a frame around the part the picture view shows.
// Platform-free: everything is drawn through the window's output device.
#pragma once
#include <cstdint>

#include "foundation/callbacks.h"
#include "view/output_device.h"

namespace qs {

class GraphicObject;
class ImageRenderer;
class OverviewView;
class Region;

// The hit code a hot area gives the cursor: 0 none, 4 a plain hot area, 6
// a web anchor at which links end, 5 any other anchor (its note).
int GetGraphicState(const Region* area);

// The zoom steps (n in 1/256): 256 → 384 → 512 → 768 ... and 256 → 192 →
// 128 → 96 ...; n without a step stays.
int NextLargerZoom(int n);
int NextSmallerZoom(int n);

class PictureView : public ViewWindow {
 public:
  enum Mode : std::uint32_t {
    kHorzBarShown = 0x01,
    kVertBarShown = 0x02,
    kZoomAboutCentre = 0x04,
    kPanningMode = 0x08,
    kHotAreasLive = 0x10,
    kRendererFlag = 0x20,
  };
  static constexpr int kMinZoom = 1, kMaxZoom = 32767;
  static constexpr int kMinSide = 8, kMaxSide = 16384;

  // Takes over `renderer` (made for `device`, may be null); the view has
  // one reference, which the device's closing drops.
  PictureView(OutputDevice* device, ImageRenderer* renderer);

  // Sets the zoom keeping the window point (x, y) (the centre in mode
  // 0x04) over the same picture point; sides stay 8..16384 pixels and the
  // zoom 1..32767. Returns the zoom set.
  int SetZoom(int n, int x, int y);
  // Scroll 0, zoom n (256 for 0), then scroll (x, y), the mode, repaint.
  void ResetZoom(std::uint32_t mode, int n, int x, int y);
  // One zoom step at (x, y) and a repaint; in panning mode without `force`
  // the view recentres on the point instead (only with mode 0x04). 1 when
  // something changed; a step that cannot be taken blinks the view.
  int ZoomIn(int x, int y, bool force);
  int ZoomOut(int x, int y, bool force);
  // Zooms to the area's own zoom (when it has one), centres it and selects it.
  void ShowArea(const Region* area);
  // A copy of `area` becomes the selected area (null: none).
  virtual void SelectHotArea(const Region* area, bool repaint);
  const Region* SelectedArea() const;
  // The selected area went from under the view (its source closed).
  void SelectionDropped() {
    OnSelectionChanged();
    Repaint();
  }
  // The hot area under the window point, or null (only with mode 0x10
  // unless `force`).
  Region* HitTest(int x, int y, bool force);
  void SetScrollX(int x);
  void SetScrollY(int y);
  void SetScroll(int x, int y, bool repaint);
  // Keeps the bar bits, takes the others; repaints when 0x20 changes.
  void SetModeFlags(std::uint32_t mode);
  // Shows another graphic (the renderer taken over; null shows nothing).
  void SetGraphic(ImageRenderer* renderer);
  // Links an overview pane to this view; it follows until either goes.
  void AddOverview(OverviewView* overview);
  void RemoveOverview(OverviewView* overview);

  GraphicObject* Graphic() const;
  ImageRenderer* Renderer() const { return renderer_; }
  int Zoom() const { return zoom_; }
  int ScrollX() const { return scrollX_; }
  int ScrollY() const { return scrollY_; }
  int ZoomedWidth() const { return zoomedWidth_; }
  int ZoomedHeight() const { return zoomedHeight_; }
  int ViewWidth() const { return viewWidth_; }
  int ViewHeight() const { return viewHeight_; }
  std::uint32_t ModeFlags() const { return mode_; }

  void OnSize() override;
  void OnPaint() override;
  void OnMouseMove(int x, int y) override;
  void OnLButtonDown(int x, int y, int shift) override;
  void OnLButtonUp(int x, int y) override;
  void OnRButtonDown(int x, int y) override;
  void OnRButtonUp(int x, int y) override;
  void OnKeyDown(int virtualKey) override;
  void OnScroll(int horizontal, int code, int position) override;
  void OnTimer() override;
  void OnMouseWheel(int lines, int control, int x, int y) override;
  void OnPan(int dx, int dy) override;
  void OnDeviceClosed() override;
  int GetKind() const override { return 2; }

  // The marching outline of the selected area moves one step (the engine's
  // picture timer): dashes of 16 pixels alternating between the area's
  // colour (red without one) and its inverse (cyan). False when nothing
  // was drawn.
  bool StepOutline();

 protected:
  ~PictureView() override;
  // The selection changed (a hot area or a dragged rectangle, or none).
  virtual void OnSelectionChanged() {}
  // After every paint.
  virtual void OnPainted() {}
  void Repaint();

 private:
  void TakeNaturalSize();
  void ComputeZoomed(int n);
  void Clamp();
  void Step(int x, int y, bool larger);
  void Blink();
  void Press(int x, int y, int state);
  void EndPress(int x, int y, bool right);
  void DrawDragFrame();
  // With hot areas shown, each hot area's outline dotted in its colour.
  void DrawAreaOutlines();
  void MarkArea(Region* area);
  void SelectRectangle();
  void PlaceRenderer();
  void RedrawOverviewFrames(bool erase, bool draw);

  ImageRenderer* renderer_;
  OverviewView* overviews_ = nullptr;
  Region* marked_ = nullptr;
  std::uint32_t mode_ = 0;
  int zoom_ = 256;
  int viewWidth_ = 0, viewHeight_ = 0;
  int naturalWidth_ = 0, naturalHeight_ = 0;
  int zoomedWidth_ = 0, zoomedHeight_ = 0;
  int scrollX_ = 0, scrollY_ = 0;
  std::int8_t dragState_ = 0;
  bool dragMoved_ = false;
  bool frameShown_ = false;
  int pressX_ = 0, pressY_ = 0, currentX_ = 0, currentY_ = 0;
  double marchPhase_ = 0;
  int marchPen_ = 0;

  friend class OverviewView;
};

// The whole graphic of a picture view scaled into a pane, with the part the
// picture view shows framed; dragging the frame scrolls the picture view.
class OverviewView : public ViewWindow {
 public:
  explicit OverviewView(OutputDevice* device);

  // Follows the picture view (null: none), with a renderer of its graphic
  // for this pane's device.
  void SetPictureView(PictureView* view);
  PictureView* Followed() const { return picture_; }
  int DrawWidth() const { return drawWidth_; }
  int DrawHeight() const { return drawHeight_; }
  // The frame, -1 each without one.
  int FrameLeft() const { return frame_[0]; }
  int FrameTop() const { return frame_[1]; }
  int FrameRight() const { return frame_[2]; }
  int FrameBottom() const { return frame_[3]; }
  int ScaleNumerator() const { return numerator_; }
  int ScaleDenominator() const { return denominator_; }

  void OnPaint() override;
  void OnMouseMove(int x, int y) override;
  void OnLButtonDown(int x, int y, int shift) override;
  void OnLButtonUp(int x, int y) override;
  void OnDeviceClosed() override;
  int GetKind() const override { return 4; }

  // The frame drawn (XOR: twice erases), recomputed from the picture view.
  void DrawFrame();
  void ComputeFrame();

 protected:
  ~OverviewView() override;

 private:
  void MoveFrameTo(int left, int top);
  void TakeRenderer();

  PictureView* picture_ = nullptr;
  ImageRenderer* renderer_ = nullptr;
  OverviewView* next_ = nullptr;
  int drawWidth_, drawHeight_;
  int numerator_ = 1, denominator_ = 1;
  int frame_[4] = {-1, -1, -1, -1};
  bool dragging_ = false;
  int grabX_ = 0, grabY_ = 0;

  friend class PictureView;
};

// ---- The host forms ---------------------------------------------------------------------

inline constexpr int kEventPictureSelection = 25;

// The picture view a host window shows: the host hears (event 1) when the
// scroll or the size changed and (event 25) when the selection did.
class HostPictureView : public PictureView {
 public:
  // Option bits.
  enum : std::uint32_t {
    kOptRendererFlag = 0x10, kOptZoomAboutCentre = 0x20, kOptPanning = 0x40,
    kOptHotAreasLive = 0x200, kOptHostVertBar = 0x400, kOptHostHorzBar = 0x800,
  };
  // `device` is the window's (attached with mode 0x0A); event 1 follows.
  HostPictureView(OutputDevice* device, ImageRenderer* renderer, std::uint32_t options);
  // Stores the options and sets the view's modes from them.
  void SetOptions(std::uint32_t options);
  static std::uint32_t ModeForOptions(std::uint32_t options);
  std::uint32_t Options() const { return options_; }
  WindowHandle window() const;

 protected:
  void OnSelectionChanged() override;
  void OnPainted() override;

 private:
  std::uint32_t options_ = 0;
  std::int16_t reportedX_ = 0, reportedY_ = 0, reportedWidth_ = 0, reportedHeight_ = 0;
};

class HostOverviewView : public OverviewView {
 public:
  HostOverviewView(OutputDevice* device, std::uint32_t options);
  std::uint32_t Options() const { return options_; }

 private:
  std::uint32_t options_;
};

// Makes a host picture view of the graphic in the window: its device
// attached (mode 0x0A), the options, then ResetZoom (options, zoom, x, y).
// Null when the graphic gives no renderer or the window no device.
HostPictureView* OpenPictureView(WindowHandle window, GraphicObject* graphic,
                                 std::uint32_t options, int zoom, int x, int y);
// An overview pane in `overviewWindow` following the picture view of
// `pictureWindow`; null when either is missing.
HostOverviewView* OpenOverviewView(WindowHandle pictureWindow, WindowHandle overviewWindow,
                                   std::uint32_t options);
// Shows the graphic's area (or the whole graphic): the picture view that
// shows it is brought forward and zoomed to the area; without one the
// host is asked for a window (event 8) and a picture view, with an
// overview when the host names a window for it, opened there. 0 without
// an engine or a graphic, else 1.
int FindOrOpenPicture(WindowHandle window, GraphicObject* graphic, const Region* area);
// One step of the marching outlines of every picture view's selected area;
// false when none was drawn (the timer may stop).
bool StepPictureOutlines();
// The renderer's selected area was dropped (its document or anchor went):
// the picture view that shows it hears it and repaints.
void PictureSelectionDropped(ImageRenderer* renderer);
// The picture view that shows the graphic, or null.
PictureView* FindPictureViewOf(const GraphicObject* graphic);
// Every picture view of a graphic that goes shows nothing any more.
void ClearPictureViewsOf(const GraphicObject* graphic);

}  // namespace qs
