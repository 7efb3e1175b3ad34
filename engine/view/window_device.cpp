#include "view/window_device.h"

#include "api/records.h"
#include "foundation/engine.h"
#include "foundation/module.h"
#include "view/window_map.h"

namespace qs {

namespace {

int LowWord(std::intptr_t v) { return static_cast<std::int16_t>(v & 0xFFFF); }
int HighWord(std::intptr_t v) { return static_cast<std::int16_t>((v >> 16) & 0xFFFF); }

constexpr int kVertMaximum = 8192;

}  // namespace

const char* HitCursorName(int hitCode) {
  switch (hitCode) {
    case 0: case 10: return nullptr;
    case 1: case 3: case 4: case 6: case 7: case 12: return "cursLink";
    case 2: case 5: case 11: case 14: return "cursPopup";
    case 8: case 9: return "cursToggle";
    case 15: return "cursZoom";
    default: return "cursHand";
  }
}

int PanCursorIndex(int dx, int dy) {
  auto band = [](int v) { return v < -8 ? 0 : v > 8 ? 2 : 1; };
  return band(dy) * 3 + band(dx);
}

int PanDeadZone(int value) { return value < -8 ? value + 8 : value > 8 ? value - 8 : 0; }

// ---- WindowDevice ------------------------------------------------------------------------

WindowDevice::WindowDevice(WindowHandle window, int palette)
    : paletteMode(palette), window_(window) {
  dpiX = static_cast<std::int16_t>(GetScreenDpiX());
  dpiY = static_cast<std::int16_t>(GetScreenDpiY());
  width = height = pendingWidth = pendingHeight = 0;
}

WindowDevice::~WindowDevice() { WindowMap::Remove(this); }

void WindowDevice::OnDestroy() {
  if (mode & kViewTimerRunning) PlatformTimer(kViewTimerId, false);
  if (Panning()) PlatformTimer(kPanTimerId, false);
  mode &= static_cast<std::uint8_t>(~kViewTimerRunning);
  WindowMap::Remove(this);
  OutputDevice::OnDestroy();
}

int WindowDevice::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                std::intptr_t* result) {
  std::intptr_t ignored;
  if (!result) result = &ignored;
  *result = 0;
  if (message == wm::kSize) {
    const int w = lParam & 0xFFFF, h = (lParam >> 16) & 0xFFFF;
    if (!view) {
      width = pendingWidth = static_cast<std::int16_t>(w);
      height = pendingHeight = static_cast<std::int16_t>(h);
    } else if (paintDepth > 0) {
      pendingWidth = static_cast<std::int16_t>(w);
      pendingHeight = static_cast<std::int16_t>(h);
    } else {
      width = pendingWidth = static_cast<std::int16_t>(w);
      height = pendingHeight = static_cast<std::int16_t>(h);
      view->OnSize();
    }
    return 0;
  }
  if (message == wm::kDestroy) {
    // Even without a view the device goes with its window: a registry entry
    // left behind would answer for the next window given that handle.
    const bool hadView = view != nullptr;
    OnDestroy();  // deletes this device
    return hadView ? 0 : 1;
  }
  if (!view) return 1;
  const int x = LowWord(lParam), y = HighWord(lParam);
  switch (message) {
    case wm::kEraseBackground:
      *result = 1;
      return 0;
    case wm::kPaint:
      if (paintDepth == 0) {
        if (width < 1 || height < 1)
          PlatformValidate();
        else
          PlatformPaint();
      }
      return 0;
    case wm::kTimer:
      if (wParam == kViewTimerId) {
        view->OnTimer();
        return 0;
      }
      if (wParam == kPanTimerId) {
        PanTick();
        return 0;
      }
      return 1;
    case wm::kKeyDown:
      view->OnKeyDown(static_cast<int>(wParam));
      return 0;
    case wm::kHScroll:
    case wm::kVScroll: {
      if (scrollState & kInScrollMessage) return 0;
      const int code = static_cast<int>(wParam & 0xFFFF);
      static const int kViewCode[5] = {1, 2, 0, 3, 4};
      if (code == 8) {
        EndScroll();
        return 0;
      }
      if (code > 4) return 1;
      const int horizontal = message == wm::kHScroll ? 1 : 0;
      scrollState |= kInScrollMessage;
      view->OnScroll(horizontal, kViewCode[code], code == 4 ? static_cast<int>((wParam >> 16) & 0xFFFF) : 0);
      scrollState &= static_cast<std::uint8_t>(~kInScrollMessage);
      return 0;
    }
    case wm::kMouseMove:
      if ((mode & kPanAllowed) && Panning())
        PanMove(x, y);
      else
        view->OnMouseMove(x, y);
      return 0;
    case wm::kLButtonDown:
      mode |= kLeftButtonHeld;
      PlatformCapture(true);
      view->OnLButtonDown(x, y, static_cast<int>(wParam & 4));
      return 0;
    case wm::kLButtonUp:
      mode &= static_cast<std::uint8_t>(~kLeftButtonHeld);
      EnableTimer(false);
      if (view) view->OnLButtonUp(x, y);
      PlatformCapture(false);
      return 0;
    case wm::kLButtonDblClk:
      view->OnLButtonDblClk(x, y);
      return 0;
    case wm::kRButtonDown:
      PlatformCapture(true);
      view->OnRButtonDown(x, y);
      return 0;
    case wm::kRButtonUp:
      view->OnRButtonUp(x, y);
      PlatformCapture(false);
      return 0;
    case wm::kMButtonDown:
      if (mode & kPanAllowed) PanStart(x, y);
      return 0;
    case wm::kMButtonUp:
      if (mode & kPanAllowed) PanStop();
      return 0;
    case wm::kMouseWheel:
      Wheel(HighWord(static_cast<std::intptr_t>(wParam)), (wParam & 0x0008) != 0, x, y);
      return 0;
    default:
      break;
  }
  const unsigned roll = Module().wheelRollMessage;
  if (roll && message == roll) {
    Wheel(static_cast<int>(static_cast<std::intptr_t>(wParam)), false, x, y);
    return 0;
  }
  return 1;
}

