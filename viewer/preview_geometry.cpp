#include "preview_geometry.h"

#include <algorithm>

namespace qs::viewer {

const char* const kPreviewZoomNames[kPreviewZoomCount] = {"Fit",  "50%",  "75%",  "100%",
                                                          "125%", "150%", "175%", "200%"};

PreviewSize PreviewPageExtent(int zoom, int dpiX, int dpiY, int clientWidth, int clientHeight,
                              int buttonWidth) {
  PreviewSize page;
  if (zoom > 0) {
    const long long percent = (zoom + 1) * 25LL;
    page.width = static_cast<int>(percent * dpiX * kPreviewPageWidth / 60000);
    page.height = static_cast<int>(percent * dpiY * kPreviewPageHeight / 60000);
  } else {
    // A window too small for the buttons still shows a page of a pixel.
    const long long across = std::max(1, clientWidth - (buttonWidth + 15));
    const long long down = std::max(1, clientHeight - 10);
    if (down * kPreviewPageWidth >= across * kPreviewPageHeight) {
      page.width = static_cast<int>(across);
      page.height = static_cast<int>(across * kPreviewPageHeight / kPreviewPageWidth);
    } else {
      page.height = static_cast<int>(down);
      page.width = static_cast<int>(down * kPreviewPageWidth / kPreviewPageHeight);
    }
  }
  page.width = std::max(1, page.width);
  page.height = std::max(1, page.height);
  return page;
}

PreviewSize PreviewVisibleExtent(PreviewSize page, int clientWidth, int clientHeight, int pageAreaX) {
  PreviewSize visible;
  visible.width = std::max(0, std::min(page.width, clientWidth - pageAreaX - 5));
  visible.height = std::max(0, std::min(page.height, clientHeight - 10));
  return visible;
}

int ScrollPreview(int code, int thumb, int position, int visible, int extent) {
  int next = position;
  switch (code) {
    case 0: next -= 12; break;
    case 1: next += 12; break;
    case 2: next -= visible - 12; break;
    case 3: next += visible - 12; break;
    case 4: next = thumb; break;
    default: return position;
  }
  next = std::min(next, extent - visible);
  return std::max(0, next);
}

}  // namespace qs::viewer
