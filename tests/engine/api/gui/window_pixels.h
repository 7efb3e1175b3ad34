// What GUI tests of host windows share: letting posted messages run, and a
// window's client area read back as 32-bit pixels.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
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
  // For people: a bitmap file in the build folder.
  void Save(const char* name) const {
    const char* dir = std::getenv("QS_BINARY_DIR");
    if (!dir) return;
    std::string path = std::string("Z:") + dir + "/" + name;
    for (auto& c : path)
      if (c == '/') c = '\\';
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = width;
    ih.biHeight = -height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + width * height * 4;
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&ih, sizeof ih, 1, f);
    std::fwrite(pixels.data(), 4, pixels.size(), f);
    std::fclose(f);
  }
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

}  // namespace qs::test
