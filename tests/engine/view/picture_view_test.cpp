#include "view/picture_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "addressing/web.h"
#include "foundation/engine.h"
#include "test_device.h"
#include "view/graphic_object.h"
#include "view/hot_areas.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {
namespace {

// Logs what the views draw that the plain test device does not.
class RecordingDevice : public test::TestDevice {
 public:
  RecordingDevice(int w, int h) : TestDevice(72, w, h) {}
  void FillBackground(int l, int t, int r, int b) override { Add("FILL", l, t, r, b); }
  void XorFrameRect(int l, int t, int r, int b) override { Add("XOR", l, t, r, b); }
  void FrameRect(int l, int t, int r, int b) override { Add("FRAME", l, t, r, b); }
  void ShowVertScrollBar() override { ++vertShows; }
  void HideVertScrollBar() override { ++vertHides; }
  void ShowHorzScrollBar() override { ++horzShows; }
  void HideHorzScrollBar() override { ++horzHides; }
  void SetVertScroll(int p, int page, int max) override { vert = {p, page, max}; }
  void SetHorzScroll(int p, int page, int max) override { horz = {p, page, max}; }
  void SetCursorForHit(int, int, std::intptr_t a, int code, std::intptr_t b) override {
    cursors.push_back({static_cast<int>(a), code, static_cast<int>(b)});
  }
  void Invalidate() override { ++invalidations; }
  void EnableTimer(bool on) override { timer = on; }
  void Add(const char* what, int a, int b, int c, int d) {
    log += std::string(what) + " " + std::to_string(a) + " " + std::to_string(b) + " " +
           std::to_string(c) + " " + std::to_string(d) + "\n";
  }
  int vertShows = 0, vertHides = 0, horzShows = 0, horzHides = 0, invalidations = 0;
  std::vector<int> vert, horz;
  std::vector<std::vector<int>> cursors;
  bool timer = false;
};

class TestRenderer : public ImageRenderer {
 public:
  using ImageRenderer::ImageRenderer;
  void DrawStretched(OutputDevice* device, int x, int y, int w, int h) override {
    if (auto* d = dynamic_cast<RecordingDevice*>(device)) d->Add("PICTURE", x, y, w, h);
  }
};

class TestGraphic : public GraphicObject {
 public:
  TestGraphic(int w, int h) : GraphicObject(nullptr, nullptr, nullptr, nullptr, "T", w, h) {}
  ImageRenderer* MakeRenderer(OutputDevice* owner) override { return new TestRenderer(this, owner); }
};

// An area that counts its activations.
class CountingArea : public Region {
 public:
  void Activate(View*) override { ++activations; }
  int activations = 0;
};

// A graphic, a device and a picture view on it; the view goes with the
// device, the graphic after both.
struct Fixture {
  Fixture(int gw, int gh, int vw = 400, int vh = 300) : graphic(new TestGraphic(gw, gh)), device(vw, vh) {
    view = new PictureView(&device, graphic->MakeScreenRenderer(&device));
    view->OnSize();
  }
  ~Fixture() {
    device.DetachView();
    graphic->orphaned = true;
    graphic->Release();
  }
  TestGraphic* graphic;
  RecordingDevice device;
  PictureView* view;
};

TEST(PictureView, ZoomStepsAndLimits) {
  EXPECT_EQ(NextLargerZoom(256), 384);
  EXPECT_EQ(NextLargerZoom(384), 512);
  EXPECT_EQ(NextLargerZoom(512), 768);
  EXPECT_EQ(NextSmallerZoom(256), 192);
  EXPECT_EQ(NextSmallerZoom(192), 128);
  EXPECT_EQ(NextSmallerZoom(128), 96);
  EXPECT_EQ(NextLargerZoom(1), 1);
  EXPECT_EQ(NextSmallerZoom(1), 1);

  {
    // A 4-pixel picture at 256 would be 4 pixels wide: 8 at least.
    Fixture f(4, 4);
    EXPECT_EQ(f.view->SetZoom(256, 0, 0), 512);
    EXPECT_EQ(f.view->ZoomedWidth(), 8);
  }
  {
    Fixture f(216, 208);
    const int in[] = {384, 512, 768, 1024};
    for (int z : in) {
      EXPECT_EQ(f.view->ZoomIn(0, 0, false), 1);
      EXPECT_EQ(f.view->Zoom(), z);
    }
    f.view->SetZoom(256, 0, 0);
    const int out[] = {192, 128, 96};
    for (int z : out) {
      EXPECT_EQ(f.view->ZoomOut(0, 0, false), 1);
      EXPECT_EQ(f.view->Zoom(), z);
    }
    EXPECT_EQ(f.view->ZoomedWidth(), 216 * 96 / 256);
  }
  {
    // Past 16384 pixels nothing changes; the view blinks.
    Fixture f(10000, 100);
    EXPECT_EQ(f.view->ZoomIn(0, 0, false), 1);
    EXPECT_EQ(f.view->Zoom(), 384);
    f.device.log.clear();
    EXPECT_EQ(f.view->ZoomIn(0, 0, false), 0);
    EXPECT_EQ(f.view->Zoom(), 384);
    EXPECT_EQ(f.device.log, "INVERT 0 0 400 300\nINVERT 0 0 400 300\n");
    // SetZoom caps instead: the zoom stays a 16-bit value.
    EXPECT_EQ(f.view->SetZoom(1 << 20, 0, 0), 4194304 / 10000);
  }
  {
    // A one-pixel-wide tall picture: the zoom never leaves 1..32767.
    Fixture f(1, 30000);
    const int n = f.view->SetZoom(256, 0, 0);
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 32767);
    f.view->OnPaint();
  }
}

