// What GUI tests of host windows share: letting posted messages run, and a
// window's client area read back as 32-bit pixels.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

namespace qs::test {

inline void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(20);
  }
}

struct WindowPixels {
  explicit WindowPixels(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    width = r.right, height = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    void* data = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &data, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HDC windowDc = GetDC(window);
    BitBlt(dc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDc);
    GdiFlush();
    pixels.assign(static_cast<std::uint32_t*>(data), static_cast<std::uint32_t*>(data) + width * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  std::uint32_t At(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

}  // namespace qs::test
