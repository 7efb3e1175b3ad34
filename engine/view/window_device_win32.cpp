// The GDI form of the host window device: drawing with GDI fonts, pens
// and brushes, the system's scroll bars, capture, timers and cursors.
#include <windows.h>

#include <cstring>

#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/module.h"
#include "view/graphic_object.h"
#include "view/shared_palette.h"
#include "view/window_device.h"
#include "view/window_gdi.h"
#include "view/window_map.h"

namespace qs {

namespace {

COLORREF PaletteColor(const DeviceColor* c) {
  // Palette-relative, so the shared palette applies when one is selected.
  return c ? (0x02000000u | RGB(c->red, c->green, c->blue)) : 0x02000000u;
}

HCURSOR LoadNamedCursor(const char* name) {
  HCURSOR cursor = nullptr;
  if (EngineBase* engine = GetEngine())
    if (Engine* e = engine->AsHosted())
      if (e->hostInstance())
        cursor = LoadCursorA(reinterpret_cast<HINSTANCE>(e->hostInstance()), name);
  if (!cursor && GetResourceInstance())
    cursor = LoadCursorA(reinterpret_cast<HINSTANCE>(GetResourceInstance()), name);
  return cursor;
}

class GdiWindowDevice : public HostWindowDevice {
 public:
  GdiWindowDevice(WindowHandle window, int palette) : HostWindowDevice(window, palette), fonts_(this) {
    RECT r{};
    if (window && GetClientRect(Hwnd(), &r)) {
      width = pendingWidth = static_cast<std::int16_t>(r.right - r.left);
      height = pendingHeight = static_cast<std::int16_t>(r.bottom - r.top);
    }
  }

  HWND Hwnd() const { return reinterpret_cast<HWND>(window_); }
  HDC Dc() const { return dc_; }
  ViewPalette& Palette() { return palette_; }
  // The renderers' pictures join the window's shared palette.
  void AddPalette(void* source) override {
    auto* r = static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(source));
    if (r) palette_.AddRenderer(r, r->GetPalette());
  }
  void RemovePalette(void* source) override {
    palette_.RemoveRenderer(static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(source)));
  }
  std::intptr_t NativeContext() override { return reinterpret_cast<std::intptr_t>(dc_); }