TEST(PictureView, ZoomKeepsThePointAndScrollsClamped) {
  Fixture f(800, 600);
  // At 256 the window shows the top-left; zooming in at (100, 50) keeps
  // the picture point under it.
  f.view->SetZoom(512, 100, 50);
  EXPECT_EQ(f.view->ScrollX(), 100);
  EXPECT_EQ(f.view->ScrollY(), 50);
  EXPECT_EQ(f.device.horz, (std::vector<int>{100, 400, 1600}));
  EXPECT_EQ(f.device.vert, (std::vector<int>{50, 300, 1200}));
  // Keys: page by five quarters, arrows by 12.
  f.view->OnKeyDown(0x22);
  EXPECT_EQ(f.view->ScrollY(), 50 + 375);
  f.view->OnKeyDown(0x25);
  EXPECT_EQ(f.view->ScrollX(), 88);
  // The vertical thumb works in 8192.
  f.view->OnScroll(0, 4, 4096);
  EXPECT_EQ(f.view->ScrollY(), 600);
  f.view->OnScroll(1, 4, 5000);
  EXPECT_EQ(f.view->ScrollX(), 1600 - 400);
  f.view->OnMouseWheel(-2, 0, 0, 0);
  EXPECT_EQ(f.view->ScrollY(), 624);
  f.view->OnPan(-5000, 0);
  EXPECT_EQ(f.view->ScrollX(), 0);
  // The centre mode zooms about the window's centre.
  f.view->SetModeFlags(PictureView::kZoomAboutCentre);
  f.view->SetScroll(0, 0, false);
  f.view->SetZoom(256, 200, 150);
  EXPECT_EQ(f.view->Zoom(), 256);
}

TEST(PictureView, SmallPictureHasNoBarsAndFilledStrips) {
  Fixture f(100, 80);
  f.view->OnPaint();
  EXPECT_EQ(f.device.vertShows + f.device.horzShows, 0);
  EXPECT_EQ(f.device.log, "PICTURE 0 0 100 80\nFILL 100 0 400 300\nFILL 0 80 100 300\n");
  // Panning cannot move it.
  f.view->OnPan(10, 10);
  EXPECT_EQ(f.view->ScrollX(), 0);
  EXPECT_EQ(f.view->ScrollY(), 0);
  // Only taller than the window: the strip right of it.
  Fixture g(100, 500);
  g.view->OnPaint();
  EXPECT_EQ(g.device.vertShows, 1);
  EXPECT_EQ(g.device.log, "PICTURE 0 0 100 500\nFILL 100 0 400 300\n");
}

TEST(PictureView, ShowAreaCentresAndSelects) {
  Fixture f(2048, 2048);
  Region area;
  area.x = 1024, area.y = 512, area.width = 200, area.height = 100;
  f.view->ShowArea(&area);
  EXPECT_EQ(f.view->ScrollX(), (200 - 400) / 2 + 1024);
  EXPECT_EQ(f.view->ScrollY(), (100 - 300) / 2 + 512);
  ASSERT_NE(f.view->SelectedArea(), nullptr);
  EXPECT_EQ(f.view->SelectedArea()->x, 1024);
  // An area with a zoom of its own is shown at that zoom.
  area.zoom = 512;
  f.view->ShowArea(&area);
  EXPECT_EQ(f.view->Zoom(), 512);
  EXPECT_EQ(f.view->ScrollX(), (400 - 400) / 2 + 2048);
}