void WindowDevice::PlatformPaint() {
  ++paintDepth;
  OutputDevice::BeginDraw();
  if (view) view->OnPaint();
  --paintDepth;
  OutputDevice::EndDraw();
}

void WindowDevice::Wheel(int delta, bool control, int x, int y) {
  const int sum = wheelRest_ + delta;
  const int magnitude = sum < 0 ? -sum : sum;
  int lines = magnitude / 120 * Module().wheelScrollLines;
  int rest = magnitude % 120;
  if (sum < 0) lines = -lines, rest = -rest;
  wheelRest_ = static_cast<std::int16_t>(rest);
  if (lines != 0 && view) {
    PlatformScreenToClient(&x, &y);
    view->OnMouseWheel(lines, control ? 1 : 0, x, y);
  }
}

void WindowDevice::PanStart(int x, int y) {
  PlatformCapture(true);
  panX_ = panOriginX_ = static_cast<std::int16_t>(x);
  panY_ = panOriginY_ = static_cast<std::int16_t>(y);
  PlatformDrawPanMark();
  PlatformCursor(nullptr, 4);
  PlatformTimer(kPanTimerId, true);
}

void WindowDevice::PanMove(int x, int y) {
  PlatformCursor(nullptr, PanCursorIndex(x - panOriginX_, y - panOriginY_));
  panX_ = static_cast<std::int16_t>(x);
  panY_ = static_cast<std::int16_t>(y);
}

void WindowDevice::PanTick() {
  if (!Panning()) {
    PlatformTimer(kPanTimerId, false);
    return;
  }
  const int dx = PanDeadZone(panX_ - panOriginX_), dy = PanDeadZone(panY_ - panOriginY_);
  if (view && (dx || dy)) view->OnPan(dx, dy);
}

void WindowDevice::PanStop() {
  if (!Panning()) return;
  PlatformTimer(kPanTimerId, false);
  panOriginX_ = panOriginY_ = -100;
  PlatformCapture(false);
  PlatformCursor(nullptr, -1);
  Invalidate();
}

void WindowDevice::EnableTimer(bool on) {
  if (on && !(mode & kViewTimerRunning)) {
    mode |= kViewTimerRunning;
    PlatformTimer(kViewTimerId, true);
  } else if (!on && (mode & kViewTimerRunning)) {
    mode &= static_cast<std::uint8_t>(~kViewTimerRunning);
    PlatformTimer(kViewTimerId, false);
  }
}

