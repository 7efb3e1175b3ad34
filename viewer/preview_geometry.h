// The print preview's page geometry: the preview lays out a page of
// 4,942 x 6,989 units at 600 units per inch; the window shows it at a zoom
// (or fitted to the window) and scrolls what does not fit.
#pragma once

namespace qs::viewer {

inline constexpr int kPreviewPageWidth = 4942;
inline constexpr int kPreviewPageHeight = 6989;
inline constexpr int kPreviewDpi = 600;
// "Fit", then 50 % to 200 % in steps of 25.
inline constexpr int kPreviewZoomCount = 8;
extern const char* const kPreviewZoomNames[kPreviewZoomCount];

struct PreviewSize {
  int width = 0, height = 0;
};

// The page in pixels: zoom z >= 1 is (z + 1) x 25 percent at the screen's
// resolution; zoom 0 fits the page into the manager's client area beside
// the button column (`buttonWidth` wide), never smaller than a pixel.
PreviewSize PreviewPageExtent(int zoom, int dpiX, int dpiY, int clientWidth, int clientHeight,
                              int buttonWidth);
// What of the page the page window shows, at most what the client area
// leaves beside the buttons (`pageAreaX`) and above the bottom edge.
PreviewSize PreviewVisibleExtent(PreviewSize page, int clientWidth, int clientHeight, int pageAreaX);

// A scroll-bar request (the system's codes: 0 line up, 1 line down, 2 page
// up, 3 page down, 4 thumb position with `thumb`; others change nothing)
// applied to `position`: 12 pixels a line, the visible extent less 12 a
// page, never before 0 nor so far that the page's end leaves the window.
int ScrollPreview(int code, int thumb, int position, int visible, int extent);

}  // namespace qs::viewer