TEST(PictureView, ClicksZoomAndDragsSelect) {
  Fixture f(216, 208);
  // A still left click zooms in at the point, a right one out.
  f.view->OnLButtonDown(10, 10, 0);
  f.view->OnLButtonUp(10, 10);
  EXPECT_EQ(f.view->Zoom(), 384);
  f.view->OnRButtonDown(10, 10);
  f.view->OnRButtonUp(10, 10);
  EXPECT_EQ(f.view->Zoom(), 256);
  // Outside the picture: a left click still zooms in.
  f.view->OnLButtonDown(390, 290, 0);
  f.view->OnLButtonUp(390, 290);
  EXPECT_EQ(f.view->Zoom(), 384);
  f.view->SetZoom(256, 0, 0);

  // Hot areas live: a drag of more than 2 pixels draws a frame and selects.
  f.view->SetModeFlags(PictureView::kHotAreasLive);
  f.device.log.clear();
  f.view->OnLButtonDown(20, 20, 0);
  f.view->OnMouseMove(22, 22);  // within the slop: nothing
  EXPECT_EQ(f.device.log, "");
  f.view->OnMouseMove(74, 128);
  f.view->OnMouseMove(128, 128);
  f.view->OnLButtonUp(128, 128);
  EXPECT_EQ(f.device.log,
            "XOR 20 20 74 128\nXOR 20 20 74 128\nXOR 20 20 128 128\nXOR 20 20 128 128\n");
  ASSERT_NE(f.view->SelectedArea(), nullptr);
  const Region* s = f.view->SelectedArea();
  EXPECT_EQ(s->x, 20 * 2048 / 216);
  EXPECT_EQ(s->y, 20 * 2048 / 208);
  EXPECT_EQ(s->width, 108 * 2048 / 216);
  EXPECT_EQ(s->height, 108 * 2048 / 208);
  EXPECT_EQ(f.view->Zoom(), 256);
  // A press clears the selection.
  f.view->OnLButtonDown(5, 5, 0);
  EXPECT_EQ(f.view->SelectedArea(), nullptr);
  f.view->OnLButtonUp(5, 5);
}

TEST(PictureView, TheSelectedAreasOutlineMarches) {
  Fixture f(216, 208);
  EXPECT_FALSE(f.view->StepOutline());  // nothing selected
  Region area;
  area.x = 0, area.y = 0, area.width = 1024, area.height = 1024;
  f.view->SelectHotArea(&area, false);
  f.device.log.clear();
  EXPECT_TRUE(f.view->StepOutline());
  const std::string first = f.device.log;
  f.device.log.clear();
  EXPECT_TRUE(f.view->StepOutline());
  const std::string second = f.device.log;
  // The same square (108 x 104 pixels) in dashes that moved on.
  EXPECT_NE(first.find("LINE 0 0 "), std::string::npos);
  EXPECT_NE(first, second);
  EXPECT_GT(f.device.colorSelects, 0);
  for (const std::string* log : {&first, &second})
    EXPECT_EQ(log->find("LINE 109"), std::string::npos) << *log;
}