// Scroll bars: during a scroll message the system's bar is being dragged,
// so hides and new values wait for SB_ENDSCROLL.
void WindowDevice::ShowVertScrollBar() {
  scrollState &= static_cast<std::uint8_t>(~kVertHidePending);
  if (scrollState & kInScrollMessage) {
    scrollState |= kVertValuesPending;
    pendingVert_[0] = 0, pendingVert_[1] = 0, pendingVert_[2] = 16;
  } else {
    PlatformScrollRange(kVert, 16, true);
  }
}

void WindowDevice::SetVertScroll(int position, int page, int maximum) {
  // Vertical bars always work in a range of 8192, whatever the document's
  // length; horizontal positions are pixels that the views read back.
  if (maximum != 0) {
    position = static_cast<int>(position * static_cast<double>(kVertMaximum) / maximum);
    page = static_cast<int>(page * static_cast<double>(kVertMaximum) / maximum);
    maximum = kVertMaximum;
  }
  if (scrollState & kVertValuesPending) {
    pendingVert_[0] = position, pendingVert_[1] = page, pendingVert_[2] = maximum;
    return;
  }
  if (mode & kScrollRangeOnly) {
    PlatformScrollRange(kVert, maximum, false);
    PlatformScrollPosition(kVert, position);
  } else {
    PlatformScrollInfo(kVert, position, page, maximum);
  }
}

void WindowDevice::HideVertScrollBar() {
  scrollState &= static_cast<std::uint8_t>(~kVertValuesPending);
  if (scrollState & kInScrollMessage) {
    scrollState |= kVertHidePending;
    PlatformScrollPosition(kVert, 0);
  } else {
    PlatformScrollRange(kVert, 0, true);
  }
}

void WindowDevice::ShowHorzScrollBar() {
  scrollState &= static_cast<std::uint8_t>(~kHorzHidePending);
  if (scrollState & kInScrollMessage) {
    scrollState |= kHorzValuesPending;
    pendingHorz_[0] = 0, pendingHorz_[1] = 0, pendingHorz_[2] = 16;
  } else {
    PlatformScrollRange(kHorz, 16, true);
  }
}

void WindowDevice::SetHorzScroll(int position, int page, int maximum) {
  if (scrollState & kHorzValuesPending) {
    pendingHorz_[0] = position, pendingHorz_[1] = page, pendingHorz_[2] = maximum;
    return;
  }
  if (mode & kScrollRangeOnly) {
    PlatformScrollRange(kHorz, maximum, false);
    PlatformScrollPosition(kHorz, position);
  } else {
    PlatformScrollInfo(kHorz, position, page, maximum);
  }
}

void WindowDevice::HideHorzScrollBar() {
  scrollState &= static_cast<std::uint8_t>(~kHorzValuesPending);
  if (scrollState & kInScrollMessage) {
    scrollState |= kHorzHidePending;
    PlatformScrollPosition(kHorz, 0);
  } else {
    PlatformScrollRange(kHorz, 0, true);
  }
}

void WindowDevice::EndScroll() {
  scrollState &= static_cast<std::uint8_t>(~kInScrollMessage);
  if (scrollState & kVertHidePending) {
    scrollState &= static_cast<std::uint8_t>(~kVertHidePending);
    HideVertScrollBar();
  } else if (scrollState & kVertValuesPending) {
    scrollState &= static_cast<std::uint8_t>(~kVertValuesPending);
    // Already rescaled when recorded.
    if (mode & kScrollRangeOnly) {
      PlatformScrollRange(kVert, pendingVert_[2], false);
      PlatformScrollPosition(kVert, pendingVert_[0]);
    } else {
      PlatformScrollInfo(kVert, pendingVert_[0], pendingVert_[1], pendingVert_[2]);
    }
  }
  if (scrollState & kHorzHidePending) {
    scrollState &= static_cast<std::uint8_t>(~kHorzHidePending);
    HideHorzScrollBar();
  } else if (scrollState & kHorzValuesPending) {
    scrollState &= static_cast<std::uint8_t>(~kHorzValuesPending);
    SetHorzScroll(pendingHorz_[0], pendingHorz_[1], pendingHorz_[2]);
  }
}

void WindowDevice::SetCursorForHit(int x, int y, std::intptr_t a, int hitCode, std::intptr_t b) {
  RequestCursor(window_, x, y, static_cast<int>(a), hitCode, static_cast<int>(b),
                PlatformHitCursor(HitCursorName(hitCode)));
}