  // ---- Drawing --------------------------------------------------------------------
  void SelectFont(Font* f) override {
    if (dc_ && f) SelectObject(dc_, static_cast<GdiFont*>(f)->Handle());
  }
  void SelectColor(DeviceColor* c) override {
    if (!dc_) return;
    HPEN pen = CreatePen(PS_SOLID, 0, PaletteColor(c));
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc_, pen);
    if (pen_ && old == pen_) DeleteObject(pen_);
    pen_ = pen;
    SetTextColor(dc_, PaletteColor(c));
  }
  // Outside a paint the window's own device context is taken for the
  // drawing pass (feedback drawn at once: drag frames, blinks, outlines).
  void BeginDraw() override {
    if (ownDepth_ > 0) {
      ++ownDepth_;
    } else if (!dc_ && window_) {
      dc_ = GetDC(Hwnd());
      if (dc_) {
        ownDepth_ = 1;
        SetBkMode(dc_, TRANSPARENT);
      }
    }
    OutputDevice::BeginDraw();
  }
  void EndDraw() override {
    ReleasePen();
    if (ownDepth_ > 0 && --ownDepth_ == 0) {
      ReleaseDC(Hwnd(), dc_);
      dc_ = nullptr;
    }
    OutputDevice::EndDraw();
  }
  Font* GetFont(const char* face, std::uint16_t size, bool italic, bool bold) override {
    return static_cast<Font*>(fonts_.LookupOrAdd(face, size, italic, bold));
  }
  void Show(bool visible) override {
    if (window_) ShowWindow(Hwnd(), visible ? SW_SHOW : SW_HIDE);
  }
  void Invalidate() override {
    if (window_) InvalidateRect(Hwnd(), nullptr, FALSE);
  }
  void Activate() override {
    if (window_) SetFocus(Hwnd());
  }
  void DrawLine(int x1, int y1, int x2, int y2) override { GdiLine(dc_, x1, y1, x2, y2); }
  void FrameRect(int l, int t, int r, int b) override { GdiFrameRect(dc_, l, t, r, b); }
  void InvertRect(int l, int t, int r, int b) override { GdiInvertRect(dc_, l, t, r, b); }
  void XorFrameRect(int l, int t, int r, int b) override { GdiXorFrameRect(dc_, l, t, r, b); }
  void DrawFocusRect(int x1, int y1, int x2, int y2) override {
    if (!dc_ || x1 == x2 || y1 == y2) return;
    RECT rc{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
    ::DrawFocusRect(dc_, &rc);
  }
  void FillRect(int l, int t, int r, int b, DeviceColor* c) override {
    GdiFillRect(dc_, l, t, r, b, PaletteColor(c));
  }
  void FillBackground(int l, int t, int r, int b) override {
    FillRect(l, t, r, b, GetStockColor(inverse ? 2 : 0));
  }
  void DrawText(int x, int y, const char* text, std::size_t length) override {
    if (!dc_ || !text || length == 0) return;
    if (IsPlainAscii(text, length)) {
      DrawWithShadow(x, y, [&](int px, int py) {
        TextOutA(dc_, px, py, text, static_cast<int>(length));
      });
      return;
    }
    // Decoded within the given length: never more UTF-16 units than bytes.
    auto* wide = static_cast<std::uint16_t*>(MemAlloc(length * sizeof(std::uint16_t)));
    if (!wide) return;
    const std::size_t count = Utf8ToUtf16(text, length, wide, length);
    DrawTextW(x, y, wide, count);
    MemFree(wide);
  }
  void DrawTextW(int x, int y, const std::uint16_t* text, std::size_t count) override {
    if (!dc_ || !text || count == 0) return;
    DrawWithShadow(x, y, [&](int px, int py) {
      TextOutW(dc_, px, py, reinterpret_cast<const wchar_t*>(text), static_cast<int>(count));
    });
  }
  void DrawIcon(int index, int x, int y, int look) override {
    if (!dc_ || index < 0 || index >= kIconCount) return;
    HBITMAP bitmap = EngineIconBitmap(index);
    if (bitmap) DrawTwoLayerBitmap(dc_, bitmap, x, y, look);
  }

  void SetDc(HDC dc) { dc_ = dc; }
  Font* Measure() { return font; }

 protected:
  ~GdiWindowDevice() override {
    if (pen_) DeleteObject(pen_);
  }

  // ---- The system's part ----------------------------------------------------------
  void PlatformScrollInfo(Bar bar, int position, int page, int maximum) override {
    if (!window_) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = maximum;
    si.nPage = static_cast<UINT>(page < 0 ? 0 : page);
    si.nPos = position;
    SetScrollInfo(Hwnd(), bar == kVert ? SB_VERT : SB_HORZ, &si, TRUE);
  }
  void PlatformScrollRange(Bar bar, int maximum, bool redraw) override {
    if (window_) SetScrollRange(Hwnd(), bar == kVert ? SB_VERT : SB_HORZ, 0, maximum, redraw);
  }
  void PlatformScrollPosition(Bar bar, int position) override {
    if (window_) SetScrollPos(Hwnd(), bar == kVert ? SB_VERT : SB_HORZ, position, TRUE);
  }
  void PlatformCapture(bool on) override {
    if (!window_) return;
    if (on)
      SetCapture(Hwnd());
    else if (GetCapture() == Hwnd())
      ReleaseCapture();
  }
  void PlatformTimer(std::uintptr_t id, bool on) override {
    if (!window_) return;
    if (on)
      SetTimer(Hwnd(), id, 100, nullptr);
    else
      KillTimer(Hwnd(), id);
  }
  void PlatformCursor(const char* name, int wheel) override {
    HCURSOR cursor = nullptr;
    if (wheel >= 0 && wheel < kWheelCursorCount)
      cursor = reinterpret_cast<HCURSOR>(Module().wheelCursors[wheel]);
    else if (name)
      cursor = LoadNamedCursor(name);
    if (!cursor) cursor = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(cursor);
  }
  std::intptr_t PlatformHitCursor(const char* name) override {
    HCURSOR cursor = name ? LoadNamedCursor(name) : nullptr;
    return reinterpret_cast<std::intptr_t>(cursor ? cursor : LoadCursor(nullptr, IDC_ARROW));
  }
  void PlatformScreenToClient(int* x, int* y) override {
    if (!window_) return;
    POINT p{*x, *y};
    ScreenToClient(Hwnd(), &p);
    *x = p.x, *y = p.y;
  }
  void PlatformValidate() override {
    PAINTSTRUCT ps;
    BeginPaint(Hwnd(), &ps);
    EndPaint(Hwnd(), &ps);
  }
  void PlatformPaint() override {
    PAINTSTRUCT ps;
    HDC paintDc = BeginPaint(Hwnd(), &ps);
    if (!paintDc) return;
    HDC drawing = dc_;  // a drawing pass's own context, kept around the paint
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    if (mode & kOffscreen) {
      memory = CreateCompatibleDC(paintDc);
      bitmap = memory ? CreateCompatibleBitmap(paintDc, width, height) : nullptr;
      if (bitmap) {
        oldBitmap = SelectObject(memory, bitmap);
      } else if (memory) {
        DeleteDC(memory);
        memory = nullptr;
      }
    }
    dc_ = memory ? memory : paintDc;
    HPALETTE palette = static_cast<HPALETTE>(palette_.Realize());
    HPALETTE oldPalette = nullptr;
    if (palette) {
      oldPalette = SelectPalette(dc_, palette, FALSE);
      RealizePalette(dc_);
    }
    ++paintDepth;
    OutputDevice::BeginDraw();
    SetBkMode(dc_, TRANSPARENT);
    if (mode & kFillFirst) PatBlt(dc_, 0, 0, width, height, PATCOPY);
    if (view) view->OnPaint();
    if (Panning()) PlatformDrawPanMark();
    if (palette) SelectPalette(dc_, oldPalette, TRUE);
    if (memory) {
      BitBlt(paintDc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
      SelectObject(memory, oldBitmap);
      DeleteObject(bitmap);
      DeleteDC(memory);
    }
    ReleasePen();
    EndPaint(Hwnd(), &ps);
    dc_ = drawing;
    --paintDepth;
    OutputDevice::EndDraw();
  }
  int RepaintWithPalette(bool background) override {
    if (paintDepth > 0 || width < 1 || height < 1 || !window_) return 0;
    HPALETTE palette = static_cast<HPALETTE>(palette_.Realize());
    if (!palette) return 0;
    HDC drawing = dc_;
    dc_ = GetDC(Hwnd());
    if (!dc_) {
      dc_ = drawing;
      return 0;
    }
    ++paintDepth;
    OutputDevice::BeginDraw();
    HPALETTE oldPalette = SelectPalette(dc_, palette, background ? TRUE : FALSE);
    RealizePalette(dc_);
    SetBkMode(dc_, TRANSPARENT);
    if (view) view->OnPaint();
    if (Panning()) PlatformDrawPanMark();
    SelectPalette(dc_, oldPalette, TRUE);
    ReleasePen();
    ReleaseDC(Hwnd(), dc_);
    dc_ = drawing;
    --paintDepth;
    OutputDevice::EndDraw();
    return 0;
  }
  void PlatformDrawPanMark() override {
    auto origin = reinterpret_cast<HBITMAP>(Module().originBitmap);
    if (!origin || !window_) return;
    BITMAP info{};
    GetObject(origin, sizeof info, &info);
    HDC dc = dc_ ? dc_ : GetDC(Hwnd());
    if (!dc) return;
    DrawTwoLayerBitmap(dc, origin, panOriginX_ - info.bmWidth / 4, panOriginY_ - info.bmHeight / 4, 1);
    if (!dc_) ReleaseDC(Hwnd(), dc);
  }

 private:
  template <typename Draw>
  void DrawWithShadow(int x, int y, Draw draw) {
    const int ascent = font ? font->ascent : 0;
    if (shadowOffset && font) {
      const int h = font->Height();
      const int dx = ((shadowOffset >> 4) - 8) * h / 56;
      const int dy = ((shadowOffset & 15) - 8) * h / 56;
      SetTextColor(dc_, PaletteColor(shadowColor));
      draw(x + dx, y - ascent + dy);
      SetTextColor(dc_, PaletteColor(color));
    }
    draw(x, y - ascent);
  }
  void ReleasePen() {
    if (pen_) {
      if (dc_) SelectObject(dc_, GetStockObject(BLACK_PEN));
      DeleteObject(pen_);
      pen_ = nullptr;
    }
  }

  class Fonts : public FontTable {
   public:
    explicit Fonts(GdiWindowDevice* owner) : owner_(owner) {}
    FontEntry* MakeEntry(const char* face, std::uint16_t size, bool italic, bool bold) override {
      return MakeGdiFont(face, size, italic, bold, owner_->dpiY, [this] { return owner_->Dc(); });
    }

   private:
    GdiWindowDevice* owner_;
  };

  ViewPalette palette_{GetPalettePlatform(), true};
  HDC dc_ = nullptr;
  int ownDepth_ = 0;
  HPEN pen_ = nullptr;
  Fonts fonts_;
};

}  // namespace