TEST(PictureView, ShownHotAreasRestOutlinedInDots) {
  Fixture f(200, 100);
  auto* area = new CountingArea;
  area->x = 0, area->y = 0, area->width = 1024, area->height = 1024;  // 100 x 50 pixels
  f.graphic->AddArea(area);
  f.device.log.clear();
  f.view->OnPaint();
  EXPECT_EQ(f.device.log.find("LINE"), std::string::npos);  // hot areas not shown
  f.view->SetModeFlags(PictureView::kHotAreasLive);
  f.device.log.clear();
  f.view->OnPaint();
  // A dot every other pixel round the area, none outside it.
  int dots = 0, outside = 0;
  std::size_t at = 0;
  while ((at = f.device.log.find("LINE ", at)) != std::string::npos) {
    int x1, y1, x2, y2;
    ASSERT_EQ(std::sscanf(f.device.log.c_str() + at, "LINE %d %d %d %d", &x1, &y1, &x2, &y2), 4);
    ++dots;
    outside += x1 < 0 || x1 > 100 || y1 < 0 || y1 > 50 || !(x1 == 0 || x1 == 100 || y1 == 0 || y1 == 50);
    at += 5;
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GE(dots, 2 * 50 + 2 * 25);
  EXPECT_LE(dots, 2 * 51 + 2 * 26);
  // Scrolled, the outline moves with the picture.
  f.view->SetZoom(1024, 0, 0);  // 800 x 400 in the 400 x 300 window
  f.view->SetScroll(40, 20, false);
  f.device.log.clear();
  f.view->OnPaint();
  EXPECT_NE(f.device.log.find("LINE -40 -20 "), std::string::npos) << f.device.log.substr(0, 200);
}

// The hit code of an area: none 0, a plain hot area 4, an anchor that
// links end at and that has no note 6 (a link), any other anchor 5.
TEST(PictureView, GraphicStateOfAnArea) {
  class AnchorArea : public Region {
   public:
    Anchor* GetAnchor() const override { return anchor; }
    Anchor* anchor = nullptr;
  };
  Anchor anchor(nullptr, nullptr, 1);
  AnchorArea area;
  EXPECT_EQ(GetGraphicState(nullptr), 0);
  EXPECT_EQ(GetGraphicState(&area), 4);
  area.anchor = &anchor;
  const struct {
    std::uint16_t links, noteLength;
    int state;
  } cases[] = {{0, 0, 5}, {1, 0, 6}, {3, 0, 6}, {1, 12, 5}, {0, 12, 5}};
  for (const auto& c : cases) {
    anchor.linkCount = c.links;
    anchor.note.length = c.noteLength;
    EXPECT_EQ(GetGraphicState(&area), c.state) << c.links << " links, note " << c.noteLength;
  }
}

TEST(PictureView, HotAreasSetTheCursorAndActOnAClick) {
  Fixture f(216, 208);
  auto* area = new CountingArea;
  area->x = 0, area->y = 0, area->width = 1024, area->height = 1024;
  f.graphic->AddArea(area);
  // Not live: no hit, a click zooms.
  f.view->OnMouseMove(10, 10);
  EXPECT_EQ(f.device.cursors.back(), (std::vector<int>{3, 0, 0}));
  f.view->SetModeFlags(PictureView::kHotAreasLive);
  f.view->OnMouseMove(10, 10);
  EXPECT_EQ(f.device.cursors.back(), (std::vector<int>{3, 4, 0}));
  f.view->OnMouseMove(200, 200);
  EXPECT_EQ(f.device.cursors.back(), (std::vector<int>{3, 0, 0}));
  f.view->OnLButtonDown(10, 10, 0);
  f.view->OnLButtonUp(10, 10);
  EXPECT_EQ(area->activations, 1);
  EXPECT_EQ(f.view->Zoom(), 256);
  // The right button selects a copy of the area instead.
  f.view->OnRButtonDown(10, 10);
  f.view->OnRButtonUp(10, 10);
  ASSERT_NE(f.view->SelectedArea(), nullptr);
  EXPECT_EQ(f.view->SelectedArea()->width, 1024);
  EXPECT_EQ(area->activations, 1);
}

TEST(OverviewView, FollowsThePictureWithAScaledFrame) {
  // A tall graphic in a wide pane is drawn at the pane's height.
  Fixture f(100, 400, 50, 100);
  RecordingDevice pane(200, 100);
  auto* overview = new OverviewView(&pane);
  f.view->AddOverview(overview);
  EXPECT_EQ(overview->Followed(), f.view);
  overview->OnPaint();
  EXPECT_EQ(overview->DrawHeight(), 100);
  EXPECT_EQ(overview->DrawWidth(), 25);
  EXPECT_EQ(overview->ScaleNumerator(), 100);
  EXPECT_EQ(overview->ScaleDenominator(), 400);
  EXPECT_EQ(pane.log,
            "PICTURE 0 0 25 100\nFILL 25 0 200 100\nXOR -1 -1 13 26\nXOR 0 0 12 25\nXOR 1 1 11 24\n");
  // The picture's paint moves the frame where its scroll now is: the old
  // one erased, the new one drawn; a paint that moves nothing leaves it.
  f.view->SetScroll(0, 200, false);
  pane.log.clear();
  f.view->OnPaint();
  EXPECT_EQ(pane.log,
            "XOR -1 -1 13 26\nXOR 0 0 12 25\nXOR 1 1 11 24\n"
            "XOR -1 49 13 76\nXOR 0 50 12 75\nXOR 1 51 11 74\n");
  pane.log.clear();
  f.view->OnPaint();
  EXPECT_EQ(pane.log,
            "XOR -1 49 13 76\nXOR 0 50 12 75\nXOR 1 51 11 74\n"
            "XOR -1 49 13 76\nXOR 0 50 12 75\nXOR 1 51 11 74\n");
  // Drawing the frame again erases it (the same three XOR rectangles).
  pane.log.clear();
  overview->DrawFrame();
  overview->DrawFrame();
  EXPECT_EQ(pane.log.substr(0, pane.log.size() / 2), pane.log.substr(pane.log.size() / 2));
  // A drag past the bottom edge stops there; the release scrolls the picture.
  overview->OnLButtonDown(5, 60, 0);
  overview->OnMouseMove(5, 500);
  EXPECT_EQ(overview->FrameBottom(), 100);
  EXPECT_EQ(overview->FrameTop(), 75);
  overview->OnMouseMove(-50, -50);
  EXPECT_EQ(overview->FrameLeft(), 0);
  EXPECT_EQ(overview->FrameTop(), 0);
  overview->OnMouseMove(5, 90);
  overview->OnLButtonUp(5, 90);
  EXPECT_EQ(f.view->ScrollY(), overview->FrameTop() * 400 / 100);
  EXPECT_EQ(f.view->ScrollY(), 300);
  // A click outside the frame centres it on the point.
  overview->OnLButtonDown(12, 40, 0);
  EXPECT_EQ(overview->FrameTop(), 40 - 12);
  overview->OnLButtonUp(12, 40);
  EXPECT_EQ(f.view->ScrollY(), 28 * 4);
  pane.DetachView();
}

TEST(OverviewView, WithoutAPictureOnlyTheBackground) {
  RecordingDevice pane(0, 0);
  auto* overview = new OverviewView(&pane);
  overview->OnPaint();
  overview->OnLButtonDown(1, 1, 0);
  overview->OnMouseMove(4, 4);
  overview->OnLButtonUp(4, 4);
  EXPECT_EQ(pane.log, "FILL 0 0 0 0\n");
  // The picture view going leaves the overview alone.
  {
    Fixture f(0, 0, 0, 0);
    f.view->AddOverview(overview);
    overview->OnPaint();
    f.view->OnPaint();
  }
  EXPECT_EQ(overview->Followed(), nullptr);
  overview->OnPaint();
}

TEST(DocumentViewPictures, TakeAndReturnARendererOnTheViewsDevice) {
  auto* graphic = new TestGraphic(50, 40);
  void* picture = nullptr;
  {
    RecordingDevice device(200, 100);
    auto* view = new test::TestView(&device);
    picture = view->TakePicture(graphic, nullptr);
    ASSERT_NE(picture, nullptr);
    auto* renderer = static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(picture));
    EXPECT_EQ(renderer->owner, &device);
    EXPECT_EQ(renderer->width, 50);
    EXPECT_EQ(graphic->useCount, 2);
    EXPECT_EQ(device.renderers.Count(), 1u);
    view->ReturnPicture(view->TakePicture(graphic, nullptr), nullptr);
    EXPECT_EQ(graphic->useCount, 2);
    device.DetachView();
    // The device goes before the picture: the picture forgets it.
  }
  delete static_cast<ImageRenderer*>(static_cast<GraphicRenderer*>(picture));
  EXPECT_EQ(graphic->useCount, 1);
  graphic->orphaned = true;
  graphic->Release();
}