std::intptr_t RequestCursor(WindowHandle window, int x, int y, int area, int hitKind,
                            int dragging, std::intptr_t cursor) {
  if (EngineBase* engine = GetEngine()) {
    QsCursorRequest request{x, y, area, hitKind, dragging};
    if (std::intptr_t answer =
            engine->RaiseEvent(window, kEventHitCursor, reinterpret_cast<std::intptr_t>(&request), 0))
      return answer;
  }
  return SetPlatformCursor(cursor);
}

// ---- HostWindowDevice ------------------------------------------------------------------

void HostWindowDevice::TellHost(int bar, int position, int page, int maximum) {
  std::int32_t values[3] = {position, page, maximum};
  if (EngineBase* engine = GetEngine())
    engine->RaiseEvent(window_, kEventScrollBar, bar, reinterpret_cast<std::intptr_t>(values));
}

void HostWindowDevice::SetScrollBarFlags(std::uint32_t flags) {
  const bool hostVert = flags & 0x400, hostHorz = flags & 0x800;
  if (!(barState & kInitialised)) {
    barState |= kInitialised;
    if (hostVert) {
      TellHost(0, 0, 0, 0);
    } else {
      barState |= kEngineVert;
      WindowDevice::HideVertScrollBar();
    }
    if (hostHorz) {
      TellHost(1, 0, 0, 0);
    } else {
      barState |= kEngineHorz;
      WindowDevice::HideHorzScrollBar();
    }
    return;
  }
  if (hostVert == !!(barState & kEngineVert)) {
    barState ^= kEngineVert;
    const bool shown = barState & kVertShown;
    if (!hostVert) {
      if (shown) {
        WindowDevice::ShowVertScrollBar();
        WindowDevice::SetVertScroll(savedVert_[0], savedVert_[1], savedVert_[2]);
      }
    } else {
      WindowDevice::HideVertScrollBar();
      if (shown)
        TellHost(0, savedVert_[0], savedVert_[1], savedVert_[2]);
      else
        TellHost(0, 0, 0, 0);
    }
  }
  if (hostHorz == !!(barState & kEngineHorz)) {
    barState ^= kEngineHorz;
    const bool shown = barState & kHorzShown;
    if (!hostHorz) {
      if (shown) {
        WindowDevice::ShowHorzScrollBar();
        WindowDevice::SetHorzScroll(savedHorz_[0], savedHorz_[1], savedHorz_[2]);
      }
    } else {
      WindowDevice::HideHorzScrollBar();
      if (shown)
        TellHost(1, savedHorz_[0], savedHorz_[1], savedHorz_[2]);
      else
        TellHost(1, 0, 0, 0);
    }
  }
}

void HostWindowDevice::ShowVertScrollBar() {
  barState |= kVertShown;
  if (barState & kEngineVert) WindowDevice::ShowVertScrollBar();
}

void HostWindowDevice::SetVertScroll(int position, int page, int maximum) {
  savedVert_[0] = position, savedVert_[1] = page, savedVert_[2] = maximum;
  if (barState & kEngineVert)
    WindowDevice::SetVertScroll(position, page, maximum);
  else
    TellHost(0, position, page, maximum);
}

void HostWindowDevice::HideVertScrollBar() {
  barState &= static_cast<std::uint8_t>(~kVertShown);
  if (barState & kEngineVert)
    WindowDevice::HideVertScrollBar();
  else
    TellHost(0, 0, 0, 0);
}

void HostWindowDevice::ShowHorzScrollBar() {
  barState |= kHorzShown;
  if (barState & kEngineHorz) WindowDevice::ShowHorzScrollBar();
}

void HostWindowDevice::SetHorzScroll(int position, int page, int maximum) {
  savedHorz_[0] = position, savedHorz_[1] = page, savedHorz_[2] = maximum;
  if (barState & kEngineHorz)
    WindowDevice::SetHorzScroll(position, page, maximum);
  else
    TellHost(1, position, page, maximum);
}

void HostWindowDevice::HideHorzScrollBar() {
  barState &= static_cast<std::uint8_t>(~kHorzShown);
  if (barState & kEngineHorz) WindowDevice::HideHorzScrollBar();
}

void HostWindowDevice::OnDestroy() {
  const WindowHandle w = window_;
  EngineBase* engine = GetEngine();
  WindowDevice::OnDestroy();  // deletes this device
  if (engine && w) engine->RaiseEvent(w, kEventWindowDestroyed, 0, 0);
}

}  // namespace qs
