// A memory context with a one-bit DIB section of the whole page selected,
// as a host renders a 600-dpi preview page into: the preview's fonts are
// made and measured on it.
#include <windows.h>

#include "print_bench_context.h"

struct PageContext {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

PageContext* NewPageContext(int width, int height) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = width;
  info.header.biHeight = -height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.colours[1] = {255, 255, 255, 0};
  auto* page = new PageContext;
  page->dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  if (page->dc)
    page->bitmap = CreateDIBSection(page->dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (!page->bitmap) {
    DeletePageContext(page);
    return nullptr;
  }
  page->old = SelectObject(page->dc, page->bitmap);
  PatBlt(page->dc, 0, 0, width, height, WHITENESS);
  return page;
}

std::intptr_t ContextValue(const PageContext* page) {
  return reinterpret_cast<std::intptr_t>(page->dc);
}

void DeletePageContext(PageContext* page) {
  if (!page) return;
  if (page->old) SelectObject(page->dc, page->old);
  if (page->bitmap) DeleteObject(page->bitmap);
  if (page->dc) DeleteDC(page->dc);
  delete page;
}
