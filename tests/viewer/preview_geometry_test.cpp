// The print preview's page sizes at each zoom and fitted to the window, and
// how far its scroll bars move.
#include "preview_geometry.h"

#include <gtest/gtest.h>

namespace qs::viewer {
namespace {

TEST(PreviewGeometry, ZoomsAndFit) {
  struct {
    int zoom, dpi, clientWidth, clientHeight;
    PreviewSize page;
  } cases[] = {
      // 100 % at 96 dpi: the 600-dpi page in screen pixels.
      {3, 96, 0, 0, {790, 1118}},
      {1, 96, 0, 0, {395, 559}},
      {7, 120, 0, 0, {1976, 2795}},
      // A wide window fits the page to its height, a tall one to its width
      // (the buttons take 60 + 15 pixels).
      {0, 96, 1600, 900, {629, 890}},
      {0, 96, 700, 2000, {625, 883}},
      // No room at all still gives a page of a pixel.
      {0, 96, 10, 5, {1, 1}},
  };
  for (const auto& c : cases) {
    const PreviewSize page = PreviewPageExtent(c.zoom, c.dpi, c.dpi, c.clientWidth, c.clientHeight, 60);
    EXPECT_EQ(page.width, c.page.width) << c.zoom << " " << c.clientWidth;
    EXPECT_EQ(page.height, c.page.height) << c.zoom << " " << c.clientWidth;
  }
  // The window shows at most what the client area leaves.
  const PreviewSize visible = PreviewVisibleExtent({790, 1118}, 1024, 700, 70);
  EXPECT_EQ(visible.width, 790);
  EXPECT_EQ(visible.height, 690);
  const PreviewSize narrow = PreviewVisibleExtent({790, 1118}, 50, 5, 70);
  EXPECT_EQ(narrow.width, 0);
  EXPECT_EQ(narrow.height, 0);
}

TEST(PreviewGeometry, ScrollingStopsAtThePagesEnds) {
  struct {
    int code, thumb, position, expected;
  } cases[] = {
      {1, 0, 0, 12},      {0, 0, 12, 0},      {0, 0, 5, 0},      // lines
      {3, 0, 0, 428},     {2, 0, 428, 0},                         // pages, at most to the end
      {3, 0, 400, 428},                                           // the end: 1118 - 690
      {4, 1000, 0, 428},  {4, 200, 0, 200},   {4, -5, 100, 0},   // the thumb
      {5, 300, 100, 100}, {8, 0, 100, 100},                       // others change nothing
  };
  for (const auto& c : cases)
    EXPECT_EQ(ScrollPreview(c.code, c.thumb, c.position, 690, 1118), c.expected) << c.code << " " << c.position;
  // A page is the visible part less 12 pixels.
  EXPECT_EQ(ScrollPreview(3, 0, 100, 690, 3000), 778);
  EXPECT_EQ(ScrollPreview(2, 0, 778, 690, 3000), 100);
}

}  // namespace
}  // namespace qs::viewer