std::vector<std::pair<int, std::intptr_t>> g_events;
std::intptr_t Record(WindowHandle, int event, std::intptr_t a, std::intptr_t) {
  g_events.push_back({event, a});
  return 0;
}

TEST(HostPictureView, ReportsToTheHost) {
  g_events.clear();
  HostedEngine engine(0, "C:\\Home\\", "T", &Record);
  EngineBase* previous = SetEngine(&engine);
  auto* graphic = new TestGraphic(216, 208);
  const WindowHandle window = 0x5151;
  HostPictureView* view = OpenPictureView(window, graphic, 0x200 | 0x20, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(FindPictureView(window), view);
  EXPECT_EQ(FindPictureViewOf(graphic), view);
  EXPECT_EQ(static_cast<WindowDevice*>(view->GetDevice())->mode, 0x0A);
  EXPECT_EQ(view->ModeFlags() & ~3u, PictureView::kHotAreasLive | PictureView::kZoomAboutCentre);
  EXPECT_EQ(view->Zoom(), 256);
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events.front().first, 1);
  // A paint that moves nothing reports nothing more.
  view->OnPaint();
  g_events.clear();
  view->OnPaint();
  EXPECT_TRUE(g_events.empty());
  Region area;
  view->SelectHotArea(&area, false);
  view->SelectHotArea(nullptr, false);
  EXPECT_EQ(g_events, (std::vector<std::pair<int, std::intptr_t>>{{25, 1}, {25, 0}}));
  // The window going takes the view with it.
  std::intptr_t result = 0;
  WindowMap::Find(window)->HandleMessage(wm::kDestroy, 0, 0, &result);
  EXPECT_EQ(FindPictureViewOf(graphic), nullptr);
  EXPECT_EQ(graphic->useCount, 1);
  graphic->orphaned = true;
  graphic->Release();
  SetEngine(previous);
}

}  // namespace
}  // namespace qs
