// The device of a host window: draws into the window and turns the
// window's messages into calls on the attached view. The decisions (which
// message becomes which view event, scroll-bar bookkeeping, the wheel and
// panning) are platform-free; the system calls sit behind the protected
// Platform* operations, which the Win32 device supplies. The engine keeps
// one device per window in its window registry.
#pragma once
#include <cstdint>

#include "foundation/callbacks.h"
#include "view/output_device.h"

namespace qs {

// The window messages the device answers (their system values).
namespace wm {
inline constexpr unsigned kDestroy = 0x0002, kSize = 0x0005, kPaint = 0x000F,
                          kEraseBackground = 0x0014, kKeyDown = 0x0100, kTimer = 0x0113,
                          kHScroll = 0x0114, kVScroll = 0x0115, kMouseMove = 0x0200,
                          kLButtonDown = 0x0201, kLButtonUp = 0x0202, kLButtonDblClk = 0x0203,
                          kRButtonDown = 0x0204, kRButtonUp = 0x0205, kMButtonDown = 0x0207,
                          kMButtonUp = 0x0208, kMouseWheel = 0x020A;
}  // namespace wm

inline constexpr std::uintptr_t kViewTimerId = 0x7C33;
inline constexpr std::uintptr_t kPanTimerId = 0x7C34;

// The cursor for a hit code when the host leaves it to the engine: a
// resource name, or null for the standard arrow.
const char* HitCursorName(int hitCode);
// The wheel cursor for a pan offset from the press point: 0-8, row by row
// from north-west ("cursWheel0" is 4).
int PanCursorIndex(int dx, int dy);
// A pan offset after the 8-pixel dead zone.
int PanDeadZone(int value);

// Offers the host the cursor for a hit (host event 43 with the five values
// as a QsCursorRequest) before the engine sets `cursor`. A non-zero answer
// means the host set its own and is returned as it is; otherwise `cursor`
// becomes the system's and the one it replaced is returned.
std::intptr_t RequestCursor(WindowHandle window, int x, int y, int area, int hitKind,
                            int dragging, std::intptr_t cursor);
// The system's cursor call: makes `cursor` current, returns the previous one.
std::intptr_t SetPlatformCursor(std::intptr_t cursor);

class WindowDevice : public OutputDevice {
 public:
  enum Mode : std::uint8_t {
    kLeftButtonHeld = 0x01,
    kPanAllowed = 0x02,
    kViewTimerRunning = 0x04,
    kOffscreen = 0x08,
    kFillFirst = 0x10,
    kScrollRangeOnly = 0x20,
  };
  enum ScrollState : std::uint8_t {
    kVertHidePending = 0x01,
    kHorzHidePending = 0x02,
    kVertValuesPending = 0x04,
    kHorzValuesPending = 0x08,
    kInScrollMessage = 0x10,
  };

  // Width and height are the window's client size (0 x 0 without a window).
  WindowDevice(WindowHandle window, int paletteMode);

  // 0 when handled, with `*result` set; 1 when the host's default
  // processing should run. WM_DESTROY deletes the device: nothing may
  // touch it after that answer.
  int HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                    std::intptr_t* result);

  void OnDestroy() override;
  void EnableTimer(bool on) override;
  void ShowVertScrollBar() override;
  void SetVertScroll(int position, int page, int maximum) override;
  void HideVertScrollBar() override;
  void ShowHorzScrollBar() override;
  void SetHorzScroll(int position, int page, int maximum) override;
  void HideHorzScrollBar() override;
  void SetCursorForHit(int x, int y, std::intptr_t a, int hitCode, std::intptr_t b) override;

  // Puts the bar's thumb where the user released it.
  virtual void MoveThumb(bool horizontal, int position) {
    PlatformScrollPosition(horizontal ? kHorz : kVert, position);
  }

  WindowHandle window() const { return window_; }
  int GetViewKind() const { return view ? view->GetKind() : 0; }
  // Paints the view now through the window's own context with the shared
  // palette selected (as a background palette with `background`); nothing
  // during a paint, without a size or without a palette. Answers 0.
  virtual int RepaintWithPalette(bool background) { (void)background; return 0; }
  bool Panning() const { return panOriginX_ != -100; }

