// GDI pieces of the window device that its tests and the printer device
// share: fonts, the two-layer icon copy, the drawing DC.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>

#include "view/extent_cache.h"
#include "view/output_device.h"

namespace qs {

class WindowDevice;

class GdiFont : public Font {
 public:
  // With `leaveSelected` a measurement leaves the font selected in the
  // drawing context (the owner of the context puts its drawing font back
  // before it draws): selecting a font costs more than measuring with it.
  // With `contextChanges` (the owner's count of the times its context may
  // have changed, which outlives the font) widths measured on the drawing
  // context are kept by their exact text while the context and the count
  // stay the same. With `selected` (the owner's record of the font its
  // drawing context has selected, null while it does not know, which
  // outlives the font) a measurement asks the context only when the record
  // is not this font, and keeps the record: asking costs a call into the
  // system per word measured.
  GdiFont(const char* face, std::uint16_t size, bool italic, bool bold, HFONT handle,
          std::function<HDC()> drawingDc, bool leaveSelected = false,
          const std::uint32_t* contextChanges = nullptr, HGDIOBJ* selected = nullptr);
  ~GdiFont() override;
  HFONT Handle() const { return handle_; }

 protected:
  int Extent8(const char* text, std::size_t length) override;
  int Extent16(const std::uint16_t* text, std::size_t count) override;

 private:
  int WithDc(const std::function<int(HDC)>& measure);
  // The kept widths when they are good for the drawing context as it is
  // now (emptied when they were kept for another), else null.
  ExtentCache* Widths();
  HFONT handle_;
  std::function<HDC()> drawingDc_;
  bool leaveSelected_;
  const std::uint32_t* contextChanges_;
  HGDIOBJ* selected_;
  ExtentCache widths_;
  HDC widthsDc_ = nullptr;
  std::uint32_t widthsChanges_ = 0;
};

// The installed face whose name matches `face` without regard to case
// (into `out`, LF_FACESIZE bytes); false when none does.
bool FindInstalledFace(const char* face, char* out);
// A font of `size` hundredths of a point at `dpiY`: height -(size * dpiY /
// 7200); null when the system gives none.
GdiFont* MakeGdiFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY,
                     std::function<HDC()> drawingDc);
int FontHeightForSize(std::uint16_t size, int dpiY);

// The icon bitmap `index` (0..kIconCount-1): the host's own when it gave
// one, else the module's drawn one.
HBITMAP EngineIconBitmap(int index);

// Plain drawing both GDI devices do alike; each does nothing without a DC.
void GdiLine(HDC dc, int x1, int y1, int x2, int y2);
void GdiFrameRect(HDC dc, int l, int t, int r, int b);
void GdiInvertRect(HDC dc, int l, int t, int r, int b);
// Inverts the frame's pixels, so a second call takes it away again.
void GdiXorFrameRect(HDC dc, int l, int t, int r, int b);
void GdiFillRect(HDC dc, int l, int t, int r, int b, COLORREF color);

// Draws the `look` state (1 the left, 0 the right) of a two-state,
// two-layer bitmap: the lower layer or-ed, then the upper and-ed.
void DrawTwoLayerBitmap(HDC target, HBITMAP bitmap, int x, int y, int look);

// The DC a window device draws into (null outside drawing); a test or an
// export may lend it one.
HDC WindowDeviceDc(WindowDevice* device);
void SetWindowDeviceDc(WindowDevice* device, HDC dc);
// The window's shared palette.
class ViewPalette;
ViewPalette* WindowDevicePalette(WindowDevice* device);

}  // namespace qs