HBITMAP EngineIconBitmap(int index) {
  if (EngineBase* engine = GetEngine())
    if (Engine* e = engine->AsHosted())
      if (e->icons[index]) return reinterpret_cast<HBITMAP>(e->icons[index]);
  return reinterpret_cast<HBITMAP>(Module().sharedBitmaps[index]);
}

void GdiLine(HDC dc, int x1, int y1, int x2, int y2) {
  if (!dc) return;
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void GdiFrameRect(HDC dc, int l, int t, int r, int b) {
  if (!dc) return;
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, l, t, r, b);
  SelectObject(dc, oldBrush);
}

void GdiInvertRect(HDC dc, int l, int t, int r, int b) {
  if (!dc) return;
  RECT rc{l, t, r, b};
  ::InvertRect(dc, &rc);
}

void GdiXorFrameRect(HDC dc, int l, int t, int r, int b) {
  if (!dc) return;
  const int oldRop = SetROP2(dc, R2_NOT);
  GdiFrameRect(dc, l, t, r, b);
  SetROP2(dc, oldRop);
}

void GdiFillRect(HDC dc, int l, int t, int r, int b, COLORREF color) {
  if (!dc) return;
  HBRUSH brush = CreateSolidBrush(color);
  if (!brush) return;
  RECT rc{l, t, r, b};
  ::FillRect(dc, &rc, brush);
  DeleteObject(brush);
}