  std::uint8_t mode = 0;
  std::uint8_t scrollState = 0;
  int paletteMode = 0;

 protected:
  ~WindowDevice() override;

  // ---- The system's part (nothing natively) -----------------------------------
  enum Bar { kHorz = 0, kVert = 1 };
  // Range (and, with `info`, page and position in one call that disables a
  // bar that cannot scroll).
  virtual void PlatformScrollInfo(Bar bar, int position, int page, int maximum) {
    (void)bar, (void)position, (void)page, (void)maximum;
  }
  virtual void PlatformScrollRange(Bar bar, int maximum, bool redraw) {
    (void)bar, (void)maximum, (void)redraw;
  }
  virtual void PlatformScrollPosition(Bar bar, int position) { (void)bar, (void)position; }
  virtual void PlatformCapture(bool on) { (void)on; }
  virtual void PlatformTimer(std::uintptr_t id, bool on) { (void)id, (void)on; }
  // A named cursor of the engine (null: the arrow); `wheel`: a pan cursor.
  virtual void PlatformCursor(const char* name, int wheel) { (void)name, (void)wheel; }
  // The handle of a named cursor of the engine (null: the arrow), not yet set.
  virtual std::intptr_t PlatformHitCursor(const char* name) { (void)name; return 0; }
  virtual void PlatformScreenToClient(int* x, int* y) { (void)x, (void)y; }
  // The paint pass: begin painting, BeginDraw, the view's OnPaint, EndDraw.
  // Natively there is nothing to paint into, so the view paints directly.
  virtual void PlatformPaint();
  virtual void PlatformValidate() {}
  virtual void PlatformDrawPanMark() {}

  void Wheel(int delta, bool control, int x, int y);
  void PanStart(int x, int y);
  void PanMove(int x, int y);
  void PanTick();
  void PanStop();
  void EndScroll();

  WindowHandle window_;
  std::int32_t pendingHorz_[3] = {};
  std::int32_t pendingVert_[3] = {};
  std::int16_t wheelRest_ = 0;
  std::int16_t panX_ = 0, panOriginX_ = -100, panY_ = 0, panOriginY_ = -100;

  friend class WindowMap;
};

// The kind the engine makes for host windows: each scroll bar is drawn by
// the engine or, with the host's option bit, reported to the host (event
// 42) for it to draw.
class HostWindowDevice : public WindowDevice {
 public:
  enum BarState : std::uint8_t {
    kEngineVert = 0x01,
    kVertShown = 0x02,
    kEngineHorz = 0x04,
    kHorzShown = 0x08,
    kInitialised = 0x10,
  };
  HostWindowDevice(WindowHandle window, int paletteMode) : WindowDevice(window, paletteMode) {}

  // 0x400: the host draws the vertical bar; 0x800: the horizontal one.
  void SetScrollBarFlags(std::uint32_t flags);

  void ShowVertScrollBar() override;
  void SetVertScroll(int position, int page, int maximum) override;
  void HideVertScrollBar() override;
  void ShowHorzScrollBar() override;
  void SetHorzScroll(int position, int page, int maximum) override;
  void HideHorzScrollBar() override;
  void OnDestroy() override;
  // Only the bars the engine draws.
  void MoveThumb(bool horizontal, int position) override {
    if (barState & (horizontal ? kEngineHorz : kEngineVert)) WindowDevice::MoveThumb(horizontal, position);
  }

  std::uint8_t barState = 0;

 protected:
  // Host event 42: `a` the bar (0 vertical, 1 horizontal), `b` the address
  // of (position, page, maximum) as three 32-bit values.
  void TellHost(int bar, int position, int page, int maximum);

  std::int32_t savedVert_[3] = {};
  std::int32_t savedHorz_[3] = {};
};

inline constexpr int kEventScrollBar = 42;
inline constexpr int kEventHitCursor = 43;

}  // namespace qs
