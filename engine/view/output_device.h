// The one drawing interface of the engine: everything shown on screen or
// paper goes through an OutputDevice. The base gives every operation a
// harmless default, so a device implements only what it supports. Fonts
// are entries of a device's font table with their metrics; colours are
// entries of the engine's colour table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/engine_lists.h"

namespace qs {

class OutputDevice;
class TextFormat;
class ViewWindow;

using DeviceColor = ColorEntry;

// A font of a device, keyed by (face, size in 1/100 pt, italic, bold).
class Font : public FontEntry {
 public:
  Font(const char* face, std::uint16_t size, bool italic, bool bold)
      : FontEntry(face, size, italic, bold) {}
  std::uint16_t Size() const { return Number(); }
  bool Italic() const { return Flags() & 1; }
  bool Bold() const { return Flags() & 2; }
  int Height() const { return ascent + descent; }

  // A text's width as the device draws it: UTF-8 whose bytes are all
  // below 0x80 as 8-bit text, anything else decoded to UTF-16.
  virtual int Measure(const char* text, std::size_t length) { return MeasureA(text, length); }
  int MeasureA(const char* text, std::size_t length);
  int MeasureW(const std::uint16_t* text, std::size_t count) { return Extent16(text, count); }

  std::int16_t ascent = 0;
  std::int16_t descent = 0;

 protected:
  // The platform's extents of 8-bit and of UTF-16 text.
  virtual int Extent8(const char* text, std::size_t length) = 0;
  virtual int Extent16(const std::uint16_t* text, std::size_t count) = 0;
};

// UTF-8 to UTF-16 as the devices draw it: returns the units written (at
// most `room`); characters past U+FFFF become surrogate pairs.
std::size_t Utf8ToUtf16(const char* text, std::size_t length, std::uint16_t* out,
                        std::size_t room);
bool IsPlainAscii(const char* text, std::size_t length);

// What draws a picture on a device; graphic objects supply the kinds.
class GraphicRenderer : public OwnedNode {
 public:
  virtual void Draw(OutputDevice* device, int x, int y, int highlight) {
    (void)device, (void)x, (void)y, (void)highlight;
  }
  virtual void Move(int x, int y) { (void)x, (void)y; }
  virtual void DrawStretched(OutputDevice* device, int x, int y, int width, int height) {
    (void)device, (void)x, (void)y, (void)width, (void)height;
  }
  // The device it was made for goes first: it must not be touched again.
  virtual void OwnerGone() {}
};

class OutputDevice : public EngineObject {
 public:
  OutputDevice();
  OutputDevice(const OutputDevice&) = delete;
  OutputDevice& operator=(const OutputDevice&) = delete;

  // The operations in their fixed order.
  virtual ~OutputDevice();
  virtual void SelectFont(Font* font) { (void)font; }
  virtual void SelectColor(DeviceColor* color) { (void)color; }
  virtual void BeginDraw();
  virtual void EndDraw();
  virtual void AddPalette(void* source) { (void)source; }
  virtual void RemovePalette(void* source) { (void)source; }
  // Tells the view, then deletes the device.
  virtual void OnDestroy();
  // `size` in 1/100 point; one use counted for the caller. Every device
  // makes its own fonts: the base has none.
  virtual Font* GetFont(const char* face, std::uint16_t size, bool italic, bool bold);
  virtual DeviceColor* GetColor(const char* name);
  virtual Font* GetDefaultFont(bool italic, bool bold) { return GetFont("courier", 1000, italic, bold); }
  virtual void Show(bool visible) { (void)visible; }
  virtual int IsAvailable() { return 1; }
  virtual void Invalidate() {}
  virtual void Activate() {}
  virtual void EnableTimer(bool on) { (void)on; }
  virtual void ShowVertScrollBar() {}
  virtual void SetVertScroll(int position, int page, int maximum) { (void)position, (void)page, (void)maximum; }
  virtual void HideVertScrollBar() {}
  virtual void ShowHorzScrollBar() {}
  virtual void SetHorzScroll(int position, int page, int maximum) { (void)position, (void)page, (void)maximum; }
  virtual void HideHorzScrollBar() {}
  virtual void DrawLine(int x1, int y1, int x2, int y2) { (void)x1, (void)y1, (void)x2, (void)y2; }
  virtual void FrameRect(int left, int top, int right, int bottom) { (void)left, (void)top, (void)right, (void)bottom; }
  virtual void InvertRect(int left, int top, int right, int bottom) { (void)left, (void)top, (void)right, (void)bottom; }
  virtual void XorFrameRect(int left, int top, int right, int bottom) { (void)left, (void)top, (void)right, (void)bottom; }
  virtual void DrawFocusRect(int x1, int y1, int x2, int y2) { (void)x1, (void)y1, (void)x2, (void)y2; }
  virtual void FillRect(int left, int top, int right, int bottom, DeviceColor* color) {
    (void)left, (void)top, (void)right, (void)bottom, (void)color;
  }
  virtual void FillBackground(int left, int top, int right, int bottom) { (void)left, (void)top, (void)right, (void)bottom; }
  virtual void DrawChangeBar(int top, int bottom);
  // UTF-8 text with its baseline at y.
  virtual void DrawText(int x, int y, const char* text, std::size_t length) { (void)x, (void)y, (void)text, (void)length; }
  virtual void DrawTextW(int x, int y, const std::uint16_t* text, std::size_t count) { (void)x, (void)y, (void)text, (void)count; }
  // Fills the window with a graphic object repeated from (0, 0) over the
  // window's background; a graphic without a size leaves the background.
  virtual void TileImage(void* image);
  // `look` 1 normal, 0 pressed.
  virtual void DrawIcon(int index, int x, int y, int look) { (void)index, (void)x, (void)y, (void)look; }
  virtual void DrawRenderer(GraphicRenderer* renderer, int x, int y, int highlight);
  virtual void MoveRenderer(GraphicRenderer* renderer, int x, int y);
  virtual void DrawRendererStretched(GraphicRenderer* renderer, int x, int y, int width, int height);
  virtual void SetCursorForHit(int x, int y, std::intptr_t a, int hitCode, std::intptr_t b) {
    (void)x, (void)y, (void)a, (void)hitCode, (void)b;
  }
  virtual void PushClip(int left, int top, int right, int bottom) { (void)left, (void)top, (void)right, (void)bottom; }
  virtual void PopClip() {}
  virtual int GetOriginX() { return 0; }
  virtual int GetOriginY() { return 0; }
  virtual int DrawPageText(int position, const char* text) { (void)position, (void)text; return 0; }
  // The platform's drawing context while drawing (a Windows HDC), else 0:
  // pictures draw through it.
  virtual std::intptr_t NativeContext() { return 0; }