void DrawTwoLayerBitmap(HDC target, HBITMAP bitmap, int x, int y, int look) {
  BITMAP info{};
  if (!GetObject(bitmap, sizeof info, &info)) return;
  const int w = info.bmWidth / 2, h = info.bmHeight / 2;
  HDC memory = CreateCompatibleDC(target);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, bitmap);
  // 1 (the normal look) is the left state.
  const int column = look ? 0 : w;
  BitBlt(target, x, y, w, h, memory, column, h, SRCPAINT);
  BitBlt(target, x, y, w, h, memory, column, 0, SRCAND);
  SelectObject(memory, old);
  DeleteDC(memory);
}

std::intptr_t SetPlatformCursor(std::intptr_t cursor) {
  return reinterpret_cast<std::intptr_t>(SetCursor(reinterpret_cast<HCURSOR>(cursor)));
}

HostWindowDevice* CreateHostWindowDevice(WindowHandle window, int paletteMode) {
  return new GdiWindowDevice(window, paletteMode);
}

HDC WindowDeviceDc(WindowDevice* device) {
  return device ? static_cast<GdiWindowDevice*>(device)->Dc() : nullptr;
}
ViewPalette* WindowDevicePalette(WindowDevice* device) {
  return device ? &static_cast<GdiWindowDevice*>(device)->Palette() : nullptr;
}
void SetWindowDeviceDc(WindowDevice* device, HDC dc) {
  if (device) static_cast<GdiWindowDevice*>(device)->SetDc(dc);
}

}  // namespace qs
