// The screen's pixels of a window, for tests that check that a program drew
// something (kept apart from gui_harness.cpp: it needs gdi32).
#include <cstdint>

#include "gui_harness.h"

namespace qs::test::gui {

std::vector<std::uint32_t> ScreenPixels(HWND window, int* width, int* height) {
  std::vector<std::uint32_t> out;
  *width = *height = 0;
  RECT r;
  if (!GetWindowRect(window, &r)) return out;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return out;
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
    out.assign(pixels, pixels + static_cast<std::size_t>(w) * h);
    for (auto& p : out) p &= 0xFFFFFF;
    *width = w, *height = h;
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

std::vector<int> DarkBands(HWND window) {
  std::vector<int> bands;
  int w = 0, h = 0;
  const std::vector<std::uint32_t> pixels = ScreenPixels(window, &w, &h);
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
  return bands;
}

bool FindColour(HWND window, std::uint8_t red, std::uint8_t green, std::uint8_t blue, POINT* at) {
  int w = 0, h = 0;
  const std::vector<std::uint32_t> pixels = ScreenPixels(window, &w, &h);
  const std::uint32_t want = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
  RECT r;
  GetWindowRect(window, &r);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (pixels[y * w + x] == want) {
        POINT p{r.left + x, r.top + y};
        ScreenToClient(window, &p);
        *at = p;
        return true;
      }
  return false;
}

}  // namespace qs::test::gui
