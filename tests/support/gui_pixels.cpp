// The screen's pixels of a window, for tests that check that a program drew
// something (kept apart from gui_harness.cpp: it needs gdi32).
#include <cstdint>

#include "gui_harness.h"

namespace qs::test::gui {

std::vector<int> DarkBands(HWND window) {
  std::vector<int> bands;
  RECT r;
  if (!GetWindowRect(window, &r)) return bands;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return bands;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    int run = 0;
    for (int y = 0; y < h; ++y) {
      bool dark = false;
      for (int x = 0; x < w && !dark; ++x) {
        std::uint32_t p = pixels[y * w + x];
        int sum = static_cast<int>((p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF));
        dark = sum < 3 * 96;
      }
      if (dark) {
        ++run;
      } else if (run) {
        bands.push_back(run);
        run = 0;
      }
    }
    if (run) bands.push_back(run);
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bands;
}

}  // namespace qs::test::gui