  // ---- Helpers every device offers ----------------------------------------------
  // Makes the font current (SelectFont only when it changes); the text
  // shadow is switched off either way.
  void UseFont(Font* font);
  // The format's font, with the format's shadow (and its colour when set).
  void UseTextStyle(TextFormat* format);
  // SelectColor only when the colour changes.
  void SetColor(DeviceColor* color);
  // 0 "white", 1 "lightgray", 2 "black", made on first use.
  DeviceColor* GetStockColor(int index);
  // Black, or white on an inverse device.
  DeviceColor* GetInkColor() { return GetStockColor(inverse ? 0 : 2); }
  int PointsToDeviceY(int points) const { return points * dpiY / 72; }
  int ScaleByDpi(int points) const { return points * dpiX / 72; }
  // Scaled by this device's resolution over the screen's, per axis.
  int ScaleToScreenX(int value) const;
  int ScaleToScreenY(int value) const;
  void AttachRenderer(GraphicRenderer* renderer);
  void DetachRenderer(GraphicRenderer* renderer);
  // Tells the attached view the device is going and lets go of it.
  void DetachView();
  void SetDrawFlag(bool on) { drawFlags = on ? (drawFlags | 1) : (drawFlags & ~1u); }
  bool DrawFlag() const { return drawFlags & 1; }

  ViewWindow* view = nullptr;
  Font* font = nullptr;
  DeviceColor* color = nullptr;
  DeviceColor* shadowColor = nullptr;
  DeviceColor* stockColors[3] = {};
  OwnedList renderers{false};
  std::uint8_t shadowOffset = 0;
  std::uint8_t inverse = 0;
  std::int16_t width = 250, height = 250;
  std::int16_t pendingWidth = 250, pendingHeight = 250;
  std::int16_t paintDepth = 0;
  std::int16_t dpiX = 72, dpiY = 72;
  std::uint32_t drawFlags = 0;
};

// The screen's resolution, read once at engine start; 72 until then.
int GetScreenDpiX();
int GetScreenDpiY();
void SetScreenDpi(int x, int y);

// The views a device serves: the device calls these, the view draws
// through the device. One reference after construction.
class ViewWindow : public EngineObject {
 public:
  // Pairs the view with the device (either may later let go).
  explicit ViewWindow(OutputDevice* device);
  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  virtual void OnSize() {}
  // Events of the window device; coordinates are window pixels.
  virtual void OnPaint() {}
  virtual void OnMouseMove(int x, int y) { (void)x, (void)y; }
  virtual void OnLButtonDown(int x, int y, int shift) { (void)x, (void)y, (void)shift; }
  virtual void OnLButtonUp(int x, int y) { (void)x, (void)y; }
  virtual void OnLButtonDblClk(int x, int y) { (void)x, (void)y; }
  virtual void OnRButtonDown(int x, int y) { (void)x, (void)y; }
  virtual void OnRButtonUp(int x, int y) { (void)x, (void)y; }
  virtual void OnKeyDown(int virtualKey) { (void)virtualKey; }
  // `code`: 0 page back, 1 line back, 2 line forward, 3 page forward, 4 to
  // `position`.
  virtual void OnScroll(int horizontal, int code, int position) { (void)horizontal, (void)code, (void)position; }
  virtual void OnTimer() {}
  virtual void OnMouseWheel(int lines, int control, int x, int y) { (void)lines, (void)control, (void)x, (void)y; }
  virtual void OnPan(int dx, int dy) { (void)dx, (void)dy; }
  virtual void OnRendererAttached(GraphicRenderer* renderer) { (void)renderer; }
  virtual void OnRendererDetached(GraphicRenderer* renderer) { (void)renderer; }
  // The device goes: forget it.
  virtual void OnDeviceClosed() { device_ = nullptr; }
  // 1 document, 2 picture, 3 tree, 4 overview.
  virtual int GetKind() const = 0;

  OutputDevice* GetDevice() const { return device_; }
  int GetWidth() const { return device_ ? device_->width : 0; }
  int GetHeight() const { return device_ ? device_->height : 0; }
  void AddRef() { ++count_; }
  void Release() {
    if (--count_ == 0) delete this;
  }
  std::uint16_t UseCount() const { return count_; }

 protected:
  virtual ~ViewWindow();

 private:
  OutputDevice* device_;
  std::uint16_t count_ = 1;
};

}  // namespace qs
